"""Who answers for a module: r2ctl counts a save as done only when the module itself, from the
address its search reply came from, acknowledged every frame in that frame's own window; and a
read takes parameter blocks only from that address, refusing to save when two modules answer
from it. The misbehaving answers come from answer_peer.py on the lab side, next to r2sim."""

import json
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
from labenv import LAB_IF, Lab, PcSocket, _die_with_parent, command_frame  # noqa: E402

WAIT = "300"
STRANGER = "192.168.0.99"
BASE, PORT, HEART, MODBUS, RESTART, READ = 0x05, 0x06, 0x21, 0x24, 0x02, 0x03
ACK = "FF01034B"

# "quiet" answers no write and no restart itself: every acknowledgement it gets is the peer's.
MODULES = [
    {"name": "quiet", "raw": {"write": [], "restart": []}},
    {"name": "read-foreign"},
    {"name": "two-on-one"},
]


class Peer:
    """answer_peer.py running in the lab namespace with one script."""

    def __init__(self, lab, rules):
        path = lab.path("peer.json")
        with open(path, "w") as f:
            json.dump({"interface": LAB_IF, "rules": rules}, f)
        self.proc = subprocess.Popen(
            lab.lab_prefix() + [sys.executable, os.path.join(HERE, "answer_peer.py"), path],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
            preexec_fn=_die_with_parent)
        line = self.proc.stdout.readline().strip()
        if line != "ready":
            raise RuntimeError(f"answer_peer did not start: {line}{self.proc.stderr.read()}")

    def stop(self):
        """Ends the peer; returns what it sent, one dict per datagram."""
        out, err = self.proc.communicate(input="", timeout=10)  # end of input ends it
        if self.proc.returncode != 0:
            raise RuntimeError(f"answer_peer failed: {err}")
        return [json.loads(line) for line in out.splitlines() if line.strip()]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def acks(mac, cmd, n, sender, nth=None):
    rule = {"mac": mac, "cmd": cmd, "send": [{"from": sender, "hex": ACK, "copies": n}]}
    if nth is not None:
        rule["nth"] = nth
    return rule


class AnswersTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        cls.sim = cls.lab.start_sim(config={"modules": MODULES})
        cls.mods = {m["name"]: m for m in cls.sim.modules}

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def module(self, name):
        m = self.mods[name]
        return m["mac"], m["mac"].replace(" ", ""), m["ip"]

    def base_reply(self, name):
        """The 130-byte base and port reply the module sends to a read."""
        mac = self.mods[name]["mac"]
        with PcSocket() as pc:
            pc.send(command_frame(READ, mac))
            replies = [data for data, _, _ in pc.collect(0.5) if len(data) == 130]
        self.assertTrue(replies, f"{name} sent no base block")
        return replies[0]

    def write(self, mac):
        return self.lab.r2ctl("--wait", WAIT, "write", mac, "--set", "edt_ModName=Saved")

    # ---- acknowledgements -----------------------------------------------------------------

    def test_a_save_counts_only_the_modules_own_acknowledgement_in_each_frames_window(self):
        mac, key, ip = self.module("quiet")
        every = [acks(key, cmd, 1, ip) for cmd in (BASE, PORT, HEART, MODBUS, RESTART)]
        # name, peer rules, exit status, the frame the verdict names
        cases = [
            ("every frame acknowledged by the module", every, 0, None),
            ("heartbeat never acknowledged, port acknowledged twice",
             [acks(key, BASE, 1, ip), acks(key, PORT, 2, ip), acks(key, MODBUS, 1, ip),
              acks(key, RESTART, 1, ip)], 5,
             f"the heartbeat/registration frame (3 of 6) was not acknowledged by {ip}"),
            ("module silent, a third host sends six acknowledgements",
             [acks(key, BASE, 6, STRANGER)], 4,
             f"the base frame (1 of 6) was not acknowledged by {ip}"),
            ("eight acknowledgements after the first frame, then nothing",
             [acks(key, BASE, 8, ip)], 5, f"the port frame (2 of 6) was not acknowledged by {ip}"),
        ]
        for name, rules, status, named in cases:
            with self.subTest(name):
                with Peer(self.lab, rules):
                    doc, done = self.lab.r2ctl_json("--wait", WAIT, "write", mac, "--set",
                                                    "edt_ModName=Saved")
                self.assertEqual(done.returncode, status, done.stderr)
                self.assertEqual(doc["exit"], status)
                self.assertEqual(doc["verdict"]["allAcknowledged"], named is None)
                if named is not None:
                    self.assertIn(named, done.stderr)
                    self.assertTrue(doc["verdict"]["text"].startswith(named), doc["verdict"])

    # ---- replies from the right module ----------------------------------------------------

    def test_a_read_takes_blocks_only_from_the_module_being_read(self):
        mac, key, ip = self.module("read-foreign")
        own = self.base_reply("read-foreign")
        foreign = bytearray(own)
        foreign[21:37] = b"FOREIGN".ljust(16, b"\0")
        foreign[67 + 12:67 + 14] = (4321).to_bytes(2, "little")
        # The foreign block comes after the module's own, so that it would be the last one in.
        rules = [{"mac": key, "cmd": READ,
                  "send": [{"from": STRANGER, "hex": foreign.hex(), "delayMs": 100}]}]
        with Peer(self.lab, rules):
            doc, done = self.lab.r2ctl_json("--show-secrets", "--wait", WAIT, "read", mac)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(doc["blocks"]["base"], own[:67].hex().upper())
            self.assertEqual(doc["panel"]["edt_ModName"], "read-foreign")
            self.assertIn(f"from {STRANGER}", done.stderr)

            before = len(self.sim.commands(mac))
            done = self.write(mac)
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        frames = {f["cmd"]: bytes.fromhex(f["hex"])[21:-1] for f in self.sim.commands(mac)[before:]}
        expected = bytearray(own[:67])
        expected[21:37] = b"Saved".ljust(16, b"\0")
        self.assertEqual(frames[BASE].hex(), expected.hex(), "the module got another's bytes")
        self.assertEqual(frames[PORT], own[67:])

    def test_two_modules_on_one_address_refuse_the_save(self):
        mac, key, ip = self.module("two-on-one")
        own = self.base_reply("two-on-one")
        twin = bytearray(own)
        twin[21:37] = b"TWIN".ljust(16, b"\0")
        twin[53:59] = bytes.fromhex("025232069999")
        rules = [{"mac": key, "cmd": READ,
                  "send": [{"from": ip, "port": 1500, "hex": twin.hex(), "delayMs": 100}]}]
        message = f"several modules answer from {ip}: give each its own address first"
        with Peer(self.lab, rules):
            before = len(self.sim.received(mac))
            done = self.write(mac)
            self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
            self.assertIn(message, done.stderr)
            self.assertEqual([f["action"] for f in self.sim.received(mac)[before:]], ["read"],
                             "something was written")
            done = self.lab.r2ctl("--wait", WAIT, "read", mac)
            self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
            self.assertIn(message, done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
