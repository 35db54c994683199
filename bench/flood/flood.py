"""Prints how long "r2ctl --wait 2000 search" takes and its peak memory while one host floods
the pc with search replies for 15 s, next to the same search without a flood, and whether the
real modules (r2sim, answering 300 ms into the flood) are still listed. Run through run.sh,
which makes the private network namespace the lab needs.

Targets: the search ends within 3 s, peaks under 100 MB and lists every real module."""

import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "lab"))
from labenv import LAB_IF, Lab, _die_with_parent, binary  # noqa: E402

FLOOD_FROM = "192.168.0.66"
FLOOD_SECONDS = 15
WAIT_MS = 2000
MODULES = 3
TARGET_SECONDS, TARGET_MB = 3.0, 100.0


def timed_search():
    """Runs r2ctl --json --wait 2000 search under /usr/bin/time: (seconds, peak MB, MACs
    listed, r2ctl's standard error)."""
    with tempfile.NamedTemporaryFile("r") as figures:
        done = subprocess.run(["/usr/bin/time", "-f", "%e %M", "-o", figures.name,
                               binary("R2CTL", "tools/r2ctl/r2ctl"), "--json", "--wait",
                               str(WAIT_MS), "search"], capture_output=True, text=True,
                              timeout=120)
        seconds, kilobytes = figures.read().split()
    rows = json.loads(done.stdout) if done.stdout.strip() else []
    return float(seconds), int(kilobytes) / 1024.0, {r["mac"] for r in rows}, done.stderr.strip()


def start_flood(lab):
    proc = subprocess.Popen(lab.lab_prefix() + [os.environ["R2_FLOOD_SENDER"], LAB_IF, FLOOD_FROM,
                                                str(FLOOD_SECONDS)],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            preexec_fn=_die_with_parent)
    if proc.stdout.readline().strip() != "ready":
        raise RuntimeError("the flood sender did not start: " + proc.stderr.read())
    return proc


def row(label, seconds, mb, listed, real, note=""):
    found = len(listed & real)
    verdict = "met" if seconds <= TARGET_SECONDS and mb < TARGET_MB and found == len(real) \
        else "MISSED"
    print(f"{label:<28} {seconds:>7.2f} s {mb:>9.1f} MB {found:>4} of {len(real)}  "
          f"{len(listed):>6}   {verdict:<7} {note}", flush=True)


def main():
    print(f"r2ctl --wait {WAIT_MS} search; targets: within {TARGET_SECONDS:.0f} s, under "
          f"{TARGET_MB:.0f} MB, every real module listed\n")
    print(f"{'run':<28} {'time':>9} {'peak memory':>12} {'real listed':>11} {'rows':>6}   "
          f"{'targets'}")
    with Lab() as lab:
        sim = lab.start_sim("--p6", str(MODULES), "--delay", "300", "--quiet")
        real = {m["mac"] for m in sim.modules}
        lab.lab("ip", "addr", "add", f"{FLOOD_FROM}/32", "dev", LAB_IF)

        seconds, mb, listed, _ = timed_search()
        row("no flood", seconds, mb, listed, real)

        flood = start_flood(lab)
        seconds, mb, listed, said = timed_search()
        out, err = flood.communicate(timeout=FLOOD_SECONDS + 30)
        report = json.loads(out.strip().splitlines()[-1])
        rate = report["sent"] / report["seconds"] if report["seconds"] else 0.0
        row(f"{FLOOD_SECONDS} s flood from one host", seconds, mb, listed, real,
            f"(the flood: {report['sent']} datagrams in {report['seconds']:.1f} s, "
            f"{rate / 1e6:.2f} M/s)")
        if said:
            print(f"{'':<28} r2ctl said: {said}")
        # The window's longest event-loop stall during the same flood belongs in this table as
        # a row of its own once the window can be driven here.
        print(f"{'window (r2config)':<28} longest event-loop stall during the flood: not "
              f"measured here yet (target: under 100 ms)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
