"""What r2ctl does with input it cannot trust: module texts that hold control characters reach
the terminal as visible escapes, list indexes and credentials that cannot be sent as given are
refused before anything goes out, and under --json every failure still leaves JSON on standard
output."""

import json
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import Lab  # noqa: E402

WAIT = "400"
FAKE_ROW = "X\n10.6.6.6  \x1b[2J"  # a name that prints a row of its own and clears the screen
# A base block for 02 52 32 06 00 01 whose name bytes are no GBK text (0x9B 0x32): they are
# shown byte by byte, so U+009B, the one-byte form of ESC [, comes out of the decoder.
BASE_OF_0001 = bytearray.fromhex(
    "5AA501826C075000111400A8C00100A8C000FFFFFF50362D303030310000000000000000006164"
    "6D696E0074756C697000223344200252320600010100A8C003556677")
BASE_OF_0001[21:37] = b"C1\x9b2J\x7f".ljust(16, b"\0")

MODULES = [
    {"model": "P6", "mac": "02 52 32 06 00 0E", "name": FAKE_ROW},
    {"model": "P6", "mac": "02 52 32 06 00 01", "name": "c1", "blocks": {"base": BASE_OF_0001.hex()}},
    {"model": "P6", "mac": "02 52 32 06 00 0F", "name": "mute", "raw": {"read": []}},
]
NAMED, C1, MUTE = (m["mac"] for m in MODULES)


def assert_no_terminal_controls(test, text):
    """Nothing a terminal would act on: only line ends among the C0 controls, no DEL, no C1."""
    bad = [c for c in text if (ord(c) < 0x20 and c != "\n") or 0x7F <= ord(c) <= 0x9F]
    test.assertEqual(bad, [], text)


class UntrustedInputTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        cls.sim = cls.lab.start_sim(config={"modules": MODULES})

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()

    def test_search_table_shows_control_characters_as_escapes(self):
        done = self.lab.r2ctl("--wait", WAIT, "search")
        self.assertEqual(done.returncode, 0, done.stderr)
        assert_no_terminal_controls(self, done.stdout)
        lines = done.stdout.splitlines()
        # the header, one row per module, the count; the search reply cuts names at 14 bytes
        self.assertEqual(len(lines), 2 + len(MODULES), done.stdout)
        self.assertEqual(len([l for l in lines if re.match(r"\d+\.\d+\.\d+\.\d+ ", l)]),
                         len(MODULES), done.stdout)
        row = next(l for l in lines if NAMED in l)
        self.assertIn(r"X\n10.6.6.6  \x1b[", row)

    def test_read_panel_shows_control_characters_as_escapes(self):
        for mac, shown in ((NAMED, r"X\n10.6.6.6  \x1b[2J"), (C1, r"C1\x9b2J\x7f")):
            with self.subTest(mac):
                done = self.lab.r2ctl("--wait", WAIT, "read", mac)
                self.assertEqual(done.returncode, 0, done.stderr)
                assert_no_terminal_controls(self, done.stdout)
                name_line = next(l for l in done.stdout.splitlines()
                                 if l.strip().startswith("edt_ModName"))
                self.assertEqual(name_line.split(None, 1)[1], shown)

    def test_json_carries_the_texts_escaped_and_unchanged(self):
        rows, done = self.lab.r2ctl_json("--wait", WAIT, "search")
        assert_no_terminal_controls(self, done.stdout)
        self.assertEqual({r["mac"]: r["name"] for r in rows}[NAMED], FAKE_ROW[:14])
        for mac, name in ((NAMED, FAKE_ROW), (C1, "C1\x9b2J\x7f")):
            doc, done = self.lab.r2ctl_json("--wait", WAIT, "read", mac)
            assert_no_terminal_controls(self, done.stdout)
            self.assertEqual(doc["panel"]["edt_ModName"], name)

    def test_values_that_cannot_be_sent_as_given_are_refused_before_anything_goes_out(self):
        from_file = self.lab.path("index.json")
        with open(from_file, "w") as f:
            json.dump({"cbb_WorkMode0": 4294967299}, f)
        cases = [  # arguments, words of the message, what the module saw
            (["write", NAMED, "--from", from_file], "cbb_WorkMode0", ["search"]),
            (["write", NAMED, "--set", "cbb_WorkMode0=4294967299"], "cbb_WorkMode0",
             ["search"]),
            # "\udcff" is how Python passes the single byte 0xFF in an argument
            (["--password", "tu\udcfflip", "write", NAMED, "--set", "edt_ModName=x"],
             "--password", []),
            (["--user=\udcc0\udcaf", "restart", NAMED], "--user", []),
        ]
        for args, words, actions in cases:
            with self.subTest(" ".join(args)):
                before = len(self.sim.received())
                done = self.lab.r2ctl("--wait", WAIT, *args)
                self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
                self.assertIn(words, done.stderr)
                self.assertEqual([f["action"] for f in self.sim.received()[before:]], actions)

    def test_every_failure_leaves_json(self):
        cases = [  # arguments after --json, exit status, words of the error
            (["--wait", "soon", "search"], 1, "--wait"),
            (["--password", "\udcff", "restart", NAMED], 1, "UTF-8"),
            (["--wait", WAIT, "read", "02 52 32 06 00 77"], 2, "no module"),
            (["--wait", WAIT, "--password", "wrong", "write", NAMED, "--set", "edt_ModName=x"],
             3, "password"),
            (["--wait", WAIT, "write", NAMED, "--set", "cbb_WorkMode0=9"], 1, "cbb_WorkMode0"),
            (["--wait", WAIT, "read", MUTE], 4, "no parameter block"),
            (["--wait", WAIT, "write", MUTE, "--set", "edt_ModName=x"], 4, "did not send"),
        ]
        for args, status, words in cases:
            with self.subTest(" ".join(args)):
                doc, done = self.lab.r2ctl_json(*args)
                self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                self.assertEqual(doc["exit"], status)
                self.assertIn(words, doc["error"])
                self.assertIn(words, done.stderr, "the message still goes to standard error")
        # A read that failed keeps what it printed, with the error added.
        doc, _ = self.lab.r2ctl_json("--wait", WAIT, "read", MUTE)
        self.assertEqual((doc["device"]["mac"], doc["blocks"]), (MUTE, {}))


if __name__ == "__main__":
    unittest.main(verbosity=2)
