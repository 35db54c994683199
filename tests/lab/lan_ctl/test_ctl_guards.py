"""What r2ctl refuses to send: a save over a module whose parameters did not come back, or
came back for another MAC, would write the panel's defaults over it; a module of no known
model gets no write and no reset. In every case only the search and (for a known model) the
read reach the module."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import Lab  # noqa: E402

WAIT = "400"
# A base block whose module MAC field says 02 52 32 06 00 01.
BASE_OF_0001 = ("5AA501826C075000111400A8C00100A8C000FFFFFF50362D303030310000000000000000006164"
                "6D696E0074756C697000223344200252320600010100A8C003556677")

MODULES = [
    {"model": "P6", "mac": "02 52 32 06 00 09", "name": "other-mac",
     "blocks": {"base": BASE_OF_0001}},
    {"model": "P6", "mac": "02 52 32 06 00 0A", "name": "no-base", "blocks": {"base": False}},
    {"model": "P7", "mac": "02 52 32 07 00 0B", "name": "p7-no-base", "blocks": {"base": False}},
    {"model": "old", "mac": "02 52 32 05 00 0C", "name": "old"},
]

# command line after the options, exit status, words of the message, actions the module saw
CASES = [
    (["write", "025232060009", "--set", "edt_ModName=X"], 5, "another MAC", ["search", "read"]),
    (["write", "02:52:32:06:00:0A", "--set", "edt_ModName=X"], 4, "did not send",
     ["search", "read"]),
    (["write", "02-52-32-07-00-0B", "--set", "edt_ModNameP7=X"], 4, "did not send",
     ["search", "read"]),
    (["write", "02523205000C", "--set", "edt_ModName=X"], 5, "R2 Series", ["search"]),
    (["reset", "02523205000C"], 5, "does not apply", ["search"]),
    (["write", "025232060009", "--set", "no_such_control=1"], 1, "no_such_control", ["search"]),
]


class GuardTest(unittest.TestCase):
    def test_nothing_is_written(self):
        with Lab() as lab:
            sim = lab.start_sim(config={"modules": MODULES})
            for args, status, words, actions in CASES:
                with self.subTest(" ".join(args)):
                    before = len(sim.received())
                    done = lab.r2ctl("--wait", WAIT, *args)
                    self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                    self.assertIn(words, done.stderr)
                    seen = [f["action"] for f in sim.received()[before:]]
                    self.assertEqual(seen, actions)


if __name__ == "__main__":
    unittest.main(verbosity=2)
