#!/usr/bin/env bash
# A store's failure on a developer's desk: the store's field trace turned
# into a reference-suite scenario (tools/trace-to-scenario), the same host
# calls made again against the suite with Workbench's trace on, and the two
# traces shown side by side (replay.jq).
#
#   replay.sh replay TRACE.jsonl WORKDIR [--process PID] [--thread TID]
#       Exits 0 when the replay's trace is the store's, 1 when they differ,
#       2 when nothing could be replayed. WORKDIR keeps the scenario, the
#       host's steps, both traces and the side-by-side view; none of them
#       may be the trace itself. The verdict comes from comparing the two
#       traces (replay_compare.jq), never from a line shown, and every text
#       of a trace is shown escaped.
#   replay.sh record TRACE_OUT [SCENARIO.json]
#       Runs the main job's host (host.vbs) with Workbench's trace on, under
#       the scenario (by default the suite's own store day): a store day to
#       replay.
#
# Runs in the Wine harness's environment, as tools/main.sh and the replay
# suite set it up: tests/wine/harness.sh's prefix and width (wb_wine_start,
# wb_use_arch), a display, and RefSuite.dll and Workbench.dll registered.
# WB_REPLAY_TIMEOUT (600 s) limits the replay's host.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/tests/wine/lib/winpath.sh"

# Notices are real message boxes: a watcher reads and closes each one, so
# that no host waits on a box nobody closes.
watch_notices() {
  notices=$1/notices.txt
  stop=$1/notices.stop
  : >"$notices"
  rm -f -- "$stop"
  "$WB_WINE_LOADER" "$WB_BUILD/tests/wine/notices/noticewatch.exe" \
    "$(wb_winpath "$notices")" "$(wb_winpath "$stop")" 600000 &
  watcher=$!
}
stop_watching() {
  touch "$stop"
  wait "$watcher" 2>/dev/null || true
}

# refuse_input NAME FILE INPUT: fails when FILE, which is about to be
# written, is INPUT (by any path: the same device and inode).
refuse_input() {
  if [[ -e $3 && $2 -ef $3 ]]; then
    echo "replay: $1 $2 is $3 itself: refused, nothing written" >&2
    return 1
  fi
}

record() {
  local out=$1 scenario=${2-} work
  [[ -z $scenario ]] || refuse_input "the trace" "$out" "$scenario" || return 2
  work=$(mktemp -d)
  rm -f -- "$out"
  watch_notices "$work"
  local -a env=(-u WB_SUITE_JOURNAL -u WB_SUITE_SCENARIO)
  [[ -n $scenario ]] && env+=(WB_SUITE_SCENARIO="$(wb_winpath "$(readlink -f -- "$scenario")")")
  env "${env[@]}" WORKBENCH_TRACE="$(wb_winpath "$(readlink -m -- "$out")")" \
    WB_MAIN_REPORT="$(wb_winpath "$work/report.txt")" WB_MAIN_NOTICES="$(wb_winpath "$notices")" \
    timeout -k 5 120 "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$here/host.vbs")"
  local rc=$?
  stop_watching
  rm -rf -- "$work"
  return "$rc"
}

replay() {
  local trace=$1 work=$2 file
  shift 2
  if [[ -e $work && ! -d $work ]]; then
    echo "replay: $work is no folder" >&2
    return 2
  fi
  mkdir -p "$work"
  work=$(cd "$work" && pwd)
  for file in scenario.json plan.txt store.jsonl replay.jsonl side-by-side.txt notices.txt \
    notices.stop; do
    refuse_input "the replay's file" "$work/$file" "$trace" || return 2
  done
  rm -f -- "$work"/{scenario.json,plan.txt,store.jsonl,replay.jsonl,side-by-side.txt}
  bash "$root/tools/trace-to-scenario" "$@" --plan "$work/plan.txt" --expect "$work/store.jsonl" \
    "$trace" "$work/scenario.json" || return 2
  echo

  watch_notices "$work"
  env -u WB_SUITE_JOURNAL WB_SUITE_SCENARIO="$(wb_winpath "$work/scenario.json")" \
    WORKBENCH_TRACE="$(wb_winpath "$work/replay.jsonl")" \
    timeout -k 5 "${WB_REPLAY_TIMEOUT:-600}" "$WB_WINE_LOADER" cscript //nologo \
    "$(wb_winpath "$here/replay.vbs")" "$(wb_winpath "$work/plan.txt")" |
    tr -d '\r' | jq -Rr -L "$here" 'include "trace_lines"; esc'
  local rc=${PIPESTATUS[0]}
  stop_watching
  ((rc == 0)) || echo "the replay's host ended with exit code $rc"

  local hold=false
  grep -qx hold "$work/plan.txt" && hold=true
  # A line of the replay's trace that is no JSON (a host that died while
  # writing) shows as missing, not as a failure of the view.
  touch "$work/replay.jsonl"
  replay_events() { tr -d '\r' <"$work/replay.jsonl" | jq -cR 'fromjson? // empty'; }
  jq -rn --slurpfile store "$work/store.jsonl" --slurpfile replay <(replay_events) \
    --argjson hold "$hold" -f "$here/replay.jq" >"$work/side-by-side.txt" || return 2
  cat "$work/side-by-side.txt"
  # The verdict, from the traces themselves: 0 the same, 1 they differ.
  jq -en --slurpfile store "$work/store.jsonl" --slurpfile replay <(replay_events) \
    --argjson hold "$hold" -L "$here" \
    'include "replay_compare"; first_difference($store; $replay; $hold) == null' >/dev/null
  case $? in
    0) return 0 ;;
    1) return 1 ;;
    *) return 2 ;;
  esac
}

case ${1-} in
  record) shift; record "$@" ;;
  replay) shift; replay "$@" ;;
  *) sed -n '2,22p' "$0"; exit 2 ;;
esac
