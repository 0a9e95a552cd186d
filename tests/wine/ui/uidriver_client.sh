#!/usr/bin/env bash
# A Wine client: one console host process (console_client.exe --host, over
# the registered reference suite), driven from other processes by
# uidriver.exe. Prints a plan and ok / not ok lines like any client. Run by tests/wine/ui/suite.sh,
# which sets WB_WINE_LOADER, WB_CONSOLE_UI and WB_WINE_TMP. The menu bar is
# read by console_client in process: under Wine another process cannot.
set -uo pipefail

host_out=$WB_WINE_TMP/console-host.out
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"
check() { wb_report "$@"; }  # check NAME CONDITION-STATUS DETAILS
# drive COMMAND...: uidriver's output; its status is uidriver's.
drive() {
  timeout 30 "$WB_WINE_LOADER" "$WB_CONSOLE_UI/uidriver.exe" \
    wait-window WorkbenchConsole '*' 10000 "$@" 2>&1 | tr -d '\r'
}
wb_plan 6
timeout 60 "$WB_WINE_LOADER" "$WB_CONSOLE_UI/console_client.exe" --host >"$host_out" 2>&1 &
host=$!

out=$(drive menu-sync 2 menu-sync 9 log-text)
[[ $out == *"You click: mnuVIP"$'\t'*"You click: mnuOther_Bill"$'\t'* ]]
check "menu commands log their clicks, read by WM_GETTEXT" $? "$out"
out=$(drive menu 11 notice-close 10000)
[[ $out == *"title: 青禾提示"*"text: 日结完成"* ]]
check "the day-end's notice is read and closed" $? "$out"
out=$(drive resize 700 400 rect)
[[ $out == "3 3 693 393" ]]
check "the log box follows a resize (96 dpi)" $? "$out"
out=$(drive resize 600 5 rect)
[[ $out == "3 3 593 0" ]]
check "an inner area under 100 twips leaves the log box no height" $? "$out"
out=$(drive menu 6 wait-gone 10000)
check "the exit tool closes the window" $? "uidriver: $out"
rc=0
wait "$host" || rc=$?
[[ $rc == 0 ]] && grep -q "^ok - ShowWorkbenchForm returns" "$host_out"
check "the host's ShowWorkbenchForm returns, and the host exits with 0" $? \
  "exit $rc: $(tr -d '\r' <"$host_out")"
wb_finish
