"""The test lab: a "pc" and a "lab" network namespace joined by veth, with r2sim on the lab side.

Run it only inside a private network namespace (scripts/in_private_net.sh); it refuses to
build anything in a namespace that has any interface besides loopback, so a lab test started
by mistake on the host network stops before it sends a single datagram.

    with Lab() as lab:                       # pc 192.168.0.10/24 <-veth-> lab 192.168.0.7/24
        sim = lab.start_sim("--p6", "2")     # r2sim in the lab namespace, ready to answer
        out = lab.r2ctl("--json", "search")  # runs here, on the pc side
        sim.log()                            # r2sim's JSON log, one dict per frame

Options: second_interface adds a second veth pair (pc 10.1.0.10/24, lab 10.1.0.7/24);
second_pc_address adds 192.168.0.11/24 on the pc side of the first pair; netem adds
"tc qdisc ... netem <netem>" (for example "delay 100ms loss 10%") on the lab side.

The lab namespace is held by an "unshare --net sleep" process, so nothing needs /run/netns
and nothing is left behind: closing the lab (or the test process dying) ends the holder, and
the namespace, its veth ends and its addresses go with it.
"""

import ctypes
import ipaddress
import json
import os
import signal
import socket
import subprocess
import threading
import time
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]

PC_IF, LAB_IF = "r2pc0", "r2lab0"
PC_IF2, LAB_IF2 = "r2pc1", "r2lab1"
PC_IP, PC_IP2, LAB_IP = "192.168.0.10", "192.168.0.11", "192.168.0.7"
PC_IP_B, LAB_IP_B = "10.1.0.10", "10.1.0.7"
# Where default module addresses start in the lab: clear of the pc's and the lab's own.
FIRST_MODULE_IP = "192.168.0.20"

_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    """Runs in a child before exec: ends it when the test process dies, however it dies."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


def binary(env_name, relative):
    """A built program: from the environment (set by CMake), else from build/."""
    path = os.environ.get(env_name) or str(REPO / "build" / relative)
    if not os.access(path, os.X_OK):
        raise RuntimeError(f"{env_name}: no executable at {path}; build it or set {env_name}")
    return path


def ensure_private_namespace():
    names = [name for _, name in socket.if_nameindex()]
    if any(name != "lo" for name in names):
        raise RuntimeError(
            "refusing to build the lab: this network namespace has the interfaces "
            f"{names}; run the test through scripts/in_private_net.sh")
    if os.geteuid() != 0:
        raise RuntimeError("the lab needs root inside its private namespace "
                           "(scripts/in_private_net.sh maps it)")


class Unsupported(unittest.SkipTest):
    """This machine cannot build the lab that was asked for."""


def run(cmd, check=True, **kw):
    return subprocess.run(cmd, check=check, capture_output=True, text=True, **kw)


class SimProcess:
    """One running r2sim: its module list, its output lines and its JSON log."""

    def __init__(self, proc, log_path):
        self.proc = proc
        self.log_path = log_path
        self.lines = []
        self.errors = []  # standard error: r2sim's complaints, a sanitizer's report
        self.modules = []
        self._cond = threading.Condition()
        self._open_streams = 2
        self._readers = [threading.Thread(target=self._read, args=(proc.stdout, self.lines),
                                          daemon=True),
                         threading.Thread(target=self._read, args=(proc.stderr, self.errors),
                                          daemon=True)]
        for reader in self._readers:
            reader.start()

    def _read(self, stream, into):
        for line in stream:
            with self._cond:
                into.append(line.rstrip("\n"))
                self._cond.notify_all()
        with self._cond:
            self._open_streams -= 1
            self._cond.notify_all()

    def _said_all(self):
        """Whether the process has ended and its last lines have been read (call it holding
        _cond): a process that exits right after printing may end before its readers get
        those lines, more so on a busy machine."""
        return self.proc.poll() is not None and self._open_streams == 0

    def wait_ready(self, timeout=10):
        deadline = time.monotonic() + timeout
        with self._cond:
            while "ready" not in self.lines:
                left = deadline - time.monotonic()
                if self._said_all() or left <= 0:
                    raise RuntimeError("r2sim did not get ready:\n" +
                                       "\n".join(self.lines + self.errors))
                self._cond.wait(min(left, 0.1))
        self.modules = [_parse_module(l) for l in self.lines if l.startswith("module ")]

    def module(self, model, n=0):
        """The n-th module of a model ("P6", "P7", "old")."""
        return [m for m in self.modules if m["model"] == model][n]

    def log(self):
        """Every JSON log entry so far."""
        with open(self.log_path) as f:
            return [json.loads(line) for line in f if line.strip()]

    def received(self, mac=None):
        """The rx entries, optionally only those a given module took."""
        return [e for e in self.log() if e["dir"] == "rx" and (mac is None or e["module"] == mac)]

    def commands(self, mac, skip=("read",)):
        """The frames a module took, less the reads: what a save or a restart sent it."""
        return [e for e in self.received(mac) if e["action"] not in skip]

    def sent(self, mac, action=None):
        """What a module sent (tx entries), optionally only for one action."""
        return [e for e in self.log() if e["dir"] == "tx" and e["module"] == mac
                and (action is None or e["action"] == action)]

    def stop(self, timeout=10):
        """SIGTERM, then the exit status; kills it if it does not end in time."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for reader in self._readers:
            reader.join(timeout)
        self.proc.stdout.close()
        self.proc.stderr.close()
        return self.proc.returncode


def _parse_module(line):
    # module P6 02 52 32 06 00 01 192.168.0.7 version=4017 searchPort=1500 reply=unicast
    #   silent=0 name=P6-0001   (one line; the name is the rest of the line)
    head, name = line.split(" name=", 1)
    parts = head.split()
    fields = dict(p.split("=", 1) for p in parts[9:])
    return {
        "model": parts[1],
        "mac": " ".join(parts[2:8]),
        "ip": parts[8],
        "name": name,
        "version": int(fields["version"]),
        "searchPort": int(fields["searchPort"]),
        "reply": fields["reply"],
        "silent": fields["silent"] == "1",
    }


class Lab:
    def __init__(self, second_interface=False, second_pc_address=False, netem=None):
        self.second_interface = second_interface
        self.second_pc_address = second_pc_address
        self.netem = netem
        self.holder = None
        self.sims = []
        self.tmp = None

    # ---- building and tearing down ------------------------------------------------------

    def __enter__(self):
        try:
            self.build()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()

    def build(self):
        ensure_private_namespace()
        import tempfile
        self.tmp = tempfile.TemporaryDirectory(prefix="r2lab-")
        self.holder = subprocess.Popen(["unshare", "--net", "--", "sleep", "infinity"],
                                       preexec_fn=_die_with_parent)
        self._wait_for_own_namespace()
        self._pair(PC_IF, LAB_IF, [PC_IP] + ([PC_IP2] if self.second_pc_address else []), LAB_IP)
        if self.second_interface:
            self._pair(PC_IF2, LAB_IF2, [PC_IP_B], LAB_IP_B)
        self.lab("ip", "link", "set", "lo", "up")
        # Lets a module's broadcast leave even when its own address is not on the lab side.
        self.lab("ip", "route", "add", "default", "dev", LAB_IF)
        if self.netem:
            self._add_netem()

    def _add_netem(self):
        done = self.lab("tc", "qdisc", "add", "dev", LAB_IF, "root", "netem", *self.netem.split(),
                        check=False)
        if done.returncode != 0:
            # Kernels built without CONFIG_NET_SCH_NETEM say "unknown qdisc": a test that needs
            # loss or delay on the wire is skipped there rather than passed without them.
            raise Unsupported(f"tc netem {self.netem}: {done.stderr.strip()}")

    def _wait_for_own_namespace(self):
        mine = os.readlink("/proc/self/ns/net")
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            try:
                if os.readlink(f"/proc/{self.holder.pid}/ns/net") != mine:
                    return
            except FileNotFoundError:
                break
            time.sleep(0.01)
        raise RuntimeError("the lab namespace holder did not start")

    def _pair(self, pc_if, lab_if, pc_ips, lab_ip):
        run(["ip", "link", "add", pc_if, "type", "veth", "peer", "name", lab_if,
             "netns", str(self.holder.pid)])
        for ip in pc_ips:
            run(["ip", "addr", "add", f"{ip}/24", "dev", pc_if])
        run(["ip", "link", "set", pc_if, "up"])
        self.lab("ip", "addr", "add", f"{lab_ip}/24", "dev", lab_if)
        self.lab("ip", "link", "set", lab_if, "up")

    def close(self):
        """Tears the lab down; raises when an r2sim did not end cleanly (a crash, a sanitizer
        report), after everything is gone."""
        failures = []
        for sim in self.sims:
            status = sim.stop()
            if status != 0:
                failures.append(f"r2sim ended with status {status}:\n" + "\n".join(sim.errors))
        self.sims = []
        if self.holder:
            self.holder.kill()
            self.holder.wait()
            self.holder = None
        for pc_if in (PC_IF, PC_IF2):
            run(["ip", "link", "del", pc_if], check=False)
        if self.tmp:
            self.tmp.cleanup()
            self.tmp = None
        if failures:
            raise RuntimeError("\n".join(failures))

    # ---- running things -----------------------------------------------------------------

    def lab_prefix(self):
        return ["nsenter", f"--net=/proc/{self.holder.pid}/ns/net", "--"]

    def lab(self, *cmd, check=True):
        """Runs a command in the lab namespace."""
        return run(self.lab_prefix() + list(cmd), check=check)

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def start_sim(self, *args, config=None, first_ip=FIRST_MODULE_IP, name="sim"):
        """Starts r2sim in the lab with ARGS (and CONFIG, a dict written as its JSON file),
        gives the lab side every module address, and returns once it answers."""
        cmd = [binary("R2SIM", "tools/r2sim/r2sim"), "--first-ip", first_ip,
               "--json-log", self.path(f"{name}.jsonl")]
        if config is not None:
            with open(self.path(f"{name}.json"), "w") as f:
                json.dump(config, f)
            cmd += ["--config", self.path(f"{name}.json")]
        proc = subprocess.Popen(self.lab_prefix() + cmd + list(args), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, preexec_fn=_die_with_parent)
        sim = SimProcess(proc, self.path(f"{name}.jsonl"))
        self.sims.append(sim)
        sim.wait_ready()
        self._add_module_addresses(sim.modules)
        return sim

    def _add_module_addresses(self, modules):
        have = set(self.lab("ip", "-o", "-4", "addr", "show").stdout.split())
        have = {a.split("/")[0] for a in have if "/" in a}
        pc = {PC_IP, PC_IP2, PC_IP_B}
        # Modules may share an address; each is added once.
        batch = sorted({f"addr add {m['ip']}/32 dev {LAB_IF}" for m in modules
                        if m["ip"] not in have and m["ip"] not in pc and _is_ipv4(m["ip"])})
        if batch:
            subprocess.run(self.lab_prefix() + ["ip", "-batch", "-"], input="\n".join(batch) + "\n",
                           text=True, check=True, capture_output=True)

    def r2ctl(self, *args, timeout=60):
        """Runs r2ctl on the pc side; returns the CompletedProcess (never raises on status)."""
        return subprocess.run([binary("R2CTL", "tools/r2ctl/r2ctl")] + list(args),
                              capture_output=True, text=True, timeout=timeout)

    def r2ctl_json(self, *args, timeout=60):
        """r2ctl --json ARGS: (parsed standard output, the CompletedProcess)."""
        done = self.r2ctl("--json", *args, timeout=timeout)
        try:
            return json.loads(done.stdout), done
        except json.JSONDecodeError as e:
            raise AssertionError(f"r2ctl printed no JSON ({e}):\n{done.stdout}{done.stderr}")


def _is_ipv4(text):
    try:
        ipaddress.IPv4Address(text)
        return True
    except ValueError:
        return False


# ---- a tiny client for talking to r2sim without r2ctl ---------------------------------------

def checksum(data):
    return sum(data) & 0xFF


def credential(text):
    raw = text.replace(" ", "").encode()[:6]
    return raw + bytes(6 - len(raw))


def command_frame(command, mac, block=b"", user="admin", password="tulip"):
    """A LAN command frame as the configuration tool builds it."""
    body = bytes([19 + len(block), command]) + bytes.fromhex(mac.replace(" ", "")) \
        + credential(user) + credential(password) + block
    return b"\xff" + body + bytes([checksum(body)])


class PcSocket:
    """A UDP socket on one pc interface that sees unicast and broadcast replies alike."""

    def __init__(self, interface=PC_IF, own_ips=(PC_IP, PC_IP2, PC_IP_B)):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_BINDTODEVICE, interface.encode())
        self.sock.bind(("0.0.0.0", 0))
        self.port = self.sock.getsockname()[1]
        self.own_ips = set(own_ips)

    def send(self, data, port=1500, ip="255.255.255.255"):
        self.sock.sendto(data, (ip, port))
        return time.monotonic() * 1000

    def collect(self, wait=1.0):
        """Every datagram that arrives within WAIT seconds, as (bytes, (ip, port), t_ms),
        without our own broadcasts coming back."""
        got = []
        deadline = time.monotonic() + wait
        while (left := deadline - time.monotonic()) > 0:
            self.sock.settimeout(left)
            try:
                data, addr = self.sock.recvfrom(70000)
            except socket.timeout:
                break
            if addr[0] not in self.own_ips:
                got.append((data, addr, time.monotonic() * 1000))
        return got

    def close(self):
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
