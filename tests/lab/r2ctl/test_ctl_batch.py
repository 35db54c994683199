"""r2ctl clone and restart of several modules against simulated modules: the address plan and
names land on each module while its own unshown bytes stay, the plan passes over the file's
gateway and DNS server and this computer's address and says so, one module's failure neither
hides nor stops the others (unless --stop-on-error), refused files and models send nothing, and
a dry run writes nothing. Checked on r2sim's log, the blocks read back and r2ctl's output."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import PC_IP, Lab  # noqa: E402
from test_ctl_config import P7_PANEL  # noqa: E402

WAIT = "500"
BASE, RESTART, CMD_READ = 0x05, 0x02, 0x03
UNKNOWN_MAC = "02 52 32 06 0F FF"
# Base block bytes no panel control shows: a save must send back the module's own.
UNSHOWN_BASE = (0, 1, 2, 8, 49, 50, 51)
NAME = slice(21, 37)


def frame_block(data):
    return data[21:-1]


class BatchTest(unittest.TestCase):
    CLONE_TARGETS = [f"c{i}" for i in range(1, 6)]

    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        try:
            cls._start()
        except BaseException:
            cls.lab.close()
            raise

    @classmethod
    def _start(cls):
        names = (["src"] + cls.CLONE_TARGETS + ["y1", "y2", "s1", "s2", "d1", "d2"])
        modules = [{"name": n} for n in names]
        modules.append({"name": "pw", "password": "other"})
        modules.append({"name": "p7", "model": "P7"})
        # A first run only to learn each clone target's factory base block, so that the second
        # can give every target unshown bytes of its own.
        probe = cls.lab.start_sim(config={"modules": modules}, name="probe")
        bases = {}
        for m in probe.modules:
            if m["name"] in cls.CLONE_TARGETS:
                doc = cls.read_json(m["mac"])
                bases[m["name"]] = bytearray.fromhex(doc["blocks"]["base"])
        probe.stop()
        cls.lab.sims.remove(probe)
        for i, m in enumerate(modules):
            if m["name"] in bases:
                base = bases[m["name"]]
                for k, position in enumerate(UNSHOWN_BASE):
                    base[position] = (0x11 * (i + 1) + k) & 0xFF
                m["blocks"] = {"base": base.hex()}
        cls.sim = cls.lab.start_sim(config={"modules": modules})
        cls.macs = {m["name"]: m["mac"] for m in cls.sim.modules}
        cls.ips = {m["name"]: m["ip"] for m in cls.sim.modules}

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    @classmethod
    def read_json(cls, mac):
        doc, done = cls.lab.r2ctl_json("--show-secrets", "--wait", WAIT, "read", mac)
        if done.returncode != 0:
            raise AssertionError(done.stderr)
        return doc

    def r2ctl(self, *args):
        done = self.lab.r2ctl("--wait", WAIT, *args, timeout=180)
        return done, done.stdout + done.stderr

    def write_file(self, name, doc):
        path = self.lab.path(name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(json.dumps(doc))
        return path

    def source_file(self):
        """A backup of the source module after a few changes away from the defaults."""
        path = self.lab.path("src.json")
        if not os.path.exists(path):
            done, said = self.r2ctl("write", self.macs["src"], "--set", "cbb_WorkMode0=2",
                                    "--set", "edt_RemotePort0=4321", "--set", "cbb_S0=1")
            self.assertEqual(done.returncode, 0, said)
            done, said = self.r2ctl("backup", self.macs["src"], "-o", path)
            self.assertEqual(done.returncode, 0, said)
        return path

    def written(self, mark, mac):
        """The frames other than reads a module took after `mark` log entries."""
        return [e for e in self.sim.log()[mark:]
                if e["dir"] == "rx" and e["module"] == mac and e["action"] != "read"]

    def lines(self, stdout):
        return [l for l in stdout.splitlines() if not l.startswith("would send")]

    def test_clone_plans_addresses_and_names_and_keeps_each_modules_own_bytes(self):
        path = self.source_file()
        source = self.read_json(self.macs["src"])
        macs = [self.macs[n] for n in self.CLONE_TARGETS]
        before = {mac: self.read_json(mac) for mac in macs}
        done, said = self.r2ctl("clone", path, "--to", ",".join(macs[:2]), "--to",
                                ",".join(macs[2:]), "--ip-from", "192.168.0.100",
                                "--name", "Line-{n:02}", "--name-start", "7")
        self.assertEqual(done.returncode, 0, said)
        want_ips = [f"192.168.0.{100 + i}" for i in range(5)]
        expected = [f"{mac}  {self.ips[n]} -> {ip}  ok"
                    for mac, n, ip in zip(macs, self.CLONE_TARGETS, want_ips)]
        self.assertEqual(self.lines(done.stdout),
                         expected + ["5 module(s): 5 succeeded, 0 failed"], said)
        for i, mac in enumerate(macs):
            with self.subTest(mac):
                after = self.read_json(mac)
                panel = after["panel"]
                self.assertEqual((panel["cbb_AddrType"], panel["edt_StaticIP"]),
                                 (1, want_ips[i]))
                self.assertEqual(panel["edt_ModName"], f"Line-{7 + i:02}")
                for control in ("edt_SubnetMask", "edt_GatewayIP", "edtDns", "cbb_WorkMode0",
                                "edt_RemotePort0", "cbb_S0"):
                    self.assertEqual(panel[control], source["panel"][control], control)
                self.assertEqual(panel["edt_UserMAC"], mac, "its own MAC")
                base_before = bytes.fromhex(before[mac]["blocks"]["base"])
                base_after = bytes.fromhex(after["blocks"]["base"])
                for position in UNSHOWN_BASE:
                    self.assertEqual(base_after[position], base_before[position], position)
                self.assertEqual(base_after[53:59], bytes.fromhex(mac.replace(" ", "")))

    def test_json_and_dry_run_send_no_write(self):
        path = self.source_file()
        macs = [self.macs["d1"], self.macs["d2"]]
        mark = len(self.sim.log())
        doc, done = self.lab.r2ctl_json("--wait", WAIT, "clone", path, "--to", ",".join(macs),
                                        "--ip-from", "192.168.0.150", "--name", "Dry{n}",
                                        "--dry-run", timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual([(r["mac"], r["oldIp"], r["newIp"], r["name"], r["result"], r["exit"])
                          for r in doc],
                         [(macs[0], self.ips["d1"], "192.168.0.150", "Dry1", "dry run", 0),
                          (macs[1], self.ips["d2"], "192.168.0.151", "Dry2", "dry run", 0)])
        for row, name in zip(doc, ("Dry1", "Dry2")):
            self.assertNotIn("skipped", row, "nothing was skipped")
            codes = [f["code"] for f in row["frames"]]
            self.assertEqual((codes[0], codes[-1]), (BASE, RESTART))
            first = row["frames"][0]
            # Passwords are hidden: the one the command carries and the module's login.
            self.assertEqual((first["bytes"][30:42], first["bytes"][128:140]), ("*" * 12,) * 2)
            base = frame_block(bytes.fromhex(first["bytes"].replace("*", "0")))
            self.assertEqual(base[NAME], name.encode().ljust(16, b"\0"), "the planned name")
            self.assertEqual(first["length"], len(first["bytes"]) // 2)
        for mac in macs:
            self.assertTrue(any(e["action"] == "read" for e in self.sim.log()[mark:]
                                if e["dir"] == "rx" and e["module"] == mac), "read as usual")
            self.assertEqual(self.written(mark, mac), [], "no write")
        # The text form: the frames before the module's line.
        done, said = self.r2ctl("clone", path, "--to", macs[0], "--dry-run")
        self.assertEqual(done.returncode, 0, said)
        out = done.stdout.splitlines()
        # The base frame: the password it carries and the module's login password hidden.
        self.assertRegex(out[0], r"^would send  \S.* to port 1500, \d+ bytes: "
                                 r"[0-9A-F]{30}\*{12}[0-9A-F]{86}\*{12}[0-9A-F]+$")
        count = sum(1 for l in out if l.startswith("would send"))
        self.assertEqual(out[count:], [
            f"{macs[0]}  {self.ips['d1']} -> {self.ips['d1']}  dry run: {count} frame(s) not sent",
            "1 module(s): 1 succeeded, 0 failed"])
        self.assertEqual(self.written(mark, macs[0]), [])

    def test_plan_skips_the_gateway_dns_and_this_computer_and_says_so(self):
        with open(self.source_file(), encoding="utf-8") as f:
            doc = json.load(f)
        doc["panel"].update({"edt_GatewayIP": "192.168.0.8", "edtDns": "192.168.0.9"})
        path = self.write_file("gateway.json", doc)
        macs = [self.macs["d1"], self.macs["d2"]]
        self.assertEqual(PC_IP, "192.168.0.10")
        mark = len(self.sim.log())
        # The frames as sent, so that the planned address can be read from the base frame.
        rows, done = self.lab.r2ctl_json("--wait", WAIT, "--show-secrets", "clone", path, "--to",
                                         ",".join(macs), "--ip-from", "192.168.0.8", "--dry-run",
                                         timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual([(r["mac"], r["newIp"], r.get("skipped")) for r in rows], [
            (macs[0], "192.168.0.11", [{"ip": "192.168.0.8", "reason": "gateway"},
                                       {"ip": "192.168.0.9", "reason": "dns"},
                                       {"ip": PC_IP, "reason": "local"}]),
            (macs[1], "192.168.0.12", None)])
        base = frame_block(bytes.fromhex(rows[0]["frames"][0]["bytes"]))
        self.assertEqual(base[9:13], bytes([11, 0, 168, 192]), "the planned address is sent")
        # The text form: the skipped addresses on a line of their own before the module's.
        done, said = self.r2ctl("clone", path, "--to", macs[0], "--ip-from", "192.168.0.8",
                                "--dry-run")
        self.assertEqual(done.returncode, 0, said)
        self.assertEqual(self.lines(done.stdout)[:2], [
            f"{macs[0]}  skipped 192.168.0.8 (the file's gateway), 192.168.0.9 (the file's DNS "
            f"server), {PC_IP} (an address of this computer)",
            f"{macs[0]}  {self.ips['d1']} -> 192.168.0.11  dry run: "
            f"{len(done.stdout.splitlines()) - 3} frame(s) not sent"], said)
        for mac in macs:
            self.assertEqual(self.written(mark, mac), [], "no write")

    def test_one_wrong_password_fails_alone_or_stops_the_rest(self):
        path = self.source_file()
        y1, pw, y2 = self.macs["y1"], self.macs["pw"], self.macs["y2"]
        mark = len(self.sim.log())
        done, said = self.r2ctl("clone", path, "--to", f"{y1},{pw},{y2}")
        self.assertEqual(done.returncode, 3, said)
        out = self.lines(done.stdout)
        self.assertEqual(out[0], f"{y1}  {self.ips['y1']} -> {self.ips['y1']}  ok")
        self.assertRegex(out[1], rf"^{pw}  \S+ -> \S+  failed \(exit 3\): .*user name or password")
        self.assertEqual(out[2:], [f"{y2}  {self.ips['y2']} -> {self.ips['y2']}  ok",
                                   "3 module(s): 2 succeeded, 1 failed"])
        self.assertEqual(self.written(mark, pw), [], "read only")
        self.assertTrue(self.written(mark, y2), "the module after the failure was saved")

        s1, s2 = self.macs["s1"], self.macs["s2"]
        mark = len(self.sim.log())
        done, said = self.r2ctl("clone", path, "--to", f"{pw},{s1},{s2}", "--stop-on-error")
        self.assertEqual(done.returncode, 3, said)
        self.assertEqual(self.lines(done.stdout)[1:], [
            f"{s1}  {self.ips['s1']} -> {self.ips['s1']}  not run",
            f"{s2}  {self.ips['s2']} -> {self.ips['s2']}  not run",
            "3 module(s): 0 succeeded, 1 failed, 2 not run"])
        for mac in (s1, s2):
            self.assertEqual([e for e in self.sim.log()[mark:]
                              if e["dir"] == "rx" and e["module"] == mac], [], "not even read")

    def test_refused_before_writing(self):
        p7_file = self.write_file("p7.json", {
            "format": "r2config-module", "version": 1, "model": "P7", "firmware": 5002,
            "mac": self.macs["p7"], "time": "2026-12-10T07:54:24Z",
            "panel": {"edt_ModNameP7": "never"}})
        unknown = self.write_file("unknown.json", {
            "format": "r2config-module", "version": 1, "model": "P6", "firmware": 4017,
            "mac": self.macs["src"], "time": "2026-12-10T07:54:24Z",
            "panel": {"edt_ModName": "never", "edt_Bogus": "x"}})
        # A file one byte over the size cap, valid but for its size: padded with blanks.
        with open(self.source_file(), encoding="utf-8") as f:
            text = f.read()
        oversized = self.lab.path("oversized.json")
        with open(oversized, "w", encoding="utf-8") as f:
            f.write(text + " " * (256 * 1024 + 1 - len(text.encode())))
        target = self.macs["s2"]
        # name, arguments, where the reason is told, whether the search may run. A module
        # refused fails on its own line; a refusal of the whole command goes to standard error.
        cases = [
            ("P7 file for a P6", [p7_file, "--to", target], "stdout",
             "holds a P7 configuration", True),
            ("unknown control", [unknown, "--to", target], "stderr", "edt_Bogus", False),
            ("over the size cap", [oversized, "--to", target], "stderr",
             f"{oversized}: is 262145 bytes, more than the 262144 bytes", False),
            ("bad --ip-from", [p7_file, "--to", target, "--ip-from", "192.168.0"], "stderr",
             "192.168.0", False),
            ("plan leaves the subnet", [self.source_file(), "--to", f"{target},{self.macs['s1']}",
                                        "--ip-from", "192.168.0.254"], "stderr", "runs out", True),
        ]
        for what, args, stream, message, searched in cases:
            with self.subTest(what):
                mark = len(self.sim.log())
                done, said = self.r2ctl("clone", *args)
                self.assertEqual(done.returncode, 1, said)
                self.assertIn(message, getattr(done, stream))
                got = [e for e in self.sim.log()[mark:] if e["dir"] == "rx"]
                if searched:
                    self.assertEqual([e for e in got if e["module"] == target
                                      and e["action"] != "search"], [], "never read")
                else:
                    self.assertEqual(got, [], "not even a search")
        self.assertEqual(self.read_json(target)["panel"]["edt_ModName"], "s2")

    def test_restart_of_several_modules_with_one_unknown(self):
        a, b = self.macs["y1"], self.macs["d2"]
        mark = len(self.sim.log())
        done, said = self.r2ctl("restart", a, f"{UNKNOWN_MAC.replace(' ', ':')},{b}")
        self.assertEqual(done.returncode, 2, said)
        self.assertEqual(done.stdout.splitlines(), [
            f"{a}  {self.ips['y1']} -> {self.ips['y1']}  ok",
            f"{UNKNOWN_MAC}  - -> -  failed (exit 2): no module with the MAC {UNKNOWN_MAC} "
            "answered the search; check that it is powered and on this network",
            f"{b}  {self.ips['d2']} -> {self.ips['d2']}  ok",
            "3 module(s): 2 succeeded, 1 failed"])
        for mac in (a, b):
            self.assertEqual([e["cmd"] for e in self.written(mark, mac)], [RESTART])
        # One MAC keeps the single command's output.
        done, said = self.r2ctl("restart", a)
        self.assertEqual(done.returncode, 0, said)
        self.assertTrue(done.stdout.startswith("sent  "), said)


class OverlapTest(unittest.TestCase):
    """clone reads the next module while the save before goes on, where the modules answer
    from distinct addresses, and saves modules sharing an address one after another; every
    module's verdict stays its own, and a module that fails while the save before it still goes
    on is reported in its place."""

    SHARED_IP = "192.168.0.230"

    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        try:
            cls.sim = cls.lab.start_sim(config={"modules": [
                {"name": "o1"}, {"name": "pw", "password": "other"}, {"name": "o2"},
                {"name": "o3"}, {"name": "sh1", "ip": cls.SHARED_IP},
                {"name": "sh2", "ip": cls.SHARED_IP}]})
        except BaseException:
            cls.lab.close()
            raise
        cls.macs = {m["name"]: m["mac"] for m in cls.sim.modules}
        cls.ips = {m["name"]: m["ip"] for m in cls.sim.modules}
        path = cls.lab.path("overlap.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump({"format": "r2config-module", "version": 1, "model": "P6",
                       "firmware": 4017, "mac": "02 52 32 06 00 99",
                       "time": "2026-12-10T07:54:24Z",
                       "panel": {"edt_RemotePort0": "4321"}}, f)
        cls.path = path

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def clone(self, *names):
        mark = len(self.sim.log())
        done = self.lab.r2ctl("--wait", WAIT, "clone", self.path, "--to",
                              ",".join(self.macs[n] for n in names), timeout=180)
        return done, done.stdout + done.stderr, self.sim.log()[mark:]

    def times(self, log, name, skip=("search",)):
        """Arrival times (ms) and commands of the frames a module took."""
        return [(e["t"], e["cmd"]) for e in log if e["dir"] == "rx"
                and e["module"] == self.macs[name] and e["action"] not in skip]

    def test_distinct_addresses_overlap_and_a_wrong_password_fails_alone(self):
        done, said, log = self.clone("o1", "pw", "o2", "o3")
        self.assertEqual(done.returncode, 3, said)
        ok = [f"{self.macs[n]}  {self.ips[n]} -> {self.ips[n]}  ok" for n in ("o1", "o2", "o3")]
        lines = done.stdout.splitlines()
        self.assertEqual(lines[0], ok[0], said)
        self.assertRegex(lines[1], rf"^{self.macs['pw']}  \S+ -> \S+  failed \(exit 3\): "
                                   r".*user name or password")
        self.assertEqual(lines[2:], ok[1:] + ["4 module(s): 3 succeeded, 1 failed"])
        self.assertEqual({c for _, c in self.times(log, "pw")}, {CMD_READ}, "read only")
        o1, o2, o3 = (self.times(log, n, skip=("search", "read")) for n in ("o1", "o2", "o3"))
        for name, frames in (("o1", o1), ("o2", o2), ("o3", o3)):
            self.assertEqual((frames[0][1], frames[-1][1]), (BASE, RESTART), name)
        # The next module was read and saved while the save before still went on.
        self.assertLess(o2[0][0], o1[-1][0], "o2's first write before o1's restart")
        self.assertLess(o3[0][0], o2[-1][0], "o3's first write before o2's restart")

    def test_a_shared_address_is_saved_one_module_after_another(self):
        done, said, log = self.clone("sh1", "sh2")
        self.assertEqual(done.returncode, 0, said)
        self.assertEqual(done.stdout.splitlines(), [
            f"{self.macs[n]}  {self.SHARED_IP} -> {self.SHARED_IP}  ok" for n in ("sh1", "sh2")]
            + ["2 module(s): 2 succeeded, 0 failed"])
        sh1, sh2 = self.times(log, "sh1"), self.times(log, "sh2")
        self.assertEqual(sh1[-1][1], RESTART)
        self.assertEqual(sh2[0][1], CMD_READ)
        self.assertGreater(sh2[0][0], sh1[-1][0], "sh2 read only after sh1's restart")


class AllFoundTest(unittest.TestCase):
    """--all-found takes the modules of the file's model and names the others; a P7 takes its
    planned address and name on its own port."""

    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        try:
            cls.sim = cls.lab.start_sim(config={"modules": [
                {"name": "a"}, {"name": "b"}, {"name": "p7", "model": "P7"}]})
        except BaseException:
            cls.lab.close()
            raise
        cls.macs = {m["name"]: m["mac"] for m in cls.sim.modules}

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def file(self, model, panel):
        path = self.lab.path(f"{model}.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump({"format": "r2config-module", "version": 1, "model": model,
                       "firmware": 4017, "mac": "02 52 32 06 00 99",
                       "time": "2026-12-10T07:54:24Z", "panel": panel}, f)
        return path

    def test_all_found_takes_the_files_model_only(self):
        path = self.file("P6", {"edt_ModName": "all", "edt_SubnetMask": "255.255.255.0"})
        doc, done = self.lab.r2ctl_json("--wait", WAIT, "clone", path, "--all-found",
                                        "--dry-run", "--ip-from", "192.168.0.200")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(sorted((r["mac"], r["newIp"], r["result"]) for r in doc),
                         [(self.macs["a"], "192.168.0.200", "dry run"),
                          (self.macs["b"], "192.168.0.201", "dry run")])
        self.assertIn(f"{self.macs['p7']} (P7) is not a P6 module; left alone", done.stderr)

    def test_p7_takes_its_planned_address_and_name(self):
        mac = self.macs["p7"]
        path = self.file("P7", dict(P7_PANEL, edt_UserMACP7="02 52 32 06 00 99"))
        mark = len(self.sim.log())
        done = self.lab.r2ctl("--wait", WAIT, "clone", path, "--to", mac, "--ip-from",
                              "192.168.0.120", "--name", "Seven-{n}")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        frames = [e for e in self.sim.log()[mark:]
                  if e["dir"] == "rx" and e["module"] == mac and e["cmd"] == BASE]
        self.assertEqual([f["port"] for f in frames], [1901])
        base = frame_block(bytes.fromhex(frames[0]["hex"]))
        self.assertEqual(base[3] & 0x80, 0x80, "a static address")
        self.assertEqual(base[9:13], bytes([120, 0, 168, 192]), "the planned IP")
        self.assertEqual(base[17:21], bytes([0, 255, 255, 255]), "the file's mask")
        self.assertEqual(base[NAME], b"Seven-1".ljust(16, b"\0"))
        self.assertEqual(base[53:59], bytes.fromhex(mac.replace(" ", "")), "its own MAC")


if __name__ == "__main__":
    unittest.main()
