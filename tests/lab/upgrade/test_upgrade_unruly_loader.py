"""r2ctl upgrade against boot loaders that lie or misbehave: an acknowledgement of a block never
sent, a stale acknowledgement before the read request, a read request after the final block, a
loader that keeps starting over, and a TFTP error packet. r2ctl must always end, and exit 0 only
when the loader acknowledged every block of the whole image."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from upgrade_lab import UpgradeLab, data_blocks, payload_of  # noqa: E402

PAYLOAD = 5 * 512 + 432  # a 2996-byte image: five whole blocks and a final one of 432 bytes
BLOCKS = list(range(1, 7))
# A loader that never lets r2ctl end would hold the test for ever without it.
RUN_LIMIT_S = 30
RESTARTS_SERVED = 9


class UnrulyLoaderTest(unittest.TestCase):
    def setUp(self):
        self.lab = UpgradeLab().__enter__()
        self.addCleanup(self.lab.close)
        self.image = self.lab.image(PAYLOAD)

    def test_cases(self):
        # name, boot loader switches, exit status, data block numbers on the wire,
        # retransmissions, what the failure's detail says (None for a success)
        cases = [
            # Ignored: block 1 goes again when the reply timer runs out, and its true
            # acknowledgement carries the transfer on.
            ("ack far ahead", ["--ack-jump", "60000"], 0, [1] + BLOCKS, 1, None),
            ("ack that would wrap to block 0", ["--ack-jump", "65535"], 0, [1] + BLOCKS, 1, None),
            ("ack a little ahead", ["--ack-jump", "3"], 0, [1] + BLOCKS, 1, None),
            ("ack of block 0", ["--ack-jump", "0"], 0, [1] + BLOCKS, 1, None),
            ("stale ack before the read request", ["--stale-ack", "2"], 0, BLOCKS, 0, None),
            ("read request after the final block", ["--rrq-after-final"], 0, BLOCKS + BLOCKS, 0,
             None),
            ("keeps restarting", ["--restart-every", "2"], 5, [1, 2] * (RESTARTS_SERVED + 1), 0,
             f"the module restarted the transfer {RESTARTS_SERVED + 1} times (the last time at "
             "block 2)"),
            ("error packet", ["--error-after-block", "3"], 5, [1, 2, 3], 0,
             'stopped the transfer at block 3 with error 3 "flash write failed"'),
        ]
        for index, (name, switches, status, blocks, retransmissions, detail) in enumerate(cases):
            with self.subTest(name):
                boot = self.lab.boot_loader(*switches, name=f"boot{index}")
                try:
                    result, done = self.lab.upgrade(self.image, timeout=RUN_LIMIT_S)
                    self.assertEqual(done.returncode, status, done.stdout + done.stderr)
                    self.assertEqual([b[0] for b in data_blocks(boot)], blocks)
                    self.assertEqual(result["retransmissions"], retransmissions)
                    if detail is None:
                        self.assertEqual(result["ending"], "success")
                        self.assertEqual(result["blocks"], len(BLOCKS))
                        self.assertEqual(result["bytes"], PAYLOAD)
                        self.assertEqual(self.lab.received(boot, name=f"boot{index}"),
                                         payload_of(PAYLOAD))
                    else:
                        self.assertEqual(result["ending"], "failure")
                        self.assertIn(detail, result["detail"])
                        self.assertTrue(done.stderr.startswith("r2ctl: upgrade failed: "),
                                        done.stderr)
                        self.assertIn(detail, done.stderr)
                finally:
                    boot.stop()

    def test_plain_text_says_what_the_module_did(self):
        cases = [
            (["--restart-every", "1"], "The module kept restarting the transfer!"),
            (["--error-after-block", "1"], 'The module reported an error: 3 "flash write failed"'),
        ]
        for index, (switches, status) in enumerate(cases):
            with self.subTest(switches[0]):
                boot = self.lab.boot_loader(*switches, name=f"plain{index}")
                try:
                    done = self.lab.r2ctl(*self.lab.upgrade_args(self.image), timeout=RUN_LIMIT_S)
                    self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
                    lines = done.stdout.splitlines()
                    self.assertEqual(lines[-2], status)
                    self.assertTrue(lines[-1].startswith("failure: 1 blocks, 512 bytes, "),
                                    lines[-1])
                finally:
                    boot.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
