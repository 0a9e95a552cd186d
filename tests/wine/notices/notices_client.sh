#!/usr/bin/env bash
# The notices that Workbench.dll shows, read back from the screen: for each
# case a host calls DEVOVIZoruze while noticewatch finds every message box,
# reads its title, text and icon and closes it. Prints a plan line and ok /
# not ok lines for the harness. Needs the harness's prefix, a display and the
# registered DLLs (see suites.sh).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
tmp=$WB_WINE_TMP/notices
mkdir -p "$tmp"
script=$tmp/host.vbs
cat "$root/tests/wine/lib/checks.vbs" "$here/host.vbs" >"$script"
source "$root/tests/wine/lib/checks.sh"
source "$WB_BUILD/tests/wine/function_ids.sh"
check() { wb_expect_eq "$@"; }  # check NAME WANT GOT

# run CASE SCENARIO ID WANT_NUMBER WANT_SOURCE WANT_NOTICES: three checks,
# the host's two (host.vbs) and the notices.
run() {
  local name=$1 scenario=$2 id=$3 number=$4 source=$5 want=$6
  local notices=$tmp/$name.txt stop=$tmp/$name.stop
  : >"$notices"
  rm -f "$stop"
  "$WB_WINE_LOADER" "$WB_BUILD/tests/wine/notices/noticewatch.exe" \
    "$(wb_winpath "$notices")" "$(wb_winpath "$stop")" 40000 &
  local watcher=$!
  local out
  out=$(WB_SUITE_SCENARIO=$(wb_winpath "$here/$scenario") \
    timeout -k 5 40 "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$script")" "$id" "$number" "$source" |
    tr -d '\r')
  touch "$stop"
  wait "$watcher"
  # The host's own checks, under this case's name: a host that stops early
  # reports fewer than planned here.
  while IFS= read -r line; do
    case $line in
      "ok - "*) wb_report "$name: ${line#ok - }" 0 ;;
      "not ok - "*) wb_report "$name: ${line#not ok - }" 1 "(the host's check)" ;;
    esac
  done <<<"$out"
  check "$name: notices shown" "$want" "$(cat "$notices")"
}

wb_plan 15
# A host without a window of its own: the box has no owner, and still comes
# to the front.
refused_chs=$'青禾提示\t您没有设置机构的权限!\texclamation\tfront'
refused_eng=$'Qinghe Notice\tYou have no right to set up branch offices!\texclamation\tfront'
run refused_chs right_refused.json "$kBranchSetup" 0 "" "$refused_chs"
run refused_eng right_refused_eng.json "$kBranchSetup" 0 "" "$refused_eng"
run granted default.json "$kBranchSetup" 0 "" ""
run report_ok default.json "$kReport" 0 "" ""
run report_error report_error.json "$kReport" 5 GetRptByID ""
wb_finish
