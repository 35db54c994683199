"""r2sim --serial for tests: the simulator on a pseudo-terminal, and a raw port to talk to it.

    with serial_sim("p5", "--serial-split", "400") as sim:   # r2sim --serial p5 ...
        with Port(sim.path) as port:                          # opened like the tool opens it
            port.send(bytes.fromhex("55BC"))
            reply = port.receive(32)                           # [(time.monotonic(), bytes), ...]
        sim.log()                                              # the JSON log, one dict per entry

No network is involved, yet the tests run through scripts/in_private_net.sh like every lab test.
"""

import contextlib
import fcntl
import os
import select
import subprocess
import tempfile
import termios
import time
import tty

import labenv

# _IOR('T', 0x40, int): whether the terminal is in exclusive mode (Linux 3.8 and later).
TIOCGEXCL = getattr(termios, "TIOCGEXCL", 0x80045440)


class SerialSimProcess(labenv.SimProcess):
    """A running r2sim --serial; path is the pseudo-terminal a tool opens."""

    def __init__(self, proc, log_path):
        super().__init__(proc, log_path)
        self.wait_ready()
        head = next(line for line in self.lines if line.startswith("serial "))
        _, self.model, self.path = head.split(" ", 2)

    def wait_for(self, predicate, count=1, timeout=10):
        """The log entries that satisfy PREDICATE, once there are COUNT of them (an entry is
        written just after its frame went out, so a reader of the frame may be quicker)."""
        deadline = time.monotonic() + timeout
        while True:
            found = [e for e in self.log() if predicate(e)]
            if len(found) >= count:
                return found
            if time.monotonic() > deadline:
                raise AssertionError(f"{len(found)} of {count} log entries within {timeout} s:"
                                     f"\n{self.log()}")
            time.sleep(0.02)


@contextlib.contextmanager
def serial_sim(model, *args):
    with tempfile.TemporaryDirectory(prefix="r2sim-serial-") as tmp:
        log_path = os.path.join(tmp, "serial.jsonl")
        cmd = [labenv.binary("R2SIM", "tools/r2sim/r2sim"), "--serial", model, "--json-log",
               log_path, *args]
        proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                preexec_fn=labenv._die_with_parent)
        sim = None
        try:
            sim = SerialSimProcess(proc, log_path)
            yield sim
        finally:
            if sim is not None:
                sim.stop()
            elif proc.poll() is None:
                proc.kill()
                proc.wait()


class Port:
    """The slave end opened as a serial tool opens it: raw, and exclusive unless CLAIM is
    false (then claim() makes it so)."""

    def __init__(self, path, claim=True):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(self.fd, termios.TCSANOW)  # keeps what waits, as a tool may
        if claim:
            self.claim()

    def claim(self):
        fcntl.ioctl(self.fd, termios.TIOCEXCL)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        if self.fd >= 0:
            os.close(self.fd)
            self.fd = -1

    def send(self, data):
        """Writes DATA in one write; returns the time just after it."""
        os.write(self.fd, data)
        return time.monotonic()

    def receive(self, count, timeout=5.0):
        """The reads that brought COUNT bytes, as (time.monotonic(), bytes) pairs; fewer bytes
        when TIMEOUT passes first."""
        chunks, got = [], 0
        deadline = time.monotonic() + timeout
        while got < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                break
            data = os.read(self.fd, count - got)
            chunks.append((time.monotonic(), data))
            got += len(data)
        return chunks

    def pending(self, wait):
        """Whatever arrives within WAIT seconds."""
        data = b""
        while select.select([self.fd], [], [], wait)[0]:
            data += os.read(self.fd, 4096)
        return data

    def exclusive(self):
        buf = fcntl.ioctl(self.fd, TIOCGEXCL, b"\0\0\0\0")
        return int.from_bytes(buf, "little") != 0


def joined(chunks):
    return b"".join(data for _, data in chunks)


def checksum(data):
    return sum(data) & 0xFF
