#!/usr/bin/env bash
# Installs every Debian 12 package the project needs. Safe to run again: it only calls apt
# when something is missing. Nothing is fetched from anywhere but Debian's archive.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools
  libgtest-dev libgmock-dev googletest
  python3 iproute2 util-linux curl
  xvfb xauth fonts-wqy-microhei
  dpkg-dev help2man librsvg2-bin man-db desktop-file-utils appstream bash-completion lintian
  python3-xlib libcli11-dev
)

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
