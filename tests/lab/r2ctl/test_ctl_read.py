"""r2ctl read of simulated modules: the blocks as they came (their passwords hidden unless
--show-secrets), the P6 panel filled from them, and the Modbus controls shown only for the
Modbus replies the module sent."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import Lab  # noqa: E402

WAIT = "600"
LENGTH_TO_BLOCK = {50: "cloud", 85: "heartReg", 302: "httpd", 87: "modbusPack",
                   1: "modbus", 4: "modbus"}


# Where the passwords sit: the module's login password in the base block, the cloud
# communication password in the cloud block (offset, length in bytes).
SECRETS = {"base": (43, 6), "cloud": (22, 8)}


def blocks_sent(sim, mac, show_secrets=False):
    """The blocks the module sent for its read, under r2ctl's names, as r2ctl prints them: each
    password byte as ** unless show_secrets."""
    blocks = {}
    for e in sim.sent(mac, "read"):
        if e["len"] == 130:
            blocks["base"], blocks["port"] = e["hex"][:134], e["hex"][134:]
        else:
            blocks[LENGTH_TO_BLOCK[e["len"]]] = e["hex"]
    for name, (offset, length) in SECRETS.items():
        if name in blocks and not show_secrets:
            hex_text = blocks[name]
            blocks[name] = hex_text[:2 * offset] + "**" * length + hex_text[2 * (offset + length):]
    return blocks


def base_block(ip_rev, name, dhcp):
    """A hand-made base block: the address, the name and the address type stand out."""
    b = bytearray(67)
    b[3] = 0x00 if dhcp else 0x80
    b[9:13] = bytes(ip_rev)
    b[17:21] = bytes([0, 255, 255, 255])
    b[21:21 + len(name)] = name.encode()
    b[37:42] = b"admin"
    b[43:48] = b"tulip"
    b[53:59] = bytes.fromhex("0252320600AA")
    return b.hex()


def port_block(baud):
    b = bytearray(63)
    b[0:4] = baud.to_bytes(4, "little")
    b[4], b[5], b[6], b[7] = 7, 3, 2, 5  # 7 data bits, even parity, 2 stop bits, RS485
    b[51] = 3                            # TCP server
    return b.hex()


class ReadTest(unittest.TestCase):
    def test_p6_read_fills_the_panel(self):
        with Lab() as lab:
            sim = lab.start_sim("--p6", "1")
            m = sim.modules[0]
            doc, done = lab.r2ctl_json("--wait", WAIT, "read", m["mac"].replace(" ", ":"))
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(doc["device"]["mac"], m["mac"])
            self.assertEqual(doc["device"]["flag"], 2)
            self.assertEqual(doc["blocks"], blocks_sent(sim, m["mac"]))
            self.assertNotIn(b"tulip".hex().upper(), doc["blocks"]["base"])
            self.assertNotIn(b"12345678".hex().upper(), doc["blocks"]["cloud"])
            shown, done = lab.r2ctl_json("--show-secrets", "--wait", WAIT, "read", m["mac"])
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(shown["blocks"], blocks_sent(sim, m["mac"], show_secrets=True))
            text = lab.r2ctl("--wait", WAIT, "read", m["mac"]).stdout
            self.assertIn(f"  base       {doc['blocks']['base']}\n", text)
            self.assertIn(f"  cloud      {doc['blocks']['cloud']}\n", text)
            mac_hex = m["mac"].replace(" ", "")
            expected = {
                "edt_StaticIP": m["ip"], "edt_ModName": m["name"], "edt_UserMAC": m["mac"],
                "edt_GatewayIP": "192.168.0.1", "edt_SubnetMask": "255.255.255.0",
                "cbb_AddrType": 1, "edt_username": "admin", "edt_password": "tulip",
                "rzchckbx_Link": True, "rzchckbx_Reset": False,
                "cbb_BaudRate0": "115200", "cbb_D0": 3, "cbb_P0": 0, "cbb_WorkMode0": 1,
                "edt_LocalPort0": "20108", "edt_RemotePort0": "8234",
                "edt_RemoteIP0": "192.168.0.201", "cbb_TCPSvrCount0": 3, "LabeledEdit1": "300",
                "edtDid": f"R2ID{mac_hex}0000", "edtCompass": "12345678",
                "edtHeartTm": "60", "edtHeartDt": "HEART", "edtRegDt": "REGISTER",
                "RzComboBox1": 2, "cbbRegType": 0,
                "LabeledEdit2": "/r2/data.php?", "RzRichEdit1": "Accept: text/html",
                "rzchckbxmodbustcp": True, "rzchckbxmodbuspool": False, "edtwaittime": "10",
                "cbbModbusType": 1, "edtModbusTimeout": "200", "edtModbusInterval": "100",
            }
            for control, value in expected.items():
                with self.subTest(control):
                    self.assertEqual(doc["panel"][control], value)
            for control in ("rzgrpbxModbus", "rzchckbxmodbuspool", "RzGroupBox1"):
                self.assertTrue(doc["visible"][control], control)

    def test_unusual_values_from_hand_made_blocks(self):
        config = {"modules": [{"mac": "02 52 32 06 00 AA", "blocks": {
            "base": base_block([254, 0, 0, 10], "hand-made", dhcp=True),
            "port": port_block(12345)}}]}
        with Lab() as lab:
            lab.start_sim(config=config)
            doc, done = lab.r2ctl_json("--wait", WAIT, "read", "0252320600AA")
            self.assertEqual(done.returncode, 0, done.stderr)
            panel = doc["panel"]
            self.assertEqual(panel["edt_StaticIP"], "10.0.0.254")
            self.assertEqual(panel["cbb_AddrType"], 0)
            self.assertEqual(panel["edt_ModName"], "hand-made")
            self.assertEqual(panel["cbb_BaudRate0"], "12345")
            self.assertEqual((panel["cbb_D0"], panel["cbb_P0"], panel["cbb_S0"]), (2, 2, 1))
            self.assertEqual(panel["cbb_FlowControl0"], 2)
            self.assertEqual(panel["cbb_WorkMode0"], 3)

    def test_modbus_controls_follow_the_replies(self):
        cases = [  # name, blocks, switches group, poll box, pack group
            ("four", {}, True, True, True),
            ("one", {"modbus": "01"}, True, False, True),
            ("switches only", {"modbusPack": False}, True, True, False),
            ("pack only", {"modbus": False}, False, False, True),
            ("none", {"modbus": False, "modbusPack": False}, False, False, False),
        ]
        config = {"modules": [{"name": name, "blocks": blocks} for name, blocks, *_ in cases]}
        with Lab() as lab:
            sim = lab.start_sim(config=config)
            macs = {m["name"]: m["mac"] for m in sim.modules}
            for name, blocks, switches, poll, pack in cases:
                with self.subTest(name):
                    doc, done = lab.r2ctl_json("--wait", WAIT, "read", macs[name])
                    self.assertEqual(done.returncode, 0, done.stderr)
                    visible = doc["visible"]
                    self.assertEqual(visible["rzgrpbxModbus"], switches)
                    self.assertEqual(visible["rzchckbxmodbustcp"], switches)
                    self.assertEqual(visible["rzchckbxmodbuspool"], poll)
                    self.assertEqual(visible["RzGroupBox1"], pack)
                    self.assertEqual("modbus" in doc["blocks"], switches)
                    self.assertEqual("modbusPack" in doc["blocks"], pack)

    def test_p7_read_holds_the_base_and_port_blocks(self):
        with Lab() as lab:
            sim = lab.start_sim("--p7", "1")
            mac = sim.modules[0]["mac"]
            doc, done = lab.r2ctl_json("--wait", WAIT, "read", mac)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(doc["device"]["model"], "P7")
            self.assertEqual(doc["blocks"], blocks_sent(sim, mac))
            self.assertEqual([e["port"] for e in sim.received(mac)], [1901])


if __name__ == "__main__":
    unittest.main(verbosity=2)
