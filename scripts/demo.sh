#!/usr/bin/env bash
# The demo: installs what is missing, builds, then starts simulated P6, P7 and old modules,
# runs "r2ctl search" and "r2ctl read" of a P6 against them and opens the desktop window on
# them (on the screen, or without a display under xvfb-run, saving a picture to build/demo/).
# Everything runs inside a private network namespace with its own pc and lab sides, so nothing
# reaches a real network.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${R2_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh" demo
# Only the four programs the demo runs: the test command builds the tests.
R2_TARGET="r2config r2ctl r2sim r2screens" bash "$root/scripts/build.sh"
exec bash "$root/scripts/in_private_net.sh" \
  env R2SIM="$build/tools/r2sim/r2sim" R2CTL="$build/tools/r2ctl/r2ctl" \
  R2CONFIG="$build/app/r2config" R2SCREENS="$build/tools/r2screens/r2screens" \
  R2_DEMO_OUT="$build/demo" \
  python3 "$root/tests/lab/demo_lab.py"
