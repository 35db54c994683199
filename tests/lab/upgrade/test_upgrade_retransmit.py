"""Lost acknowledgements during r2ctl upgrade: nine of them spread over a transfer (nine
retransmissions, each about 2 s after the send before it), a tenth (timeout), a lost final
acknowledgement (no retransmission of the final block, timeout after the remaining expiries),
a late duplicate after the final block (no false success), and r2sim's seeded loss."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from upgrade_lab import UpgradeLab, data_blocks, payload_of  # noqa: E402

# The reply timer is 2000 ms. The lower bound is the protocol's; the upper one only catches a
# retransmission that waited for something else, and is generous for a busy machine.
RESEND_MIN_MS, RESEND_MAX_MS = 1950, 4000
PAYLOAD = 15 * 512 + 20  # 16 blocks


def resend_gaps(blocks):
    """(block, ms between its send and the same block's next send) for every repeat."""
    return [(b[0], b[2] - a[2]) for a, b in zip(blocks, blocks[1:]) if a[0] == b[0]]


class RetransmitTest(unittest.TestCase):
    def setUp(self):
        self.lab = UpgradeLab().__enter__()
        self.addCleanup(self.lab.close)
        self.image = self.lab.image(PAYLOAD)

    def test_nine_lost_acknowledgements_spread_over_a_transfer(self):
        lost = [1, 2, 4, 6, 7, 9, 11, 13, 15]
        boot = self.lab.boot_loader("--lose-acks", ",".join(map(str, lost)))
        result, done = self.lab.upgrade(self.image)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(result["retransmissions"], 9)
        self.assertEqual(self.lab.received(boot), payload_of(PAYLOAD))
        gaps = resend_gaps(data_blocks(boot))
        self.assertEqual([g[0] for g in gaps], lost)
        for block, gap in gaps:
            self.assertGreaterEqual(gap, RESEND_MIN_MS, f"block {block}")
            self.assertLessEqual(gap, RESEND_MAX_MS, f"block {block}")

    def test_tenth_expiry_ends_in_timeout(self):
        boot = self.lab.boot_loader("--lose-acks", "1,2,3,4,5,6,7,8,9,10")
        result, done = self.lab.upgrade(self.image)
        self.assertEqual(done.returncode, 6, done.stdout + done.stderr)
        self.assertEqual(result["ending"], "timeout")
        self.assertEqual(result["retransmissions"], 9)
        self.assertIn("stopped acknowledging at block 10", done.stderr)
        blocks = data_blocks(boot)
        self.assertEqual(len(resend_gaps(blocks)), 9)
        self.assertEqual(blocks[-1][0], 10, "nothing after the block whose ack was lost")

    def test_lost_final_acknowledgement(self):
        boot = self.lab.boot_loader("--no-final-ack")
        result, done = self.lab.upgrade(self.image)
        self.assertEqual(done.returncode, 6, done.stdout + done.stderr)
        self.assertEqual(result["retransmissions"], 0, "the final block is never sent again")
        self.assertEqual([b[0] for b in data_blocks(boot)], list(range(1, 17)))
        # The expiries after the final block: nine that send nothing, the tenth ends it.
        self.assertGreaterEqual(result["seconds"], 10 * 2.0 - 0.1)
        self.assertEqual(self.lab.received(boot), payload_of(PAYLOAD))

    def test_late_duplicate_after_the_final_block_is_no_success(self):
        # Block 15's ack comes twice; block 16 (final) goes out after the first, and its own
        # ack never comes.
        boot = self.lab.boot_loader("--duplicate-acks", "15", "--no-final-ack")
        result, done = self.lab.upgrade(self.image)
        self.assertEqual(done.returncode, 6, done.stdout + done.stderr)
        self.assertEqual(result["ending"], "timeout")
        self.assertEqual(data_blocks(boot)[-1][0], 16)

    def test_seeded_loss(self):
        boot = self.lab.boot_loader("--loss", "5", "--seed", "7", name="few")
        result, done = self.lab.upgrade(self.image)
        boot.stop()
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertGreater(result["retransmissions"], 0, "the seed lost nothing")
        self.assertEqual(self.lab.received(boot, name="few"), payload_of(PAYLOAD))

        self.lab.boot_loader("--loss", "70", "--seed", "7", name="heavy")
        result, done = self.lab.upgrade(self.image, timeout=120)
        self.assertEqual(done.returncode, 6, done.stdout + done.stderr)
        self.assertEqual(result["ending"], "timeout")


if __name__ == "__main__":
    unittest.main(verbosity=2)
