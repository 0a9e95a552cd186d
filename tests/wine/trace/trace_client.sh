#!/usr/bin/env bash
# The field trace of Workbench.dll under Wine: a host calls DEVOVIZoruze with
# the trace switched off, on through WORKBENCH_TRACE, on through the registry
# value, pointed at a file that cannot be opened or at a name that is refused,
# and with a size limit; the host must get the same answers each time, and
# the trace must say what the suite was asked and what came back. Prints a plan line and ok / not ok lines for the harness.
# Needs the harness's prefix and the registered DLLs (see suites.sh).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tmp=$WB_WINE_TMP/trace
mkdir -p "$tmp"
source "$here/../lib/checks.sh"
source "$WB_BUILD/tests/wine/function_ids.sh"
wb_plan 27
check() { wb_expect_eq "$@"; }  # check NAME WANT GOT
# Ids: the member lookup fails, the points scheme cannot be created, an id
# outside the table does nothing.
ids=("$kMemberLookup" "$kLoyaltyPlan" 1800501)
# host [ENV...]: the host's answers, with the given environment.
host() {
  local report=$tmp/report.txt
  rm -f "$report"
  env "$@" WB_SUITE_SCENARIO="$(wb_winpath "$here/failing.json")" \
    timeout -k 5 40 "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$here/host.vbs")" "${ids[@]}" \
    "$(wb_winpath "$report")" >/dev/null 2>&1
  [[ -f $report ]] && iconv -f UTF-16 -t UTF-8 "$report" | tr -d '\r'
}
reg() { timeout -k 5 20 "$WB_WINE_LOADER" reg "$@" >/dev/null 2>&1; }
# count FILE FILTER: the number of lines of the trace that match the jq
# FILTER; "unreadable" when the file is missing or a line is no JSON.
count() {
  local lines
  lines=$(jq -c "select($2)" "$1" 2>&1) || { echo unreadable; return; }
  grep -c . <<<"$lines"
}

reg delete 'HKCU\Software\Workbench' /f
plain=$(host -u WORKBENCH_TRACE)
check "the host got its answers" 3 "$(grep -c '^18' <<<"$plain")"
check "the member lookup's error reaches the host" \
  "$kMemberLookup: 1001|Finder.OneRecordPick|调用门店函数出错。原因：会员资料库无法连接|finder.chm|42" \
  "$(grep "^$kMemberLookup" <<<"$plain")"

# Off: no file anywhere the process could put one by itself: its working
# folder, the prefix (profile, temporary and system folders), beside the DLL.
rm -rf "$tmp/off" && mkdir -p "$tmp/off"
touch "$tmp/off.stamp"
(cd "$tmp/off" && host -u WORKBENCH_TRACE >/dev/null)
check "off: nothing is written" "$tmp/report.txt" \
  "$(find "$WINEPREFIX/drive_c" "$WB_DIST" "$tmp" -newer "$tmp/off.stamp" -type f)"

# On through the environment.
env_trace=$tmp/env.jsonl
rm -f "$env_trace"
check "on (environment): the host's answers are unchanged" "$plain" \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$env_trace")")"
# expect NAME COUNT FILTER: COUNT lines of the trace match the jq FILTER.
expect() { check "on (environment): $1" "$2" "$(count "$env_trace" "$3")"; }
expect "a line for each call entering the product" 3 \
  '.event=="host-enter" and .method=="DEVOVIZoruze"'
expect "the member lookup created" 1 '.event=="create" and .progid=="Finder.OneRecordPick"'
expect "its settings, with their kinds" 1 \
  '.event=="let" and .member=="ClassTypeID" and .args[0].type=="Long" and .args[0].value==1005001'
expect "the failing call with the component's error" 1 \
  '.event=="call" and .progid=="Finder.OneRecordPick" and .member=="Show" and .error.number==1001
   and .error.description=="会员资料库无法连接" and .error.helpfile=="finder.chm"
   and .error.helpcontext==42'
expect "the component released" 1 '.event=="release" and .progid=="Finder.OneRecordPick"'
expect "the creation that failed, with its error" 1 \
  '.event=="create-failed" and .progid=="Loyalty.CPlan" and .error.number==429'
expect "the host's outcome with all five fields" 1 \
  '.event=="host-leave" and .id=='"$kMemberLookup"' and .outcome=="error" and .error.number==1001
   and .error.source=="Finder.OneRecordPick"
   and .error.description=="调用门店函数出错。原因：会员资料库无法连接"
   and .error.helpfile=="finder.chm" and .error.helpcontext==42'
expect "an id outside the table leaves with success" 1 \
  '.event=="host-leave" and .id==1800501 and .outcome=="ok"'
lines=$(wc -l <"$env_trace")
expect "every line has its time with milliseconds, its process and thread" "$lines" \
  '(.time | test("^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}[.][0-9]{3}$"))
   and (.thread | type) == "number" and (.pid | type) == "number"'
host WORKBENCH_TRACE="$(wb_winpath "$env_trace")" >/dev/null
check "on (environment): a second run appends" "$((2 * lines))" "$(wc -l <"$env_trace")"

# On through the registry value, when the environment names no file.
reg_trace=$tmp/registry.jsonl
rm -f "$reg_trace"
reg add 'HKCU\Software\Workbench' /v TraceFile /t REG_SZ /d "$(wb_winpath "$reg_trace")" /f
check "on (registry): the host's answers are unchanged" "$plain" "$(host -u WORKBENCH_TRACE)"
check "on (registry): the trace was written there" 3 \
  "$(count "$reg_trace" '.event=="host-enter"')"
reg delete 'HKCU\Software\Workbench' /f

# A file that cannot be opened: the trace is off, the host sees nothing of it.
check "unopenable: the host's answers are unchanged" "$plain" \
  "$(host WORKBENCH_TRACE='Z:\no\such\folder\trace.jsonl')"
check "unopenable: a folder named as the file changes nothing either" "$plain" \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$tmp")")"

# Names that are no plain file on a local disk: refused before anything is
# opened, and the host sees no difference. Run in a folder of their own, so
# that a relative name would land there. (Devices and shares: Wine opens
# none of them anyway; trace/trace_test.cc has every kind of name.)
mkdir -p "$tmp/refused"
refused=('trace.jsonl' "$(wb_winpath "$tmp/refused/stream.jsonl"):hidden")
for name in "${refused[@]}"; do
  touch "$tmp/refused.stamp"
  got=$(cd "$tmp/refused" && host WORKBENCH_TRACE="$name")
  check "refused ($name): the host's answers are unchanged" "$plain" "$got"
  check "refused ($name): nothing is written" "" \
    "$(find "$tmp/refused" "$WINEPREFIX/drive_c" -newer "$tmp/refused.stamp" -type f)"
done

# The size limit: one last line says that the trace is full, and it stops.
limited=$tmp/limited.jsonl
rm -f "$limited"
check "limited: the host's answers are unchanged" "$plain" \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$limited")" WORKBENCH_TRACE_LIMIT=1500)"
check "limited: the last line says the trace is full, and nothing follows it" \
  "trace-full 1500" "$(tail -n 1 "$limited" | jq -r '"\(.event) \(.limit)"')"
check "limited: the file ends within its limit and that line" 1 \
  "$(($(head -n -1 "$limited" | wc -c) <= 1500))"

# The report passes the report component, created while the trace was on, to
# the viewer, created after it stopped: the limit falls between the two.
ids=("$kReport")
report_trace=$tmp/report.jsonl
rm -f "$report_trace"
host WORKBENCH_TRACE="$(wb_winpath "$report_trace")" >/dev/null
limit=$(awk '{bytes += length($0) + 1} /"event":"create".*Tabulate/ {print bytes + 1; exit}' \
  "$report_trace")
rm -f "$report_trace"
check "a trace that stops during the report: the report is shown" "$kReport: 0||||0" \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$report_trace")" WORKBENCH_TRACE_LIMIT="$limit")"
check "a trace that stops during the report: it stopped between the two components" \
  "create Tabulate.ClsTable|trace-full" \
  "$(jq -r 'select(.event=="create" or .event=="trace-full") | "\(.event) \(.progid // "")"' \
    "$report_trace" | sed 's/ $//' | paste -sd'|')"
wb_finish
