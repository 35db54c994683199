#!/usr/bin/env bash
# The time `r2ctl clone` takes to give one configuration to 50 simulated P6 modules, whose saves
# overlap, and the time per module next to the pauses a P6 save itself must keep. Runs r2sim and
# r2ctl in a private network namespace made here.
#
# usage: bash bench/batch/run.sh [BUILD_DIR]   (default: build/, or $R2_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-${R2_BUILD_DIR:-$root/build}}
cmake --build "$build" --target r2sim r2ctl >/dev/null
export R2SIM=${R2SIM:-$build/tools/r2sim/r2sim}
export R2CTL=${R2CTL:-$build/tools/r2ctl/r2ctl}
exec bash "$root/scripts/in_private_net.sh" python3 "$root/bench/batch/batch_bench.py"
