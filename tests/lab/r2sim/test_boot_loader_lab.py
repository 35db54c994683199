"""r2sim --bootloader in the lab, with the boot server's side played from the pc namespace:
wake-up, boot request and reply, read request, data blocks and their acknowledgements, the
image written, and the options that make the boot loader misbehave on purpose."""

import os
import socket
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from boot_loader_env import (MODULE_IP, BootServer, start_bootloader,  # noqa: E402
                             wake_up_packet)
from labenv import Lab  # noqa: E402

MAC = "02 52 32 06 00 01"
OTHER_MAC = "02 52 32 06 00 02"
READ_REQUEST = b"\x00\x01firmware.bin\x00octet\x00"


def image_of(size):
    return bytes((i * 7 + 3) & 0xFF for i in range(size))


def blocks_of(image):
    """The payload in 512-byte blocks, ending with a shorter (possibly empty) one."""
    return [image[i:i + 512] for i in range(0, len(image) + 1, 512)]


class BootLoaderLabTest(unittest.TestCase):

    def setUp(self):
        self.lab = Lab().__enter__()
        self.addCleanup(self.lab.close)
        self.server = BootServer()
        self.addCleanup(self.server.close)
        self.image_path = self.lab.path("image.bin")

    def start(self, *args):
        return start_bootloader(self.lab, MAC, "--image-out", self.image_path, *args)

    def boot_up(self, boot):
        """Wake-up, boot request and reply; returns the read request and its sender."""
        self.server.wake_up(MAC)
        request, _ = self.server.boot_request()
        self.server.boot_reply(request, MODULE_IP)
        return self.server.read_request()

    def send_block(self, block, payload):
        self.server.data(block, payload)
        return self.server.ack()

    def assert_ack(self, got, block):
        self.assertIsNotNone(got, f"no acknowledgement of block {block}")
        data, sender = got
        self.assertEqual(data, b"\x00\x04" + block.to_bytes(2, "big"))
        self.assertEqual(sender, (MODULE_IP, 13633))

    def test_whole_exchange_writes_the_image(self):
        boot = self.start("--exit-after-transfer")
        self.server.wake_up(OTHER_MAC)
        self.server.wake_up(MAC, wake_up_packet(MAC)[:29])
        self.assertIsNone(self.server.boot_request(0.5), "a wake-up not for us")

        self.server.wake_up(MAC)
        request, sender = self.server.boot_request()
        self.assertEqual(sender[1], 68)
        self.assertEqual(len(request), 300)
        self.assertEqual(request[:4], b"\x01\x01\x06\x00")
        self.assertEqual(request[10:12], b"\x00\x00", "flags")
        self.assertEqual(request[26], 0)
        self.assertEqual(request[28:34].hex(" ").upper(), MAC)
        self.assertEqual(request[44:48].hex().upper(), "52325036")

        self.server.boot_reply(request, MODULE_IP)
        read, sender = self.server.read_request()
        self.assertEqual(read, READ_REQUEST)
        self.assertEqual(sender, (MODULE_IP, 13633))

        image = image_of(2 * 512 + 100)
        for n, payload in enumerate(blocks_of(image), start=1):
            self.assert_ack(self.send_block(n, payload), n)
        self.assertEqual(boot.wait_line(lambda l: l.startswith("received ")),
                         f"received {len(image)} {self.image_path}")
        self.assertEqual(boot.proc.wait(10), 0, "--exit-after-transfer")
        with open(self.image_path, "rb") as f:
            self.assertEqual(f.read(), image)

        log = boot.log()
        self.assertEqual([(e["dir"], e["action"]) for e in log], [
            ("rx", "wake-up"), ("rx", "wake-up"), ("rx", "wake-up"), ("tx", "boot request"),
            ("rx", "boot reply"), ("tx", "read request"),
            ("rx", "data 1"), ("tx", "ack 1"), ("rx", "data 2"), ("tx", "ack 2"),
            ("rx", "data 3"), ("tx", "ack 3")])
        self.assertEqual([e["result"] for e in log[:2]],
                         [f"ignored: for {OTHER_MAC}", "ignored: 29 bytes, not 30"])
        self.assertTrue(all(e["module"] == MAC and e["len"] == len(bytes.fromhex(e["hex"]))
                            for e in log))
        self.assertIn("yiaddr 192.168.0.20, siaddr 192.168.0.10", log[4]["result"])
        self.assertEqual(log[5]["peer"], f"{labenv.PC_IP}:69")
        self.assertEqual(log[5]["src"], MODULE_IP)
        self.assertEqual(log[7]["peer"], f"{labenv.PC_IP}:40300", "acks go where data came from")
        times = [e["t"] for e in log]
        self.assertEqual(times, sorted(times))

    def test_identity_byte_26_and_repeated_requests(self):
        boot = self.start("--identity", "A1B2C3D4", "--giaddr-byte26", "7", "--retry-ms", "200")
        self.server.wake_up(MAC)
        first, _ = self.server.boot_request()
        second, _ = self.server.boot_request()
        for request in (first, second):
            self.assertEqual(request[44:48], bytes.fromhex("A1B2C3D4"))
            self.assertEqual(request[26], 7)
        self.assertEqual(first[4:8], second[4:8], "one transaction until a reply")
        wrong = bytearray(first)
        wrong[4] ^= 0xFF
        self.server.boot_reply(bytes(wrong), MODULE_IP)
        self.server.boot_reply(first, MODULE_IP, file=b"firmware.bim")
        self.assertIsNotNone(self.server.boot_request(), "still asking after two bad replies")
        self.server.boot_reply(first, MODULE_IP)
        self.assertEqual(self.server.read_request()[0], READ_REQUEST)
        replies = [e["result"] for e in boot.log() if e["action"] == "boot reply"]
        self.assertEqual(replies[:2], ["ignored: another transaction id",
                                       "ignored: no \"firmware.bin\" at offset 108"])
        self.assertTrue(replies[-1].startswith("taken: "), replies)

    def test_lost_duplicate_and_withheld_final_acks(self):
        boot = self.start("--lose-acks", "2,2", "--duplicate-acks", "1", "--no-final-ack")
        self.assertEqual(self.boot_up(boot)[0], READ_REQUEST)
        image = image_of(2 * 512)
        one, two, last = blocks_of(image)
        self.assertEqual(len(last), 0)
        self.assert_ack(self.send_block(1, one), 1)
        self.assert_ack(self.server.ack(), 1)  # the duplicate
        self.assertIsNone(self.send_block(2, two), "first ack of 2 withheld")
        self.assertIsNone(self.send_block(2, two), "second ack of 2 withheld")
        self.assert_ack(self.send_block(2, two), 2)
        self.assertIsNone(self.send_block(3, last), "final block never acknowledged")
        self.assertIsNone(self.send_block(3, last), "nor when it comes again")
        self.assertEqual(boot.wait_line(lambda l: l.startswith("received ")),
                         f"received 1024 {self.image_path}")
        with open(self.image_path, "rb") as f:
            self.assertEqual(f.read(), image, "repeated blocks are not written twice")
        acks = [(e["action"], e["result"]) for e in boot.log() if "ack" in e["action"]]
        self.assertEqual(acks, [
            ("ack 1", ""), ("ack 1", "duplicate (--duplicate-acks)"),
            ("lost ack 2", "withheld (--lose-acks)"), ("lost ack 2", "withheld (--lose-acks)"),
            ("ack 2", ""),
            ("lost ack 3", "withheld (--no-final-ack)"),
            ("lost ack 3", "withheld (--no-final-ack)")])

    def test_stop_before_read_and_read_from_another_address(self):
        cases = [
            ("--stop-before-read", None, "no read request (--stop-before-read)"),
            ("--read-from-other-address", labenv.LAB_IP, "from the other address"),
        ]
        for option, other, note in cases:
            with self.subTest(option):
                args = [option] + ([other] if other else [])
                boot = start_bootloader(self.lab, MAC, *args, name=option[2:])
                read = self.boot_up(boot)
                if other is None:
                    self.assertIsNone(read)
                    self.assertTrue(boot.log()[-1]["result"].endswith(note))
                else:
                    self.assertEqual(read, (READ_REQUEST, (other, 13633)))
                    sent = boot.wait_for(lambda e: e["action"] == "read request")
                    self.assertEqual(sent[0]["result"], note)
                self.assertEqual(boot.stop(), 0)

    def test_silent_boot_loader_only_logs(self):
        boot = self.start("--silent")
        self.server.wake_up(MAC)
        self.assertIsNone(self.server.boot_request(1.0))
        self.assertEqual([(e["dir"], e["action"], e["result"]) for e in boot.log()],
                         [("rx", "wake-up", "ignored: silent")])

    def test_seeded_loss_still_completes_with_retransmissions(self):
        boot = self.start("--loss", "25", "--seed", "3")
        self.boot_up(boot)
        image = image_of(20 * 512 + 33)
        retransmissions = 0
        for n, payload in enumerate(blocks_of(image), start=1):
            while (got := self.send_block(n, payload)) is None:
                retransmissions += 1
                self.assertLess(retransmissions, 100)
            self.assert_ack(got, n)
        boot.wait_line(lambda l: l.startswith("received "))
        with open(self.image_path, "rb") as f:
            self.assertEqual(f.read(), image)
        lost = [e["action"].split()[1] for e in boot.log() if e["action"].startswith("lost ")]
        self.assertEqual(len(lost), retransmissions)
        self.assertEqual(set(lost), {"data", "ack"}, "both directions lose some")

    def test_a_new_wake_up_starts_afresh(self):
        boot = self.start()
        self.boot_up(boot)
        self.assert_ack(self.send_block(1, image_of(512)), 1)
        request, _ = (self.server.wake_up(MAC), self.server.boot_request())[1]
        self.server.boot_reply(request, MODULE_IP)
        self.assertEqual(self.server.read_request()[0], READ_REQUEST)
        self.assert_ack(self.send_block(1, b"new"), 1)
        boot.wait_line(lambda l: l == f"received 3 {self.image_path}")
        with open(self.image_path, "rb") as f:
            self.assertEqual(f.read(), b"new")


class BootLoaderPortTest(unittest.TestCase):
    def test_two_modules_side_by_side(self):
        with Lab() as lab, BootServer() as server:
            start_bootloader(lab, MAC, name="one")
            start_bootloader(lab, OTHER_MAC, address="192.168.0.21", name="two")
            server.wake_up(OTHER_MAC)
            request, _ = server.boot_request()
            self.assertEqual(request[28:34].hex(" ").upper(), OTHER_MAC)
            server.boot_reply(request, "192.168.0.21")
            self.assertEqual(server.read_request(), (READ_REQUEST, ("192.168.0.21", 13633)))
            self.assertIsNone(server.boot_request(0.3))


if __name__ == "__main__":
    unittest.main()
