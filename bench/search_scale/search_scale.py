"""Prints, for N simulated modules answering one search at once, how many are listed and how
long after the search (and after the simulator's last reply left) the last row came: for the
LAN transport alone and for "r2ctl search". Run through run.sh, which makes the private
network namespace the lab needs."""

import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "lab"))
from labenv import Lab  # noqa: E402

SIZES = (100, 1000, 2000)
R2CTL_WAITS_MS = (100, 1000)


def search_replies_after(log, start):
    """Monotonic times (ms) at which the simulator sent search replies, after log entry start."""
    return [e["t"] for e in log[start:] if e.get("dir") == "tx" and e.get("len") == 36]


def transport_run(n):
    done = subprocess.run([os.environ["R2_BENCH_TRANSPORT"], str(n), "10000"],
                          capture_output=True, text=True, check=True)
    return json.loads(done.stdout.strip().splitlines()[-1])


def r2ctl_run(lab, wait_ms):
    started = time.monotonic()
    rows, done = lab.r2ctl_json("--wait", str(wait_ms), "search")
    return len({r["mac"] for r in rows}), (time.monotonic() - started) * 1000.0


def main():
    print(f"{'N':>5}  {'path':<24} {'listed':>11}  {'search->last row':>17}  "
          f"{'last reply->last row':>21}")
    for n in SIZES:
        with Lab() as lab:
            sim = lab.start_sim("--p6", str(n), "--quiet")
            before = len(sim.log())
            t = transport_run(n)
            sent = search_replies_after(sim.log(), before)
            last_tx = max(sent) if sent else float("nan")
            after_sim = t["lastRowAtMs"] - last_tx if t["listed"] else float("nan")
            print(f"{n:>5}  {'transport':<24} {t['listed']:>5} of {n:<5}"
                  f"  {t['lastRowAtMs'] - t['searchAtMs']:>14.1f} ms  {after_sim:>18.1f} ms"
                  f"   (receive buffer {t['receiveBuffer']} bytes)", flush=True)
            for wait_ms in R2CTL_WAITS_MS:
                listed, wall = r2ctl_run(lab, wait_ms)
                print(f"{n:>5}  {f'r2ctl --wait {wait_ms} search':<24} {listed:>5} of {n:<5}"
                      f"  {'within ' + str(wait_ms):>14} ms  {'':>21}"
                      f"   (whole run {wall:.0f} ms)", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
