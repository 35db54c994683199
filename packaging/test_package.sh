#!/usr/bin/env bash
# The Debian package as a user gets it: built by CPack from the build directory given, unpacked
# into a scratch directory, and checked there: its control fields, the three programs' versions,
# the desktop entry, the AppStream metainfo, the man pages, the icons and r2ctl's completion.
# Exit 77 (ctest: skipped) when a tool it needs is missing; scripts/setup.sh installs them all.
set -euo pipefail
build=$1
version=$2

for tool in cpack dpkg-deb desktop-file-validate appstreamcli man lintian; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (scripts/setup.sh installs it)"
    exit 77
  fi
done
if [[ ! -r /usr/share/bash-completion/bash_completion ]]; then
  echo "skipped: bash-completion is not installed (scripts/setup.sh installs it)"
  exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! (cd "$build" && cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"
  fail "cpack could not build the package"
  exit 1
fi
debs=("$scratch"/out/r2config_*.deb)
[[ -f ${debs[0]} ]] || { cat "$scratch/cpack.log"; echo "FAIL: no r2config_*.deb"; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == r2config ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', not $version"
[[ $(field Section) == net ]] || fail "Section is '$(field Section)'"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
# dpkg-shlibdeps ran: the dependencies name the Qt libraries the programs link.
[[ $(field Depends) == *libqt6widgets6* && $(field Depends) == *libc6* ]] ||
  fail "Depends lacks the shared libraries: '$(field Depends)'"
[[ $(field Recommends) == *fonts-wqy-microhei* ]] || fail "Recommends is '$(field Recommends)'"
dpkg-deb -e "$deb" "$scratch/control"
for script in preinst postinst prerm postrm; do
  [[ ! -e $scratch/control/$script ]] || fail "the package has a $script script"
done

# Lintian ends with a failure on errors (and on its own failures); its warnings are printed.
if ! lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1; then
  fail "lintian reports errors"
fi
grep -v '^running with root privileges' "$scratch/lintian.log" || true

root=$scratch/root
dpkg-deb -x "$deb" "$root"
mkdir -m 700 "$scratch/run"
for program in r2ctl r2sim r2config; do
  out=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$scratch/run "$root/usr/bin/$program" --version)
  [[ $out == "$program $version" ]] || fail "$program --version printed '$out'"
done

desktop=$root/usr/share/applications/io.github.r2config.r2config.desktop
if ! desktop-file-validate "$desktop" >"$scratch/desktop.log" 2>&1 ||
  grep -E 'error|warning' "$scratch/desktop.log"; then
  cat "$scratch/desktop.log"
  fail "desktop-file-validate"
fi
metainfo=$root/usr/share/metainfo/io.github.r2config.r2config.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

pages=("$root"/usr/share/man/man1/*.1.gz)
[[ ${#pages[@]} -eq 3 ]] || fail "${#pages[@]} man pages, not 3"
for page in "${pages[@]}"; do
  if ! MANWIDTH=80 man --warnings -l "$page" >"$scratch/page.txt" 2>"$scratch/man.err" ||
    [[ -s $scratch/man.err ]]; then
    cat "$scratch/man.err"
    fail "man -l $(basename "$page") warns"
  fi
  grep -q "$version" "$scratch/page.txt" || fail "$(basename "$page") does not name $version"
done
MANWIDTH=80 man -l "$root/usr/share/man/man1/r2ctl.1.gz" 2>/dev/null | grep -q 'fields \[p6|p7|p5\]' ||
  fail "r2ctl.1 lacks the commands of r2ctl --help-all"

icons=$root/usr/share/icons/hicolor
[[ -f $icons/scalable/apps/io.github.r2config.r2config.svg ]] || fail "no scalable icon"
for size in 16 32 48 128 256; do
  png=$icons/${size}x$size/apps/io.github.r2config.r2config.png
  # Width and height sit big-endian at bytes 16 and 20 of a PNG.
  dims=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null | awk '{print $3*256+$4 "x" $7*256+$8}')
  [[ $dims == "${size}x$size" ]] || fail "icon $png is '$dims'"
done

# Completion as bash does it, against the unpacked r2ctl.
completion=$root/usr/share/bash-completion/completions/r2ctl
complete_words() {
  PATH=$root/usr/bin:$PATH bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"; shift
    compopt() { :; } # outside a real completion bash refuses it
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _r2ctl r2ctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' complete "$completion" "$@"
}
expect_completion() {
  local want=$1
  shift
  local got
  got=$(complete_words "$@" | sort | tr '\n' ' ')
  [[ $got == "$want" ]] || fail "completing '$*': got '$got', expected '$want'"
}
expect_completion "read reset restart restore " r2ctl re
expect_completion "backup " r2ctl ba
expect_completion "--with-network " r2ctl --with
expect_completion "edt_StaticIP= edt_StaticIPP7= " r2ctl write 00:11:22:33:44:55 --set edt_Stat
expect_completion "edt_ModuleIP= edt_ModulePort= " r2ctl serial write --model p5 --set edt_Module
expect_completion "read write " r2ctl serial ''
expect_completion "p5 p6 p7 " r2ctl serial read --model ''
expect_completion "--version " r2ctl --vers
expect_completion "clone " r2ctl cl
expect_completion "--password --password-file " r2ctl --passw
expect_completion "--stop-on-error " r2ctl clone line.json --stop
expect_completion "--show-secrets " r2ctl --show
expect_completion "--force " r2ctl backup 00:11:22:33:44:55 -o line.json --for
expect_completion "--help --help-all " r2ctl --help
expect_completion "write " r2ctl help wr
expect_completion "help " r2ctl he

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "package checks passed"
