#!/usr/bin/env bash
# Configures and builds the project into build/ (or $R2_BUILD_DIR) with clang, so that the
# fuzz targets are built as well.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${R2_BUILD_DIR:-$root/build}
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$build" -j "$(nproc)"
