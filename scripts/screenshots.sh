#!/usr/bin/env bash
# Makes the pictures in docs/screenshots/: the real windows against simulated modules, at 100%
# and (in 2x/) at 200% scaling, drawn offscreen. Runs inside a private network namespace.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${R2_BUILD_DIR:-$root/build}
out=${1:-$root/docs/screenshots}
bash "$root/scripts/setup.sh" demo
R2_TARGET="r2sim r2screens" bash "$root/scripts/build.sh"
for scale in 1 2; do
  dir=$out
  [[ $scale == 1 ]] || dir=$out/${scale}x
  bash "$root/scripts/in_private_net.sh" \
    env R2SIM="$build/tools/r2sim/r2sim" R2SCREENS="$build/tools/r2screens/r2screens" \
    QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=$scale LANG=C.UTF-8 \
    python3 "$root/tests/lab/screens_lab.py" "$dir"
done
