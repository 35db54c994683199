"""A second start of r2config hands over to the running one and ends without a window.

Both programs draw offscreen and share a private temporary directory, where the first one's
single-instance socket lives, so the test never meets an r2config the user is running.
"""

import glob
import os
import subprocess
import sys
import tempfile
import time
import unittest

R2CONFIG = os.environ.get("R2CONFIG", "")


class SecondStart(unittest.TestCase):
    def test_second_start_ends_at_once_and_the_first_keeps_running(self):
        with tempfile.TemporaryDirectory(prefix="r2-once-") as tmp:
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen", TMPDIR=tmp,
                       XDG_RUNTIME_DIR=tmp)
            first = subprocess.Popen([R2CONFIG], env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT)
            try:
                deadline = time.monotonic() + 20
                while not glob.glob(os.path.join(tmp, "*A823D2A7*")):
                    self.assertIsNone(first.poll(), "the first r2config ended by itself")
                    self.assertLess(time.monotonic(), deadline, "the first never took the slot")
                    time.sleep(0.05)
                second = subprocess.run([R2CONFIG], env=env, capture_output=True, timeout=20)
                self.assertEqual(second.returncode, 0, second.stderr)
                self.assertIsNone(first.poll(), "the first r2config must keep running")
                # The second created no window: it never reached the main window's start-up,
                # which says where the program's files live.
                self.assertNotIn(b"live in", second.stderr)
            finally:
                first.terminate()
                out, _ = first.communicate(timeout=20)
            self.assertIn(b"live in", out)


if __name__ == "__main__":
    if not os.access(R2CONFIG, os.X_OK):
        sys.exit(f"R2CONFIG must name the built r2config, not {R2CONFIG!r}")
    unittest.main()
