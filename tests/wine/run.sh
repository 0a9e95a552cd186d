#!/usr/bin/env bash
# Runs the Wine test suites (all, or those named) once per architecture, the
# 64-bit build first and then the 32-bit one (the product as shipped), in one
# WoW64 prefix. Prints each architecture's tally, `Wine checks (win64): N ok,
# M not ok`, and one closing line over both, `Wine checks: N ok, M not ok`
# (with `, K skipped` where this machine cannot run 32-bit programs: those
# suites are skipped, never passed). Exits non-zero when any check failed.
#   bash tests/wine/run.sh [suite...]
#   WB_ARCHES=win32 bash tests/wine/run.sh bridge    # one architecture only
# Each suite runs as many clients on each width as tests/wine/clients.txt
# says (a client skipped with wb_skip counts); any other number is a failure,
# and so is a suite that skips all of them on a width that runs (unless its
# reason in tests/wine/skip_reasons.txt may stand for a whole suite).
# Not `set -e`: a failing step is counted, and the closing line always comes.
set -uo pipefail
# WB_WINE_SUITES_FILE and WB_WINE_CLIENTS name other suites and counts (the
# harness's own rows, tests/wine/accounting_selftest.sh, run stubs).
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
source "${WB_WINE_SUITES_FILE:-$WB_ROOT/tests/wine/suites.sh}"
clients_file=${WB_WINE_CLIENTS:-$WB_ROOT/tests/wine/clients.txt}

missing=()
suites=("$@")
((${#suites[@]})) || suites=("${WB_WINE_SUITES[@]}")

# The committed count of clients of each suite on each width: a suite, or a
# client in it, that goes missing is a failure with its name, not a smaller
# total.
declare -A expected=()
counted=()
while read -r name win64 win32; do
  [[ -z $name || $name == \#* ]] && continue
  expected[$name:win64]=$win64 expected[$name:win32]=$win32
  counted+=("$name")
done <"$clients_file"
if (($# == 0)); then
  for name in "${counted[@]}"; do
    [[ " ${WB_WINE_SUITES[*]} " == *" $name "* ]] || missing+=("$name")
  done
fi
read -r -a arches <<<"${WB_ARCHES:-win64 win32}"
if ! wb_wine_start; then
  wb_fail "the Wine prefix could not be prepared"
  arches=()
fi
for name in "${missing[@]}"; do
  wb_fail "$name: a suite of tests/wine/clients.txt that the run does not list"
done
for arch in "${arches[@]}"; do
  wb_use_arch "$arch" || { wb_fail "no such architecture: $arch"; continue; }
  if ! reason=$(wb_arch_runnable "$arch"); then
    printf 'Wine checks (%s): %d suites skipped: %s\n' "$arch" "${#suites[@]}" "$reason"
    WB_WINE_SKIPPED=$((WB_WINE_SKIPPED + ${#suites[@]}))
    WB_SKIPS[no-32-bit]=$((${WB_SKIPS[no-32-bit]:-0} + ${#suites[@]}))
    continue
  fi
  passed=$WB_WINE_PASSED failed=$WB_WINE_FAILED skipped=$WB_WINE_SKIPPED
  for suite in "${suites[@]}"; do
    if ! declare -F "suite_$suite" >/dev/null; then
      wb_fail "no such suite: $suite"
      continue
    fi
    WB_SUITE_CLIENTS=0 WB_SUITE_RAN=0 WB_SUITE_WHOLE_SKIP=
    "suite_$suite"
    want=${expected[$suite:$arch]-}
    if [[ -z $want ]]; then
      wb_fail "$suite: no count of clients in tests/wine/clients.txt"
    elif ((WB_SUITE_CLIENTS != want)); then
      wb_fail "$suite: ran $WB_SUITE_CLIENTS clients, tests/wine/clients.txt says $want"
    elif ((want > 0 && WB_SUITE_RAN == 0)) && [[ -z $WB_SUITE_WHOLE_SKIP ]]; then
      wb_fail "$suite: every client skipped, on a width that runs here"
    else
      printf 'clients - %s/%s: %d, as expected\n' "$arch" "$suite" "$want"
    fi
  done
  printf 'Wine checks (%s): %d ok, %d not ok' "$arch" \
    $((WB_WINE_PASSED - passed)) $((WB_WINE_FAILED - failed))
  ((WB_WINE_SKIPPED == skipped)) || printf ', %d skipped' $((WB_WINE_SKIPPED - skipped))
  printf '\n'
done
wb_wine_summary
((WB_WINE_FAILED == 0))
