#!/usr/bin/env bash
# Runs the Wine test suites (all, or those named) against the win64 build and
# prints one closing line: `Wine checks: N ok, M not ok`. Exits non-zero when
# any check failed.
#   bash tests/wine/run.sh [suite...]
# Not `set -e`: a failing step is counted, and the closing line always comes.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"
source "$WB_ROOT/tests/wine/suites.sh"

suites=("$@")
((${#suites[@]})) || suites=("${WB_WINE_SUITES[@]}")
if ! wb_wine_start; then
  wb_fail "the Wine prefix could not be prepared"
  suites=()
fi
for suite in "${suites[@]}"; do
  if ! declare -F "suite_$suite" >/dev/null; then
    wb_fail "no such suite: $suite"
    continue
  fi
  "suite_$suite"
done
wb_wine_summary
((WB_WINE_FAILED == 0))
