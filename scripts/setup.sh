#!/usr/bin/env bash
# Installs every Debian 12 package the project needs. Safe to run again: it only calls apt
# when something is missing. Nothing is fetched from anywhere but Debian's archive.
set -euo pipefail

# "setup.sh demo" installs only what the demo and the screenshots need: to build the programs
# (CMake also reads the GoogleTest configuration) and run them in the lab, under xvfb-run when
# there is no display. Without it, also what the test command needs beyond that: the
# sanitizer runtimes, the formatter, curl for the TFTP lab test, and the packaging tools.
demo_packages=(
  build-essential cmake ninja-build pkg-config git
  clang qt6-base-dev qt6-base-dev-tools libgtest-dev libgmock-dev libcli11-dev
  python3 iproute2 util-linux
  xvfb xauth fonts-wqy-microhei
)
test_packages=(
  clang-format libclang-rt-14-dev googletest curl
  dpkg-dev help2man librsvg2-bin man-db desktop-file-utils appstream bash-completion lintian
  python3-xlib
)
case ${1:-all} in
  demo) packages=("${demo_packages[@]}") ;;
  all) packages=("${demo_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [demo]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [[ $(id -u) -ne 0 ]]; then
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
