#!/usr/bin/env bash
# What a host developer builds from dist/ alone, with the mingw compiler of
# one architecture and the kit's include folder as the only include path:
# - header_probe.c as C and as C++ (Workbench.h compiles, its GUIDs link,
#   its dispatch ids are the published ones);
# - the early-bound example, kept for the suite to run.
#   build_checks.sh win32|win64 <dist/include> <examples/early_bound.cpp> <out early_bound.exe>
# Prints the plan and `ok - ` / `not ok - ` lines; exits with the failures.
set -u
case $1 in
  win32) arch=i686 ;;
  win64) arch=x86_64 ;;
  *) echo "build_checks.sh: win32 or win64, not '$1'" >&2; exit 2 ;;
esac
include=$2
example=$3
out=$4
here=$(dirname "${BASH_SOURCE[0]}")
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
source "$here/../lib/checks.sh"

# build NAME OUTPUT COMPILER ARGS...: one check, the compiler's output as details.
build() {
  local name=$1 output=$2 compiler=$3 log status=0
  shift 3
  log=$("$compiler" -Wall -Wextra -Werror -I "$include" "$@" -o "$output" \
    -lole32 -loleaut32 -luuid 2>&1) || status=$?
  wb_report "$name" "$status" "$(head -n 5 <<<"$log" | tr '\n' ' ')"
}

if [[ ! -f $include/Workbench.h ]]; then
  wb_plan 1
  wb_report "$include/Workbench.h exists" 1 "missing"
  wb_finish
fi

wb_plan 3
build "$arch: Workbench.h in C" "$work/probe_c.exe" "$arch-w64-mingw32-gcc" "$here/header_probe.c"
build "$arch: Workbench.h in C++" "$work/probe_cc.exe" \
  "$arch-w64-mingw32-g++" -x c++ "$here/header_probe.c"
# As the README tells a host developer, plus a self-contained runtime so that
# Wine needs no mingw DLL beside it.
build "$arch: early_bound.cpp builds" "$out" "$arch-w64-mingw32-g++" "$example" -static

wb_finish
