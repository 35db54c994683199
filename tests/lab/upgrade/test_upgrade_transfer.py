"""r2ctl upgrade against r2sim's boot loader: whole transfers of the sizes that matter, the
boot exchange with right identities, a duplicate acknowledgement (ignored), a port held by
another program, ports without privilege, and Debian's curl as the TFTP client."""

import os
import socket
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from boot_loader_env import MODULE_IP  # noqa: E402
from upgrade_lab import (UPGRADE_PORTS, UpgradeLab, bound_udp_ports, data_blocks,  # noqa: E402
                         payload_of, set_unprivileged_port_start, wait_until)


class TransferTest(unittest.TestCase):
    def setUp(self):
        self.lab = UpgradeLab().__enter__()
        self.addCleanup(self.lab.close)

    def test_sizes(self):
        # payload bytes, lengths of the blocks sent, the progress lines printed (a text equal
        # to the one before it is not repeated: the final block's "100%" may follow a 100%)
        cases = [
            ("4-byte file", 0, [0], ["100%"]),
            ("whole blocks", 2 * 512, [512, 512, 0], ["50%", "100%"]),
            ("4 + 1500 bytes", 1500, [512, 512, 476], ["50%", "100%"]),
            ("three whole blocks and one byte", 3 * 512 + 1, [512, 512, 512, 1],
             ["33%", "67%", "100%"]),
        ]
        for name, size, lengths, progress in cases:
            with self.subTest(name):
                boot = self.lab.boot_loader(name=f"boot{size}")
                try:
                    image = self.lab.image(size, name=f"fw{size}.bin")
                    done = self.lab.r2ctl(*self.lab.upgrade_args(image))
                    self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                    self.assertEqual(self.lab.received(boot, name=f"boot{size}"),
                                     payload_of(size))
                    self.assertEqual([b[1] for b in data_blocks(boot)], lengths)
                    self.assertEqual([b[0] for b in data_blocks(boot)],
                                     list(range(1, len(lengths) + 1)))
                    lines = done.stdout.splitlines()
                    self.assertEqual(lines[:2], ["Searching device...",
                                                 "Find Device,Ready to upgrade..."])
                    self.assertEqual(lines[2:-2], [f"Upgrade progress...{p}" for p in progress])
                    self.assertEqual(lines[-2],
                                     "Upgrade successful.please restore factory default.")
                finally:
                    boot.stop()

    def test_json_summary_and_byte26_with_the_right_identity(self):
        for byte26 in ("0", "7"):
            with self.subTest(byte26=byte26):
                boot = self.lab.boot_loader("--giaddr-byte26", byte26, name=f"boot{byte26}")
                self.addCleanup(boot.stop)
                image = self.lab.image(1500)
                result, done = self.lab.upgrade(image)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertEqual(result["ending"], "success")
                self.assertEqual(result["blocks"], 3)
                self.assertEqual(result["bytes"], 1500)
                self.assertEqual(result["retransmissions"], 0)
                self.assertEqual(result["detail"], "")
                self.assertGreater(result["seconds"], 0)
                replies = [e for e in boot.log() if e["action"] == "boot reply"]
                self.assertTrue(replies)
                self.assertTrue(replies[0]["result"].startswith("taken"), replies[0])
                self.assertIn("yiaddr 192.168.0.20, siaddr 192.168.0.10",
                              replies[0]["result"])
                self.assertEqual(self.lab.received(boot, name=f"boot{byte26}"),
                                 payload_of(1500))
                boot.stop()

    def test_duplicate_acknowledgement_is_ignored(self):
        # The second ack 2 names a block no longer in flight: block 3 is not sent again, so
        # the duplicate does not echo through the rest of the transfer.
        boot = self.lab.boot_loader("--duplicate-acks", "2")
        image = self.lab.image(4 * 512 + 10)
        result, done = self.lab.upgrade(image)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual([b[0] for b in data_blocks(boot)], [1, 2, 3, 4, 5])
        self.assertEqual(result["retransmissions"], 0)
        self.assertEqual(self.lab.received(boot), payload_of(4 * 512 + 10))

    def test_port_held_by_another_program(self):
        image = self.lab.image(100)
        for port in UPGRADE_PORTS:
            with self.subTest(port=port):
                holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                holder.bind(("0.0.0.0", port))
                try:
                    result, done = self.lab.upgrade(image)
                finally:
                    holder.close()
                self.assertEqual(done.returncode, 5)
                self.assertEqual(result["ending"], "failure")
                self.assertIn(f"cannot open UDP port {port} on 192.168.0.10", result["detail"])
                self.assertIn(f"ss -ulpn 'sport = :{port}'", result["detail"])
                self.assertIn("tftpd-hpa", result["detail"])
                self.assertIn("ss -ulpn", done.stderr)
                self.assertFalse(set(UPGRADE_PORTS) & bound_udp_ports() - {port})

    def test_ports_below_1024_without_privilege(self):
        set_unprivileged_port_start(1024)
        self.addCleanup(set_unprivileged_port_start, 0)
        image = self.lab.image(100)
        # Root without the capability to bind low ports: what an ordinary user meets.
        done = subprocess.run(["setpriv", "--bounding-set", "-net_bind_service",
                               labenv.binary("R2CTL", "tools/r2ctl/r2ctl"),
                               *self.lab.upgrade_args(image)],
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
        self.assertIn("cannot open UDP port 9 on 192.168.0.10: no privilege", done.stderr)
        self.assertIn("setcap cap_net_bind_service=+ep", done.stderr)
        self.assertIn("ip_unprivileged_port_start=0", done.stderr)

    def test_curl_fetches_the_image_from_offset_4(self):
        # The boot loader takes the boot reply and leaves the read request to curl, which
        # sends it from the module's address (the lab's own) and the module's port.
        boot = self.lab.boot_loader("--stop-before-read")
        payload_size = 3 * 512 + 77
        image = self.lab.image(payload_size)
        upgrade = self.lab.start_upgrade(image, target=labenv.LAB_IP)
        output = {}
        reader = threading.Thread(target=lambda: output.update(zip(
            ("stdout", "stderr"), upgrade.communicate(timeout=60))))
        reader.start()
        boot.wait_for(lambda e: e["action"] == "boot reply" and e["result"].startswith("taken"))
        fetched = self.lab.path("curl.bin")
        curl = self.lab.lab("curl", "-sS", "--max-time", "20", "--local-port", "13633",
                            "--tftp-no-options", f"tftp://{labenv.PC_IP}/firmware.bin",
                            "-o", fetched, check=False)
        reader.join(60)
        self.assertEqual(curl.returncode, 0, curl.stderr)
        self.assertEqual(upgrade.returncode, 0, output)
        with open(fetched, "rb") as f:
            self.assertEqual(f.read(), payload_of(payload_size))
        self.assertIn("success: 4 blocks", output["stdout"])


class EndpointsTest(unittest.TestCase):
    def test_open_while_searching_and_closed_after_the_timeout(self):
        with UpgradeLab() as lab:
            upgrade = lab.start_upgrade(lab.image(10))
            wait_until(lambda: set(UPGRADE_PORTS) <= bound_udp_ports(), what="four ports bound")
            out, err = upgrade.communicate(timeout=60)
            self.assertEqual(upgrade.returncode, 6, out + err)
            self.assertIn("Upgrade time out!", out)
            self.assertFalse(set(UPGRADE_PORTS) & bound_udp_ports())


if __name__ == "__main__":
    unittest.main(verbosity=2)
