# The release's packages read table by table with msitools, for the rules
# that Windows Installer's validation (the ICEs named in the checks) applies
# and that an install under Wine cannot show. Sourced by install_client.sh;
# each function is one check: it returns non-zero and prints why.

# rows MSI TABLE: the table's rows, tab-separated, without the three header
# lines; nothing when the package has no such table.
rows() { msiinfo export "$1" "$2" 2>/dev/null | tr -d '\r' | tail -n +4; }
# types MSI TABLE: the table's column types, as the installer's schema
# writes them (s72 S38 ...).
types() { msiinfo export "$1" "$2" 2>/dev/null | tr -d '\r' | sed -n 2p; }
property_of() { rows "$1" Property | awk -F '\t' -v name="$2" '$1 == name { print $2 }'; }

# components MSI: one line per component: its GUID, attributes, directory,
# key path and every resource it installs (files by name and size class,
# registry values whole), sorted. What the component rules say a GUID must
# always name.
components() {
  local msi=$1
  {
    rows "$msi" File | awk -F '\t' '{ print $2 "\tfile\t" $3 "\t" $7 }'
    rows "$msi" Registry | awk -F '\t' '{ print $6 "\treg\t" $2 "\t" $3 "\t" $4 "\t" $5 }'
  } | sort >"$work/resources.txt"
  rows "$msi" Component | sort | awk -F '\t' -v resources="$work/resources.txt" '
    BEGIN { while ((getline line < resources) > 0) { split(line, f, "\t"); sub(/^[^\t]*\t/, "", line)
              held[f[1]] = held[f[1]] line ";" } }
    { print $2 "|" $1 "|" $4 "|" $3 "|" $5 "|" $6 "|" held[$1] }'
}

# ICE08 and the component rules: within a package no GUID twice; across both
# widths' packages and two patch numbers, a GUID always names the same
# component with the same attributes, directory, key path and resources.
check_component_rules() {
  local msi all=$work/components.txt
  : >"$all"
  for msi in "$@"; do
    components "$msi" >"$work/one.txt"
    local dup
    dup=$(cut -d '|' -f 1 "$work/one.txt" | sort | uniq -d)
    [[ -z $dup ]] || { echo "$(basename "$msi"): GUID twice: $dup"; return 1; }
    [[ -s $work/one.txt ]] || { echo "$(basename "$msi"): no components"; return 1; }
    cat "$work/one.txt" >>"$all"
  done
  # One distinct line per GUID, or the rules are broken.
  local broken
  broken=$(sort -u "$all" | cut -d '|' -f 1 | uniq -d)
  [[ -z $broken ]] || { echo "GUID with two sets of resources: $broken"; sort -u "$all" | grep -F "$broken" | cut -c 1-300; return 1; }
}

# The Registry table against entry/registry_rows.h, read here on its own: per
# package, each component holds exactly the rows of its width and owner, with
# the GUIDs of entry/Workbench.idl.
check_registry_rows() {
  local msi=$1 arch=$2 idl=$WB_ROOT/entry/Workbench.idl uuid
  declare -A id=()
  for kind in library:LIBID interface:IID coclass:CLSID; do
    uuid=$(tr -d '\r' <"$idl" | tr '\n' ' ' |
      grep -o "uuid([0-9A-Fa-f-]*)[^]]*\][ ]*${kind%%:*} " | sed -n 's/^uuid(\([^)]*\)).*/\1/p' | tr a-f A-F)
    [[ -n $uuid ]] || { echo "no uuid for ${kind%%:*} in Workbench.idl"; return 1; }
    id[${kind##*:}]=$uuid
  done
  # expected COMPONENT PLATFORM BITS OWNER: the table's rows of OWNER for
  # one component, as the Registry table holds them.
  expected() {
    sed -n 's/^ *{RowOwner::\(k[A-Za-z]*\), L"\([^"]*\)", \(nullptr\|L"[^"]*"\), L"\([^"]*\)"},\{0,1\}$/\1\t\2\t\3\t\4/p' \
      "$WB_ROOT/entry/registry_rows.h" |
      awk -F '\t' -v OFS='\t' -v c="$1" -v p="$2" -v b="$3" -v o="$4" \
        -v clsid="{${id[CLSID]}}" -v libid="{${id[LIBID]}}" -v iid="{${id[IID]}}" '
        function fill(s) {
          gsub(/\\\\/, "\\", s); gsub(/\{CLSID\}/, clsid, s); gsub(/\{LIBID\}/, libid, s)
          gsub(/\{IID\}/, iid, s); gsub(/\{VERSION\}/, "1.0", s); gsub(/\{PLATFORM\}/, p, s)
          gsub(/\[FILE\]/, "[#WorkbenchDll" b "]", s); gsub(/\[FOLDER\]/, "[INSTALLFOLDER" b "]", s)
          return s
        }
        $1 == o { name = $3 == "nullptr" ? "" : substr($3, 3, length($3) - 3)
                  print c, 0, fill($2), name, fill($4) }'
  }
  {
    expected Workbench32 win32 32 kEachWidth
    if [[ $arch == x64 ]]; then
      expected Workbench64 win64 64 kEachWidth
      expected WorkbenchTypeLib64 win64 64 kBothWidths
    else
      expected WorkbenchTypeLib32 win32 32 kBothWidths
    fi
  } | sort >"$work/want-registry.txt"
  rows "$msi" Registry | awk -F '\t' -v OFS='\t' '{ print $6, $2, $3, $4, $5 }' | sort >"$work/got-registry.txt"
  [[ $(wc -l <"$work/want-registry.txt") -ge 17 ]] || { echo "registry_rows.h read as too few rows"; return 1; }
  diff "$work/want-registry.txt" "$work/got-registry.txt"
}

# ICE60: each DLL's File row carries the release's version and a language;
# the product's version is the release's.
check_file_versions() {
  local msi=$1 want=$2 bad
  bad=$(rows "$msi" File | awk -F '\t' -v v="$want.0" '$3 == "Workbench.dll" && ($5 != v || $6 != "1033") { print $1 ": " $5 " / " $6 }')
  [[ -n $(rows "$msi" File) && -z $bad ]] || { echo "File rows: ${bad:-none}"; return 1; }
  [[ $(property_of "$msi" ProductVersion) == "$want" ]] || { echo "ProductVersion $(property_of "$msi" ProductVersion)"; return 1; }
}

# summary_codepage MSI: the code page property of the summary information
# stream (property 1, a VT_I2), read from the stream as msidump writes it.
summary_codepage() {
  local dir=$work/streams stream
  rm -rf -- "$dir"
  mkdir -p "$dir"
  (cd "$dir" && msidump -s "$1" >/dev/null 2>&1)
  stream=$(find "$dir" -name '*SummaryInformation' | head -n 1)
  [[ -n $stream ]] || return 1
  u32() { od -A n -t u4 -j "$1" -N 4 -- "$stream" | tr -d ' '; }
  local section count i
  section=$(u32 44)
  count=$(u32 $((section + 4)))
  for ((i = 0; i < count && i < 64; i++)); do
    if [[ $(u32 $((section + 8 + 8 * i))) == 1 ]]; then
      od -A n -t u2 -j $((section + $(u32 $((section + 12 + 8 * i))) + 4)) -N 2 -- "$stream" | tr -d ' '
      return 0
    fi
  done
  return 1
}

# The Summary Information: the template names the platform and English, the
# word count says compressed with long file names (2), the code page is one
# the package's texts fit (1252, Western), and the PackageCode is a GUID.
check_summary() {
  local msi=$1 template=$2 info
  info=$(msiinfo suminfo "$msi" | tr -d '\r')
  grep -qx "Template: $template" <<<"$info" || { grep Template <<<"$info"; return 1; }
  grep -qx 'Source: 2 (2)' <<<"$info" || { grep Source <<<"$info"; return 1; }
  grep -qE '^Revision number \(UUID\): \{[0-9A-F-]{36}\}$' <<<"$info" || { grep Revision <<<"$info"; return 1; }
  [[ $(summary_codepage "$msi") == 1252 ]] || { echo "code page $(summary_codepage "$msi")"; return 1; }
}

# What Programs and Features shows, and that it offers no Change button.
check_arp() {
  local msi=$1 name=$2 p
  [[ $(property_of "$msi" ProductName) == "$name" ]] || { echo "ProductName $(property_of "$msi" ProductName)"; return 1; }
  for p in Manufacturer:Workbench ARPNOMODIFY:1 ALLUSERS:1; do
    [[ $(property_of "$msi" "${p%%:*}") == "${p#*:}" ]] || { echo "${p%%:*} is '$(property_of "$msi" "${p%%:*}")'"; return 1; }
  done
  [[ -n $(property_of "$msi" ARPCONTACT) && -n $(property_of "$msi" ARPCOMMENTS) ]] || { echo "no ARPCONTACT or ARPCOMMENTS"; return 1; }
}

# ICE61 and the upgrade family: each package finds both UpgradeCodes; the
# "older" rows include this very version on purpose (so that a rebuild
# replaces the installed one, where ICE61 would warn); the "newer" rows only
# detect; every action property is secured; the old products go after
# InstallValidate; the launch conditions refuse a newer product (and, in the
# x86 package, the x64 product).
check_upgrade() {
  local msi=$1 arch=$2 version=$3 want secure
  if [[ $arch == x64 ]]; then
    want=$(printf '%s\n' "{$x64_code}|0.0.0|$version|768|WB_OLDER_FOUND" "{$x64_code}|$version||2|WB_NEWER_FOUND" \
      "{$x86_code}|0.0.0|$version|768|WB_OLDER_FOUND" "{$x86_code}|$version||2|WB_NEWER_FOUND" | sort)
  else
    want=$(printf '%s\n' "{$x86_code}|0.0.0|$version|768|WB_OLDER_FOUND" "{$x86_code}|$version||2|WB_NEWER_FOUND" \
      "{$x64_code}|0.0.0||258|WB_FULL_PRODUCT_FOUND" | sort)
  fi
  diff <(echo "$want") <(rows "$msi" Upgrade | awk -F '\t' '{ print $1 "|" $2 "|" $3 "|" $5 "|" $7 }' | sort) || return 1
  secure=$(property_of "$msi" SecureCustomProperties)
  for p in $(rows "$msi" Upgrade | cut -f 7 | sort -u); do
    [[ ";$secure;" == *";$p;"* ]] || { echo "$p is not in SecureCustomProperties ($secure)"; return 1; }
  done
  rows "$msi" InstallExecuteSequence | awk -F '\t' '$1 == "InstallValidate" { v = $3 } $1 == "RemoveExistingProducts" { r = $3 }
    $1 == "InstallInitialize" { i = $3 } END { exit !(v && r > v && r < i) }' || { echo "RemoveExistingProducts not between InstallValidate and InstallInitialize"; return 1; }
  rows "$msi" LaunchCondition | grep -q $'^Installed OR NOT WB_NEWER_FOUND\t' || { echo "no downgrade condition"; return 1; }
  if [[ $arch == x86 ]]; then
    rows "$msi" LaunchCondition | grep -q $'^Installed OR NOT WB_FULL_PRODUCT_FOUND\tWorkbench (32-bit and 64-bit) is installed on this PC. Install Workbench-[0-9.]*-x64[a-z-]*\.msi ' ||
      { echo "no condition against the x64 product"; return 1; }
  fi
}

# Registration is the Registry table alone: no SelfReg, no custom action, no
# Class, TypeLib or ProgID rows (ICE33 would ask for those; the DLL's own
# registration writes the same keys as these rows, so they stay rows).
check_no_code() {
  local msi=$1 t
  for t in SelfReg CustomAction Class TypeLib ProgId; do
    [[ -z $(rows "$msi" "$t") ]] || { echo "$t has rows"; return 1; }
  done
}

# ICE03: wixl writes no _Validation table, so the columns that matter are
# checked here against the installer's schema.
check_schema() {
  local msi=$1 line
  while IFS='=' read -r table want; do
    [[ $(types "$msi" "$table") == "$want" ]] || { echo "$table: $(types "$msi" "$table") (want $want)"; return 1; }
  done <<'SCHEMA'
Component=s72	S38	s72	i2	S255	S72
File=s72	s72	l255	i4	S72	S20	I2	i4
Registry=s72	i2	l255	L255	L0	s72
Upgrade=s38	S20	S20	S255	i4	S255	s72
Property=s72	l0
LaunchCondition=s255	l255
FeatureComponents=s38	s72
Directory=s72	S72	l255
SCHEMA
}

# ICE21 and ICE80: every component is in a feature; a 64-bit component
# (attribute 256) is in the x64 package alone, under Program Files, and a
# 32-bit one under Program Files (x86).
check_placement() {
  local msi=$1 arch=$2
  rows "$msi" Component | while IFS=$'\t' read -r id guid dir attributes rest; do
    rows "$msi" FeatureComponents | cut -f 2 | grep -qx "$id" || { echo "$id is in no feature"; exit 1; }
    parent=$(rows "$msi" Directory | awk -F '\t' -v d="$dir" '$1 == d { print $2 }')
    if (((attributes & 256) != 0)); then
      [[ $arch == x64 && $parent == ProgramFiles64Folder ]] || { echo "$id: 64-bit under $parent in $arch"; exit 1; }
    else
      [[ $parent == ProgramFilesFolder ]] || { echo "$id: 32-bit under $parent"; exit 1; }
    fi
  done
}
