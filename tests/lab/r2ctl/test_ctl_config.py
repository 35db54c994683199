"""r2ctl backup and restore against simulated modules: a backup restored leaves every block as
it was, a file restored to another module keeps that module's identity and address, and a file
that is refused sends nothing. A backup file is private when new, keeps an existing file's mode,
and -o refuses a file without write permission (unless --force) and a link in a directory every
user may write to."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import Lab  # noqa: E402

WAIT = "500"
BASE, PORT, RESTART = 0x05, 0x06, 0x02
HEART, URL, HEAD, MODBUS = 0x21, 0x22, 0x23, 0x24
P7_PANEL = {
    "cbb_AddrTypeP7": 1, "edt_StaticIPP7": "192.168.0.30", "edt_SubnetMaskP7": "255.255.255.0",
    "edt_GatewayIPP7": "192.168.0.1", "edt_ModNameP7": "P7-saved", "edt_UserMACP7": "",
    "edt_LocationURLPortP7": "1900", "edt_HTTPServerPortP7": "80", "edt_Id3P7": "",
    "edt_IdTypeP7": "2", "edt_usernameP7": "admin", "edt_passwordP7": "tulip",
    "cbb_BaudRate0P7": "9600", "cbb_P0P7": 0, "cbb_D0P7": 3, "cbb_S0P7": 0,
    "cbb_FlowControl0P7": 0, "cbb_WorkMode0P7": 1, "cbb_ModbusTCP0P7": 0,
    "edt_LocalPort0P7": "20108", "edt_RemotePort0P7": "8234", "edt_RemoteIP0P7": "192.168.0.201",
    "edt_UARTTime0P7": "20", "edt_UARTLength0P7": "1024", "chk_RFC22170P7": False,
    "cbb_TCPSvrCount0P7": 7, "cbb_TCPStyle0P7": 0,
}


def block(entry):
    """The block a command frame carried."""
    return bytes.fromhex(entry["hex"])[21:-1]


def sent_blocks(frames):
    """What a save sent, as the read's blocks are named: base, port, heartReg, httpd, modbus,
    modbusPack (the Modbus switches and pack share one command, told apart by length)."""
    out = {}
    for f in frames:
        data = block(f)
        if f["cmd"] == BASE:
            out["base"] = data
        elif f["cmd"] == PORT:
            out["port"] = data
        elif f["cmd"] == HEART:
            out["heartReg"] = data
        elif f["cmd"] == URL:
            out["httpd"] = data + out.get("httpd", b"")
        elif f["cmd"] == HEAD:
            out["httpd"] = out.get("httpd", b"") + data
        elif f["cmd"] == MODBUS:
            out["modbus" if len(data) == 4 else "modbusPack"] = data
    return out


class BackupRestoreTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        modules = [{"name": n} for n in ("source", "target", "refused")]
        modules.append({"name": "p7", "model": "P7"})
        cls.sim = cls.lab.start_sim(config={"modules": modules})
        cls.macs = {m["name"]: m["mac"] for m in cls.sim.modules}
        cls.ips = {m["name"]: m["ip"] for m in cls.sim.modules}

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def r2ctl(self, *args):
        done = self.lab.r2ctl("--wait", WAIT, *args)
        return done, done.stdout + done.stderr

    def read(self, name):
        doc, done = self.lab.r2ctl_json("--show-secrets", "--wait", WAIT, "read", self.macs[name])
        self.assertEqual(done.returncode, 0, done.stderr)
        return doc

    def backup(self, name, file_name):
        path = self.lab.path(file_name)
        done, said = self.r2ctl("backup", self.macs[name], "-o", path)
        self.assertEqual(done.returncode, 0, said)
        with open(path, encoding="utf-8") as f:
            return path, json.load(f)

    def test_backup_then_restore_leaves_every_block_byte_identical(self):
        mac = self.macs["source"]
        # Values away from the simulator's defaults: a GBK name, HTTPD mode (its URL and header
        # blocks go out too), heartbeat data in hex.
        done, said = self.r2ctl("write", mac, "--set", "edt_ModName=车间-1",
                                "--set", "cbb_WorkMode0=4", "--set", "LabeledEdit2=http://x/y",
                                "--set", "RzComboBox1=2", "--set", "cbbHeartPackType=1",
                                "--set", "rzchckbxHeartDtHex=1", "--set", "edtHeartDt=A1B2C3")
        self.assertEqual(done.returncode, 0, said)
        before = self.read("source")
        path, saved = self.backup("source", "source.json")
        self.assertEqual((saved["format"], saved["version"], saved["model"], saved["mac"]),
                         ("r2config-module", 1, "P6", mac))
        self.assertEqual(saved["firmware"], before["device"]["version"])
        self.assertRegex(saved["time"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertEqual(saved["panel"], before["panel"], "the names and forms of read --json")

        mark = len(self.sim.received(mac))
        done, said = self.r2ctl("restore", mac, path)
        self.assertEqual(done.returncode, 0, said)
        frames = self.sim.received(mac)[mark:]
        self.assertEqual(frames[0]["action"], "read")
        saved_frames = [f for f in frames if f["action"] != "read"]
        self.assertEqual({f["result"] for f in saved_frames}, {"K"})
        written = sent_blocks(saved_frames)
        # The cloud block goes only with cloud registration; every other block went back.
        self.assertEqual(set(written), set(before["blocks"]) - {"cloud"}, said)
        for name, data in written.items():
            self.assertEqual(data.hex().upper(), before["blocks"][name], name)
        self.assertEqual(self.read("source")["blocks"], before["blocks"])

    def test_restore_to_another_module_keeps_its_mac_and_address(self):
        source, target = self.read("source"), self.read("target")
        path, _ = self.backup("source", "for-target.json")
        done, said = self.r2ctl("restore", self.macs["target"], path)
        self.assertEqual(done.returncode, 0, said)
        after = self.read("target")
        for control in ("edt_UserMAC", "cbb_AddrType", "edt_StaticIP", "edt_SubnetMask",
                        "edt_GatewayIP", "edtDns"):
            self.assertEqual(after["panel"][control], target["panel"][control], control)
        self.assertEqual(after["panel"]["edt_ModName"], source["panel"]["edt_ModName"])
        base_before = bytes.fromhex(target["blocks"]["base"])
        base_after = bytes.fromhex(after["blocks"]["base"])
        name = slice(21, 37)
        self.assertEqual(base_after[name], bytes.fromhex(source["blocks"]["base"])[name])
        self.assertEqual(base_after[:name.start] + base_after[name.stop:],
                         base_before[:name.start] + base_before[name.stop:],
                         "every base byte but the name stays the target's own")

    def write_file(self, name, doc):
        path = self.lab.path(name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(doc if isinstance(doc, str) else json.dumps(doc))
        return path

    def test_faulty_files_are_refused_before_any_frame(self):
        good = {"format": "r2config-module", "version": 1, "model": "P6", "firmware": 4017,
                "mac": self.macs["refused"], "time": "2026-12-10T07:54:24Z",
                "panel": {"edt_ModName": "never", "cbb_S0": 0}}
        cases = [
            ("unknown control", dict(good, panel={"edt_ModName": "never", "edt_Bogus": "x"}),
             ["edt_Bogus", "not on the P6 panel"]),
            ("wrong kind", dict(good, panel={"cbb_S0": "2"}), ["cbb_S0", "not \"2\""]),
            ("index out of range", dict(good, panel={"cbb_S0": 5}), ["cbb_S0", "not 5"]),
            ("newer version", dict(good, version=2), ["format version 2"]),
            ("other format", dict(good, format="r2sim"), ["not a module configuration"]),
            ("not JSON", "{\"format\": ", ["not valid JSON"]),
        ]
        for what, doc, said_parts in cases:
            with self.subTest(what):
                path = self.write_file(what.replace(" ", "-") + ".json", doc)
                before = len(self.sim.received())
                done, said = self.r2ctl("restore", self.macs["refused"], path)
                self.assertEqual(done.returncode, 1, said)
                for part in [path, "nothing was sent"] + said_parts:
                    self.assertIn(part, done.stderr)
                self.assertEqual(self.sim.received()[before:], [], "not even a search")
        self.assertEqual(self.read("refused")["panel"]["edt_ModName"], "refused")

    def test_p7_file_refused_for_a_p6_module(self):
        doc = {"format": "r2config-module", "version": 1, "model": "P7", "firmware": 4017,
               "mac": self.macs["p7"], "time": "2026-12-10T07:54:24Z",
               "panel": {"edt_ModNameP7": "never"}}
        path = self.write_file("p7.json", doc)
        mac = self.macs["refused"]
        before = len(self.sim.received(mac))
        done, said = self.r2ctl("restore", mac, path)
        self.assertEqual(done.returncode, 1, said)
        self.assertIn("holds a P7 configuration; the target is a P6 module", done.stderr)
        self.assertEqual(self.sim.received(mac)[before:], [], "found by the search, never read")

    def test_backup_file_modes_and_what_it_may_replace(self):
        mac = self.macs["source"]
        old = "old contents"
        shared = self.lab.path("shared")
        os.mkdir(shared)
        os.chmod(shared, 0o1777)  # sticky and world-writable, as /tmp
        os.symlink(self.lab.path("victim.json"), os.path.join(shared, "planted.json"))
        # file name, mode it has before (None: new), extra arguments, exit, mode after,
        # replaced, what stderr says
        cases = [
            ("new.json", None, [], 0, 0o600, True, ""),
            ("group.json", 0o640, [], 0, 0o640, True, ""),
            ("world.json", 0o644, [], 0, 0o644, True, ""),
            ("read-only.json", 0o444, [], 5, 0o444, False,
             "has no write permission (mode 0444), so it was not replaced and nothing was "
             "written; --force replaces it"),
            ("forced.json", 0o444, ["--force"], 0, 0o444, True, ""),
            ("victim.json", 0o600, [], 0, 0o600, True, ""),
        ]
        os.umask(0o022)
        for name, before, extra, status, after, replaced, said_text in cases:
            with self.subTest(name):
                path = self.lab.path(name)
                if before is not None:
                    with open(path, "w") as f:
                        f.write(old)
                    os.chmod(path, before)
                done, said = self.r2ctl("backup", mac, "-o", path, *extra)
                self.assertEqual(done.returncode, status, said)
                self.assertIn(said_text, done.stderr)
                self.assertEqual(os.stat(path).st_mode & 0o7777, after)
                with open(path) as f:
                    self.assertEqual(f.read() != old, replaced)
        planted = os.path.join(shared, "planted.json")
        with open(self.lab.path("victim.json")) as f:
            victim = f.read()
        os.chmod(self.lab.path("victim.json"), 0o400)
        for extra in ([], ["--force"]):
            done, said = self.r2ctl("backup", mac, "-o", planted, *extra)
            self.assertEqual(done.returncode, 5, said)
            self.assertIn(f"{planted} is a symbolic link in {shared}", done.stderr)
            self.assertNotIn("--force", done.stderr, "--force would not help")
        self.assertTrue(os.path.islink(planted))
        with open(self.lab.path("victim.json")) as f:
            self.assertEqual(f.read(), victim, "the file the link names is left alone")

    def test_p7(self):
        mac = self.macs["p7"]
        done, said = self.r2ctl("backup", mac, "-o", self.lab.path("no.json"))
        self.assertEqual(done.returncode, 5, said)
        self.assertIn("P7", done.stderr)
        self.assertFalse(os.path.exists(self.lab.path("no.json")))
        # A P7's read fills no panel, so its file names every control, as one written by hand
        # or by the window would.
        panel = dict(P7_PANEL, edt_ModNameP7="P7-restored", edt_StaticIPP7="10.9.9.9",
                     edt_UserMACP7="02 52 32 06 00 99")
        doc = {"format": "r2config-module", "version": 1, "model": "P7", "firmware": 4017,
               "mac": "02 52 32 06 00 99", "time": "2026-12-10T07:54:24Z", "panel": panel}
        before = len(self.sim.commands(mac))
        done, said = self.r2ctl("restore", mac, self.write_file("p7-good.json", doc))
        self.assertEqual(done.returncode, 0, said)
        frames = self.sim.commands(mac)[before:]
        self.assertEqual([(f["cmd"], f["port"]) for f in frames][:2], [(BASE, 1901), (PORT, 1901)])
        base = block(frames[0])
        self.assertEqual(base[21:37], b"P7-restored".ljust(16, b"\0"))
        self.assertEqual(base[53:59], bytes.fromhex(mac.replace(" ", "")), "its own MAC")
        replies = [bytes.fromhex(e["hex"]) for e in self.sim.sent(mac, "read")]
        read = [r for r in replies if len(r) == 130][-1][:67]
        self.assertEqual(base[3] & 0x80, read[3] & 0x80, "its own address type")
        self.assertEqual(base[9:21], read[9:21], "its own address, gateway and mask")


if __name__ == "__main__":
    unittest.main()
