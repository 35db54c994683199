"""Every answer a module can give to a command, and what r2ctl makes of it: the status it
prints and its exit status. Each module below answers the restart with fixed datagrams."""

import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import Lab  # noqa: E402

WAIT = "400"

# name, raw answer to the restart (None: the module's own answer), exit status, status lines
CASES = [
    ("ack", None, 0, [r"275 ACK"]),
    ("password", ["FF010250"], 3, [r"480 UsrName or Password Error"]),
    ("other error", ["FF010245"], 5, [r"469 Other Error"]),
    ("check error", ["45A7"], 5, [r"269 A7"]),
    ("another series 193", ["00" * 193], 5, [r"193256 Read R6/L83"]),
    ("another series 256", ["11" * 256], 5, [r"193256 Read R6/L83"]),
    ("unknown length", ["0102030405"], 5, [r"555555 5\b"]),
    ("empty datagram", [""], 5, [r"555555 0\b"]),
    ("unknown result byte", ["FF010258"], 4, []),
    ("2 bytes without E", ["4100"], 4, []),
    ("40 bytes", ["00" * 40], 4, []),
    ("ack and password", ["FF01024B", "FF010250"], 3, [r"275 ACK", r"480 UsrName"]),
    ("no answer", [], 4, []),
]


def status_lines(text):
    return [line for line in text.splitlines() if line.startswith("status ")]


class StatusTest(unittest.TestCase):
    def test_every_answer(self):
        modules = [{"name": name, **({"raw": {"restart": raw}} if raw is not None else {})}
                   for name, raw, _, _ in CASES]
        with Lab() as lab:
            sim = lab.start_sim(config={"modules": modules})
            macs = {m["name"]: m["mac"] for m in sim.modules}
            for name, _, exit_status, expected in CASES:
                with self.subTest(name):
                    done = lab.r2ctl("--wait", WAIT, "restart", macs[name])
                    lines = status_lines(done.stdout)
                    self.assertEqual(done.returncode, exit_status, done.stdout + done.stderr)
                    self.assertEqual(len(lines), len(expected), lines)
                    for line, pattern in zip(lines, expected):
                        self.assertRegex(line, pattern)
                    if exit_status != 0:
                        self.assertNotEqual(done.stderr.strip(), "", "an error must be explained")

    def test_real_password_check(self):
        with Lab() as lab:
            sim = lab.start_sim("--p6", "1", "--p7", "1", "--password", "s3cret")
            for m in sim.modules:
                with self.subTest(m["model"]):
                    done = lab.r2ctl("--wait", WAIT, "restart", m["mac"])
                    self.assertEqual(done.returncode, 3, done.stdout + done.stderr)
                    done = lab.r2ctl("--wait", WAIT, "--password", "s3cret", "restart", m["mac"])
                    self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                    self.assertEqual([e["result"] for e in sim.commands(m["mac"])], ["P", "K"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
