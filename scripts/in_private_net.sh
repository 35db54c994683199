#!/usr/bin/env bash
# Runs a command inside a fresh private network namespace whose only interface is its own
# loopback, so nothing it sends can reach a real interface of this machine.
set -euo pipefail
if [[ $# -eq 0 ]]; then
  echo "usage: $0 COMMAND [ARG]..." >&2
  exit 1
fi
inner='ip link set lo up && exec "$@"'
if [[ $(id -u) -eq 0 ]]; then
  exec unshare --net -- bash -c "$inner" private-net "$@"
fi
exec unshare --user --map-root-user --net -- bash -c "$inner" private-net "$@"
