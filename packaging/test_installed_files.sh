#!/usr/bin/env bash
# Installed with `cmake --install` into a scratch prefix whose bin directory is read-only, even
# for root (a read-only bind mount in a mount namespace of its own), r2config keeps its language
# file and settings in the per-user data directory, $XDG_DATA_HOME/r2config, says so at
# start-up, and writes nothing beside the programs. It runs on a virtual X server and is closed
# as a window manager closes it, so it saves its settings as on any close. Run it inside a
# private network namespace; exit 77 (ctest: skipped) when a tool it needs is missing.
set -euo pipefail
build=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [[ -z ${DISPLAY:-} ]]; then
  if ! command -v xvfb-run >/dev/null || ! /usr/bin/python3 -c 'import Xlib' 2>/dev/null; then
    echo "skipped: xvfb-run or python3-xlib is not installed (scripts/setup.sh installs them)"
    exit 77
  fi
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "${BASH_SOURCE[0]}" "$@"
fi

scratch=$(mktemp -d)
pid=
cleanup() {
  if [[ -n $pid ]]; then
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log"
bin=$scratch/prefix/bin
before=$(ls -A "$bin")
mkdir -p "$scratch/data" "$scratch/tmp"
mkdir -m 700 "$scratch/run"
userdir=$scratch/data/r2config

# unshare execs the command without forking, so $! is r2config itself.
unshare --mount -- bash -c 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" || exit 1
  if touch "$1/r2probe" 2>/dev/null; then echo "the bind mount is writable"; exit 1; fi
  shift && exec "$@"' read-only "$bin" \
  env -u QT_QPA_PLATFORM XDG_DATA_HOME="$scratch/data" TMPDIR="$scratch/tmp" \
  XDG_RUNTIME_DIR="$scratch/run" "$bin/r2config" >"$scratch/r2config.log" 2>&1 &
pid=$!

status=0
if /usr/bin/python3 "$here/close_window.py" "$pid" 60; then
  for ((i = 0; i < 600; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: r2config did not end within 60 s of its window's close"
    status=1
  fi
else
  status=1
fi
for file in R2Lang.txt R2Cfg.ini; do
  if [[ ! -s $userdir/$file ]]; then
    echo "FAIL: r2config wrote no $file in $userdir"
    status=1
  fi
done
if ! grep -q "live in $userdir\$" "$scratch/r2config.log"; then
  echo "FAIL: r2config did not say at start-up that its files live in $userdir"
  status=1
fi
if [[ $(ls -A "$bin") != "$before" ]]; then
  echo "FAIL: something was written beside the programs: $(ls -A "$bin")"
  status=1
fi
if ((status != 0)); then
  echo "--- r2config's output:"
  cat "$scratch/r2config.log"
  exit 1
fi
echo "r2config kept its files in \$XDG_DATA_HOME/r2config: $(ls "$userdir" | tr '\n' ' ')"
