"""r2ctl upgrade with several MACs against three r2sim boot loaders side by side in the lab,
the middle one silent: the others take the image one after another on the same four ports,
the silent one ends in its timeout (exit 6) without stopping the rest, --stop-on-error
leaves the modules after it not run, a boot loader of other hardware still asking after its
turn (exit 7) does not turn the next module's timeout into a mismatch, and a port held by
another program fails each module that runs."""

import os
import socket
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from boot_loader_env import start_bootloader, wake_up_packet  # noqa: E402
from upgrade_lab import (UPGRADE_PORTS, UpgradeLab, bound_udp_ports, data_blocks,  # noqa: E402
                         payload_of)

# MAC, address, whether it never answers
MODULES = [("02 52 32 06 00 01", "192.168.0.20", False),
           ("02 52 32 06 00 02", "192.168.0.21", True),
           ("02 52 32 06 00 03", "192.168.0.22", False)]
PAYLOAD = 2 * 512 + 100
SILENT_ERROR = ("no read request came from 192.168.0.21 within 10 s: check the MAC, that the "
                "module is on the segment of 192.168.0.10")


def wake_ups_for(boot, mac):
    """The wake-ups for MAC the boot loader heard (a silent one ignores every wake-up)."""
    packet = wake_up_packet(mac).hex()
    return [e for e in boot.log() if e["dir"] == "rx" and e["hex"].lower() == packet]


class BatchTest(unittest.TestCase):
    def setUp(self):
        self.lab = UpgradeLab().__enter__()
        self.addCleanup(self.lab.close)
        self.boots = []
        for n, (mac, ip, silent) in enumerate(MODULES):
            self.boots.append(start_bootloader(
                self.lab, mac, "--image-out", self.lab.path(f"boot{n}.bin"),
                *(["--silent"] if silent else []), address=ip, name=f"boot{n}"))
        self.image = self.lab.image(PAYLOAD)

    def upgrade_args(self, *extra):
        return ["upgrade", "--ip", ",".join(ip for _, ip, _ in MODULES),
                "--mac", ",".join(mac.replace(" ", "") for mac, _, _ in MODULES),
                "--local-ip", labenv.PC_IP, "--file", self.image, *extra]

    def assert_upgraded(self, n):
        self.assertEqual(self.lab.received(self.boots[n], name=f"boot{n}"), payload_of(PAYLOAD))
        self.assertEqual([b[0] for b in data_blocks(self.boots[n])], [1, 2, 3])

    def test_a_silent_module_times_out_and_the_next_one_still_runs(self):
        result, done = self.lab.r2ctl_json(*self.upgrade_args(), timeout=120)
        self.assertEqual(done.returncode, 6, done.stdout + done.stderr)
        self.assertEqual([(r["mac"], r["oldIp"], r["newIp"], r["result"], r["exit"])
                          for r in result],
                         [("02 52 32 06 00 01", "192.168.0.20", "192.168.0.20", "ok", 0),
                          ("02 52 32 06 00 02", "192.168.0.21", "192.168.0.21", "failed", 6),
                          ("02 52 32 06 00 03", "192.168.0.22", "192.168.0.22", "ok", 0)])
        self.assertIn(SILENT_ERROR, result[1]["error"])
        self.assertNotIn("error", result[0])
        self.assert_upgraded(0)
        self.assert_upgraded(2)
        # Each boot loader heard the wake-up for it exactly once, the silent one included.
        self.assertEqual([len(wake_ups_for(b, mac)) for b, (mac, _, _) in
                          zip(self.boots, MODULES)], [1, 1, 1])
        self.assertEqual(data_blocks(self.boots[1]), [])
        self.assertFalse(set(UPGRADE_PORTS) & bound_udp_ports())

    def test_stop_on_error_leaves_the_rest_not_run(self):
        done = self.lab.r2ctl(*self.upgrade_args("--stop-on-error"), timeout=120)
        self.assertEqual(done.returncode, 6, done.stdout + done.stderr)
        lines = done.stdout.splitlines()
        self.assertEqual(len(lines), 4, done.stdout)
        self.assertEqual(lines[0], "02 52 32 06 00 01  192.168.0.20 -> 192.168.0.20  ok")
        self.assertTrue(lines[1].startswith("02 52 32 06 00 02  192.168.0.21 -> 192.168.0.21  "
                                            "failed (exit 6): " + SILENT_ERROR), lines[1])
        self.assertEqual(lines[2:], ["02 52 32 06 00 03  192.168.0.22 -> 192.168.0.22  not run",
                                     "3 module(s): 1 succeeded, 1 failed, 1 not run"])
        self.assert_upgraded(0)
        self.assertEqual(wake_ups_for(self.boots[2], MODULES[2][0]), [],
                         "the third was never woken")
        self.assertEqual(data_blocks(self.boots[2]), [])

    def test_a_mismatched_module_still_asking_does_not_answer_for_the_next(self):
        # A boot loader of other hardware keeps broadcasting boot requests after its turn;
        # during the silent module's search they are not its own and must not turn its
        # timeout into a mismatch.
        mac, ip = "02 52 32 06 00 04", "192.168.0.23"
        other = start_bootloader(self.lab, mac, "--identity", "52325037", "--giaddr-byte26", "1",
                                 address=ip, name="other")
        silent_mac, silent_ip, _ = MODULES[1]
        result, done = self.lab.r2ctl_json(
            "upgrade", "--ip", f"{ip},{silent_ip}", "--mac", f"{mac},{silent_mac}",
            "--local-ip", labenv.PC_IP, "--file", self.image, timeout=120)
        self.assertEqual(done.returncode, 7, done.stdout + done.stderr)
        self.assertEqual([(r["result"], r["exit"]) for r in result], [("failed", 7), ("failed", 6)])
        self.assertIn("another hardware identity", result[0]["error"])
        self.assertIn(SILENT_ERROR, result[1]["error"])
        silent_woken = wake_ups_for(self.boots[1], silent_mac)[0]["t"]
        asked_later = [e for e in other.log()
                       if e["action"] == "boot request" and e["dir"] == "tx" and
                       e["t"] > silent_woken]
        self.assertGreater(len(asked_later), 3, "it kept asking during the next module's turn")

    def test_a_port_held_fails_every_module_it_runs(self):
        # --stop-on-error, the results after the first module
        cases = [([], ["failed", "failed"]), (["--stop-on-error"], ["not run", "not run"])]
        holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        holder.bind(("0.0.0.0", 67))
        self.addCleanup(holder.close)
        for extra, rest in cases:
            with self.subTest(extra=extra):
                result, done = self.lab.r2ctl_json(*self.upgrade_args(*extra))
                self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
                self.assertEqual([r["result"] for r in result], ["failed", *rest])
                for r in result:
                    if r["result"] == "failed":
                        self.assertEqual(r["exit"], 5)
                        self.assertIn("cannot open UDP port 67 on 192.168.0.10", r["error"])
                self.assertEqual(set(UPGRADE_PORTS) & bound_udp_ports(), {67})
        self.assertEqual([wake_ups_for(b, mac) for b, (mac, _, _) in zip(self.boots, MODULES)],
                         [[], [], []], "nothing is sent once a port cannot be opened")


if __name__ == "__main__":
    unittest.main(verbosity=2)
