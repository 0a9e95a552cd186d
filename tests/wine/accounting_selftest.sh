#!/usr/bin/env bash
# The run's own accounting: tests/wine/run.sh and the harness as they are, on
# stub suites of bash clients, with no Wine. A sound stub passes; each way a
# suite or a client can go wrong without a failing check of its own must
# fail the run, on the harness's line that says what went wrong. Reports as
# a client; tools/test.sh counts it on every machine.
#   bash tests/wine/accounting_selftest.sh
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/lib/checks.sh"
tmp=$(mktemp -d)
trap 'rm -rf -- "$tmp"' EXIT
printf 'partial  part  a limit of some clients\nwidth  suite  a limit of every client\n' \
  >"$tmp/reasons.txt"
ok2='wb_run_client c bash -c "echo 1..2; echo ok - one; echo ok - two"'

# row NAME WANT COUNTS BODY: run.sh over the suite `stub`, whose function is
# BODY, with COUNTS as its clients.txt, on win64. WANT is `fail:TEXT`, the
# harness's failure line that the run must have and exit non-zero, or
# `pass:LINES`, lines (parted by \n) of a run that must pass.
row() {
  local name=$1 want=$2 shown=${2#*:} out rc=0 status
  printf 'WB_WINE_SUITES=(stub)\nsuite_stub() {\n%s\n}\n' "$4" >"$tmp/$name.sh"
  printf '%b\n' "$3" >"$tmp/$name.txt"
  out=$(WB_WITHOUT_WINE=1 WB_ARCHES=win64 WB_WINE_SUITES_FILE=$tmp/$name.sh \
    WB_WINE_CLIENTS=$tmp/$name.txt WB_SKIP_REASONS=$tmp/reasons.txt bash "$here/run.sh" 2>&1) || rc=$?
  sed 's/^/#   /' <<<"$out"
  case $want in
    pass:*)
      local line missing=0
      while IFS= read -r line; do
        grep -qxF -- "$line" <<<"$out" || missing=1
      done < <(printf '%b\n' "${want#pass:}")
      ((rc == 0 && missing == 0)) ;;
    fail:*) ((rc != 0)) && grep -qxF -- "not ok - win64/${want#fail:}" <<<"$out" ;;
  esac
  status=$?
  wb_report "$name: ${shown//\\n/, }" "$status" "exit $rc, see above"
}

wb_plan 10
row sound 'pass:skipped for partial: 1\nWine checks: 2 ok, 0 not ok, 1 skipped' 'stub 2 0' \
  "$ok2; wb_skip lacking partial 'not on this machine' 1"
# What a whole width lacks may stand for every client of a suite.
row whole_suite 'pass:skipped for width: 1\nWine checks: 0 ok, 0 not ok, 1 skipped' 'stub 1 0' \
  "wb_skip all width 'the other width cannot run here' 1"
row missing_suite 'fail:gone: a suite of tests/wine/clients.txt that the run does not list' \
  'stub 1 0\ngone 1 1' "$ok2"
row another_number 'fail:stub: ran 1 clients, tests/wine/clients.txt says 2' 'stub 2 0' "$ok2"
row plan_of_zero 'fail:c: planned no checks' 'stub 1 0' 'wb_run_client c bash -c "echo 1..0"'
row same_check_twice 'fail:c: reported the check "one" twice' 'stub 1 0' \
  'wb_run_client c bash -c "echo 1..2; echo ok - one; echo ok - one"'
row only_skips 'fail:stub: every client skipped, on a width that runs here' 'stub 1 0' \
  "wb_skip lacking partial 'not on this machine' 1"
row reason_not_accepted \
  "fail:lacking: skipped for flaky, which is no reason of reasons.txt: it fails at times" \
  'stub 2 0' "$ok2; wb_skip lacking flaky 'it fails at times' 1"
row exits_before_its_plan 'fail:c: planned 3 checks, reported 1' 'stub 1 0' \
  'wb_run_client c bash -c "echo 1..3; echo ok - one; exit 0"'
row crash_after_last_check 'fail:c: exited with 139 but reported no failure' 'stub 1 0' \
  'wb_run_client c bash -c "echo 1..1; echo ok - one; kill -SEGV \$\$"'
wb_finish
