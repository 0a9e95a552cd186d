#!/usr/bin/env bash
# The cost gate: Workbench's own instructions per call, as a ratio to the
# floor of the component calls it must make, counted by callgrind (the same
# binary gives the same count to a few instructions, whatever else the
# machine does) and held to the committed limits below. Prints each pair as
# a check, `ok - ` or `not ok - `, after its plan; exits with the failures.
# Needs the bench preset's dispatch_bench.
#   bash tests/bench/cost_gate.sh [BINARY]
set -uo pipefail
here=$(dirname "${BASH_SOURCE[0]}")
binary=${1:-build/bench/tests/bench/dispatch_bench}
source "$here/../wine/lib/checks.sh"

# pair NAME LIMIT BENCHMARK FLOOR: the two benchmarks' instructions per
# iteration (each iteration clears the suite's journal once) and their ratio.
pair() {
  local name=$1 limit=$2 ours floor
  ours=$(bash "$here/marginal_ir.sh" "$3" 'ClearJournal(' "$binary" | sed -n 's/.*: \([0-9]*\) instructions.*/\1/p')
  floor=$(bash "$here/marginal_ir.sh" "$4" 'ClearJournal(' "$binary" | sed -n 's/.*: \([0-9]*\) instructions.*/\1/p')
  if [[ -z $ours || -z $floor ]]; then
    wb_report "$name: within $limit of its floor" 1 "no count ($3: '$ours', $4: '$floor')"
    return
  fi
  local ratio
  ratio=$(awk -v a="$ours" -v b="$floor" 'BEGIN { printf "%.4f", a / b }')
  awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r <= l) }'
  wb_report "$name: $ours instructions against $floor, ratio $ratio, within $limit" $? \
    "over the limit"
}

wb_plan 2
# The member lookup: the dispatch, the right check and the component calls
# against those calls alone (measured 1.0007 to 1.0015).
pair "DEVOVIZoruze(kMemberLookup)" 1.005 BM_MemberLookupDispatch BM_MemberLookupFloor
# A translation with the components cached against its three calls.
pair "TranslateText, plain text in ENG" 1.050 BM_TranslatePlain BM_TranslatePlainFloor
wb_finish
