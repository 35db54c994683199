"""Prints the test ids (Class.method) of one lab test file, one per line.

CMake registers each id as a test of its own, so the long lab files run side by side: every id
in its own private namespace and lab. Importing a lab file builds nothing and starts nothing;
only running a test does.
"""

import importlib.util
import sys
import unittest
from pathlib import Path


def test_ids(suite):
    for test in suite:
        if isinstance(test, unittest.TestSuite):
            yield from test_ids(test)
        else:
            yield test.id().split(".", 1)[1]


def main():
    if len(sys.argv) != 2:
        print("usage: list_lab_tests.py FILE", file=sys.stderr)
        return 2
    path = Path(sys.argv[1]).resolve()
    # The file finds its neighbours and labenv as it does when it runs.
    sys.path[:0] = [str(path.parent), str(Path(__file__).resolve().parent)]
    spec = importlib.util.spec_from_file_location(path.stem, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    ids = list(test_ids(unittest.defaultTestLoader.loadTestsFromModule(module)))
    if not ids:
        print(f"list_lab_tests.py: {path} has no tests", file=sys.stderr)
        return 1
    print("\n".join(ids))
    return 0


if __name__ == "__main__":
    sys.exit(main())
