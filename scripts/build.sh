#!/usr/bin/env bash
# Configures and builds the project into build/ (or $R2_BUILD_DIR) with Ninja and the compiler
# $R2_CXX: clang++ unless told otherwise, so that the fuzz targets are built as well. Uses
# ccache when it is installed. Extra arguments are CMake options; they are applied on every
# run, so a directory built before keeps up with them. $R2_TARGET (one target, or several
# separated by spaces) builds those targets and what they need, nothing else.
#
# Optimised, with line tables only (-g1): backtraces and sanitizer reports name files and lines,
# and the build takes a fifth less time than with full debug information. For a debugger
# session with variables: bash scripts/build.sh -DCMAKE_BUILD_TYPE=Debug
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${R2_BUILD_DIR:-$root/build}
cxx=${R2_CXX:-clang++}
if ! cxx_path=$(command -v "$cxx"); then
  echo "build.sh: compiler $cxx not found; run scripts/setup.sh" >&2
  exit 1
fi

options=(-G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
if command -v ccache >/dev/null; then
  options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # What ccache needs to cache files built with a precompiled header.
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi
# A directory first configured another way (by a plain "cmake -B build", say) cannot switch
# its generator in place, and its old cache would outlive a compiler switch: start it afresh.
cache=$build/CMakeCache.txt
if [[ -f $cache ]] && ! { grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache" &&
  grep -qx "CMAKE_CXX_COMPILER:[A-Z]*=$cxx_path" "$cache"; }; then
  options+=(--fresh)
fi
cmake -S "$root" -B "$build" "${options[@]}" "$@"
read -ra targets <<<"${R2_TARGET:-}"
cmake --build "$build" -j "$(nproc)" ${targets[0]:+--target "${targets[@]}"}
