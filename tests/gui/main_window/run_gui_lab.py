"""Runs a GUI test binary on the pc side of a lab network, with module addresses ready.

The binary starts its own r2sim instances in the lab namespace (R2_LAB_NETNS) with module lists
whose addresses lie in 192.168.0.20-39; those addresses are put on the lab side here. Start it
only inside a private network namespace (scripts/in_private_net.sh); the lab refuses anything
else.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "lab"))
from labenv import LAB_IF, Lab  # noqa: E402

MODULE_ADDRESSES = [f"192.168.0.{n}" for n in range(20, 40)]


def main():
    if len(sys.argv) < 2:
        print("usage: run_gui_lab.py TEST_BINARY [ARG]...", file=sys.stderr)
        return 2
    with Lab() as lab:
        batch = "".join(f"addr add {ip}/32 dev {LAB_IF}\n" for ip in MODULE_ADDRESSES)
        subprocess.run(lab.lab_prefix() + ["ip", "-batch", "-"], input=batch, text=True,
                       check=True, capture_output=True)
        env = dict(os.environ, R2_LAB_NETNS=f"/proc/{lab.holder.pid}/ns/net")
        return subprocess.run(sys.argv[1:], env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
