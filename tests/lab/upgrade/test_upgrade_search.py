"""The 10 s search of r2ctl upgrade ending without a transfer: a boot loader of other hardware
(byte 26 zero: ignored; non-zero: the mismatch, exit 7), and a read request from another
address than the module's."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from upgrade_lab import UpgradeLab, data_blocks  # noqa: E402

OTHER_IDENTITY = bytes.fromhex("52325037")


def boot_replies(boot):
    return [e for e in boot.log() if e["action"] == "boot reply"]


class SearchTest(unittest.TestCase):
    def setUp(self):
        self.lab = UpgradeLab().__enter__()
        self.addCleanup(self.lab.close)

    def test_other_identity(self):
        # byte 26, exit status, ending, whether the mismatch status is shown
        cases = [("0", 6, "timeout", False), ("1", 7, "mismatch", True)]
        for byte26, status, ending, shown in cases:
            with self.subTest(byte26=byte26):
                boot = self.lab.boot_loader("--giaddr-byte26", byte26, name=f"boot{byte26}")
                try:
                    image = self.lab.image(600, identity=OTHER_IDENTITY)
                    plain = self.lab.r2ctl(*self.lab.upgrade_args(image), timeout=60)
                    self.assertEqual(plain.returncode, status, plain.stdout + plain.stderr)
                    self.assertEqual("Firmware does not match with hardware!" in plain.stdout,
                                     shown, plain.stdout)
                    self.assertIn("Upgrade time out!", plain.stdout)
                    if shown:
                        self.assertIn("another hardware identity", plain.stderr)
                    self.assertEqual(boot_replies(boot), [], "no reply to another identity")
                    self.assertEqual(data_blocks(boot), [])
                    requests = [e for e in boot.log() if e["action"] == "boot request"]
                    self.assertGreater(len(requests), 1, "the boot loader kept asking")
                finally:
                    boot.stop()
        boot = self.lab.boot_loader("--giaddr-byte26", "1", name="json")
        result, done = self.lab.upgrade(self.lab.image(600, identity=OTHER_IDENTITY))
        boot.stop()
        self.assertEqual(done.returncode, 7)
        self.assertEqual(result["ending"], "mismatch")
        self.assertEqual(result["blocks"], 0)

    def test_read_request_from_another_address_is_ignored(self):
        other = "192.168.0.21"
        self.lab.lab("ip", "addr", "add", f"{other}/32", "dev", "r2lab0")
        boot = self.lab.boot_loader("--read-from-other-address", other)
        result, done = self.lab.upgrade(self.lab.image(600))
        self.assertEqual(done.returncode, 6, done.stdout + done.stderr)
        self.assertEqual(result["ending"], "timeout")
        self.assertEqual(result["blocks"], 0)
        self.assertTrue(boot_replies(boot)[0]["result"].startswith("taken"))
        reads = [e for e in boot.log() if e["action"] == "read request" and e["dir"] == "tx"]
        self.assertEqual(reads[0]["src"], other)
        self.assertEqual(data_blocks(boot), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
