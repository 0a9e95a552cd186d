#!/usr/bin/env bash
# Runs one example host and checks what it printed against a transcript, line
# by line, its exit code, and that Wine's crash handler stayed silent; with
# --journal, also the reference suite's journal of the run (event, ProgID and
# member of each entry) against a second transcript.
#   check_host.sh LABEL EXPECTED.txt EXIT [--journal JOURNAL.jsonl EXPECTED.txt] -- COMMAND...
# Prints the plan and `ok - ` / `not ok - ` lines; exits with the failures.
set -u
label=$1
expected=$2
want_exit=$3
shift 3
journal='' journal_expected=''
if [[ $1 == --journal ]]; then
  journal=$2
  journal_expected=$3
  shift 3
fi
[[ $1 == -- ]] && shift
source "$(dirname "${BASH_SOURCE[0]}")/../lib/checks.sh"
# The transcripts write a function id by its name in entry/dispatch.h
# (kMemberLookup); the build's function_ids.sh gives the numbers.
ids=$(sed -n 's/^export \(k[A-Za-z]*\)=\([0-9]*\)$/s|\1|\2|g;/p' "$WB_BUILD/tests/wine/function_ids.sh")
WB_CHECK_LABEL=$label
check() { wb_expect "$@"; }  # check NAME DETAILS CONDITION...

# compare WHAT ACTUAL_FILE EXPECTED_FILE: one check per expected line, one
# for anything after them.
compare() {
  local what=$1 actual=$2 want=$3 n=0 line got
  local -a lines
  mapfile -t lines <"$actual"
  while IFS= read -r line; do
    got=${lines[n]-<nothing>}
    n=$((n + 1))
    check "$what line $n: $line" "got \"$got\"" test "$got" = "$line"
  done < <(sed "$ids" "$want")
  check "$what has nothing more" "$((${#lines[@]} - n)) more lines: ${lines[*]:n:3}" \
    test "${#lines[@]}" -le "$n"
}

# The exit code and the crash handler's silence, then each transcript's
# lines and one more check each.
planned=$(($(wc -l <"$expected") + 3))
[[ -z $journal ]] || planned=$((planned + $(wc -l <"$journal_expected") + 1))
wb_plan "$planned"
out=$(mktemp)
trap 'rm -f -- "$out" "$out.raw" "$out.err" "$out.journal"' EXIT
rc=0
"$@" >"$out.raw" 2>"$out.err" || rc=$?
tr -d '\r' <"$out.raw" >"$out"
check "exit code $want_exit" "got $rc" test "$rc" = "$want_exit"
crash='Unhandled exception|Unhandled page fault|wine: Unhandled|Backtrace:'
silent() { ! grep -q -E "$crash" "$1"; }
check "no crash" "$(grep -m 3 -E "$crash" "$out.err" | tr '\n' ' ')" silent "$out.err"
compare "output" "$out" "$expected"
if [[ -n $journal ]]; then
  jq -r '[.event, .progid, .member // empty] | join(" ")' "$journal" >"$out.journal" 2>&1
  compare "journal" "$out.journal" "$journal_expected"
fi

wb_finish
