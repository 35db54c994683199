"""r2ctl search against simulated modules: device flags, one row per module whatever the
number of local addresses, replies by unicast and by broadcast."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import labenv  # noqa: E402
from labenv import Lab  # noqa: E402

WAIT = "800"


def rows_by_name(rows):
    by_name = {r["name"]: r for r in rows}
    assert len(by_name) == len(rows), f"a module is listed twice: {rows}"
    return by_name


class SearchTest(unittest.TestCase):
    def test_flag_from_version_and_source_port(self):
        cases = [  # name, module settings, flag, model
            ("p6-2001", {"version": 2001}, 0, "none"),
            ("p6-2002", {"version": 2002}, 2, "P6"),
            ("p7-2001", {"model": "P7", "version": 2001}, 0, "none"),
            ("p7-2002", {"model": "P7", "version": 2002}, 36, "P7"),
            ("port7000", {"version": 5000, "searchPort": 7000}, 0, "none"),
            ("old", {"model": "old"}, 0, "none"),
        ]
        config = {"modules": [dict(name=name, **settings) for name, settings, _, _ in cases]}
        with Lab() as lab:
            sim = lab.start_sim(config=config)
            rows, done = lab.r2ctl_json("--wait", WAIT, "search")
            self.assertEqual(done.returncode, 0, done.stderr)
            by_name = rows_by_name(rows)
            self.assertEqual(len(rows), len(cases))
            for module in sim.modules:
                name = module["name"]
                _, _, flag, model = next(c for c in cases if c[0] == name)
                with self.subTest(name):
                    row = by_name[name]
                    self.assertEqual((row["flag"], row["model"]), (flag, model))
                    self.assertEqual(row["version"], module["version"])
                    self.assertEqual((row["ip"], row["mac"]), (module["ip"], module["mac"]))
                    self.assertEqual(row["ipIndex"], 0)

    def test_two_addresses_on_one_segment_list_each_module_once(self):
        with Lab(second_pc_address=True) as lab:
            sim = lab.start_sim("--p6", "2", "--p7", "1")
            rows, done = lab.r2ctl_json("--wait", WAIT, "search")
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(sorted(r["mac"] for r in rows), sorted(m["mac"] for m in sim.modules))
            self.assertEqual({r["ipIndex"] for r in rows}, {0})
            searches = {e["peer"].split(":")[0] for e in sim.received() if e["action"] == "search"}
            self.assertEqual(searches, {labenv.PC_IP, labenv.PC_IP2})
            # Every module answered both searches; the list still holds it once.
            self.assertEqual(len([e for e in sim.log() if e["dir"] == "tx"]), 6)

    def test_two_interfaces_list_each_module_once(self):
        with Lab(second_interface=True) as lab:
            sim = lab.start_sim("--p6", "1", "--p7", "1")
            rows, done = lab.r2ctl_json("--wait", WAIT, "search")
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(sorted(r["mac"] for r in rows), sorted(m["mac"] for m in sim.modules))
            searches = {e["peer"].split(":")[0] for e in sim.received() if e["action"] == "search"}
            self.assertEqual(searches, {labenv.PC_IP, labenv.PC_IP_B})

    def test_unicast_broadcast_and_duplicate_replies(self):
        config = {"modules": [
            {"name": "unicast"},
            {"name": "broadcast", "reply": "broadcast"},
            {"name": "twice", "copies": 2},
            {"name": "bcast-twice", "reply": "broadcast", "copies": 2},
            {"name": "p7-bcast", "model": "P7", "reply": "broadcast"},
        ]}
        with Lab() as lab:
            sim = lab.start_sim(config=config)
            rows, done = lab.r2ctl_json("--wait", WAIT, "search")
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(sorted(rows_by_name(rows)), sorted(m["name"] for m in sim.modules))
            self.assertEqual(rows_by_name(rows)["p7-bcast"]["model"], "P7")

            # A read whose blocks come back by broadcast fills the panel all the same.
            mac = next(m["mac"] for m in sim.modules if m["name"] == "broadcast")
            doc, done = lab.r2ctl_json("--wait", WAIT, "read", mac)
            self.assertEqual(done.returncode, 0, done.stderr)
            self.assertEqual(doc["panel"]["edt_ModName"], "broadcast")
            self.assertTrue(all(e["peer"].startswith("255.255.255.255:")
                                for e in sim.sent(mac, "read")))

    def test_nothing_found(self):
        with Lab() as lab:
            lab.start_sim("--p6", "2", "--silent")
            rows, done = lab.r2ctl_json("--wait", "500", "search")
            self.assertEqual(rows, [])
            done = lab.r2ctl("--wait", "500", "read", "02 52 32 06 00 01")
            self.assertEqual(done.returncode, 2, done.stdout + done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
