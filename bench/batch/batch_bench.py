"""r2ctl clone of one backup to 50 simulated P6 modules: the whole run, the time per module,
and per module the span of its save on the wire next to the pauses a P6 save specifies (500 ms
after each paused block, 1500 ms more before the restart). Run by run.sh in a private namespace.

Modules are read one after another (the endpoint keeps one read check and one parameter mirror),
and each module's read starts as soon as the save before it has started: the saves, each with
its pauses and its wait for late answers, overlap, as the modules answer from distinct
addresses. Modules sharing one address would be saved one after another."""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "lab"))
import labenv  # noqa: E402

MODULES = 50
WAIT_MS = 300
BLOCK_GAP_MS, RESTART_GAP_MS = 500, 1500
# Commands followed by a 500 ms pause (base, port, cloud, heartbeat/registration, URL, header).
PAUSED = {0x05, 0x06, 0x0C, 0x21, 0x22, 0x23}
RESTART = 0x02


def r2ctl(*args, timeout=60):
    done = subprocess.run([labenv.binary("R2CTL", "tools/r2ctl/r2ctl"), "--wait", str(WAIT_MS),
                           *args], capture_output=True, text=True, timeout=timeout)
    if done.returncode != 0:
        raise RuntimeError(f"r2ctl {args[0]} ended with {done.returncode}:\n"
                           f"{done.stdout}{done.stderr}")
    return done


def main():
    with labenv.Lab() as lab:
        sim = lab.start_sim("--p6", str(MODULES), "--quiet")
        macs = [m["mac"] for m in sim.modules]
        source = lab.path("source.json")
        r2ctl("backup", macs[0], "-o", source)
        mark = len(sim.log())
        start = time.monotonic()
        r2ctl("clone", source, "--to", ",".join(macs), "--ip-from", "192.168.0.100",
              "--name", "Bench-{n:02}", timeout=MODULES * 30)
        total = time.monotonic() - start
        writes = [e for e in sim.log()[mark:] if e["dir"] == "rx" and e["action"] != "read"
                  and e["module"] in macs]
        spans, pauses, intervals = [], [], []
        for mac in macs:
            frames = [e for e in writes if e["module"] == mac]
            if not frames or frames[-1]["cmd"] != RESTART:
                raise RuntimeError(f"{mac}: the save did not end with the restart")
            spans.append(frames[-1]["t"] - frames[0]["t"])
            intervals.append((frames[0]["t"], frames[-1]["t"]))
            pauses.append(BLOCK_GAP_MS * sum(1 for f in frames if f["cmd"] in PAUSED) +
                          RESTART_GAP_MS)
    per_module = total / MODULES * 1000
    # Saves on the wire at once: at each save's first block, and over the span of them all.
    at_start = [sum(1 for b, e in intervals if b <= begin <= e) for begin, _ in intervals]
    wire = max(e for _, e in intervals) - min(b for b, _ in intervals)
    print(f"clone to {MODULES} simulated P6 modules, saves overlapping, --wait {WAIT_MS} ms")
    print(f"  whole run                         {total:8.1f} s")
    print(f"  per module                        {per_module:8.0f} ms")
    print(f"  specified pauses of its save      {statistics.mean(pauses):8.0f} ms")
    print(f"  its save on the wire, mean / max  {statistics.mean(spans):8.0f} / {max(spans):.0f} ms"
          "  (first block to restart)")
    print(f"  saves on the wire at once         {sum(spans) / wire:8.1f} mean, {max(at_start)} max")
    print("  a module is read once the save before it has started: the time per module is its "
          f"read (the {WAIT_MS} ms wait for its blocks),")
    print("  no longer its save's pauses; modules sharing one address are still saved one after "
          "another")


if __name__ == "__main__":
    main()
