"""r2ctl upgrade on the pc side against r2sim --bootloader on the lab side.

    with UpgradeLab() as u:
        boot = u.boot_loader("--lose-acks", "3")     # r2sim --bootloader MAC in the lab
        image = u.image(1500)                         # "R2P6" + 1500 payload bytes
        result, done = u.upgrade(image)               # r2ctl --json upgrade ...: (object, process)
        u.received(boot)                              # the image r2sim wrote

The pc namespace lets unprivileged programs bind ports below 1024, so r2ctl needs neither root
nor a capability here.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from boot_loader_env import MODULE_IP, start_bootloader  # noqa: E402

MAC = "02 52 32 06 00 01"
IDENTITY = bytes.fromhex("52325036")  # what r2sim's boot loader announces by default
UPGRADE_PORTS = (9, 67, 69, 40300)
UNPRIVILEGED_PORT_START = "/proc/sys/net/ipv4/ip_unprivileged_port_start"


def payload_of(size):
    return bytes((i * 7 + 3) & 0xFF for i in range(size))


def set_unprivileged_port_start(value):
    with open(UNPRIVILEGED_PORT_START, "w") as f:
        f.write(str(value))


class UpgradeLab(labenv.Lab):
    def build(self):
        super().build()
        set_unprivileged_port_start(0)

    def boot_loader(self, *args, name="boot"):
        return start_bootloader(self, MAC, "--image-out", self.path(f"{name}.bin"), *args,
                                name=name)

    def image(self, payload_size, identity=IDENTITY, name="fw.bin"):
        path = self.path(name)
        with open(path, "wb") as f:
            f.write(identity + payload_of(payload_size))
        return path

    def upgrade_args(self, image, target=MODULE_IP, mac=MAC):
        return ["upgrade", "--ip", target, "--mac", mac, "--local-ip", labenv.PC_IP,
                "--file", image]

    def upgrade(self, image, target=MODULE_IP, timeout=120):
        """r2ctl --json upgrade: (its JSON object, the CompletedProcess)."""
        return self.r2ctl_json(*self.upgrade_args(image, target), timeout=timeout)

    def start_upgrade(self, image, *extra, target=MODULE_IP):
        """r2ctl upgrade in the background (plain lines); returns the Popen."""
        return subprocess.Popen([labenv.binary("R2CTL", "tools/r2ctl/r2ctl"), *extra,
                                 *self.upgrade_args(image, target)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                preexec_fn=labenv._die_with_parent)

    def received(self, boot, name="boot"):
        """The image r2sim wrote, once it says it has it."""
        boot.wait_line(lambda line: line.startswith("received "))
        with open(self.path(f"{name}.bin"), "rb") as f:
            return f.read()


def bound_udp_ports():
    """The UDP ports bound in this (the pc) namespace."""
    out = subprocess.run(["ss", "-Hunla"], capture_output=True, text=True, check=True).stdout
    ports = set()
    for line in out.splitlines():
        local = line.split()[3]
        ports.add(int(local.rsplit(":", 1)[1]))
    return ports


def data_blocks(boot):
    """The data blocks r2sim took or lost, in order: (block, length, time ms, action)."""
    out = []
    for e in boot.log():
        action = e["action"] or ""
        if e["dir"] == "rx" and action.split(" ")[-2:-1] == ["data"]:
            out.append((int(action.split()[-1]), e["len"] - 4, e["t"], action))
    return out


def wait_until(predicate, timeout=10, what="condition"):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError(f"no {what} within {timeout} s")
        time.sleep(0.02)
