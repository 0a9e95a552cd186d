#!/usr/bin/env bash
# What a host developer builds from dist/ alone, with one mingw compiler and
# the kit's include folder as the only include path:
# - header_probe.c as C and as C++ (Workbench.h compiles, its GUIDs link, its
#   dispatch ids are the published ones);
# - every C++ example host, kept in OUT_DIR for the suite to run.
#   build_checks.sh <dist/include> <examples/> <OUT_DIR> win32|win64
# Prints the plan and `ok - ` / `not ok - ` lines; exits with the failures.
set -u
include=$1
examples=$2
out=$3
case $4 in
  win32) arch=i686 ;;
  win64) arch=x86_64 ;;
  *) echo "1..1"; echo "not ok - no such architecture: $4"; exit 1 ;;
esac
here=$(dirname "${BASH_SOURCE[0]}")
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
source "$here/../lib/checks.sh"
WB_CHECK_LABEL=$arch

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
mkdir -p "$out"
build "Workbench.h in C" "$work/probe_c.exe" "$arch-w64-mingw32-gcc" "$here/header_probe.c"
build "Workbench.h in C++" "$work/probe_cc.exe" "$arch-w64-mingw32-g++" -x c++ "$here/header_probe.c"
# As the README tells a host developer, plus a self-contained runtime so that
# Wine needs no mingw DLL beside them.
for example in early_bound manifest_host activation_context type_library; do
  build "$example.cpp builds" "$out/$example.exe" "$arch-w64-mingw32-g++" \
    "$examples/$example.cpp" -static
done

wb_finish
