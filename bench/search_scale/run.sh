#!/usr/bin/env bash
# Search at scale: r2sim with 100, 1000 and 2000 modules answering one search at once, seen by
# the transport alone and by "r2ctl search". Everything runs inside a private network namespace
# made here, so nothing reaches a real interface.
#
# usage: bash bench/search_scale/run.sh [BUILD_DIR]   (default: build/, or $R2_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-${R2_BUILD_DIR:-$root/build}}
cmake --build "$build" --target r2sim r2ctl bench_search_transport >/dev/null
export R2SIM=$build/tools/r2sim/r2sim
export R2CTL=$build/tools/r2ctl/r2ctl
export R2_BENCH_TRANSPORT=$build/bench/search_scale/bench_search_transport
exec bash "$root/scripts/in_private_net.sh" python3 "$root/bench/search_scale/search_scale.py"
