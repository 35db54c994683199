"""Screenshots of the real windows against simulated modules (r2screens on the pc side).

scripts/screenshots.sh and scripts/demo.sh run this inside a private network namespace:
    screens_lab.py OUT_DIR [--demo]
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from labenv import Lab, binary  # noqa: E402

MODULES = {"modules": [
    {"model": "P6", "name": "Line1-Pump", "version": 4017},
    {"model": "P6", "name": "Line1-Valve", "version": 4017},
    {"model": "P6", "name": "Dock-Scale", "version": 4016},
    {"model": "P7", "name": "Boiler-P7", "version": 4017},
    {"model": "P7", "name": "Gate-P7", "version": 4017},
    {"model": "old", "name": "Old-R1", "version": 2001},
    # Five P6 modules in all, for the apply dialog's plan over a selection.
    {"model": "P6", "name": "Line2-Pump", "version": 4017},
    {"model": "P6", "name": "Line2-Valve", "version": 4017},
]}


UPGRADE_MAC = "02 52 32 06 00 09"


def main():
    if len(sys.argv) < 2:
        print("usage: screens_lab.py OUT_DIR [--demo]", file=sys.stderr)
        return 2
    with Lab() as lab:
        lab.start_sim("--quiet", config=MODULES)
        cmd = [binary("R2SCREENS", "tools/r2screens/r2screens"), "--out", sys.argv[1]]
        if "--demo" in sys.argv[2:]:
            return subprocess.run(cmd + sys.argv[2:]).returncode
        # A P5 module on a pseudo-terminal for the serial sheet's picture, and a boot loader
        # whose withheld acknowledgement of block 12 holds the upgrade halfway for 2 s.
        sim = binary("R2SIM", "tools/r2sim/r2sim")
        serial = subprocess.Popen([sim, "--serial", "p5", "--quiet"], stdout=subprocess.PIPE,
                                  text=True)
        loader = subprocess.Popen(lab.lab_prefix() + [sim, "--bootloader", UPGRADE_MAC,
                                                      "--lose-acks", "12", "--quiet"],
                                  stdout=subprocess.PIPE, text=True)
        try:
            port = serial.stdout.readline().split()[2]
            loader.stdout.readline()
            return subprocess.run(cmd + ["--serial-port", port,
                                         "--upgrade-mac", UPGRADE_MAC]).returncode
        finally:
            for process in (serial, loader):
                process.terminate()
                process.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
