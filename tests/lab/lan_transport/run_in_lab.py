"""Runs the LAN transport lab test binary on the pc side of a lab network.

The lab (tests/lab/labenv.py) is built with a second pc address on the first segment and a
second interface pair, so the binary sees three local addresses on two interfaces. The fake
modules of the test enter the lab side through R2_LAB_NETNS. Start it only inside a private
network namespace (scripts/in_private_net.sh); the lab refuses anything else.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from labenv import Lab  # noqa: E402


def main():
    if len(sys.argv) < 2:
        print("usage: run_in_lab.py TEST_BINARY [ARG]...", file=sys.stderr)
        return 2
    with Lab(second_interface=True, second_pc_address=True) as lab:
        env = dict(os.environ, R2_LAB_NETNS=f"/proc/{lab.holder.pid}/ns/net")
        return subprocess.run(sys.argv[1:], env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
