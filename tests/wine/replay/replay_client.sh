#!/usr/bin/env bash
# Store traces replayed under Wine (tools/main/replay.sh). Round trips: the
# main job's host under each scenario that the main job ships, traced,
# converted and replayed, gives the same trace event for event. The
# hand-made store trace in tests/replay/ replays as written. A trace with
# what cannot be replayed replays the rest and names each thing on a line of
# its own; with two processes in one file, --process picks one. Prints a plan
# line and ok / not ok lines for the harness.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
source "$here/../lib/checks.sh"
source "$WB_BUILD/tests/wine/function_ids.sh"
tmp=$WB_WINE_TMP/replay
mkdir -p "$tmp"
wb_plan 9
# replay NAME TRACE [PICK...]: replays into $tmp/NAME; its output in $tmp/NAME.txt.
replay() {
  local name=$1 trace=$2
  shift 2
  bash "$root/tools/main/replay.sh" replay "$trace" "$tmp/$name" "$@" >"$tmp/$name.txt" 2>&1
}
# same N: what a replay must end with, and no line of what cannot be replayed.
same() { echo "0 replay: the same $1 events as the store's trace, times, process and thread ids aside"; }
got() { echo "$(grep -c '^cannot replay: ' "$tmp/$1.txt") $(tail -n 1 "$tmp/$1.txt")"; }

for scenario in default right-refused failing-component english; do
  file=$root/tools/main/$scenario.json
  [[ -f $file ]] || file=
  bash "$root/tools/main/replay.sh" record "$tmp/$scenario.jsonl" $file >/dev/null 2>&1
  replay "$scenario" "$tmp/$scenario.jsonl"
  wb_expect_eq "round trip, $scenario: 6 host calls, every event the same" \
    "6 $(same "$(grep -c . "$tmp/$scenario.jsonl")")" \
    "$(grep -c '"host-enter"' "$tmp/$scenario.jsonl") $(got "$scenario")"
done

store=$root/tests/replay/store-failing-report.jsonl
replay store "$store"
wb_expect_eq "the hand-made store trace replays as written" "$(same 52)" "$(got store)"

# The store trace with a text cut at 256, a console session, a ProgID
# outside the suite's catalog, and a last call cut short.
at='{"time":"2026-11-27 18:50:00.000","pid":5120,"thread":5124,'
long=$(printf 'UserID=2207;%0244d' 0)
cat >"$tmp/inserted.jsonl" <<EOF2
$at"event":"host-enter","method":"ShowWorkbenchForm"}
$at"event":"create","progid":"ReceiptRoll.CReceiptRoll"}
$at"event":"release","progid":"ReceiptRoll.CReceiptRoll"}
$at"event":"host-leave","method":"ShowWorkbenchForm","outcome":"ok"}
$at"event":"host-enter","method":"DEVOVIZoruze","id":$kMemberLookup}
$at"event":"create","progid":"Vendor.Gadget"}
$at"event":"release","progid":"Vendor.Gadget"}
$at"event":"host-leave","method":"DEVOVIZoruze","id":$kMemberLookup,"outcome":"ok"}
EOF2
tr -d '\r' <"$store" | jq -c --arg v "$long" '
  if .member == "GetProperty" then .result = {type: "String", value: $v, length: 300}
  elif .member == "AccessCheck" then .args[0] = {type: "String", value: $v, length: 300, byref: false}
  else . end' | sed "5r $tmp/inserted.jsonl" >"$tmp/mixed.jsonl"
printf '%s\n%s' "$at\"event\":\"host-enter\",\"method\":\"DEVOVIZoruze\",\"id\":$kMemberLookup}" \
  "$at\"event\":\"create\",\"progid\":\"Finder.One" >>"$tmp/mixed.jsonl"
replay mixed "$tmp/mixed.jsonl"
wb_expect_eq "what cannot be replayed is left out, and the rest is the same" \
  "replay: the same 52 events as the store's trace, times, process and thread ids aside" \
  "$(tail -n 1 "$tmp/mixed.txt")"
named=
for what in "a console session" "outside the reference suite's catalog" "cut at 256 of 300" \
  "the trace ends inside DEVOVIZoruze($kMemberLookup)" "the last line is cut short"; do
  named+="$(grep '^cannot replay: ' "$tmp/mixed.txt" | grep -cF "$what")"
done
wb_expect_eq "each thing that cannot be replayed is named on one line" 11111 "$named"

# Two processes in one file: the replay asks for a pick, then replays it.
cat "$tmp/default.jsonl" "$tmp/english.jsonl" >"$tmp/two.jsonl"
replay two-unpicked "$tmp/two.jsonl"
rc=$?
wb_expect_eq "two processes: the replay lists them and asks for one" \
  "2 2 host calls from 2 threads of 2 processes; pick one" \
  "$rc $(grep -c "^  process [0-9]*, thread [0-9]*: .*, 6 host calls: DEVOVIZoruze $kBranchSetup" \
    "$tmp/two-unpicked.txt") $(grep -o 'host calls from 2 threads of 2 processes; pick one' "$tmp/two-unpicked.txt")"
replay two "$tmp/two.jsonl" --process "$(head -n 1 "$tmp/english.jsonl" | jq .pid)"
wb_expect_eq "two processes: --process replays the one picked" \
  "$(same "$(grep -c . "$tmp/english.jsonl")")" "$(got two)"
wb_finish
