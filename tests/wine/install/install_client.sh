#!/usr/bin/env bash
# The release as store IT deploys it: the releases made by tools/package.sh
# (patch 0 signed with a throwaway certificate, patch 1 unsigned, patch 1
# again from another folder and as a rebuild), their tables read one by one
# (tables.sh), then installed, repaired, upgraded, rebuilt, refused as a
# downgrade or beside the other width, and removed by Wine's msiexec in a
# prefix of its own where nothing was registered before, with a host that
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
wb_plan $((57 + (win32 ? 7 : 0)))

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

# ---- The releases -----------------------------------------------------------
# The UpgradeCodes that store IT's deployment tools detect the products by:
# they never change.
x64_code=24777235-FDB8-4FBA-9618-EDC7F2BE26B6 x86_code=E0A89B8C-FE71-4CA3-AC97-E68627E4F3E6
cert=$work/cert
mkdir -p "$cert"
# A throwaway certificate whose key has a password, as a real one would.
openssl req -x509 -newkey rsa:2048 -passout pass:wb-test-password -days 2 \
  -subj "/CN=Workbench test signing" -addext extendedKeyUsage=codeSigning \
  -keyout "$cert/key.pem" -out "$cert/cert.pem" >/dev/null 2>&1
# Both builds of patch 1 and the second clone's build name the same commit
# and time, as two builds of one commit would.
commit=$(git -C "$WB_ROOT" rev-parse HEAD 2>/dev/null || echo exported)+test
export SOURCE_DATE_EPOCH=$(git -C "$WB_ROOT" log -1 --format=%ct 2>/dev/null || echo 1700000000)
release0=$work/release0 release1=$work/release1
signed_out=$(WB_SIGN_CERT=$cert/cert.pem WB_SIGN_KEY=$cert/key.pem WB_SIGN_PASSWORD=wb-test-password \
  WB_RELEASE_COMMIT=$commit bash "$WB_ROOT/tools/package.sh" --out "$release0" 2>&1)
wb_expect "package: patch 0, signed with a key that has a password: every artefact, and SHA256SUMS that match them" \
  "$signed_out" bash -c 'cd "$1" && [[ $(wc -l <SHA256SUMS) == 7 ]] && sha256sum -c --quiet SHA256SUMS' _ "$release0"
wb_expect "package: signed without a time-stamp server, one line warns that the signatures expire with the certificate" \
  "$signed_out" grep -q '^package: warning: no time-stamp server .*stop validating when the certificate expires$' <<<"$signed_out"
# The same commit unsigned, for the signatures taken off below.
rebuilt0=$work/release0u
(WB_RELEASE_COMMIT=$commit bash "$WB_ROOT/tools/package.sh" --unsigned --out "$rebuilt0") >/dev/null 2>&1
refused=$(bash "$WB_ROOT/tools/package.sh" --patch 1 --out "$work/refused" 2>&1)
wb_expect "package: without a certificate a release fails and names --unsigned" "$refused" \
  bash -c '[[ ! -e $1 && $2 == *"--unsigned"* ]]' _ "$work/refused" "$refused"
unsigned=$(WB_RELEASE_COMMIT=$commit bash "$WB_ROOT/tools/package.sh" --patch 1 --unsigned --out "$release1" 2>&1)
wb_expect "package: --unsigned names every signable artefact and the sums unsigned, and ends with a warning" "$unsigned" \
  bash -c 'cd "$1" && ls Workbench-1.0.1-{x64,x86}-unsigned.msi Workbench-1.0.1-{sdk,testkit}-unsigned.zip Workbench-1.0.1-admx.zip SHA256SUMS-unsigned &&
    [[ ! -e SHA256SUMS && $(tail -n 1 <<<"$2") == *"UNSIGNED"* ]] && sha256sum -c --quiet SHA256SUMS-unsigned' \
  _ "$release1" "$unsigned"
# Another build of 1.0.1, as from another commit: a rebuild of the version.
rebuild1=$work/release1r
(WB_RELEASE_COMMIT=$commit-rebuild bash "$WB_ROOT/tools/package.sh" --patch 1 --unsigned --out "$rebuild1") >/dev/null 2>&1
x64_0=$release0/Workbench-1.0.0-x64.msi x86_0=$release0/Workbench-1.0.0-x86.msi
x64_1=$release1/Workbench-1.0.1-x64-unsigned.msi x86_1=$release1/Workbench-1.0.1-x86-unsigned.msi
sdk0=$work/sdk0/Workbench-1.0.0-sdk sdk1=$work/sdk1/Workbench-1.0.1-sdk-unsigned
unzip -q -o "$release0/Workbench-1.0.0-sdk.zip" -d "$work/sdk0"
unzip -q -o "$release1/Workbench-1.0.1-sdk-unsigned.zip" -d "$work/sdk1"
unzip -q -o "$release0/Workbench-1.0.0-testkit.zip" -d "$work/testkit0"

# The kits: the stand-ins stay out of the host developers' kit.
kits() {
  [[ -f $sdk0/README.txt && -f $sdk0/include/Workbench.h && -f $sdk0/win32/Workbench.dll && -f $sdk0/win64/Workbench.tlb ]] || return 1
  ! unzip -l "$release0/Workbench-1.0.0-sdk.zip" | grep -i refsuite || return 1
  local kit=$work/testkit0/Workbench-1.0.0-testkit
  [[ -f $kit/win32/RefSuite.dll && -f $kit/win64/RefSuite.dll ]] &&
    grep -q 'replaces the store suite.s components' "$kit/README.txt" || return 1
  [[ $(unzip -Z1 "$release0/Workbench-1.0.0-admx.zip" | sort | tr '\n' ' ') == \
    "PolicyDefinitions/Workbench.admx PolicyDefinitions/en-US/Workbench.adml PolicyDefinitions/zh-CN/Workbench.adml " ]]
}
pass "kits: the SDK holds the header, the DLLs and a README, no stand-in; the test kit's README warns what registering it does; the template is a PolicyDefinitions folder" kits

# Reproducible: the same commit built in a second folder gives the same bytes.
clone=$work/clone
rm -rf -- "$clone"
mkdir -p "$clone"
(cd "$WB_ROOT" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$clone" 2>/dev/null)
reproducible() {
  (cd "$clone" && WB_RELEASE_COMMIT=$commit bash tools/package.sh --patch 1 --unsigned --out "$work/release1b") >/dev/null 2>&1 ||
    { echo "the second build failed"; return 1; }
  diff -r -q "$release1" "$work/release1b"
}
pass "reproducible: the same commit built in another folder gives the same packages, kits and symbols, byte for byte" reproducible
# signature_off SIGNED UNSIGNED: the signed file without its signature is the
# unsigned one.
signature_off() {
  osslsigncode remove-signature -in "$1" -out "$work/unsigned.tmp" >/dev/null 2>&1 && cmp "$work/unsigned.tmp" "$2"
}
unzip -q -o "$rebuilt0/Workbench-1.0.0-sdk-unsigned.zip" -d "$work/sdk0u"
pass "reproducible: a signed DLL without its signature is the unsigned build's" signature_off \
  "$sdk0/win32/Workbench.dll" "$work/sdk0u/Workbench-1.0.0-sdk-unsigned/win32/Workbench.dll"

# ---- The packages, table by table ----------------------------------------
source "$WB_ROOT/tests/wine/install/tables.sh"
pass "tables, ICE08: each component GUID names the same resources in both packages, at patch 0 and 1" \
  check_component_rules "$x64_0" "$x86_0" "$x64_1" "$x86_1"
both() { local check=$1; shift; "$check" "$x64_0" x64 "$@" && "$check" "$x86_0" x86 "$@"; }
pass "tables: the Registry rows are those of entry/registry_rows.h, per component and width" both check_registry_rows
versions() { check_file_versions "$x64_0" 1.0.0 && check_file_versions "$x86_0" 1.0.0 && check_file_versions "$x64_1" 1.0.1; }
pass "tables, ICE60: the DLLs' File rows carry the release's version and language" versions
summaries() { check_summary "$x64_0" "x64;1033" && check_summary "$x86_0" "Intel;1033"; }
pass "tables: the summary: template, word count, code page, PackageCode" summaries
arp() { check_arp "$x64_0" "Workbench (32-bit and 64-bit)" && check_arp "$x86_0" "Workbench (32-bit)"; }
pass "tables: Programs and Features: name, Manufacturer, ARPNOMODIFY, ARPCONTACT, per machine" arp
upgrades() { check_upgrade "$x64_0" x64 1.0.0 && check_upgrade "$x86_0" x86 1.0.0 && check_upgrade "$x64_1" x64 1.0.1; }
pass "tables, ICE61: one upgrade family, the same version included on purpose, secured properties, refusals" upgrades
pass "tables: no SelfReg, no custom action, no Class, TypeLib or ProgId rows" both check_no_code
pass "tables, ICE03: the columns have the installer schema's types (wixl writes no _Validation)" both check_schema
pass "tables, ICE21 and ICE80: every component in a feature, each width under its Program Files" both check_placement
[[ $(property_of "$x64_0" ProductCode) != "$(property_of "$x64_1" ProductCode)" &&
  $(property_of "$x64_1" ProductCode) == "$(property_of "$work/release1b/Workbench-1.0.1-x64-unsigned.msi" ProductCode)" ]]
wb_report "tables: the ProductCode is one per version and commit" $? \
  "$(property_of "$x64_0" ProductCode) / $(property_of "$x64_1" ProductCode)"

# ---- Signatures -------------------------------------------------------------
verify() { osslsigncode verify -CAfile "$cert/cert.pem" -in "$1"; }
all_verify() { local f; for f in "$@"; do verify "$f" >/dev/null 2>&1 || { echo "$f"; return 1; }; done; }
pass "signatures: both packages, both DLLs of the SDK and the test kit's verify" all_verify "$x64_0" "$x86_0" \
  "$sdk0/win32/Workbench.dll" "$sdk0/win64/Workbench.dll" "$work/testkit0/Workbench-1.0.0-testkit/win32/RefSuite.dll"
# flip FILE: a copy with one byte changed in the middle.
flip() {
  cp -- "$1" "$2"
  local at=$(($(stat -c %s -- "$2") / 2)) byte
  byte=$(od -An -tu1 -j "$at" -N1 -- "$2" | tr -d ' ')
  printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$2" bs=1 seek="$at" conv=notrunc status=none
}
flip "$x64_0" "$work/tampered.msi"
flip "$sdk0/win64/Workbench.dll" "$work/tampered.dll"
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
# version FILE WANT: the file's version resource, as inventory reads it.
version() { "$wine64" "$clients64/registry_client.exe" version "$(wb_winpath "$1")" "$2"; }
# installed_is RELEASE-SDK VERSION: each view's installed DLL is that
# release's file, and says its version.
installed_is() {
  cmp "$program_files/Workbench.dll" "$1/win64/Workbench.dll" && cmp "$program_files_x86/Workbench.dll" "$1/win32/Workbench.dll" &&
    version "$program_files/Workbench.dll" "$2" && version "$program_files_x86/Workbench.dll" "$2"
}
pass "install x64: msiexec /i exits 0" msiexec /i "$(wb_winpath "$x64_0")" /l*v "$(wb_winpath "$work/install.log")"
pass "install x64: a 64-bit host creates the class by ProgID and calls it" host "$wine64"
pass "install x64: the 64-bit keys name the installed DLL" \
  "$wine64" "$clients64/registry_client.exe" present machine "$installed64"
((win32)) && pass "install x64: a 32-bit host creates the class by ProgID and calls it" host "$wine32"
pass "install x64: each view's DLL is the release's, version 1.0.0.0" installed_is "$sdk0" 1.0.0.0

# keys PREFIX: the class's, ProgID's, type library's and interface's keys in
# both views, one line per value, with the DLL's path and folder made alike.
# The ProgID's key is one for both views, as on 64-bit Windows: Wine's
# 32-bit regsvr32 writes the 64-bit view's, its msiexec a 32-bit view's own.
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
    sed -E 's#^(32|64)\|(HKEY_LOCAL_MACHINE\\Software\\Classes\\Workbench\.CWorkbench)#shared|\2#' |
    if ((win32)); then cat; else grep -v '\\0\\win32|'; fi | sort -u
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

# ---- Upgrade, rebuild, downgrade, the other width -----------------------------
# products: the installed products named Workbench, as "name version
# ProductCode" lines (the key's name under Uninstall is the ProductCode).
products() {
  local view
  for view in 64 32; do
    "$wine64" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s "/reg:$view" >"$work/query.txt" 2>&1
    cat "$work/query.txt"
  done | tr -d '\r' | awk 'function flush() { if (name ~ /^Workbench/) print name, version, code; name = version = "" }
    /^HKEY/ { flush(); code = $0; sub(/.*\\/, "", code); next }
    /DisplayName/ { sub(/.*REG_SZ +/, ""); name = $0 } /DisplayVersion/ { sub(/.*REG_SZ +/, ""); version = $0 }
    END { flush() }' | sort -u
}
one_product() { [[ $(products) == "$1 $(property_of "$2" ProductCode)" ]] || { products; return 1; }; }
pass "upgrade: the patch 1 package installs over patch 0" msiexec /i "$(wb_winpath "$x64_1")"
pass "upgrade: one product is left, at 1.0.1" one_product "Workbench (32-bit and 64-bit) 1.0.1" "$x64_1"
pass "upgrade: the host works" host "$wine64"
pass "upgrade: each view's DLL is the new file, version 1.0.1.0" installed_is "$sdk1" 1.0.1.0
# The Upgrade table's maximum is inclusive: the same version replaces itself.
pass "rebuild: another build of 1.0.1 installs over the first" msiexec /i "$(wb_winpath "$rebuild1/Workbench-1.0.1-x64-unsigned.msi")"
pass "rebuild: one product is left, the rebuild's" one_product "Workbench (32-bit and 64-bit) 1.0.1" "$rebuild1/Workbench-1.0.1-x64-unsigned.msi"
fails "downgrade: the patch 0 package refuses with a non-zero exit" msiexec /i "$(wb_winpath "$x64_0")"
untouched() { one_product "Workbench (32-bit and 64-bit) 1.0.1" "$rebuild1/Workbench-1.0.1-x64-unsigned.msi" && installed_is "$sdk1" 1.0.1.0; }
pass "downgrade: the installed product and its 1.0.1 files are untouched" untouched
pass "downgrade: the host works" host "$wine64"
fails "one product: the x86 package refuses where the x64 product is" msiexec /i "$(wb_winpath "$x86_1")" /l*v "$(wb_winpath "$work/x86-refused.log")"
# refusal: the refused install found the installed x64 product (Wine's log
# holds no launch condition's message; the table's check holds the text),
# and that product stays.
refusal() {
  local x64=$rebuild1/Workbench-1.0.1-x64-unsigned.msi
  tr -d '\r' <"$work/x86-refused.log" | grep -qx "Property(S): WB_FULL_PRODUCT_FOUND = $(property_of "$x64" ProductCode)" ||
    { grep -a WB_FULL "$work/x86-refused.log"; return 1; }
  one_product "Workbench (32-bit and 64-bit) 1.0.1" "$x64"
}
pass "one product: the refusal comes from the x64 product found, which stays" refusal
pass "one product: the host works after the refusal" host "$wine64"

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
pass "uninstall: msiexec /x exits 0" msiexec /x "$(wb_winpath "$rebuild1/Workbench-1.0.1-x64-unsigned.msi")"
pass "uninstall: no file, and the registry as before the install" nothing_left

# ---- The x86 package on a 64-bit PC, then the x64 one -------------------------
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
msiexec /i "$(wb_winpath "$x86_0")" >/dev/null 2>&1
pass "one product: the x64 package installs over the x86 product" msiexec /i "$(wb_winpath "$x64_1")"
pass "one product: the x64 product alone is left" one_product "Workbench (32-bit and 64-bit) 1.0.1" "$x64_1"
((win32)) && pass "one product: a 32-bit host creates the class and calls it" host "$wine32"
pass "one product: a 64-bit host creates the class and calls it" host "$wine64"
pass "one product: msiexec /x of the x64 product exits 0" msiexec /x "$(wb_winpath "$x64_1")"
pass "one product: no file, and the registry as before the install" nothing_left

WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1
wb_finish
