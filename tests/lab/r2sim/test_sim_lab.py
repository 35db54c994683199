"""r2sim in the lab, driven by a tiny UDP client on the pc side: proves the harness and the
simulator's answers before any of our own tools take part."""

import os
import signal
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from labenv import Lab, PcSocket, command_frame  # noqa: E402

SEARCH = bytes.fromhex("FF010102")
CMD_READ, CMD_WRITE_BASE, CMD_RESTART, CMD_RESET = 0x03, 0x05, 0x02, 0x0B


def search_reply_fields(data):
    return {
        "ip": ".".join(str(b) for b in data[5:9]),
        "mac": data[9:15].hex(" ").upper(),
        "version": int.from_bytes(data[15:17], "little"),
        "name": data[19:33].split(b"\0")[0].decode(),
    }


class SearchTest(unittest.TestCase):
    """Every kind of module answers one broadcast search, from its own address and port."""

    def test_search_reaches_every_module_from_its_port(self):
        config = {"modules": [{"model": "P6", "searchPort": 7000, "version": 5000}]}
        with Lab() as lab, PcSocket() as pc:
            sim = lab.start_sim("--p6", "2", "--p7", "1", "--old", "1", config=config)
            pc.send(SEARCH)
            replies = pc.collect(1.0)

            self.assertEqual(len(replies), 5, replies)
            by_mac = {search_reply_fields(d)["mac"]: (d, addr) for d, addr, _ in replies}
            for m in sim.modules:
                data, (src_ip, src_port) = by_mac[m["mac"]]
                self.assertEqual(len(data), 36)
                self.assertEqual(data[:3], b"\xff\x24\x01")
                fields = search_reply_fields(data)
                self.assertEqual(fields["ip"], m["ip"])
                self.assertEqual(fields["version"], m["version"])
                self.assertEqual(fields["name"], m["name"])
                self.assertEqual(src_port, m["searchPort"])
                self.assertEqual(src_ip, m["ip"], "the reply should come from the module's address")
            ports = sorted(m["searchPort"] for m in sim.modules)
            self.assertEqual(ports, [1500, 1500, 1500, 1901, 7000])
            versions = sorted(m["version"] for m in sim.modules)
            self.assertEqual(versions, [2001, 4017, 4017, 5000, 5002])

            rx = sim.received()
            self.assertEqual([(e["action"], e["hex"], e["port"]) for e in rx],
                             [("search", "FF010102", 1500)])
            self.assertEqual(rx[0]["peer"], f"{labenv.PC_IP}:{pc.port}")
            self.assertEqual(sim.stop(), 0)
            self.assertEqual(sim.lines[-1], "stopped")

    def test_second_interface_gets_its_own_answers(self):
        with Lab(second_interface=True) as lab, PcSocket(labenv.PC_IF2) as pc:
            sim = lab.start_sim("--p6", "1")
            pc.send(SEARCH)
            replies = pc.collect(1.0)
            self.assertEqual(len(replies), 1)
            self.assertEqual(search_reply_fields(replies[0][0])["mac"], sim.modules[0]["mac"])
            self.assertEqual(sim.received()[0]["peer"].split(":")[0], labenv.PC_IP_B)


class ReadWriteTest(unittest.TestCase):
    """Reads, writes, resets and the refusals, on the ports a real module listens on."""

    def setUp(self):
        self.lab = Lab().__enter__()
        self.addCleanup(self.lab.close)
        self.pc = PcSocket()
        self.addCleanup(self.pc.close)
        self.sim = self.lab.start_sim("--p6", "1", "--p7", "1")
        self.p6 = self.sim.module("P6")["mac"]
        self.p7 = self.sim.module("P7")["mac"]

    def exchange(self, frame, port=1500, wait=0.5):
        self.pc.send(frame, port)
        return [(d, addr) for d, addr, _ in self.pc.collect(wait)]

    def read_blocks(self, mac, port=1500):
        return [d for d, _ in self.exchange(command_frame(CMD_READ, mac), port)]

    def test_p6_read_sends_every_block_in_order(self):
        blocks = self.read_blocks(self.p6)
        self.assertEqual([len(b) for b in blocks], [130, 50, 85, 302, 87, 4])
        base = blocks[0][:67]
        self.assertEqual(base[53:59].hex(" ").upper(), self.p6)
        self.assertEqual(".".join(str(b) for b in reversed(base[9:13])),
                         self.sim.module("P6")["ip"])
        self.assertEqual(base[37:43], b"admin\0")

    def test_write_is_read_back_and_factory_reset_restores(self):
        original = self.read_blocks(self.p6)[0]
        base = bytearray(original[:67])
        base[21:37] = b"renamed".ljust(16, b"\0")
        replies = self.exchange(command_frame(CMD_WRITE_BASE, self.p6, bytes(base)))
        self.assertEqual([d for d, _ in replies], [bytes([0xFF, 0x01, CMD_WRITE_BASE, ord("K")])])
        self.assertEqual(self.read_blocks(self.p6)[0][:67], bytes(base))

        reset = self.exchange(command_frame(CMD_RESET, self.p6))
        self.assertEqual([d for d, _ in reset], [bytes([0xFF, 0x01, CMD_RESET, ord("K")])])
        self.assertEqual(self.read_blocks(self.p6)[0], original)

    def test_refusals(self):
        good = command_frame(CMD_RESTART, self.p6)
        bad_sum = good[:-1] + bytes([(good[-1] + 1) & 0xFF])
        other_mac = command_frame(CMD_RESTART, "02 52 32 06 99 99")
        cases = [
            ("restart", good, 1500, [bytes([0xFF, 0x01, CMD_RESTART, ord("K")])]),
            ("wrong password", command_frame(CMD_RESTART, self.p6, password="tulips"), 1500,
             [bytes([0xFF, 0x01, CMD_RESTART, ord("P")])]),
            ("wrong user", command_frame(CMD_READ, self.p6, user="root"), 1500,
             [bytes([0xFF, 0x01, CMD_READ, ord("P")])]),
            ("bad checksum", bad_sum, 1500, [bytes([ord("E"), good[-1]])]),
            ("another MAC", other_mac, 1500, []),
            ("P6 command on 1901", good, 1901, []),
            ("P7 read on 1500", command_frame(CMD_READ, self.p7), 1500, []),
            ("P7 base write of a short block", command_frame(CMD_WRITE_BASE, self.p7, bytes(66)),
             1901, [bytes([0xFF, 0x01, CMD_WRITE_BASE, ord("E")])]),
            ("P7 restart on 1500", command_frame(CMD_RESTART, self.p7), 1500,
             [bytes([0xFF, 0x01, CMD_RESTART, ord("K")])]),
        ]
        for name, frame, port, expected in cases:
            with self.subTest(name):
                self.assertEqual([d for d, _ in self.exchange(frame, port, 0.3)], expected)
        ignored = [e["result"] for e in self.sim.received() if e["result"].startswith("ignored")]
        self.assertEqual(ignored, ["ignored: no module 02 52 32 06 99 99",
                                   "ignored: wrong port", "ignored: wrong port"])

    def test_p7_read_comes_from_1901(self):
        replies = self.exchange(command_frame(CMD_READ, self.p7), 1901)
        self.assertEqual([(len(d), addr[1]) for d, addr in replies], [(130, 1901)])


class ReplyOptionsTest(unittest.TestCase):
    """Broadcast replies, delays, duplicates, silence and raw datagrams."""

    def test_options(self):
        odd = ["", "45A7", "00" * 193, "00" * 256, "0102030405"]
        config = {"modules": [
            {"name": "bcast", "reply": "broadcast"},
            {"name": "slow", "delayMs": 300},
            {"name": "twice", "copies": 2},
            {"name": "mute", "silent": True},
            {"name": "odd", "raw": {"read": odd}},
        ]}
        with Lab() as lab, PcSocket() as pc:
            sim = lab.start_sim(config=config)
            mac = {m["name"]: m["mac"] for m in sim.modules}
            pc.send(SEARCH)
            replies = pc.collect(1.0)
            names = [search_reply_fields(d)["name"] for d, _, _ in replies]
            self.assertEqual(sorted(names), ["bcast", "odd", "slow", "twice", "twice"])
            # From the kernel's arrival stamp of the search to the reply leaving, both on the
            # simulator's clock: our own wake-ups after sending and receiving do not count.
            arrived = next(e["t"] for e in sim.received() if e["action"] == "search")
            left = next(e["t"] for e in sim.sent(mac["slow"], "search"))
            self.assertGreaterEqual(left - arrived, 300)
            tx = [e for e in sim.log() if e["dir"] == "tx" and e["module"] == mac["bcast"]]
            self.assertEqual([e["peer"] for e in tx], [f"255.255.255.255:{pc.port}"])

            pc.send(command_frame(CMD_READ, mac["odd"]))
            self.assertEqual([d.hex().upper() for d, _, _ in pc.collect(0.5)], odd)
            self.assertEqual(sim.received(mac["odd"])[0]["result"], "raw")

            pc.send(command_frame(CMD_READ, mac["mute"]))
            self.assertEqual(pc.collect(0.3), [])
            self.assertEqual(sim.received(mac["mute"])[0]["result"], "ignored: silent")


class NetemTest(unittest.TestCase):
    def test_delay_on_the_lab_side(self):
        with Lab(netem="delay 200ms") as lab, PcSocket() as pc:
            lab.start_sim("--p6", "1")
            sent = pc.send(SEARCH)
            replies = pc.collect(1.0)
            self.assertEqual(len(replies), 1)
            self.assertGreaterEqual(replies[0][2] - sent, 200)


class SafetyTest(unittest.TestCase):
    def test_refuses_a_namespace_with_real_interfaces(self):
        with Lab() as lab:
            # The lab's veth end now lives here, so a second lab must refuse to start.
            with self.assertRaisesRegex(RuntimeError, "refusing"):
                Lab().build()
            self.assertIsNotNone(lab.holder)

    def test_stops_cleanly_on_sigterm_and_sigint(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(sig.name), Lab() as lab:
                sim = lab.start_sim("--p6", "1")
                sim.proc.send_signal(sig)
                self.assertEqual(sim.proc.wait(5), 0)
                self.assertEqual(sim.stop(), 0)
                self.assertEqual(sim.lines[-1], "stopped")

    def test_a_simulator_that_dies_fails_the_lab(self):
        lab = Lab().__enter__()
        try:
            sim = lab.start_sim("--p6", "1")
            sim.proc.send_signal(signal.SIGABRT)
            sim.proc.wait(10)
        finally:
            with self.assertRaisesRegex(RuntimeError, "r2sim ended with status"):
                lab.close()
        self.assertIsNone(lab.holder)


if __name__ == "__main__":
    unittest.main(verbosity=2)
