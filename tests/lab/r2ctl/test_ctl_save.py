"""r2ctl write, restart and reset against simulated modules, checked on the simulator's log:
which frames reach the module, in which order, on which port, with which gaps and bytes, and
what r2ctl prints of them (passwords hidden unless --show-secrets)."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import Lab  # noqa: E402

WAIT = "500"
BASE, PORT, END, RESTART, RESET = 0x05, 0x06, 0x04, 0x02, 0x0B
CLOUD, HEART, URL, HEAD, MODBUS = 0x0C, 0x21, 0x22, 0x23, 0x24
PAUSED = {BASE, PORT, CLOUD, HEART, URL, HEAD}  # each followed by 500 ms
DID, CODE = "ABCDEFGHIJ0123456789", "87654321"


def block(entry):
    """The block a command frame carried."""
    return bytes.fromhex(entry["hex"])[21:-1]


def printed(entry, show_secrets=False):
    """A frame the module took, as r2ctl prints it: the password the command carries and the
    one inside its base or cloud block as ** unless show_secrets."""
    text = bytes.fromhex(entry["hex"]).hex().upper()
    if show_secrets:
        return text
    spans = [(15, 6)] + {BASE: [(21 + 43, 6)], CLOUD: [(21 + 22, 8)]}.get(entry["cmd"], [])
    for offset, length in spans:
        text = text[:2 * offset] + "**" * length + text[2 * (offset + length):]
    return text


def read_blocks(sim, mac):
    """The blocks the module sent for its first read, by length (the 130 split in two)."""
    blocks = {}
    for e in sim.sent(mac, "read"):
        data = bytes.fromhex(e["hex"])
        if len(data) == 130:
            blocks["base"], blocks["port"] = data[:67], data[67:]
        elif len(data) not in blocks:
            blocks[len(data)] = data
    return blocks


class SaveChecks(unittest.TestCase):
    def assert_gaps(self, frames):
        """At least 500 ms after each paused block, and 1500 ms more before the restart."""
        for a, b in zip(frames, frames[1:]):
            need = (500 if a["cmd"] in PAUSED else 0) + (1500 if b["cmd"] == RESTART else 0)
            self.assertGreaterEqual(b["t"] - a["t"], need,
                                    f"gap after command {a['cmd']:#04x} ({a['action']})")


class P6SaveTest(SaveChecks):
    # name, module settings, --set values, commands (with the Modbus frame lengths), message
    CASES = [
        ("4016", {"version": 4016}, [], [BASE, PORT, (MODBUS, 26), (MODBUS, 109), RESTART], None),
        ("4017", {"version": 4017}, [], [BASE, PORT, HEART, (MODBUS, 26), (MODBUS, 109), RESTART],
         None),
        ("4016 httpd", {"version": 4016}, ["cbb_WorkMode0=4"],
         [BASE, PORT, (MODBUS, 26), (MODBUS, 109), RESTART], None),
        ("4017 httpd", {"version": 4017}, ["cbb_WorkMode0=4"],
         [BASE, PORT, HEART, URL, HEAD, (MODBUS, 26), (MODBUS, 109), RESTART], None),
        ("one-byte modbus", {"blocks": {"modbus": "01"}}, [],
         [BASE, PORT, HEART, (MODBUS, 23), (MODBUS, 109), RESTART], None),
        ("no modbus", {"blocks": {"modbus": False, "modbusPack": False}}, [],
         [BASE, PORT, HEART, RESTART], None),
        ("cloud", {}, ["RzComboBox2=3", f"edtDid={DID}", f"edtCompass={CODE}"],
         [BASE, PORT, CLOUD, HEART, (MODBUS, 26), (MODBUS, 109), RESTART], None),
        ("cloud, 19-digit id", {}, ["RzComboBox2=3", f"edtDid={DID[:19]}", f"edtCompass={CODE}"],
         [BASE, PORT, HEART, (MODBUS, 26), (MODBUS, 109), RESTART], "20-digit Device ID"),
        ("cloud, 7-digit code", {}, ["RzComboBox2=3", f"edtDid={DID}", f"edtCompass={CODE[:7]}"],
         [BASE, PORT, HEART, (MODBUS, 26), (MODBUS, 109), RESTART], "8-digit communication"),
    ]

    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        modules = [dict(name=name, **settings) for name, settings, *_ in cls.CASES]
        modules.append({"name": "spare"})
        cls.sim = cls.lab.start_sim(config={"modules": modules})
        cls.macs = {m["name"]: m["mac"] for m in cls.sim.modules}

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def save(self, name, *sets, user_args=()):
        args = list(user_args) + ["--wait", WAIT, "write", self.macs[name]]
        for s in sets:
            args += ["--set", s]
        return self.lab.r2ctl(*args)

    def test_sequences(self):
        for name, _, sets, expected, message in self.CASES:
            with self.subTest(name):
                mac = self.macs[name]
                done = self.save(name, "edt_ModName=Saved", *sets)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                frames = self.sim.commands(mac)
                got = [(f["cmd"], f["len"]) if f["cmd"] == MODBUS else f["cmd"] for f in frames]
                self.assertEqual(got, expected)
                self.assertEqual({f["port"] for f in frames}, {1500})
                self.assertEqual({f["result"] for f in frames}, {"K"})
                self.assert_gaps(frames)
                if message:
                    self.assertIn(message, done.stderr)
                self.check_blocks(name, frames)

    def check_blocks(self, name, frames):
        """What went back is what was read, but for what the settings changed."""
        read = read_blocks(self.sim, self.macs[name])
        by_cmd = {f["cmd"]: block(f) for f in frames}
        base = bytearray(read["base"])
        base[21:37] = b"Saved".ljust(16, b"\0")
        self.assertEqual(by_cmd[BASE].hex(), base.hex())
        port = bytearray(read["port"])
        if "httpd" in name:
            port[51] = 4
        if name.startswith("cloud"):
            port[50] |= 0x10  # registration through the cloud, whether its block went or not
        if CLOUD in by_cmd:
            cloud = bytearray(read[50])
            cloud[2:30] = (DID + CODE).encode()
            self.assertEqual(by_cmd[CLOUD].hex(), cloud.hex())
        self.assertEqual(by_cmd[PORT].hex(), port.hex())
        if HEART in by_cmd:
            self.assertEqual(by_cmd[HEART], read[85])
        if URL in by_cmd:
            self.assertEqual(by_cmd[URL] + by_cmd[HEAD], read[302])

    def test_saved_values_are_read_back_and_reset_restores(self):
        mac = self.macs["spare"]
        done = self.save("spare", "edt_ModName=Renamed", "edt_LocalPort0=4001")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        doc, done = self.lab.r2ctl_json("--wait", WAIT, "read", mac)
        self.assertEqual((doc["panel"]["edt_ModName"], doc["panel"]["edt_LocalPort0"]),
                         ("Renamed", "4001"))
        done = self.lab.r2ctl("--wait", WAIT, "reset", mac)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual([(f["cmd"], f["port"]) for f in self.sim.commands(mac)][-1],
                         (RESET, 1500))
        doc, _ = self.lab.r2ctl_json("--wait", WAIT, "read", mac)
        self.assertEqual(doc["panel"]["edt_ModName"], "spare")

    def test_panel_of_a_read_saves_the_same_blocks(self):
        # The panel JSON of "read" fed back to "write --from" must change nothing: lists are
        # indexes there, even on lists whose entries are numbers (stop bits, connections).
        mac = self.macs["spare"]
        doc, done = self.lab.r2ctl_json("--show-secrets", "--wait", WAIT, "read", mac)
        self.assertEqual(done.returncode, 0, done.stderr)
        panel = self.lab.path("p6.json")
        with open(panel, "w") as f:
            json.dump(doc["panel"], f)
        before = len(self.sim.commands(mac))
        done = self.lab.r2ctl("--wait", WAIT, "write", mac, "--from", panel)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        frames = {f["cmd"]: block(f) for f in self.sim.commands(mac)[before:]}
        self.assertEqual(frames[BASE].hex().upper(), doc["blocks"]["base"])
        self.assertEqual(frames[PORT].hex().upper(), doc["blocks"]["port"])

    def test_printed_frames_hide_the_passwords(self):
        mac = self.macs["spare"]
        sets = ["RzComboBox2=3", f"edtDid={DID}", f"edtCompass={CODE}"]
        for show in (False, True):
            with self.subTest(show_secrets=show):
                extra = ["--show-secrets"] if show else []
                before = len(self.sim.commands(mac))
                doc, done = self.lab.r2ctl_json(*extra, "--wait", WAIT, "write", mac,
                                                *[a for s in sets for a in ("--set", s)])
                self.assertEqual(done.returncode, 0, done.stderr)
                frames = self.sim.commands(mac)[before:]
                self.assertEqual([f["cmd"] for f in frames][:3], [BASE, PORT, CLOUD])
                self.assertEqual([f["bytes"] for f in doc["sent"]],
                                 [printed(f, show) for f in frames])
                before = len(self.sim.commands(mac))
                done = self.save("spare", *sets, user_args=extra)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                lines = [l.split(" bytes: ")[1] for l in done.stdout.splitlines()
                         if l.startswith("sent  ")]
                self.assertEqual(lines, [printed(f, show) for f in self.sim.commands(mac)[before:]])
                for secret in (b"tulip", CODE.encode()):
                    self.assertEqual(secret.hex().upper() in done.stdout + json.dumps(doc), show)

    def test_value_that_does_not_convert_sends_nothing(self):
        cases = [("edt_StaticIP", "1.2.3"), ("edt_LocalPort0", "80a"), ("edtHeartTm", ""),
                 ("edt_UserMAC", "02 52 32 06 00")]
        for control, value in cases:
            with self.subTest(control):
                before = len(self.sim.received())
                done = self.save("spare", f"{control}={value}")
                self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
                self.assertIn(control, done.stderr)
                frames = self.sim.received()[before:]
                self.assertEqual([f["action"] for f in frames], ["search", "read"])

    def test_wrong_credentials(self):
        mac = self.macs["spare"]
        before = len(self.sim.commands(mac, skip=()))
        done = self.save("spare", "edt_ModName=Intruder", user_args=["--password", "wrong"])
        self.assertEqual(done.returncode, 3, done.stdout + done.stderr)
        results = {f["result"] for f in self.sim.commands(mac, skip=())[before:]}
        self.assertEqual(results, {"P"})
        doc, _ = self.lab.r2ctl_json("--wait", WAIT, "read", mac)
        self.assertNotEqual(doc["panel"]["edt_ModName"], "Intruder")


class P7Test(SaveChecks):
    PANEL = {
        "cbb_AddrTypeP7": 1, "edt_StaticIPP7": "192.168.0.30", "edt_SubnetMaskP7": "255.255.255.0",
        "edt_GatewayIPP7": "192.168.0.1", "edt_ModNameP7": "P7-saved",
        "edt_LocationURLPortP7": "1900", "edt_HTTPServerPortP7": "80", "edt_IdTypeP7": "2",
        "edt_usernameP7": "admin", "edt_passwordP7": "tulip", "cbb_BaudRate0P7": "9600",
        "cbb_P0P7": 0, "cbb_D0P7": 3, "cbb_S0P7": 0, "cbb_FlowControl0P7": 0,
        "cbb_WorkMode0P7": 1, "cbb_ModbusTCP0P7": 0, "edt_LocalPort0P7": "20108",
        "edt_RemotePort0P7": "8234", "edt_RemoteIP0P7": "192.168.0.201",
        "edt_UARTTime0P7": "20", "edt_UARTLength0P7": "1024", "chk_RFC22170P7": False,
        "cbb_TCPSvrCount0P7": 7, "cbb_TCPStyle0P7": 0,
    }

    def save(self, lab, mac):
        panel = lab.path("p7.json")
        with open(panel, "w") as f:
            json.dump(dict(self.PANEL, edt_UserMACP7=mac), f)
        return lab.r2ctl("--wait", WAIT, "write", mac, "--from", panel)

    def test_save(self):
        with Lab() as lab:
            sim = lab.start_sim("--p7", "1")
            mac = sim.modules[0]["mac"]
            done = self.save(lab, mac)
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
            frames = sim.commands(mac)
            self.assertEqual([(f["cmd"], f["port"], f["len"]) for f in frames],
                             [(BASE, 1901, 89), (PORT, 1901, 85), (END, 1901, 22)])
            for a, b in zip(frames, frames[1:]):
                self.assertGreaterEqual(b["t"] - a["t"], 500)
            base, port = block(frames[0]), block(frames[1])
            factory = read_blocks(sim, mac)
            self.assertEqual(base[0:3], factory["base"][0:3], "unknown bytes go back as read")
            self.assertEqual(base[3], 0x80)
            self.assertEqual(base[9:13], bytes([30, 0, 168, 192]))
            self.assertEqual(base[21:37], b"P7-saved".ljust(16, b"\0"))
            self.assertEqual(base[52], 2)
            self.assertEqual(port[0:4], (9600).to_bytes(4, "little"))
            self.assertEqual(port[52:56], (1024).to_bytes(4, "little"))
            self.assertEqual(port[58], 0x81, "8 connections (index 7), transparent style")

    def test_restart_goes_to_1500_and_reset_to_1901(self):
        with Lab() as lab:
            sim = lab.start_sim("--p7", "1")
            mac = sim.modules[0]["mac"]
            self.assertEqual(self.save(lab, mac).returncode, 0)
            factory = read_blocks(sim, mac)
            done = lab.r2ctl("--wait", WAIT, "restart", mac)
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
            done = lab.r2ctl("--wait", WAIT, "reset", mac)
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
            tail = [(f["cmd"], f["port"], f["result"]) for f in sim.commands(mac)[3:]]
            self.assertEqual(tail, [(RESTART, 1500, "K"), (RESET, 1901, "K")])
            doc, _ = lab.r2ctl_json("--show-secrets", "--wait", WAIT, "read", mac)
            self.assertEqual(doc["blocks"]["base"], factory["base"].hex().upper())

if __name__ == "__main__":
    unittest.main(verbosity=2)
