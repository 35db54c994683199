#!/usr/bin/env bash
# The data debugger window (offscreen) on loopback: cyclic sending with all 50 rows ticked and no
# delays at intervals of 1, 10 and 100 ms to a listener that stamps arrivals in the kernel, then
# the receive pane under a flood of datagrams and under a TCP client writing bytes without a line
# break, each with the window's longest event-loop stall. Everything runs inside a private
# network namespace made here, so nothing reaches a real interface.
#
# usage: bash bench/debugger_cycle/run.sh [BUILD_DIR] [SECONDS]
#        (default: build/, or $R2_BUILD_DIR; SECONDS per interval and for the flood, 4)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-${R2_BUILD_DIR:-$root/build}}
cmake --build "$build" --target bench_debugger_cycle >/dev/null
export QT_QPA_PLATFORM=offscreen LANG=C LC_ALL=C
unset DISPLAY
exec bash "$root/scripts/in_private_net.sh" "$build/bench/debugger_cycle/bench_debugger_cycle" \
  "${2:-4}"
