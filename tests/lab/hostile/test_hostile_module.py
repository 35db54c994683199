"""r2ctl search, read, write, restart and reset against hostile modules (r2sim --hostile): what
must hold whatever comes back.

- No crash and no sanitizer report, and every run ends (a hang shows as a time-out far beyond
  its wait).
- --json output is valid JSON, failures included; the search lists each MAC once; text output
  carries no control character a terminal would act on.
- A read that succeeds shows a base block the module sent from its own address.
- A save, restart or reset exits 0 only when every frame was acknowledged ('K') by the module
  itself, from its own address, within the frame's window: from the kernel's arrival stamp of
  that frame at the module (less a margin) until the next frame arrived there, frames sent back
  to back sharing one window and each acknowledgement counting for one frame only. The
  simulator stamps every datagram just before and just after sending it, so the window test
  needs no clock of this test.

The hostile modules' seeds are fixed, so each run of this test sends the same spoiled answers
to the same requests.
"""

import json
import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from labenv import Lab  # noqa: E402

WAIT = "600"
# Far beyond any run's own time (a P6 save takes about 4 s plus its waits): only a hang, or a
# machine so slow that nothing could be judged, reaches it.
HANG_S = 120
# Frames closer than this were sent back to back: every planned pause is at least 500 ms.
SAME_WINDOW_MS = 450
# An acknowledgement stamped this much before its frame's arrival at the module still counts:
# the tool stamps a frame just before sending it.
EARLY_MS = 100
SANITIZER = re.compile(r"AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|"
                       r"runtime error:")

HOSTILE_P6 = ["02 52 32 06 00 61", "02 52 32 06 00 62"]
HOSTILE_P7 = "02 52 32 07 00 71"
HONEST_P6 = "02 52 32 06 00 70"
MODULES = [{"model": "P6", "mac": HOSTILE_P6[0], "name": "hostile-a", "hostile": 11},
           {"model": "P6", "mac": HOSTILE_P6[1], "name": "hostile-b", "hostile": 12},
           {"model": "P7", "mac": HOSTILE_P7, "name": "hostile-p7", "hostile": 13},
           {"model": "P6", "mac": HONEST_P6, "name": "honest"}]


def own_acks(entries, module):
    """(t0, t) of every acknowledgement 'K' the module sent from its own address."""
    return sorted((e["t0"], e["t"]) for e in entries
                  if e["dir"] == "tx" and e["module"] == module["mac"]
                  and e["src"] == module["ip"] and e["len"] == 4
                  and e["hex"].startswith("FF01") and e["hex"][6:8] == "4B")


def action_frames(entries, mac):
    """Arrival stamps of the frames of an action (anything but the search and the read)."""
    return [e["t"] for e in entries if e["dir"] == "rx" and e["module"] == mac
            and e["action"] not in ("search", "read")]


def unacknowledged(frames, acks, end):
    """The arrival stamps of frames that no acknowledgement of the module answered.

    Frames closer than SAME_WINDOW_MS share a window; a window runs from its first frame's
    arrival (less EARLY_MS) to the next window's first arrival (`end` for the last). An
    acknowledgement counts in a window when its send began before the window ended and ended
    after the window began, and for one frame only (earliest first)."""
    windows = []
    for t in frames:
        if windows and t - windows[-1][-1] < SAME_WINDOW_MS:
            windows[-1].append(t)
        else:
            windows.append([t])
    used = [False] * len(acks)
    missing = []
    for i, window in enumerate(windows):
        start = window[0] - EARLY_MS
        stop = windows[i + 1][0] if i + 1 < len(windows) else end
        for t in window:
            k = next((k for k, (t0, t1) in enumerate(acks)
                      if not used[k] and t1 >= start and t0 < stop), None)
            if k is None:
                missing.append(t)
            else:
                used[k] = True
    return missing


class HostileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.lab = Lab().__enter__()
        cls.sim = cls.lab.start_sim("--second-ip", labenv.LAB_IP, config={"modules": MODULES})
        cls.modules = {m["mac"]: m for m in cls.sim.modules}

    @classmethod
    def tearDownClass(cls):
        cls.lab.close()  # raises when r2sim crashed or a sanitizer stopped it

    def run_ctl(self, *args):
        """Runs r2ctl; checks it ended on its own and cleanly. Returns (done, log entries of
        the run, the monotonic time it ended)."""
        before = len(self.sim.log())
        done = self.lab.r2ctl(*args, timeout=HANG_S)
        ended = time.monotonic() * 1000
        self.assertGreaterEqual(done.returncode, 0, f"killed by a signal:\n{done.stderr}")
        self.assertIsNone(SANITIZER.search(done.stderr), done.stderr)
        return done, self.sim.log()[before:], ended

    def run_json(self, *args):
        done, entries, ended = self.run_ctl("--json", *args)
        try:
            doc = json.loads(done.stdout)
        except json.JSONDecodeError as e:
            self.fail(f"no JSON ({e}), exit {done.returncode}:\n{done.stdout}\n{done.stderr}")
        if done.returncode != 0 and isinstance(doc, dict):
            self.assertEqual(doc.get("exit"), done.returncode, doc)
            self.assertTrue(doc.get("error"), doc)
        return doc, done, entries, ended

    def test_search(self):
        for n in range(6):
            with self.subTest(n):
                rows, done, _, _ = self.run_json("--wait", WAIT, "search")
                self.assertIn(done.returncode, (0, 5), done.stderr)
                macs = [r["mac"] for r in rows]
                self.assertEqual(len(macs), len(set(macs)), f"a MAC listed twice: {macs}")
                self.assertIn(HONEST_P6, macs)
                done, _, _ = self.run_ctl("--wait", WAIT, "search")
                bad = [c for c in done.stdout if (ord(c) < 0x20 and c != "\n")
                       or 0x7F <= ord(c) <= 0x9F]
                self.assertEqual(bad, [], done.stdout)

    def test_read(self):
        outcomes = set()
        for n in range(3):
            for mac in HOSTILE_P6 + [HOSTILE_P7]:
                with self.subTest(f"{mac} #{n}"):
                    doc, done, entries, _ = self.run_json("--show-secrets", "--wait", WAIT,
                                                          "read", mac)
                    outcomes.add(done.returncode)
                    self.assertIn(done.returncode, (0, 2, 3, 4, 5), done.stderr)
                    if done.returncode != 0:
                        continue
                    module = self.modules[mac]
                    own = {e["hex"][:134] for e in entries
                           if e["dir"] == "tx" and e["module"] == mac and e["len"] == 130
                           and e["src"] == module["ip"]}
                    self.assertIn(doc["blocks"]["base"], own, "a base block it did not send")
        self.assertIn(0, outcomes, "no read succeeded: the test would judge nothing")

    def check_action(self, mac, *args):
        """Runs an action and applies the acknowledgement rule; returns the exit status."""
        doc, done, entries, ended = self.run_json("--wait", WAIT, *args)
        frames = action_frames(entries, mac)
        missing = unacknowledged(frames, own_acks(entries, self.modules[mac]), ended)
        if done.returncode == 0:
            self.assertTrue(frames, "exit 0 without a frame reaching the module")
            self.assertEqual(missing, [], "exit 0, yet the module itself did not acknowledge "
                             f"every frame:\n{json.dumps(doc, indent=1)}")
        return done.returncode, bool(frames), missing

    def test_actions_exit_0_only_when_every_frame_was_acknowledged(self):
        runs = []
        for n in range(4):
            for mac in HOSTILE_P6:
                runs.append(("write", mac, "--set", f"edt_ModName=saved-{n}"))
            for mac in HOSTILE_P6 + [HOSTILE_P7]:
                runs.append(("restart" if n % 2 == 0 else "reset", mac))
        judged = {"success": 0, "failure with frames": 0}
        for args in runs:
            with self.subTest(" ".join(args)):
                status, sent, _ = self.check_action(args[1], *args)
                if sent:
                    judged["success" if status == 0 else "failure with frames"] += 1
        print(f"actions judged: {judged}", file=sys.stderr)
        # Both sides of the rule must have been exercised, or the test proved nothing.
        self.assertGreater(judged["success"], 0, judged)
        self.assertGreater(judged["failure with frames"], 0, judged)

    def test_an_honest_module_among_hostile_ones_is_saved(self):
        status, sent, missing = self.check_action(HONEST_P6, "write", HONEST_P6,
                                                  "--set", "edt_ModName=honest-saved")
        self.assertEqual((status, missing), (0, []))
        doc, done, _, _ = self.run_json("--wait", WAIT, "read", HONEST_P6)
        self.assertEqual(doc["panel"]["edt_ModName"], "honest-saved", done.stderr)


class FloodTest(unittest.TestCase):
    def test_search_and_read_during_a_flood(self):
        with Lab() as lab:
            sim = lab.start_sim("--flood", "200000:1500", "--second-ip", labenv.LAB_IP,
                                config={"modules": [dict(MODULES[0]), dict(MODULES[3])]})
            for args in (["search"], ["read", HOSTILE_P6[0]], ["search"]):
                with self.subTest(" ".join(args)):
                    done = lab.r2ctl("--json", "--wait", "1000", *args, timeout=HANG_S)
                    self.assertGreaterEqual(done.returncode, 0, done.stderr)
                    self.assertIsNone(SANITIZER.search(done.stderr), done.stderr)
                    doc = json.loads(done.stdout)
                    if args[0] == "search":
                        macs = [r["mac"] for r in doc]
                        self.assertEqual(len(macs), len(set(macs)), macs)
                        self.assertIn(HONEST_P6, macs)
            # The floods really came: a test of a flood that never happened proves nothing.
            summaries = [e["result"] for e in sim.log() if e["action"] == "flood"
                         and e["result"].startswith("flood: sent")]
            sent = [int(s.split()[2]) for s in summaries]
            self.assertTrue(sent and max(sent) >= 10000, summaries)


if __name__ == "__main__":
    unittest.main(verbosity=2)
