#!/usr/bin/env bash
# The release as store IT deploys it: both packages made by tools/package.sh
# (patch 0 signed with a throwaway certificate, patch 1 unsigned), installed,
# repaired, upgraded, refused as a downgrade and removed by Wine's msiexec in
# a prefix of its own where nothing was registered before, with a host that
# calls DEVOVIZoruze against the reference suite after each step. The keys
# that the package writes are compared with what regsvr32 writes in the
# harness's prefix.
#   install_client.sh WORK-DIR WIN32   (WIN32: 1 where 32-bit programs run)
# Runs as a client of the Wine harness (WINEPREFIX is the harness's prefix).
set -uo pipefail
WB_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
work=$1
win32=$2
source "$WB_ROOT/tests/wine/lib/checks.sh"
source "$WB_BUILD/tests/wine/function_ids.sh"
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
main_prefix=$WINEPREFIX
prefix=$work/prefix
export WINEPREFIX=$prefix
mkdir -p "$work"
wb_plan $((30 + (win32 ? 6 : 0)))

# Wine programs never write into a pipe here: a Wine service that the first
# program of a session starts inherits its output and holds a pipe open.
# pass NAME COMMAND...: a check that COMMAND succeeds, its output the details.
pass() {
  local name=$1 status
  shift
  "$@" >"$work/step.out" 2>&1
  status=$?
  wb_report "$name" $status "$(tr -d '\r' <"$work/step.out" | grep -v '^ok - ' | tail -n 8 | tr '\n' ' ')"
}
# fails NAME COMMAND...: a check that COMMAND fails.
fails() {
  local name=$1
  shift
  ! "$@" >/dev/null 2>&1
  wb_report "$name" $? "it succeeded"
}

msiexec() { "$wine64" msiexec "$@" /qn; }
# host WINE: the example late-bound host runs a member lookup, by ProgID.
host() {
  "$1" cscript //nologo "$(wb_winpath "$WB_ROOT/examples/late_bound.vbs")" "$kMemberLookup" >"$work/host.out" 2>&1
  [[ $(tr -d '\r' <"$work/host.out") == "DEVOVIZoruze($kMemberLookup): success" ]] || { cat "$work/host.out"; return 1; }
}
program_files=$prefix/drive_c/Program\ Files/Workbench
program_files_x86=$prefix/drive_c/Program\ Files\ \(x86\)/Workbench
installed64='C:\Program Files\Workbench\Workbench.dll'
installed32='C:\Program Files (x86)\Workbench\Workbench.dll'
clients64=$WB_ROOT/build/win64/tests/wine/entry
clients32=$WB_ROOT/build/win32/tests/wine/entry

# ---- The release ------------------------------------------------------------
cert=$work/cert
mkdir -p "$cert"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Workbench test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$cert/key.pem" -out "$cert/cert.pem" \
  >/dev/null 2>&1
release0=$work/release0 release1=$work/release1
pass "package: patch 0, signed: every artefact, and SHA256SUMS that match them" \
  bash -c 'WB_SIGN_CERT=$1 WB_SIGN_KEY=$2 bash "$3/tools/package.sh" --out "$4" >/dev/null &&
    cd "$4" && [[ $(wc -l <SHA256SUMS) == 5 ]] && sha256sum -c --quiet SHA256SUMS' \
  _ "$cert/cert.pem" "$cert/key.pem" "$WB_ROOT" "$release0"
unsigned=$(bash "$WB_ROOT/tools/package.sh" --patch 1 --out "$release1" 2>&1)
wb_expect "package: patch 1 without a certificate says it is unsigned" "$unsigned" \
  grep -q 'the release is unsigned$' <<<"$unsigned"
x64_0=$release0/Workbench-1.0.0-x64.msi x86_0=$release0/Workbench-1.0.0-x86.msi
x64_1=$release1/Workbench-1.0.1-x64.msi

# ---- Signatures -------------------------------------------------------------
unzip -q -o "$release0/Workbench-1.0.0-sdk.zip" -d "$work/sdk"
verify() { osslsigncode verify -CAfile "$cert/cert.pem" -in "$1"; }
all_verify() { local f; for f in "$@"; do verify "$f" >/dev/null 2>&1 || { echo "$f"; return 1; }; done; }
pass "signatures: both packages and both DLLs of the SDK verify" all_verify "$x64_0" "$x86_0" \
  "$work/sdk/Workbench-1.0.0-sdk/win32/Workbench.dll" "$work/sdk/Workbench-1.0.0-sdk/win64/Workbench.dll"
# flip FILE: a copy with one byte changed in the middle.
flip() {
  cp -- "$1" "$2"
  local at=$(($(stat -c %s -- "$2") / 2)) byte
  byte=$(od -An -tu1 -j "$at" -N1 -- "$2" | tr -d ' ')
  printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$2" bs=1 seek="$at" conv=notrunc status=none
}
flip "$x64_0" "$work/tampered.msi"
flip "$work/sdk/Workbench-1.0.0-sdk/win64/Workbench.dll" "$work/tampered.dll"
fails "signatures: a package with one byte changed fails verification" verify "$work/tampered.msi"
fails "signatures: a DLL with one byte changed fails verification" verify "$work/tampered.dll"
fails "signatures: the unsigned package does not verify" verify "$x64_1"

# ---- A store PC where nothing was registered --------------------------------
rm -rf -- "$prefix"
"$wine64" wineboot -i >/dev/null 2>&1
# The suite is the store's, registered on its own; each host runs once, for
# Wine registers the script host's type library on its first run.
"$wine64" regsvr32 /s "$(wb_winpath "$WB_ROOT/dist/win64/RefSuite.dll")"
((win32)) && "$wine32" regsvr32 /s "$(wb_winpath "$WB_ROOT/dist/win32/RefSuite.dll")"
host "$wine64" >/dev/null 2>&1
((win32)) && host "$wine32" >/dev/null 2>&1
# A first installer run, so that msiexec's own keys are there before.
msiexec /x '{00000000-0000-0000-0000-000000000000}' >/dev/null 2>&1
# export NAME: both registry views of HKLM\Software (under Wine the classes
# root is the machine's classes, which it holds) as text, without empty keys:
# Wine's msiexec leaves its own behind, and on removing the last value under
# a key it also removes the key's parents that are then empty, even the
# 32-bit view's CLSID root that a prefix without 32-bit programs has empty.
# The keys of Workbench are checked by name, empty or not (`ours`). Also left
# out: Wine's record of the machine's network cards, which it writes into a
# view when a program of that view first asks for them.
export_registry() {
  local view
  for view in 64 32; do
    "$wine64" reg export 'HKLM\Software' "$(wb_winpath "$work/$1.reg")" "/reg:$view" /y >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$work/$1.reg" | tr -d '\r' | sed "s/^\[/[$view:/"
  done | awk '/^\[/ { skip = /\\CurrentVersion\\NetworkCards(\\|\])/; held = skip ? "" : $0; next }
              skip { next }
              held != "" && /^$/ { held = ""; next }
              held != "" { print held; held = "" } { print }' >"$work/$1.txt"
}
export_registry before

# ---- Install, use, compare, repair ------------------------------------------
pass "install x64: msiexec /i exits 0" msiexec /i "$(wb_winpath "$x64_0")" /l*v "$(wb_winpath "$work/install.log")"
pass "install x64: a 64-bit host creates the class by ProgID and calls it" host "$wine64"
pass "install x64: the 64-bit keys name the installed DLL" \
  "$wine64" "$clients64/registry_client.exe" present machine "$installed64"
((win32)) && pass "install x64: a 32-bit host creates the class by ProgID and calls it" host "$wine32"

# keys PREFIX: the class's, ProgID's, type library's and interface's keys in
# both views, one line per value, with the DLL's path and folder made alike.
# The GUIDs are the ones the build wrote into the packages' rows.
rows=$WB_ROOT/build/win64/entry/package/registry_each.wxi
guid() { sed -n "s/.*Key=\"$1\\\\\({[0-9A-F-]*}\).*/\1/p" "$rows" | head -n 1; }
roots=("CLSID\\$(guid CLSID)" Workbench.CWorkbench "TypeLib\\$(guid TypeLib)" "Interface\\$(guid Interface)")
keys() {
  local view root
  for view in 64 32; do
    ((view == 32 && !win32)) && continue
    for root in "${roots[@]}"; do
      WINEPREFIX=$1 "$wine64" reg query "HKLM\\Software\\Classes\\$root" /s "/reg:$view" >"$work/query.txt" 2>&1
      cat "$work/query.txt"
    done | tr -d '\r' | awk -v view="$view" '
      /^HKEY/ { key = $0; next }
      /^    / { sub(/^    /, ""); print view "|" key "|" $0 }'
  done | sed -E 's#(REG_SZ +)[A-Z]:\\.*\\Workbench\.dll$#\1<file>#I; s#(REG_SZ +)[A-Z]:\\.*\\$#\1<folder>\\#' |
    if ((win32)); then cat; else grep -v '\\0\\win32|'; fi | sort
}
same_keys() {
  local dll
  for dll in win64 $( ((win32)) && echo win32); do
    local loader=$wine64
    [[ $dll == win32 ]] && loader=$wine32
    WINEPREFIX=$main_prefix "$loader" regsvr32 /s /u "$(wb_winpath "$WB_ROOT/dist/$dll/Workbench.dll")"
    WINEPREFIX=$main_prefix "$loader" regsvr32 /s "$(wb_winpath "$WB_ROOT/dist/$dll/Workbench.dll")" || return 1
  done
  keys "$main_prefix" >"$work/regsvr32-keys.txt"
  keys "$prefix" >"$work/package-keys.txt"
  [[ -s $work/package-keys.txt ]] || { echo "no keys read"; return 1; }
  diff "$work/regsvr32-keys.txt" "$work/package-keys.txt"
}
pass "same keys as regsvr32: both views, but for the file's path" same_keys

rm -f -- "$program_files/Workbench.dll"
fails "repair: the host fails once the 64-bit DLL is deleted" host "$wine64"
# Wine's msiexec /f repairs nothing (exit 1); this is the same repair.
pass "repair: msiexec /i REINSTALL=ALL REINSTALLMODE=amus exits 0" \
  msiexec /i "$(wb_winpath "$x64_0")" REINSTALL=ALL REINSTALLMODE=amus
pass "repair: the host works again" host "$wine64"

# ---- Upgrade, downgrade -----------------------------------------------------
# products: the installed products named Workbench, as "name version" lines.
products() {
  local view
  for view in 64 32; do
    "$wine64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$view" >"$work/query.txt" 2>&1
    cat "$work/query.txt"
  done | tr -d '\r' | awk '/^HKEY/ { if (name ~ /^Workbench/) print name, version; name = version = "" }
    /DisplayName/ { sub(/.*REG_SZ +/, ""); name = $0 } /DisplayVersion/ { sub(/.*REG_SZ +/, ""); version = $0 }
    END { if (name ~ /^Workbench/) print name, version }' | sort -u
}
one_product() { [[ $(products) == "$1" ]] || { products; return 1; }; }
pass "upgrade: the patch 1 package installs over patch 0" msiexec /i "$(wb_winpath "$x64_1")"
pass "upgrade: one product is left, at 1.0.1" one_product "Workbench (32-bit and 64-bit) 1.0.1"
pass "upgrade: the host works" host "$wine64"
fails "downgrade: the patch 0 package refuses with a non-zero exit" msiexec /i "$(wb_winpath "$x64_0")"
pass "downgrade: the installed product is untouched" one_product "Workbench (32-bit and 64-bit) 1.0.1"
pass "downgrade: the host works" host "$wine64"

# ---- A stray copy -----------------------------------------------------------
stray() {
  local width=$1 loader=$2 clients=$3 installed=$4
  mkdir -p "$prefix/drive_c/old/$width"
  cp -- "$WB_ROOT/dist/$width/Workbench.dll" "$prefix/drive_c/old/$width/"
  local copy="C:\\old\\$width\\Workbench.dll"
  pass "stray $width copy: regsvr32 /u on it exits 0" "$loader" regsvr32 /s /u "$copy"
  pass "stray $width copy: the installed registration still works" host "$loader"
  pass "stray $width copy: its unregistration and failed registration, all users" \
    "$loader" "$clients/registry_client.exe" stray machine "$installed" "$copy"
  pass "stray $width copy: its unregistration and failed registration, this user" \
    "$loader" "$clients/registry_client.exe" stray user "$installed" "$copy"
}
stray win64 "$wine64" "$clients64" "$installed64"
((win32)) && stray win32 "$wine32" "$clients32" "$installed32"

# ---- Uninstall --------------------------------------------------------------
# ours: the keys of Workbench that either view still has.
ours() {
  local view root
  for view in 64 32; do
    for root in "${roots[@]}"; do
      "$wine64" reg query "HKLM\\Software\\Classes\\$root" "/reg:$view" >/dev/null 2>&1 && echo "$view:$root"
    done
  done
}
nothing_left() {
  [[ ! -e $program_files && ! -e $program_files_x86 ]] || { echo "a folder is left"; return 1; }
  [[ -z $(ours) ]] || { echo "keys left:" $(ours); return 1; }
  export_registry after
  diff "$work/before.txt" "$work/after.txt" | head -n 20
  cmp -s "$work/before.txt" "$work/after.txt"
}
pass "uninstall: msiexec /x exits 0" msiexec /x "$(wb_winpath "$x64_1")"
pass "uninstall: no file, and the registry as before the install" nothing_left

# ---- The x86 package on a 64-bit PC -----------------------------------------
x86_only() {
  [[ -f $program_files_x86/Workbench.dll && ! -e $program_files ]] || { echo "files"; return 1; }
  "$wine64" reg query "HKLM\\Software\\Classes\\Workbench.CWorkbench\\CLSID" /reg:32 >/dev/null 2>&1 &&
    ! "$wine64" reg query "HKLM\\Software\\Classes\\Workbench.CWorkbench" /reg:64 >/dev/null 2>&1
}
pass "x86 package: msiexec /i exits 0" msiexec /i "$(wb_winpath "$x86_0")"
pass "x86 package: the 32-bit file and keys only" x86_only
pass "x86 package: a 64-bit host gets REGDB_E_CLASSNOTREG" \
  "$wine64" "$clients64/registry_client.exe" class-not-registered
((win32)) && pass "x86 package: a 32-bit host creates the class by ProgID and calls it" host "$wine32"
pass "x86 package: msiexec /x exits 0" msiexec /x "$(wb_winpath "$x86_0")"
pass "x86 package: no file, and the registry as before the install" nothing_left

WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1
wb_finish
