"""r2ctl serial read and write against r2sim --serial for P6, P5 and P7, checked byte for byte
on the simulator's log: the frames that reached the module, their order and their pauses, what
the panel shows after a read, the frames r2ctl prints (passwords hidden), and the exit statuses
of a silent module, a wrong checksum, a port that does not exist and a value that does not
convert."""

import json
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from serial_sim_env import checksum, serial_sim  # noqa: E402

# The frame of the P5 settings documented with the codec: destination 192.168.0.201:8234,
# module 192.168.0.7:20108, gateway 192.168.0.201, TCP client, 115200 8N1, ID 0, no options,
# mask 255.255.255.0.
EXAMPLE_SETS = ["edt_DeIP=192.168.0.201", "edt_DePort=8234", "edt_ModuleIP=192.168.0.7",
                "edt_ModulePort=20108", "edt_Gateway=192.168.0.201", "cbb_ModuleWork=TCP Client",
                "cbb_BaudRate=115200", "cbb_D=8", "cbb_P=NONE", "cbb_S=1", "edt_ID=0",
                "edt_Mask=255.255.255.0"] + [f"{box}=0" for box in (
                    "chk_ConnSendId", "chk_DataWithId", "chk_RS485", "chk_RS422", "chk_Reset",
                    "chk_Index", "chk_Link", "chk_RFC2217")]
EXAMPLE_FRAME = "55BAC900A8C02A200700A8C08C4EC900A8C00100C2010300000000FFFFFFB9"


def r2ctl(*args):
    return subprocess.run([labenv.binary("R2CTL", "tools/r2ctl/r2ctl"), *args],
                          capture_output=True, text=True, timeout=60)


def serial(action, sim, *args, json_out=True):
    """r2ctl serial ACTION on the simulator's port: (parsed JSON or None, CompletedProcess)."""
    done = r2ctl("serial", action, "--port", sim.path, "--model", sim.model, *args,
                 *(["--json"] if json_out else []))
    doc = json.loads(done.stdout) if json_out and done.stdout.strip() else None
    return doc, done


def received(sim):
    """What reached the module: (action, hex) of each frame, in order."""
    return [(e["action"], e["hex"]) for e in sim.received() if e["len"] > 0]


def module_replies(sim):
    """What the module sent, by length."""
    return {e["len"]: bytes.fromhex(e["hex"]) for e in sim.log() if e["dir"] == "tx"}


def hidden(hex_text, offset, length):
    """A frame as r2ctl prints it with the password at OFFSET (LENGTH bytes) hidden."""
    return hex_text[:2 * offset] + "**" * length + hex_text[2 * (offset + length):]


def rev_ip(four):
    return ".".join(str(b) for b in reversed(four))


def control_names(model):
    doc = json.loads(r2ctl("--json", "fields", model).stdout)
    return {row["name"] for row in doc}


class SerialReadTest(unittest.TestCase):

    def test_read_each_model(self):
        for model, request, replies in (("p6", ["55BD", "55C1"], [137, 115]),
                                        ("p5", ["55BC"], [32]), ("p7", ["55BC"], [32])):
            with self.subTest(model), serial_sim(model) as sim:
                doc, done = serial("read", sim)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertEqual([h for _, h in received(sim)], request)
                self.assertEqual([f["bytes"] for f in doc["frames"] if f["dir"] == "sent"],
                                 request)
                self.assertEqual([f["length"] for f in doc["frames"] if f["dir"] == "received"],
                                 replies)
                panel = doc["panel"]
                self.assertEqual(set(panel), control_names("p6" if model == "p6" else "p5"))
                sent = module_replies(sim)
                if model == "p6":
                    base = sent[137][2:69]
                    self.assertEqual(panel["edt_ModName"], base[21:37].rstrip(b"\0").decode())
                    self.assertEqual(panel["edt_StaticIP"], rev_ip(base[9:13]))
                    self.assertEqual(panel["edtDid"], sent[115][2:22].decode())
                else:
                    reply = sent[32]
                    self.assertEqual(panel["edt_ModuleIP"], rev_ip(reply[8:12]))
                    self.assertEqual(panel["edt_DePort"], str(int.from_bytes(reply[6:8],
                                                                             "little")))

    def test_human_output_echoes_the_frames_and_lists_the_panel(self):
        with serial_sim("p5") as sim:
            _, done = serial("read", sim, json_out=False)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertIn("sent     2 bytes: 55BC", done.stdout)
            self.assertIn("received 32 bytes: 55BC", done.stdout)
            self.assertIn("P5 panel:", done.stdout)


class SerialWriteTest(unittest.TestCase):

    def test_p6_write_sends_base_port_and_close_apart_and_reads_back(self):
        with serial_sim("p6") as sim:
            doc, done = serial("write", sim, "--set", "edt_ModName=Serial1", "--set",
                               "edt_LocalPort0=4001")
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
            self.assertTrue(doc["accepted"])
            read = module_replies(sim)[137]
            base, port = bytearray(read[2:69]), bytearray(read[69:132])
            base[21:37] = b"Serial1".ljust(16, b"\0")
            port[12:14] = (4001).to_bytes(2, "little")
            frames = [e for e in sim.received() if e["len"] > 0]
            self.assertEqual([(e["action"], e["hex"]) for e in frames], [
                ("read p6", "55BD"), ("follow-up", "55C1"),
                ("write base", ("55BE" + base.hex() + f"{checksum(base):02x}").upper()),
                ("write port", ("55BF" + port.hex() + f"{checksum(port):02x}").upper()),
                ("save p6", "55B15A")])
            self.assertEqual([e["result"][:6] for e in frames[2:]],
                             ["staged", "staged", "K, sto"])
            for a, b in zip(frames[2:], frames[3:]):
                self.assertGreaterEqual(b["t"] - a["t"], 500, f"pause before {b['action']}")
            # The module's login password in the base block, its cloud password in the 115.
            printed = {(f["dir"], f["length"]): f["bytes"] for f in doc["frames"]}
            self.assertEqual(printed[("sent", 70)], hidden(frames[2]["hex"], 2 + 43, 6))
            self.assertEqual(printed[("received", 137)], hidden(read.hex().upper(), 2 + 43, 6))
            cloud = module_replies(sim)[115].hex().upper()
            self.assertEqual(printed[("received", 115)], hidden(cloud, 22, 8))

            doc, done = serial("read", sim)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual((doc["panel"]["edt_ModName"], doc["panel"]["edt_LocalPort0"]),
                             ("Serial1", "4001"))

    def test_p5_and_p7_write_the_documented_frame_and_read_back(self):
        for model in ("p5", "p7"):
            with self.subTest(model), serial_sim(model) as sim:
                sets = [a for s in EXAMPLE_SETS for a in ("--set", s)]
                doc, done = serial("write", sim, *sets)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertEqual(received(sim), [("read p5", "55BC"), ("write p5", EXAMPLE_FRAME)])
                write = [e for e in sim.received() if e["action"] == "write p5"]
                self.assertTrue(write[0]["result"].startswith("K"), write[0]["result"])

                doc, done = serial("read", sim)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertEqual(doc["panel"]["edt_DeIP"], "192.168.0.201")
                self.assertEqual(doc["panel"]["cbb_ModuleWork"], 1)

    def test_changed_values_reach_the_frame(self):
        with serial_sim("p5") as sim:
            _, done = serial("write", sim, "--set", "edt_ModuleIP=10.1.2.3", "--set",
                             "edt_ID=258", "--set", "chk_RS485=1", json_out=False)
            self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
            factory = module_replies(sim)[32]
            frame = bytearray(b"\x55\xBA" + factory[2:30] + b"\0")
            frame[8:12] = bytes([3, 2, 1, 10])
            frame[23:25] = bytes([1, 2])
            frame[25] |= 0x04
            frame[30] = checksum(frame[2:30])
            self.assertEqual(received(sim)[-1], ("write p5", frame.hex().upper()))


class SerialFailureTest(unittest.TestCase):

    def test_a_silent_module(self):
        for model, action in (("p6", "read"), ("p5", "write"), ("p7", "read")):
            with self.subTest(f"{model} {action}"), serial_sim(model, "--serial-silent") as sim:
                _, done = serial(action, sim, json_out=False)
                self.assertEqual(done.returncode, 4, done.stdout + done.stderr)
                self.assertIn("CFG pin", done.stderr)
                self.assertEqual(len(received(sim)), 1, "the read request only")

    def test_a_reply_with_a_wrong_checksum(self):
        with serial_sim("p5", "--serial-bad-checksum") as sim:
            doc, done = serial("read", sim)
            self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
            self.assertIn("checksum", done.stderr)
            self.assertNotIn("panel", doc)
            self.assertEqual(doc["exit"], 5)
            _, done = serial("write", sim, "--set", "edt_ID=7", json_out=False)
            self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
            self.assertNotIn("write p5", [a for a, _ in received(sim)])

    def test_a_reply_split_by_a_pause(self):
        with serial_sim("p6", "--serial-split", "150") as sim:
            _, done = serial("read", sim, json_out=False)
            self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
            self.assertIn("arrives whole", done.stderr)

    def test_a_port_that_does_not_exist(self):
        done = r2ctl("serial", "read", "--port", "/dev/r2-no-such-port", "--model", "p6")
        self.assertEqual(done.returncode, 5, done.stdout + done.stderr)
        self.assertIn("/dev/r2-no-such-port", done.stderr)
        self.assertIn("Error opening serial port", done.stderr)
        self.assertIn("does not exist", done.stderr)

    def test_values_that_do_not_convert_send_nothing(self):
        for model, value, control in (("p5", "edt_DePort=82x4", "edt_DePort"),
                                      ("p6", "edt_StaticIP=10.0.7", "edt_StaticIP"),
                                      ("p6", "no_such_control=1", "no_such_control")):
            with self.subTest(value), serial_sim(model) as sim:
                _, done = serial("write", sim, "--set", value, json_out=False)
                self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
                self.assertIn(control, done.stderr)
                self.assertEqual(received(sim), [])


if __name__ == "__main__":
    unittest.main()
