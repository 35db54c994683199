#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, and runs every test inside a
# private network namespace. Ends with ctest's summary line; fails when any test fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
build=${R2_BUILD_DIR:-$root/build}
exec bash "$root/scripts/in_private_net.sh" \
  ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)"
