#!/usr/bin/env bash
# Store traces replayed under Wine (tools/main/replay.sh). Round trips: the
# main job's host under each scenario that the main job ships, traced,
# converted and replayed, gives the same trace event for event. The
# hand-made store trace in tests/replay/ replays as written. A trace with
# what cannot be replayed replays the rest and names each thing on a line of
# its own; with two processes in one file, --process picks one. A trace that
# forges a verdict is found to differ, on a clean terminal. With the 64-bit
# pass only, the native converter alone: it never writes over its input,
# says when it cannot write, reads a pipe once, and stays within 256 MB of
# address space on a trace of gigabytes. Prints a plan line and ok / not ok
# lines for the harness.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
source "$here/../lib/checks.sh"
source "$WB_BUILD/tests/wine/function_ids.sh"
tmp=$WB_WINE_TMP/replay
mkdir -p "$tmp"
native=0
[[ $WB_ARCH == win64 ]] && native=5
wb_plan $((10 + native))
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

# A description that holds a verdict line and the codes that clear a
# terminal, and an hresult of the same.
fake="replay: the same 52 events as the store's trace, times, process and thread ids aside"
tr -d '\r' <"$store" | jq -c --arg fake "$fake" '
  if .event == "host-leave" and .error then .error.description += "\u001b[2J\n" + $fake else . end' \
  >"$tmp/forged.jsonl"
echo "${at}\"event\":\"host-refused\",\"method\":\"DEVOVIZoruze\",\"hresult\":\"0x1\\u001b[2J\\n$fake\"}" \
  >>"$tmp/forged.jsonl"
replay forged "$tmp/forged.jsonl"
rc=$?
wb_expect_eq "a forged verdict: the replay differs, and nothing shown is a control code" \
  "1 0 0 replay: differs" \
  "$rc $(grep -c '[[:cntrl:]]' "$tmp/forged.txt") $(grep -c '^replay: the same' "$tmp/forged.txt") $(tail -n 1 "$tmp/forged.txt" | cut -c1-15)"

if ((native)); then
  bash "$root/tools/trace-to-scenario" --help >/dev/null
  convert=$root/build/native/tools/replay/trace-to-scenario
  # The trace, under its own name and through a link, named as an output:
  # refused, the trace as it was. So is a trace where the replay writes.
  mkdir -p "$tmp/work"
  cp "$store" "$tmp/work/store.jsonl"
  ln -sf store.jsonl "$tmp/work/link.jsonl"
  sum=$(md5sum <"$store")
  "$convert" --expect "$tmp/work/store.jsonl" "$tmp/work/store.jsonl" "$tmp/work/x.json" 2>/dev/null
  refused="$? "
  "$convert" --plan "$tmp/work/link.jsonl" "$tmp/work/store.jsonl" 2>/dev/null
  refused+="$? "
  bash "$root/tools/main/replay.sh" replay "$tmp/work/link.jsonl" "$tmp/work" >/dev/null 2>&1
  refused+="$? $(md5sum <"$tmp/work/store.jsonl")"
  wb_expect_eq "an output that is the trace is refused, and the trace stays whole" "2 2 2 $sum" \
    "$refused"

  "$convert" --expect /dev/full "$store" "$tmp/work/y.json" >/dev/null 2>"$tmp/full.txt"
  wb_expect_eq "a write that fails has its own exit code and message" \
    "3 trace-to-scenario: cannot write /dev/full: the write failed (the disk full?) no y.json" \
    "$? $(cat "$tmp/full.txt") $([[ -e $tmp/work/y.json ]] && echo y.json || echo no y.json)"

  cat "$store" | "$convert" /dev/stdin >/dev/null 2>"$tmp/pipe.txt"
  piped="$? $(grep -c 'needs a file' "$tmp/pipe.txt") "
  cat "$store" | "$convert" --process 5120 --thread 5124 /dev/stdin >/dev/null 2>&1
  wb_expect_eq "a pipe is read once: refused without a pick, converted with one" "1 1 0" "$piped$?"

  # flood GIB: a trace of about GIB gigabytes and three budgets' worth: calls
  # whose distinct 100 KB answers take the scenario past 16 MB, a call that
  # never ends with events of a megabyte, 20,000 threads, times and field
  # names of a megabyte, and lines too long to be trace lines.
  flood() {
    local gib=$1 i c enter
    enter="$at\"event\":\"host-enter\",\"method\":\"DEVOVIZoruze\",\"id\":$kReport}"
    head -c 100000 /dev/zero | tr '\0' v >"$tmp/v"
    head -c 1000000 /dev/zero | tr '\0' w >"$tmp/w"
    { head -c 2097152 /dev/zero | tr '\0' x; echo; } >"$tmp/x"
    for c in 1 2 3; do
      echo "$enter"
      echo "$at\"event\":\"create\",\"progid\":\"Tabulate.ClsTable\"}"
      for i in $(seq 80); do
        echo "$at\"event\":\"get\",\"progid\":\"Tabulate.ClsTable\",\"member\":\"Result\",\"args\":[],\"result\":{\"type\":\"String\",\"value\":\"$c.$i-$(cat "$tmp/v")\"}}"
      done
      echo "$at\"event\":\"release\",\"progid\":\"Tabulate.ClsTable\"}"
      echo "$at\"event\":\"host-leave\",\"method\":\"DEVOVIZoruze\",\"id\":$kReport,\"outcome\":\"ok\"}"
    done
    echo "$enter"
    for i in $(seq 250); do
      echo "$at\"event\":\"get\",\"progid\":\"Tabulate.ClsTable\",\"member\":\"Result\",\"args\":[],\"result\":{\"type\":\"String\",\"value\":\"$(cat "$tmp/w")\"}}"
    done
    awk 'BEGIN { for (i = 0; i < 20000; i++) printf "{\"time\":\"t\",\"pid\":8,\"thread\":%d,\"event\":\"host-refused\",\"method\":\"DEVOVIZoruze\",\"hresult\":\"0x80020005\"}\n", i }'
    for i in $(seq 10); do
      echo "{\"time\":\"$(cat "$tmp/w")\",\"pid\":9,\"thread\":$i,\"event\":\"release\",\"progid\":\"A\"}"
      echo "{\"time\":\"t\",\"pid\":9,\"thread\":$i,\"event\":\"release\",\"progid\":\"A\",\"$(cat "$tmp/w")$i\":1}"
    done
    for i in $(seq $((gib * 512))); do cat "$tmp/x"; done
  }
  # Listed and converted at once, from one pipe, each within 256 MB.
  rm -f "$tmp/flood.fifo"
  mkfifo "$tmp/flood.fifo"
  (ulimit -v 262144; exec "$convert" --list "$tmp/flood.fifo" >"$tmp/flood-list.txt" 2>&1) &
  lister=$!
  flood 3 | tee "$tmp/flood.fifo" |
    (ulimit -v 262144; exec "$convert" --process 5120 --thread 5124 /dev/stdin "$tmp/flood.json" \
      >"$tmp/flood.txt" 2>"$tmp/flood-progress.txt")
  rc=$?
  wait "$lister"
  rc+=" $?"
  budgets=
  for what in "would take the scenario past 16 MB" "more than 20,000 events, or more than 64 MB" \
    "a field name of 1000001 bytes, longer than 64" "(and 1535 more): a line longer than 1 MiB"; do
    budgets+="$(grep -c "^cannot replay: .*$what" "$tmp/flood.txt")"
  done
  progress=$(grep -c 'converting: [0-9]* MB read$' "$tmp/flood-progress.txt")
  wb_expect_eq "3 GB from a pipe: listed and converted within 256 MB, each budget named" \
    "0 0 1111 1 1 ... and 15,915 more threads (20,011 in all), not listed" \
    "$rc $budgets $((progress >= 30)) $(($(stat -c %s "$tmp/flood-list.txt") < 1000000)) $(tail -n 1 "$tmp/flood-list.txt")"

  # Forty lines of 11 KB whose texts claim 2^31 characters each.
  {
    cat "$store"
    for i in $(seq 40); do
      echo "$at\"event\":\"host-enter\",\"method\":\"DEVOVIZoruze\",\"id\":$kReport}"
      echo "$at\"event\":\"create-failed\",\"progid\":\"Tabulate.ClsTable\",\"error\":{\"number\":429,\"source\":\"$(printf '%0256d' 0)\",\"source_length\":2147483648,\"description\":\"$(printf '%010000d' 0)\",\"description_length\":2147483648,\"helpfile\":\"\",\"helpcontext\":0}}"
      echo "$at\"event\":\"host-leave\",\"method\":\"DEVOVIZoruze\",\"id\":$kReport,\"outcome\":\"ok\"}"
    done
  } >"$tmp/claims.jsonl"
  (ulimit -v 262144; "$convert" --process 5120 --thread 5124 "$tmp/claims.jsonl" "$tmp/claims.json" \
    >"$tmp/claims.txt" 2>&1)
  wb_expect_eq "forty texts of 2^31 characters: within 256 MB, the filling's budget named" \
    "0 1" "$? $(grep -c '(and 39 more): the cut texts of DEVOVIZoruze(1800601) would be filled to 4,294,967,296 characters' "$tmp/claims.txt")"
fi
wb_finish
