"""r2sim --bootloader in the lab, and the boot server's side played from the pc namespace.

    with Lab() as lab, BootServer() as server:
        boot = start_bootloader(lab, MAC, "--image-out", lab.path("image.bin"))
        server.wake_up(MAC)                          # 30 bytes to 255.255.255.255:9
        request, _ = server.boot_request()           # 300 bytes on port 67
        server.boot_reply(request, MODULE_IP)        # to 255.255.255.255:68
        read, sender = server.read_request()         # 21 bytes on port 69
        server.data(1, payload, MODULE_IP)           # from port 40300 to MODULE_IP:13633
        server.ack()                                 # (bytes, (ip, port)) or None

The module's address (the boot reply's yiaddr) is given to the lab side, so the boot
loader's read request and acknowledgements come from it, as they do from a real module.
"""

import socket
import subprocess
import time

import labenv

MODULE_IP = "192.168.0.20"
BOOT_LOADER_PORT = 13633
SERVER_TRANSFER_PORT = 40300


class BootLoaderProcess(labenv.SimProcess):
    """A running r2sim --bootloader."""

    def wait_ready(self, timeout=10):
        self.wait_line(lambda l: l.startswith("bootloader ") and l.endswith(" ready"), timeout)

    def wait_line(self, predicate, timeout=10):
        """The first output line that satisfies PREDICATE."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while True:
                found = [l for l in self.lines if predicate(l)]
                if found:
                    return found[0]
                left = deadline - time.monotonic()
                if self._said_all() or left <= 0:
                    raise AssertionError("no such line from r2sim --bootloader:\n" +
                                         "\n".join(self.lines + self.errors))
                self._cond.wait(min(left, 0.1))

    def wait_for(self, predicate, count=1, timeout=10):
        """The log entries that satisfy PREDICATE, once there are COUNT of them."""
        deadline = time.monotonic() + timeout
        while True:
            found = [e for e in self.log() if predicate(e)]
            if len(found) >= count:
                return found
            if time.monotonic() > deadline:
                raise AssertionError(f"{len(found)} of {count} log entries within {timeout} s:"
                                     f"\n{self.log()}")
            time.sleep(0.02)

    def actions(self, direction=None):
        return [e["action"] for e in self.log() if direction in (None, e["dir"])]


def start_bootloader(lab, mac, *args, address=MODULE_IP, name="boot"):
    """Starts r2sim --bootloader MAC ARGS in the lab namespace, once the lab side holds
    ADDRESS (None: no address is added)."""
    if address:
        lab.lab("ip", "addr", "replace", f"{address}/32", "dev", labenv.LAB_IF)
    log_path = lab.path(f"{name}.jsonl")
    cmd = [labenv.binary("R2SIM", "tools/r2sim/r2sim"), "--bootloader", mac, "--json-log",
           log_path, *args]
    proc = subprocess.Popen(lab.lab_prefix() + cmd, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True,
                            preexec_fn=labenv._die_with_parent)
    boot = BootLoaderProcess(proc, log_path)
    lab.sims.append(boot)
    boot.wait_ready()
    return boot


def _udp(port, ip="0.0.0.0"):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, labenv.PC_IF.encode())
    sock.bind((ip, port))
    return sock


def _receive(sock, wait):
    """(bytes, (ip, port)) of the next datagram not sent by the pc itself, or None."""
    deadline = time.monotonic() + wait
    while (left := deadline - time.monotonic()) > 0:
        sock.settimeout(left)
        try:
            data, addr = sock.recvfrom(70000)
        except socket.timeout:
            return None
        if addr[0] != labenv.PC_IP:
            return data, addr
    return None


def wake_up_packet(mac):
    return b"\xaa" * 6 + bytes.fromhex(mac.replace(" ", "").replace(":", "")) * 4


class BootServer:
    """The pc's four boot server ports: 9, 67, 69 and 40300 (root in the private namespace
    may bind ports below 1024)."""

    def __init__(self):
        self.wake = _udp(9)
        self.boot = _udp(67)
        self.read = _udp(69)
        self.transfer = _udp(SERVER_TRANSFER_PORT, labenv.PC_IP)

    def close(self):
        for sock in (self.wake, self.boot, self.read, self.transfer):
            sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def wake_up(self, mac, packet=None):
        self.wake.sendto(packet if packet is not None else wake_up_packet(mac),
                         ("255.255.255.255", 9))

    def boot_request(self, wait=5.0):
        return _receive(self.boot, wait)

    def boot_reply(self, request, yiaddr, siaddr=labenv.PC_IP, file=b"firmware.bin"):
        reply = bytearray(request)
        reply[0] = 2
        reply[16:20] = socket.inet_aton(yiaddr)
        reply[20:24] = socket.inet_aton(siaddr)
        reply[108:108 + len(file)] = file
        self.boot.sendto(bytes(reply), ("255.255.255.255", 68))

    def read_request(self, wait=5.0):
        return _receive(self.read, wait)

    def data(self, block, payload, to_ip=MODULE_IP):
        self.transfer.sendto(b"\x00\x03" + block.to_bytes(2, "big") + payload,
                             (to_ip, BOOT_LOADER_PORT))

    def ack(self, wait=2.0):
        return _receive(self.transfer, wait)
