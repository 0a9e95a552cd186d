#!/usr/bin/env bash
# Instructions per iteration of one benchmark, counted by callgrind: the
# difference between a short and a longer run, divided by the difference in
# the number of calls of FUNCTION (called once an iteration), so that the
# set-up and Google Benchmark's trial runs cancel out. The same binary gives
# the same count to a few instructions.
#   bash tests/bench/marginal_ir.sh BENCHMARK FUNCTION [BINARY]
#   bash tests/bench/marginal_ir.sh BM_MemberLookupDispatch 'wb::entry::DEVOVIZoruze(int)'
#   bash tests/bench/marginal_ir.sh BM_MemberLookupFloor 'wb::CreateObject('
set -euo pipefail
benchmark=$1 function=$2
binary=${3:-build/bench/tests/bench/dispatch_bench}
out=$(mktemp)
trap 'rm -f -- "$out"' EXIT

# run SECONDS: "<calls of FUNCTION> <instructions of the whole run>"
run() {
  valgrind --tool=callgrind --compress-strings=no --callgrind-out-file="$out" "$binary" \
    --benchmark_filter="^$benchmark\$" --benchmark_min_time="$1" >/dev/null 2>&1
  local calls instructions
  calls=$(awk -v want="$function" '
    /^cfn=/ { id = $0; sub(/^cfn=/, "", id); sub(/\).*/, ")", id)
              name = $0; sub(/^cfn=\([0-9]+\) ?/, "", name)
              if (name != "") names[id] = name
              current = index(names[id], want) > 0; next }
    /^calls=/ { if (current) { split($0, a, /[= ]/); n += a[2] } current = 0 }
    END { print n + 0 }' "$out")
  # The program's total: an inclusive count of the benchmark's body is wrong
  # once an exception unwinds through it (callgrind then loses the frames).
  instructions=$(sed -n 's/^summary: \([0-9]*\).*/\1/p' "$out")
  echo "$calls $instructions"
}
read -r calls1 ir1 < <(run 0.1)
read -r calls2 ir2 < <(run 0.4)
((calls2 > calls1)) || { echo "marginal_ir: no more calls in the longer run" >&2; exit 1; }
echo "$benchmark: $(((ir2 - ir1) / (calls2 - calls1))) instructions per iteration ($calls1 and $calls2 calls)"
