"""r2sim --serial driven from a raw port, as a serial tool drives a module whose CFG pin is
grounded: reads, saves, read-backs, and the options for wrong sums, split replies and silence."""

import os
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from serial_sim_env import Port, checksum, joined, serial_sim  # noqa: E402

READ_P5, READ_P6, FOLLOW_UP, SAVE_P6 = (bytes.fromhex(h) for h in ("55BC", "55BD", "55C1",
                                                                   "55B15A"))
# The P5 parameter bytes as shipped, and a frame that changes every field.
P5_FACTORY = bytes.fromhex("C900A8C02A200700A8C08C4E0100A8C00100C2010300010000FFFFFF")
P5_FRAME = bytes.fromhex("55BAC900A8C02A200700A8C08C4EC900A8C00100C2010300000000FFFFFFB9")


def p6_write(code, block):
    return bytes([0x55, code]) + block + bytes([checksum(block)])


class SerialLabTest(unittest.TestCase):

    def exchange(self, port, frame, length):
        port.send(frame)
        return joined(port.receive(length))

    def test_p5_read_save_and_read_back(self):
        with serial_sim("p5") as sim, Port(sim.path) as port:
            reply = self.exchange(port, READ_P5, 32)
            self.assertEqual(reply[:2], READ_P5)
            self.assertEqual(reply[2:30], P5_FACTORY)
            self.assertEqual(reply[31], checksum(reply[2:31]))

            self.assertEqual(self.exchange(port, P5_FRAME, 1), b"K")
            again = self.exchange(port, READ_P5, 32)
            self.assertEqual(again[2:30], P5_FRAME[2:30])
            self.assertEqual(again[31], checksum(again[2:31]))

            bad = P5_FRAME[:-1] + bytes([(P5_FRAME[-1] + 1) & 0xFF])
            port.send(bad)
            sim.wait_for(lambda e: e["action"] == "write p5" and e["result"].startswith("check"))
            self.assertEqual(port.pending(0.3), b"", "a frame with a wrong sum gets no 'K'")
            self.assertEqual(self.exchange(port, READ_P5, 32), again)

            rx = [(e["action"], e["hex"]) for e in sim.received() if e["len"] > 0]
            self.assertEqual(rx, [("read p5", "55BC"), ("write p5", P5_FRAME.hex().upper()),
                                  ("read p5", "55BC"), ("write p5", bad.hex().upper()),
                                  ("read p5", "55BC")])
            tx = sim.wait_for(lambda e: e["dir"] == "tx", count=4)
            self.assertEqual([e["len"] for e in tx], [32, 1, 32, 32])
            self.assertTrue(all(e["peer"] == "serial" and e["port"] == 0 for e in sim.log()))
            self.assertTrue(all(e["t0"] <= e["t"] for e in tx))

    def test_p6_read_follow_up_save_and_read_back(self):
        with serial_sim("p6") as sim, Port(sim.path) as port:
            read = self.exchange(port, READ_P6, 137)
            self.assertEqual(len(read), 137)
            self.assertEqual(read[:2], READ_P6)
            base, block_port = bytearray(read[2:69]), bytearray(read[69:132])
            self.assertEqual(base[53:59].hex(" ").upper(), "02 52 32 06 00 01")
            follow = self.exchange(port, FOLLOW_UP, 115)
            self.assertEqual(len(follow), 115)
            self.assertEqual(follow[2:22], b"R2ID0252320600010000")
            self.assertEqual(follow[22:30], b"12345678")

            base[21:37] = b"serial P6".ljust(16, b"\0")
            block_port[0:4] = (9600).to_bytes(4, "little")
            port.send(p6_write(0xBE, bytes(base)))
            port.send(p6_write(0xBF, bytes(block_port)))
            self.assertEqual(self.exchange(port, SAVE_P6, 1), b"K")
            back = self.exchange(port, READ_P6, 137)
            self.assertEqual(back[2:69], bytes(base))
            self.assertEqual(back[69:132], bytes(block_port))
            self.assertEqual(back[132:], read[132:])
            actions = [e["action"] for e in sim.received() if e["len"] > 0]
            self.assertEqual(actions, ["read p6", "follow-up", "write base", "write port",
                                       "save p6", "read p6"])

    def test_bad_checksum_option(self):
        with serial_sim("p7", "--serial-bad-checksum") as sim, Port(sim.path) as port:
            reply = self.exchange(port, READ_P5, 32)
            self.assertEqual(len(reply), 32)
            self.assertEqual(reply[2:30], P5_FACTORY)
            self.assertNotEqual(reply[31], checksum(reply[2:31]))

    def test_split_reply_arrives_in_two_parts(self):
        with serial_sim("p5", "--serial-split", "600") as sim, Port(sim.path) as port:
            sent = port.send(READ_P5)
            chunks = port.receive(32)
            self.assertEqual(len(joined(chunks)), 32)
            self.assertEqual(joined(chunks)[2:30], P5_FACTORY)
            # The second part cannot leave before the pause after the first, however late this
            # test reads; a tool that ends a chunk at a 50 ms gap sees two chunks.
            self.assertGreater(chunks[-1][0] - sent, 0.5)
            self.assertEqual([len(data) for _, data in chunks], [16, 16])
            self.assertGreater(chunks[1][0] - chunks[0][0], 0.05)
            tx = sim.wait_for(lambda e: e["dir"] == "tx", count=2)
            parts = [(e["len"], e["result"]) for e in tx]
            self.assertEqual(parts, [(16, "reply, part 1 of 2"), (16, "reply, part 2 of 2")])
            self.assertEqual(self.exchange(port, P5_FRAME, 1), b"K", "one byte is not split")

    def test_silent_option(self):
        with serial_sim("p6", "--serial-silent") as sim, Port(sim.path) as port:
            for frame in (READ_P6, p6_write(0xBE, bytes(67)), SAVE_P6):
                port.send(frame)
            sim.wait_for(lambda e: e["action"] == "save p6")
            self.assertEqual(port.pending(0.3), b"")
            self.assertEqual([e["result"] for e in sim.received() if e["len"] > 0],
                             ["ignored: silent"] * 3)
            self.assertEqual([e for e in sim.log() if e["dir"] == "tx"], [])

    def test_a_closed_port_is_fresh_again(self):
        """A tool's exclusive claim ends with its close, and what it left unread goes."""
        with serial_sim("p5") as sim:
            port = Port(sim.path)
            port.send(READ_P5)
            sim.wait_for(lambda e: e["dir"] == "tx")
            port.close()
            sim.wait_for(lambda e: e["action"] == "close")
            # Without CAP_SYS_ADMIN the open fails (EBUSY) while the claim lasts; with it, the
            # open succeeds and the claim shows.
            deadline = time.monotonic() + 10
            while True:
                try:
                    port = Port(sim.path, claim=False)
                    break
                except OSError:
                    self.assertLess(time.monotonic(), deadline, "the port stayed exclusive")
                    time.sleep(0.02)
            with port:
                self.assertFalse(port.exclusive(), "the last tool's claim outlived its close")
                port.claim()
                self.assertTrue(port.exclusive())
                self.assertEqual(len(self.exchange(port, READ_P5, 32)), 32)
                self.assertEqual(port.pending(0.3), b"",
                                 "the reply the last tool left unread must be gone")

    def test_a_reply_due_while_the_port_is_closed_is_lost(self):
        with serial_sim("p5", "--serial-split", "1000") as sim:
            with Port(sim.path) as port:
                port.send(READ_P5)
                self.assertEqual(len(joined(port.receive(16))), 16)
            lost = sim.wait_for(lambda e: e["result"].startswith("lost"))[0]
            self.assertEqual(lost["len"], 16)
            with Port(sim.path) as port:
                self.assertEqual(len(self.exchange(port, READ_P5, 32)), 32)
                self.assertEqual(port.pending(0.3), b"")

    def test_no_socket_and_a_clean_stop(self):
        for sig in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(sig.name), serial_sim("p6") as sim:
                self.assertTrue(os.path.exists(sim.path))
                fds = os.listdir(f"/proc/{sim.proc.pid}/fd")
                links = [os.readlink(f"/proc/{sim.proc.pid}/fd/{fd}") for fd in fds]
                self.assertFalse([l for l in links if l.startswith("socket:")], links)
                sim.proc.send_signal(sig)
                self.assertEqual(sim.proc.wait(10), 0)
                self.assertEqual(sim.stop(), 0)
                self.assertEqual(sim.lines[-1], "stopped")
                self.assertEqual(sim.errors, [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
