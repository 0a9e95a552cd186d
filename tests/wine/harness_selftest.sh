#!/usr/bin/env bash
# The harness's count: scripts that go wrong in the ways a client can, run
# through wb_run_vbs / wb_run_js with counts of their own; each must add
# exactly its own failures and the harness's one, saying what went wrong.
# Needs the harness's prefix (run by suite_harness, with WB_WINE_TMP).
set -u
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
source "$WB_ROOT/tests/wine/lib/checks.sh"
tmp=$WB_WINE_TMP/selftest
mkdir -p "$tmp"
WB_WINE_TMP=$tmp

# row NAME EXT FAILURES PROBLEM BODY: the script BODY must cost FAILURES, one
# of them the harness's own "NAME: PROBLEM".
row() {
  local name=$1 ext=$2 failures=$3 problem=$4 out
  printf '%s\n' "$5" >"$tmp/body_$name.$ext"
  out=$(WB_WINE_PASSED=0 WB_WINE_FAILED=0
    "wb_run_$ext" "$name" "$tmp/body_$name.$ext"
    echo "failures: $WB_WINE_FAILED")
  sed 's/^/  /' <<<"$out"
  [[ $out == *"not ok - $WB_ARCH/$name: $problem"* && $out == *"failures: $failures" ]]
  wb_report "$name: counted as $failures failures, one for \"$problem\"" $? "see above"
}

# client_row NAME FAILURES PROBLEM SCRIPT: the same for a bash client.
client_row() {
  local name=$1 failures=$2 problem=$3 out
  printf '%s\n' "$4" >"$tmp/body_$name.sh"
  out=$(WB_WINE_PASSED=0 WB_WINE_FAILED=0 WB_CLIENT_TIMEOUT=3
    wb_run_client "$name" bash "$tmp/body_$name.sh"
    echo "failures: $WB_WINE_FAILED")
  sed 's/^/  /' <<<"$out"
  [[ $out == *"not ok - $WB_ARCH/$name: $problem"* && $out == *"failures: $failures" ]]
  wb_report "$name: counted as $failures failures, one for \"$problem\"" $? "see above"
}

wb_plan 9
row stops_halfway vbs 1 "planned 3 checks, reported 1" 'Plan 3
Report "before", True, ""
On Error GoTo 0
Err.Raise 5
Report "after", True, ""
Report "last", True, ""
Finish'
row skips_a_block js 1 "planned 3 checks, reported 1" 'plan(3);
function block(ready) {
  if (!ready) return;
  report("in the block", true, "");
  report("also in the block", true, "");
}
report("before", true, "");
block(false);
finish();'
row plan_at_the_end vbs 1 "printed its plan line after a check, or twice" 'Report "one", True, ""
Plan 1
Finish'
row no_plan js 1 "ended without its plan line (exit 0)" 'report("one", true, "");
finish();'
row one_more_than_planned vbs 1 "planned 1 checks, reported 2" 'Plan 1
Report "one", True, ""
Report "two", True, ""
Finish'
row failing_check_stops js 2 "planned 2 checks, reported 1" 'plan(2);
report("fails", false, "on purpose");
null.member;
report("never", true, "");'
client_row exits_without_failing 1 "exited with 3 but reported no failure" 'echo 1..1
echo "ok - fine"
exit 3'
# A client that hangs is stopped, and what it started goes with it.
client_row times_out 1 "timed out after 3s" "echo 1..1
sleep 300 &
echo \$! >'$tmp/child.pid'
sleep 300"
sleep 0.5
# Gone, or a zombie that nothing waits for any more.
! ps -o stat= -p "$(cat "$tmp/child.pid")" | grep -qv '^Z'
wb_report "times_out: the client's own child was stopped with it" $? "pid $(cat "$tmp/child.pid") lives"
wb_finish
