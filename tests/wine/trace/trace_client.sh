#!/usr/bin/env bash
# The field trace of Workbench.dll under Wine: a host calls DEVOVIZoruze with
# the trace switched off, on through WORKBENCH_TRACE, on through the registry
# value, pointed at a file that cannot be opened or at a name that is refused,
# with a size limit, and set or forbidden by the policies; the host must get the same answers each time, and
# the trace must say what the suite was asked and what came back. Prints a plan line and ok / not ok lines for the harness.
# Needs the harness's prefix and the registered DLLs (see suites.sh).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tmp=$WB_WINE_TMP/trace
mkdir -p "$tmp"
source "$here/../lib/checks.sh"
source "$WB_BUILD/tests/wine/function_ids.sh"
wb_plan 40
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

# The path as the system reaches it: a link in the middle of it (a junction
# or a symbolic link; Wine shows both as a Unix symbolic link) is refused, and
# nothing lands where it leads; the same folder named in another case and
# with forward slashes is the same path, and traced to.
rm -rf "$tmp/protected" "$tmp/linked" && mkdir -p "$tmp/protected" && ln -s protected "$tmp/linked"
check "a link in the middle: the host's answers are unchanged, nothing is written there" \
  "$plain|" "$(host WORKBENCH_TRACE="$(wb_winpath "$tmp")\linked\trace.jsonl")|$(ls "$tmp/protected")"
check "the same folder in another case and with forward slashes: traced to" 3 \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$tmp/protected" | tr 'a-z\\' 'A-Z/')/trace.jsonl" >/dev/null
     count "$tmp/protected/trace.jsonl" '.event=="host-enter"')"

# A file that another user owns is not the user's trace. (Wine keeps no owner
# of its own: a file of another Unix user reads as ANONYMOUS LOGON's.)
owned=$tmp/owned.jsonl
rm -f "$owned" && : >"$owned" && chmod 666 "$owned" && chown 65534 "$owned"
check "a file that another user owns: the host's answers are unchanged, it is not written" \
  "$plain|0" "$(host WORKBENCH_TRACE="$(wb_winpath "$owned")")|$(stat -c %s "$owned")"

# The size limit: one last line says that the trace is full, and it stops.
limited=$tmp/limited.jsonl
rm -f "$limited"
check "limited: the host's answers are unchanged" "$plain" \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$limited")" WORKBENCH_TRACE_LIMIT=1500)"
check "limited: the last line says the trace is full, and nothing follows it" \
  "trace-full 1500" "$(tail -n 1 "$limited" | jq -r '"\(.event) \(.limit)"')"
check "limited: the file ends within its limit and that line" 1 \
  "$(($(head -n -1 "$limited" | wc -c) <= 1500))"

# Policies: the machine's and the user's decide before the environment and
# the user's value, each width in its own registry view. The machine's is
# written by the other width's reg.exe, as the 64-bit Group Policy client
# writes it under a 32-bit front-end: Software\Policies is shared.
machine='HKLM\Software\Policies\Workbench' user_policy='HKCU\Software\Policies\Workbench'
settings='HKCU\Software\Workbench'
other_reg() { timeout -k 5 20 "$WB_OTHER_LOADER" reg "$@" >/dev/null 2>&1; }
no_policies() { other_reg delete "$machine" /f; reg delete "$machine" /f; reg delete "$user_policy" /f; }
trap 'no_policies; reg delete "$settings" /f' EXIT
# hosts FILE...: the host-enter lines of each trace file ("none": no file).
hosts() {
  local f
  for f in "$@"; do [[ -f $f ]] && count "$f" '.event=="host-enter"' || echo none; done | paste -sd' '
}
# fresh: the files written since the stamp, besides the host's report.
fresh() { find "$tmp" "$WINEPREFIX/drive_c" -newer "$tmp/policy.stamp" -type f ! -name report.txt; }
pm=$tmp/policy-machine.jsonl pu=$tmp/policy-user.jsonl pe=$tmp/policy-env.jsonl
ps=$tmp/policy-settings.jsonl
rm -f "$pm" "$pu" "$pe" "$ps"
reg add "$settings" /v TraceFile /t REG_SZ /d "$(wb_winpath "$ps")" /f
other_reg add "$machine" /v TraceFile /t REG_SZ /d "$(wb_winpath "$pm")" /f
reg add "$user_policy" /v TraceFile /t REG_SZ /d "$(wb_winpath "$pu")" /f
check "policy (machine): the host's answers are unchanged" "$plain" \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$pe")")"
check "policy (machine): its file wins over the user's policy, the environment and the user's value" \
  "3 none none none" "$(hosts "$pm" "$pu" "$pe" "$ps")"
no_policies && rm -f "$pm"
reg add "$user_policy" /v TraceFile /t REG_SZ /d "$(wb_winpath "$pu")" /f
host WORKBENCH_TRACE="$(wb_winpath "$pe")" >/dev/null
check "policy (user): its file wins over the environment and the user's value" "3 none none" \
  "$(hosts "$pu" "$pe" "$ps")"
no_policies && rm -f "$pu"
check "policy removed: the next process traces to the user's value again" "3 none" \
  "$(host -u WORKBENCH_TRACE >/dev/null; hosts "$ps" "$pu")"

# TraceAllowed=0 forbids, whatever else is set: no file is made, and a torn
# file that a trace would end with a line end first is left as it was.
for key in machine user_policy; do
  printf '{"torn' >"$pe"
  rm -f "$pm" "$pu" "$ps"
  write=reg && [[ $key == machine ]] && write=other_reg
  $write add "${!key}" /v TraceAllowed /t REG_DWORD /d 0 /f
  $write add "${!key}" /v TraceFile /t REG_SZ /d "$(wb_winpath "$pm")" /f
  touch "$tmp/policy.stamp"
  got=$(host WORKBENCH_TRACE="$(wb_winpath "$pe")")
  check "TraceAllowed=0 (${key%_policy} policy): the host's answers are unchanged, nothing is written" \
    "$plain|" "$got|$(fresh)"
  no_policies
done
reg delete "$settings" /f

# A per-user path: expanded in the process, its missing last folder made.
local_app=$("$WB_WINE_LOADER" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
local_unix=$("$WB_WINE_LOADER" winepath -u "$local_app" 2>/dev/null)
rm -rf "$local_unix/Workbench"
reg add "$user_policy" /v TraceFile /t REG_EXPAND_SZ /d '%LOCALAPPDATA%\Workbench\trace.jsonl' /f
host -u WORKBENCH_TRACE >/dev/null
check "policy (expandable): the trace lands in %LOCALAPPDATA%\\Workbench, made for it" "3" \
  "$(hosts "$local_unix/Workbench/trace.jsonl")"
rm -rf "$local_unix/Workbench"
# Expanded to a share or a device: refused before any folder is made, and the
# environment's file is not used in its place.
for name in '%WB_TRACE_SHARE%\trace.jsonl' '%LOCALAPPDATA%\Workbench\com1.jsonl'; do
  rm -f "$pe"
  reg add "$user_policy" /v TraceFile /t REG_EXPAND_SZ /d "$name" /f
  touch "$tmp/policy.stamp"
  got=$(host WB_TRACE_SHARE='\\wbserver\share' WORKBENCH_TRACE="$(wb_winpath "$pe")")
  check "policy (expanded, refused: $name): the host's answers are unchanged, nothing is written" \
    "$plain||no folder" "$got|$(fresh)|$([[ -e $local_unix/Workbench ]] || echo no folder)"
done
no_policies

# The limit: a policy's wins over the user's.
rm -f "$ps"
reg add "$settings" /v TraceFile /t REG_SZ /d "$(wb_winpath "$ps")" /f
reg add "$settings" /v TraceLimit /t REG_SZ /d 1000000 /f
reg add "$machine" /v TraceLimit /t REG_DWORD /d 1500 /f
host -u WORKBENCH_TRACE >/dev/null
check "policy (limit): the machine's limit wins over the user's" "trace-full 1500" \
  "$(tail -n 1 "$ps" | jq -r '"\(.event) \(.limit)"')"
no_policies
reg delete "$settings" /f

# The report passes the report component, created while the trace was on, to
# the viewer, created after it stopped: the limit falls between the two.
ids=("$kReport")
report_trace=$tmp/report.jsonl
rm -f "$report_trace"
host WORKBENCH_TRACE="$(wb_winpath "$report_trace")" >/dev/null
# Half way into the line after the component's: every line carries the pid and
# thread id, whose digits may differ in the next process (999 to 1000).
limit=$(LC_ALL=C awk '{bytes += length($0) + 1}
  found {print bytes - int((length($0) + 1) / 2); exit}
  /"event":"create".*Tabulate/ {found = 1}' "$report_trace")
rm -f "$report_trace"
check "a trace that stops during the report: the report is shown" "$kReport: 0||||0" \
  "$(host WORKBENCH_TRACE="$(wb_winpath "$report_trace")" WORKBENCH_TRACE_LIMIT="$limit")"
check "a trace that stops during the report: it stopped between the two components" \
  "create Tabulate.ClsTable|trace-full" \
  "$(jq -r 'select(.event=="create" or .event=="trace-full") | "\(.event) \(.progid // "")"' \
    "$report_trace" | sed 's/ $//' | paste -sd'|')"
wb_finish
