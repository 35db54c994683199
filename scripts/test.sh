#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds with both compilers the project
# supports, warnings as errors, and runs the tests inside a private network namespace. First
# the unit, lab and gui tests of a g++ build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the serial port's and the data debugger's threads under
# ThreadSanitizer (a clang++ build of those tests alone; any report fails), then everything
# (unit, lab, gui, fuzz smoke, lint) of a clang++ build, so the last lines are ctest's summary
# of the full run. Fails when any build or test fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${R2_BUILD_DIR:-$root/build}
net=("bash" "$root/scripts/in_private_net.sh")

bash "$root/scripts/setup.sh"

echo "== g++ build with sanitizers: unit, lab and gui tests =="
R2_CXX=g++ R2_BUILD_DIR=$build-asan bash "$root/scripts/build.sh" -DR2_WERROR=ON \
  -DR2_SANITIZE=ON
"${net[@]}" ctest --test-dir "$build-asan" -L 'unit|lab|gui' --output-on-failure --timeout 300 \
  -j "$(nproc)"

echo "== clang++ build with ThreadSanitizer: the serial port and data debugger tests =="
for test in tests/unit/spcomm/test_spcomm tests/lab/debugger/test_debugger_net; do
  R2_CXX=clang++ R2_BUILD_DIR=$build-tsan R2_TARGET=$(basename "$test") \
    bash "$root/scripts/build.sh" -DR2_WERROR=ON -DR2_TSAN=ON -DR2_FUZZ=OFF
  TSAN_OPTIONS="halt_on_error=1 exitcode=66" "${net[@]}" "$build-tsan/$test" --gtest_brief=1
done

echo "== clang++ build: every test =="
R2_CXX=clang++ R2_BUILD_DIR=$build bash "$root/scripts/build.sh" -DR2_WERROR=ON
exec "${net[@]}" ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)"
