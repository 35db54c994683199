#!/usr/bin/env bash
# The main window's start-up time and memory, and 2000 simulated modules answering one search in
# the window, with its longest event-loop stall: offscreen, and under xcb on a virtual display
# when xvfb-run is installed. Everything runs inside a private network namespace made here, so
# nothing reaches a real interface.
#
# usage: bash bench/gui_startup/run.sh [BUILD_DIR]   (default: build/, or $R2_BUILD_DIR)
#        R2_BENCH_RUNS=N sets the runs per platform (5)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-${R2_BUILD_DIR:-$root/build}}
cmake --build "$build" --target r2sim bench_gui_startup >/dev/null
export R2SIM=${R2SIM:-$build/tools/r2sim/r2sim}
export R2_BENCH_GUI=$build/bench/gui_startup/bench_gui_startup
export LANG=C LC_ALL=C
run=(python3 "$root/bench/gui_startup/gui_startup.py")
if command -v xvfb-run >/dev/null; then
  run=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "${run[@]}")
else
  unset DISPLAY
fi
exec bash "$root/scripts/in_private_net.sh" "${run[@]}"
