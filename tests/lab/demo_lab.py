"""The demo lab: simulated modules of each kind on the lab side, our tool on the pc side.

scripts/demo.sh runs this inside a private network namespace; it prints what a technician
would see: the search, then the read of a P6 module.
"""

import os
import shlex
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from labenv import Lab  # noqa: E402


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
    return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
