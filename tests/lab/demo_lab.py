"""The demo lab: simulated modules of each kind on the lab side, our tools on the pc side.

scripts/demo.sh runs this inside a private network namespace. It prints what a technician
would see from a terminal (the search, then the read of a P6 module), then opens the desktop
window on the same simulated modules: on the screen when there is a display, else under
xvfb-run, saving a picture of the window after a search and a click on a P6 module.
"""

import os
import shlex
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from labenv import Lab, binary  # noqa: E402

DEMO_PICTURE_DIR = os.environ.get("R2_DEMO_OUT", "build/demo")


def show(lab, *args):
    print(f"\n$ r2ctl {shlex.join(args)}", flush=True)
    done = lab.r2ctl(*args)
    sys.stdout.write(done.stdout)
    sys.stderr.write(done.stderr)
    print(f"(exit status {done.returncode})", flush=True)
    return done.returncode


def main():
    with Lab() as lab:
        sim = lab.start_sim("--p6", "3", "--p7", "2", "--old", "1", "--quiet")
        print("Simulated modules on the lab side (pc 192.168.0.10 <-> lab 192.168.0.0/24):")
        for m in sim.modules:
            print(f"  {m['model']:<4} {m['mac']}  {m['ip']:<15} {m['name']:<10} "
                  f"version {m['version']}, answers the search from port {m['searchPort']}")
        status = show(lab, "search")
        status |= show(lab, "read", sim.module("P6")["mac"])
        print("\nWhat the simulated modules received (from r2sim's log):")
        for e in sim.received():
            who = e["module"] or "every module"
            print(f"  {e['t']:12.3f} ms  {e['peer']:<21} -> port {e['port']}  {e['len']:3} bytes"
                  f"  {e['action'] or '-'}: {e['result']}  ({who})")
        status |= open_window()
    return 0 if status == 0 else 1


def open_window():
    """r2config on the screen, or, without one, a picture of it after a search and a click."""
    if os.environ.get("DISPLAY") or os.environ.get("WAYLAND_DISPLAY"):
        print("\nOpening r2config on these modules: click \"Search Device\", then a module. "
              "Close the window to end the demo.", flush=True)
        return subprocess.run([binary("R2CONFIG", "app/r2config")]).returncode
    out = os.path.abspath(DEMO_PICTURE_DIR)
    cmd = [binary("R2SCREENS", "tools/r2screens/r2screens"), "--demo", "--out", out]
    env = dict(os.environ)
    if shutil.which("xvfb-run"):
        cmd = ["xvfb-run", "-a", "-s", "-screen 0 1280x800x24"] + cmd
    else:
        env["QT_QPA_PLATFORM"] = "offscreen"
    print("\nNo display: r2config runs under xvfb-run, searches, clicks a P6 module and is "
          "photographed:", flush=True)
    return subprocess.run(cmd, env=env).returncode


if __name__ == "__main__":
    sys.exit(main())
