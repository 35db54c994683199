#!/usr/bin/env bash
# A 15 s flood of search replies from one host against "r2ctl --wait 2000 search", next to the
# same search without a flood, and the desktop window (offscreen) searching during another
# 15 s flood. Everything runs inside a private network namespace made here, so nothing reaches
# a real interface.
#
# usage: bash bench/flood/run.sh [BUILD_DIR]   (default: build/, or $R2_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-${R2_BUILD_DIR:-$root/build}}
cmake --build "$build" --target r2sim r2ctl bench_flood_sender bench_flood_window >/dev/null
export R2SIM=${R2SIM:-$build/tools/r2sim/r2sim}
export R2CTL=${R2CTL:-$build/tools/r2ctl/r2ctl}
export R2_FLOOD_SENDER=$build/bench/flood/bench_flood_sender
export R2_FLOOD_WINDOW=$build/bench/flood/bench_flood_window
export QT_QPA_PLATFORM=offscreen LANG=C LC_ALL=C
unset DISPLAY
exec bash "$root/scripts/in_private_net.sh" python3 "$root/bench/flood/flood.py"
