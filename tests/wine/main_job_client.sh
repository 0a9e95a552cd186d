#!/usr/bin/env bash
# The main job, tools/main.sh, on this run's width, build, prefix and display
# (WB_MAIN_REUSE): every function id of the dispatch table shows what the
# suite saw and what the host got, the id outside the table reaches no
# component and succeeds, and the job exits 0; the replay of the store trace
# in tests/replay/ is the same as the store's. Run by suite_main_job.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/wine/lib/checks.sh"
ids=$(sed -n 's/^export k[A-Za-z]*=\([0-9]*\)$/\1/p' "$WB_BUILD/tests/wine/function_ids.sh")
out=$WB_WINE_TMP/main_job.txt
replay=$WB_WINE_TMP/main_job_replay.txt
rc=0 replay_rc=0
WB_MAIN_REUSE=1 bash "$root/tools/main.sh" --arch "$WB_ARCH" >"$out" 2>&1 || rc=$?
WB_MAIN_REUSE=1 bash "$root/tools/main.sh" --arch "$WB_ARCH" \
  --replay "$root/tests/replay/store-failing-report.jsonl" >"$replay" 2>&1 || replay_rc=$?
wb_plan $(($(grep -c . <<<"$ids") + 4))
wb_expect_eq "main.sh --arch $WB_ARCH exits 0" 0 "$rc"
# block ID: the job's lines for one id, from its "== DEVOVIZoruze ID:" line.
block() { awk -v id="$1:" '/^== DEVOVIZoruze / { on = $3 == id } on' "$out"; }
for id in $ids; do
  b=$(block "$id")
  [[ $b == *$'\nsuite saw:\n'* && $b == *$'\nhost got: '* ]]
  wb_report "$id: what the suite saw and what the host got" $? "${b:-no block}"
done
outside=$(sed -n 's/^== DEVOVIZoruze \([0-9]*\): .*/\1/p' "$out" | grep -vxF -f <(echo "$ids"))
b=$(block "${outside:-none}")
[[ $(grep -c . <<<"$outside") == 1 && $b != *"suite saw:"* && $b == *$'\nhost got: success'* ]]
wb_report "the id outside the table reaches no component" $? "ids ${outside:-none}: ${b:-no block}"
wb_expect_eq "main.sh --replay of the store trace exits 0" 0 "$replay_rc"
grep -q '^replay: the same [0-9]* events as the store' "$replay"
wb_report "the replay is the store's trace" $? "$(tail -n 3 "$replay")"
# The job's own output, shown as comments by the harness.
sed 's/^/main: /' "$out" "$replay"
wb_finish
