#!/usr/bin/env bash
# What a host developer builds from dist/ alone, with the mingw compilers and
# the kit's include folder as the only include path:
# - header_probe.c as C and as C++, for i686 and x86_64 (Workbench.h
#   compiles, its GUIDs link, its dispatch ids are the published ones);
# - the early-bound example, for both architectures; the x86_64 program is
#   kept for the suite to run.
#   build_checks.sh <dist/include> <examples/early_bound.cpp> <out early_bound.exe>
# Prints the plan and `ok - ` / `not ok - ` lines; exits with the failures.
set -u
include=$1
example=$2
out=$3
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

wb_plan 6
for arch in i686 x86_64; do
  build "$arch: Workbench.h in C" "$work/probe_c_$arch.exe" \
    "$arch-w64-mingw32-gcc" "$here/header_probe.c"
  build "$arch: Workbench.h in C++" "$work/probe_cc_$arch.exe" \
    "$arch-w64-mingw32-g++" -x c++ "$here/header_probe.c"
done
# As the README tells a host developer, plus a self-contained runtime so that
# Wine needs no mingw DLL beside it.
build "i686: early_bound.cpp builds" "$work/early_bound_i686.exe" \
  i686-w64-mingw32-g++ "$example" -static
build "x86_64: early_bound.cpp builds" "$out" x86_64-w64-mingw32-g++ "$example" -static

wb_finish
