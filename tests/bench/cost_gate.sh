#!/usr/bin/env bash
# The cost gate: Workbench's own instructions per call on each gated path,
# the path's count less the floor of the component calls it must make, both
# counted by callgrind (the same binary gives the same count to a few
# instructions, whatever else the machine does), held to the committed
# budgets below. A path fails when its own count passes its budget by more
# than 10 % or 100 instructions, whichever is larger. The ratio of the two
# counts is printed as a measurement, `# measurement: ...`; it does not gate.
# Prints each path as a check, `ok - ` or `not ok - `, after its plan; exits
# with the failures. Needs the bench preset's dispatch_bench. The budgets and
# the figures they come from: docs/performance.md.
#   bash tests/bench/cost_gate.sh [BINARY]
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
binary=${1:-build/bench/tests/bench/dispatch_bench}
source "$here/../wine/lib/checks.sh"

# count BENCHMARK: its instructions per iteration (each iteration clears the
# suite's journal once).
count() {
  bash "$here/marginal_ir.sh" "$1" 'ClearJournal(' "$binary" | sed -n 's/.*: \([0-9]*\) instructions.*/\1/p'
}

# Each benchmark is counted once (the member lookup's floor serves twice).
declare -A counts=()

# path NAME BUDGET BENCHMARK FLOOR: Workbench's own instructions a call on
# the path, BENCHMARK's less FLOOR's, within BUDGET and its margin.
path() {
  local name=$1 budget=$2 ours floor
  local margin=$((budget / 10 > 100 ? budget / 10 : 100))
  local check="$name: Workbench's own instructions within $budget + $margin"
  [[ -n ${counts[$3]-} ]] || counts[$3]=$(count "$3")
  [[ -n ${counts[$4]-} ]] || counts[$4]=$(count "$4")
  ours=${counts[$3]} floor=${counts[$4]}
  if [[ -z $ours || -z $floor ]]; then
    wb_report "$check" 1 "no count ($3: '$ours', $4: '$floor')"
    return
  fi
  local own=$((ours - floor))
  echo "# measurement: $name: $ours against $floor ($3 / $4), own $own, ratio" \
    "$(awk -v a="$ours" -v b="$floor" 'BEGIN { printf "%.4f", a / b }')"
  ((own <= budget + margin))
  wb_report "$check" $? "$own own instructions, $((own - budget)) over the budget"
}

wb_plan 4
# The dispatch, the launcher and the error trap around create, three
# assignments, Show and release.
path "DEVOVIZoruze(kMemberLookup)" 180 BM_MemberLookupDispatch BM_MemberLookupFloor
# The same raising, the prefix and the description translated into ENG on
# the cached components, and the error raised again to the host.
path "DEVOVIZoruze(kLoyaltyPlan) failing in ENG" 86000 BM_TranslatedFailure BM_TranslatedFailureFloor
# A translation on the cached components: two property reads and a lookup.
path "TranslateText, plain text in ENG" 2400 BM_TranslatePlain BM_TranslatePlainFloor
# The member lookup with the field trace on, to a file: six lines written.
path "DEVOVIZoruze(kMemberLookup) traced" 126000 BM_MemberLookupDispatchTraced BM_MemberLookupFloor
wb_finish
