"""1 MiB through `r2ctl upgrade` and through tftpd-hpa, both fetched by curl from the lab side
of the veth link; three rounds each, alternating. Run by run.sh inside a private namespace."""

import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "lab"))
import labenv  # noqa: E402

ROUNDS = 3
PAYLOAD = bytes((i * 7 + 3) & 0xFF for i in range(1024 * 1024))
IDENTITY = bytes.fromhex("52325036")
PORTS = {9, 67, 69, 40300}


def bound_udp_ports():
    out = subprocess.run(["ss", "-Hunla"], capture_output=True, text=True, check=True).stdout
    return {int(line.split()[3].rsplit(":", 1)[1]) for line in out.splitlines()}


def find_tftpd():
    return os.environ.get("R2_TFTPD") or shutil.which("in.tftpd") or (
        "/usr/sbin/in.tftpd" if os.access("/usr/sbin/in.tftpd", os.X_OK) else None)


def curl(lab, out_path, local_port=None):
    """curl fetching firmware.bin from the pc; returns its wall time in seconds."""
    cmd = ["curl", "-sS", "--max-time", "60", "--tftp-no-options",
           f"tftp://{labenv.PC_IP}/firmware.bin", "-o", out_path]
    if local_port:
        cmd[1:1] = ["--local-port", str(local_port)]
    start = time.monotonic()
    done = lab.lab(*cmd, check=False)
    elapsed = time.monotonic() - start
    if done.returncode != 0:
        raise RuntimeError(f"curl failed: {done.stderr.strip()}")
    with open(out_path, "rb") as f:
        if f.read() != PAYLOAD:
            raise RuntimeError("curl fetched other bytes than the payload")
    return elapsed


def via_r2ctl(lab, image):
    proc = subprocess.Popen([labenv.binary("R2CTL", "tools/r2ctl/r2ctl"), "upgrade", "--ip",
                             labenv.LAB_IP, "--mac", "02 52 32 06 00 01", "--local-ip",
                             labenv.PC_IP, "--file", image],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 5
    while not PORTS <= bound_udp_ports():
        if time.monotonic() > deadline or proc.poll() is not None:
            proc.kill()
            raise RuntimeError("r2ctl upgrade did not open its ports: " + proc.stderr.read())
        time.sleep(0.01)
    elapsed = curl(lab, lab.path("from_r2ctl.bin"), local_port=13633)
    _, err = proc.communicate(timeout=30)
    if proc.returncode != 0:
        raise RuntimeError(f"r2ctl upgrade ended with {proc.returncode}: {err}")
    return elapsed


def via_tftpd(lab, tftpd, directory):
    # Foreground, one address, the directory as its root; "-u root" because the private
    # namespace maps only root, so the daemon's usual switch to "nobody" would fail.
    proc = subprocess.Popen([tftpd, "--foreground", "--listen", "--address",
                             f"{labenv.PC_IP}:69", "--user", "root", "--secure", directory],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        deadline = time.monotonic() + 5
        while 69 not in bound_udp_ports():
            if time.monotonic() > deadline or proc.poll() is not None:
                raise RuntimeError("in.tftpd did not start: " + proc.stderr.read())
            time.sleep(0.01)
        return curl(lab, lab.path("from_tftpd.bin"))
    finally:
        proc.terminate()
        proc.wait(10)


def main():
    tftpd = find_tftpd()
    with labenv.Lab() as lab:
        with open(f"/proc/sys/net/ipv4/ip_unprivileged_port_start", "w") as f:
            f.write("0")
        image = lab.path("fw.bin")
        with open(image, "wb") as f:
            f.write(IDENTITY + PAYLOAD)
        directory = lab.path("tftp")
        os.mkdir(directory)
        with open(os.path.join(directory, "firmware.bin"), "wb") as f:
            f.write(PAYLOAD)
        r2ctl_times, tftpd_times = [], []
        for _ in range(ROUNDS):
            r2ctl_times.append(via_r2ctl(lab, image))
            if tftpd:
                tftpd_times.append(via_tftpd(lab, tftpd, directory))
    print(f"1 MiB image ({len(PAYLOAD)} payload bytes, 512-byte blocks), curl --tftp-no-options "
          f"over the lab's veth link, {ROUNDS} rounds")
    print("r2ctl upgrade: " + "  ".join(f"{t:.3f} s" for t in r2ctl_times) +
          f"   median {statistics.median(r2ctl_times):.3f} s")
    if not tftpd:
        print("tftpd-hpa: not installed (package tftpd-hpa, or R2_TFTPD=/path/to/in.tftpd); "
              "the bench installs nothing")
        return
    print("tftpd-hpa:     " + "  ".join(f"{t:.3f} s" for t in tftpd_times) +
          f"   median {statistics.median(tftpd_times):.3f} s")
    print(f"ratio r2ctl / tftpd-hpa (medians): "
          f"{statistics.median(r2ctl_times) / statistics.median(tftpd_times):.2f}")


if __name__ == "__main__":
    main()
