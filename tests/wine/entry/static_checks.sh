#!/usr/bin/env bash
# Static checks of a built Workbench.dll, without running it: the file format,
# the five exports by their plain names (and nothing else exported), the
# system DLLs it imports, its TYPELIB and VERSION resources, and its
# hardening: ASLR and NX in its header, the stack protector's and the
# checked buffer functions' failure handlers linked in.
#   static_checks.sh <Workbench.dll> win32|win64
# Prints the plan and `ok - ` / `not ok - ` lines; exits with the failures.
set -u
dll=$1
arch=$2
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"
WB_CHECK_LABEL=$arch
check() { wb_expect "$@"; }  # check NAME DETAILS CONDITION...

contains() { grep -qE -- "$2" <<<"$1"; }

case $arch in
  win32) prefix=i686-w64-mingw32 format='PE32 executable \(DLL\).*Intel 80386' ;;
  win64) prefix=x86_64-w64-mingw32 format='PE32\+ executable \(DLL\).*x86-64' ;;
  *) wb_plan 1; WB_CHECK_LABEL= wb_report arguments 1 "win32 or win64"; wb_finish ;;
esac

if [[ ! -f $dll ]]; then
  wb_plan 1
  wb_report "$dll exists" 1 "missing"
  wb_finish
fi

wb_plan 12
kind=$(file -b "$dll")
check "file format" "$kind" contains "$kind" "^$format"

dump=$("$prefix-objdump" -p "$dll")
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && /^\t\[/ {print $NF; next} on {exit}' <<<"$dump" | sort | tr '\n' ' ')
check "exports exactly the five entry points, undecorated" "got: $exports" \
  test "$exports" = "DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer "

imports=$(awk '/DLL Name:/ {print toupper($3)}' <<<"$dump" | sort | tr '\n' ' ')
check "imports the system's DLLs alone, OLE automation among them (no mingw runtime DLLs)" \
  "got: $imports" test "$imports" = \
  "ADVAPI32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL "

# The header's DllCharacteristics, one flag a line after the value.
flags=$(awk '/^DllCharacteristics/ {on = 1; next} on && /^\t\t/ {print $1; next} on {exit}' \
  <<<"$dump" | sort | tr '\n' ' ')
want_flags="DYNAMIC_BASE NX_COMPAT "
[[ $arch == win64 ]] && want_flags="DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT "
check "ASLR and NX in the header (high-entropy ASLR on 64-bit)" "got: $flags" \
  test "$flags" = "$want_flags"
# Stripped, the DLL keeps the handlers' messages: linked in only when code
# compiled with the protector (or a checked buffer function) calls them.
check "the stack protector is in it" "no stack_chk_fail" \
  grep -q "stack smashing detected" "$dll"
check "checked buffer functions (_FORTIFY_SOURCE) are in it" "no chk_fail" \
  grep -q "buffer overflow detected" "$dll"

resources=$("$prefix-windres" -i "$dll" -O rc 2>/dev/null)
check "TYPELIB resource 1" "not found" contains "$resources" '^1 "TYPELIB"'
check "VERSIONINFO resource" "not found" contains "$resources" 'VERSIONINFO'
check "version block 040904B0" "not found" contains "$resources" 'BLOCK "040904[bB]0"'
check "OLESelfRegister entry" "not found" contains "$resources" 'VALUE "OLESelfRegister"'
check "file type DLL" "not found" contains "$resources" 'FILETYPE 0x2'
# The syskind of the embedded library follows the architecture: the
# library header's flags word (the sixth dword) holds it in its low bits.
syskind=$(grep -A2 '^1 "TYPELIB"' <<<"$resources" | tail -1 | tr -d ' ,L' | cut -c 1-200 |
  awk -F'0x' '{print $7}')
want_syskind=$([[ $arch == win32 ]] && echo 41 || echo 43)
check "type library syskind matches the architecture" "flags 0x$syskind" \
  test "$syskind" = "$want_syskind"

wb_finish
