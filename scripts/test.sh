#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, and runs every test inside a private
# network namespace. First the unit and lab tests of a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then everything (unit, lab, fuzz smoke) of the normal build, so
# the last lines are ctest's summary of the full run. Fails when any test fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${R2_BUILD_DIR:-$root/build}
net=("bash" "$root/scripts/in_private_net.sh")

bash "$root/scripts/setup.sh"

echo "== sanitizer build: unit and lab tests =="
R2_BUILD_DIR=$build-asan bash "$root/scripts/build.sh" -DR2_SANITIZE=ON -DR2_FUZZ=OFF
"${net[@]}" ctest --test-dir "$build-asan" -L 'unit|lab' --output-on-failure --timeout 300 -j "$(nproc)"

echo "== normal build: every test =="
R2_BUILD_DIR=$build bash "$root/scripts/build.sh"
exec "${net[@]}" ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)"
