#!/usr/bin/env bash
# A 1 MiB firmware image fetched by Debian's curl (the TFTP client a module's boot loader
# stands for) from `r2ctl upgrade` and, as the reference, the same payload from Debian's
# tftpd-hpa, three times each, over the lab's veth link in a private network namespace made
# here. Prints the times and their ratio; installs nothing: without in.tftpd (package
# tftpd-hpa, or R2_TFTPD=/path/to/in.tftpd) only r2ctl's times are printed.
#
# usage: bash bench/upgrade/run.sh [BUILD_DIR]   (default: build/, or $R2_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-${R2_BUILD_DIR:-$root/build}}
cmake --build "$build" --target r2sim r2ctl >/dev/null
export R2SIM=${R2SIM:-$build/tools/r2sim/r2sim}
export R2CTL=${R2CTL:-$build/tools/r2ctl/r2ctl}
exec bash "$root/scripts/in_private_net.sh" python3 "$root/bench/upgrade/upgrade_bench.py"
