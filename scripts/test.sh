#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds with both compilers the project
# supports, warnings as errors, and runs the tests inside a private network namespace. First
# every test of a g++ build (unit, lab, gui, lint, package), then the serial port's and the
# data debugger's threads under ThreadSanitizer (a clang++ build of those tests alone; any
# report fails), then every test (unit, lab, gui, fuzz smoke, lint, package) of a clang++ build
# with AddressSanitizer and UndefinedBehaviorSanitizer. Ends with ctest's summary of that run
# and a table of each stage's wall time. Fails when any build or test fails.
#
# Each compiler builds what only it can check: g++ optimises fully, since some of its warnings
# need the optimiser, and clang++, whose warnings do not, carries the sanitizers at -O1. Test
# builds keep line tables only (-g1): enough for every sanitizer report and backtrace.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${R2_BUILD_DIR:-$root/build}
net=("bash" "$root/scripts/in_private_net.sh")
# The lab and gui tests mostly wait on timers and sockets, each in its own namespace, so many
# run side by side on few cores; their timing checks read kernel timestamps, not wake-ups.
test_jobs=$(($(nproc) * 8))

stage_rows=()
suite_start=$SECONDS
# stage NAME COMMAND...: runs one stage and records its wall time, also when it fails.
stage() {
  local name=$1 start=$SECONDS status=0
  shift
  echo "== $name =="
  "$@" || status=$?
  stage_rows+=("$(printf '%-52s %5d s%s' "$name" $((SECONDS - start)) \
    "$([[ $status -eq 0 ]] || echo "  FAILED (exit $status)")")")
  return "$status"
}
print_stage_table() {
  echo
  echo "Stage wall times:"
  printf '  %s\n' "${stage_rows[@]}"
  printf '  %-52s %5d s\n' "total" $((SECONDS - suite_start))
}
trap print_stage_table EXIT

# build_with COMPILER DIR FLAGS [CMAKE OPTION]...
build_with() {
  local cxx=$1 dir=$2 flags=$3
  shift 3
  R2_CXX=$cxx R2_BUILD_DIR=$dir bash "$root/scripts/build.sh" -DR2_WERROR=ON \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags -DNDEBUG" "$@"
}
every_test() {
  "${net[@]}" ctest --test-dir "$1" --output-on-failure --timeout 300 -j "$test_jobs"
}
tsan_test() {
  local test=$1
  R2_TARGET=$(basename "$test") build_with clang++ "$build-tsan" "-O1 -g1" -DR2_TSAN=ON \
    -DR2_FUZZ=OFF &&
    TSAN_OPTIONS="halt_on_error=1 exitcode=66" "${net[@]}" "$build-tsan/$test" --gtest_brief=1
}

stage "packages (scripts/setup.sh)" bash "$root/scripts/setup.sh"

stage "g++ build" build_with g++ "$build-gcc" "-O2 -g1"
stage "g++: every test" every_test "$build-gcc"

for test in tests/unit/spcomm/test_spcomm tests/lab/debugger/test_debugger_net; do
  stage "clang++ ThreadSanitizer: $(basename "$test")" tsan_test "$test"
done

stage "clang++ build with sanitizers" build_with clang++ "$build-asan" "-O1 -g1" \
  -DR2_SANITIZE=ON
stage "clang++ sanitizers: every test" every_test "$build-asan"
