#!/usr/bin/env bash
# The main job: Workbench.dll driven through its function ids, as a store
# front-end drives it, against the bundled reference suite.
#
# Builds the 32-bit Windows build, the product as shipped, registers
# Workbench.dll and the reference suite in a private Wine prefix, and runs a
# 32-bit host script that calls DEVOVIZoruze for each id of the dispatch
# table and for one id outside it. For each id it shows the calls the suite
# saw and what the host got.
#
#   bash tools/main.sh [--arch win32|win64] [--scenario NAME|FILE.json] [--trace]
#                      [--console [SHOT.png]]
#   bash tools/main.sh [--arch win32|win64] --replay FILE.jsonl [--process PID] [--thread TID]
#
# --arch win64 drives the 64-bit build of the same source instead. Where this
# machine cannot run 32-bit programs, the job says so and uses win64.
#
# NAME picks a bundled scenario from tools/main/: right-refused (the user
# holds no function right), failing-component (the member lookup raises, the
# points scheme cannot be created), english (current language "ENG"). Without
# it the suite's default scenario, a normal store day in "CHS", is in force.
#
# --trace switches Workbench's own field trace on (WORKBENCH_TRACE) and shows
# it beside what the suite saw, rendered the same way.
#
# --console opens the test console instead (ShowWorkbenchForm) on the virtual
# display, clicks every tool of its menu, saves a screenshot with a menu open
# (default build/console.png), prints the console's log and the notices, and
# closes it through its exit tool.
#
# --replay reproduces a store's failure from its field trace: the trace is
# turned into a scenario (tools/trace-to-scenario), the recorded DEVOVIZoruze
# calls are made again in order against the suite with the trace on, and the
# store's trace and the replay's are shown side by side, the first difference
# marked. With several processes or threads in the file, --process (and
# --thread) picks one; `bash tools/trace-to-scenario --list FILE.jsonl` lists
# them. The files of the replay stay in build/replay/. Exits 1 when the
# replay differs from the store's trace, 2 when nothing could be replayed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

scenario=
console=
trace=
replay=
picks=()
arch=win32
while (($#)); do
  case $1 in
    --arch)
      [[ ${2-} == win32 || ${2-} == win64 ]] || { echo "main: --arch takes win32 or win64" >&2; exit 2; }
      arch=$2
      shift 2 ;;
    --scenario)
      [[ $# -ge 2 ]] || { echo "main: --scenario needs a name or a file" >&2; exit 2; }
      if [[ -f $root/tools/main/$2.json ]]; then
        scenario=$root/tools/main/$2.json
      elif [[ -f $2 ]]; then
        scenario=$(readlink -f -- "$2")
      else
        echo "main: no scenario '$2' (names: right-refused, failing-component, english)" >&2
        exit 2
      fi
      shift 2 ;;
    --trace) trace=1; shift ;;
    --replay)
      [[ $# -ge 2 && -f $2 ]] || { echo "main: --replay needs a trace file" >&2; exit 2; }
      replay=$(readlink -f -- "$2")
      shift 2 ;;
    --process | --thread)
      [[ ${2-} =~ ^[0-9]+$ ]] || { echo "main: $1 takes a number" >&2; exit 2; }
      picks+=("$1" "$2")
      shift 2 ;;
    --console)
      console=$root/build/console.png
      if [[ $# -ge 2 && $2 == *.png ]]; then
        console=$(readlink -m -- "$2")
        shift
      fi
      shift ;;
    -h | --help) sed -n '2,38p' "$0"; exit 0 ;;
    *) echo "main: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
if [[ -n $replay && -n $scenario$trace$console ]]; then
  echo "main: --replay makes its own scenario and trace; it takes no --scenario, --trace or --console" >&2
  exit 2
fi
if [[ -z $replay && ${#picks[@]} -gt 0 ]]; then
  echo "main: --process and --thread pick from the trace of --replay" >&2
  exit 2
fi

bash tools/setup.sh >/dev/null
source tests/wine/harness.sh
if [[ $arch == win32 ]] && ! reason=$(wb_arch_runnable win32); then
  echo "main: this machine cannot run 32-bit programs ($reason); driving the 64-bit build"
  arch=win64
fi
# WB_MAIN_REUSE=1: run inside a run of the Wine harness (the main_job suite),
# on the build, prefix, wineserver and display that run already has.
if [[ -z ${WB_MAIN_REUSE-} ]]; then
  [[ -f build/$arch/build.ninja ]] || cmake --preset "$arch" >/dev/null
  cmake --build --preset "$arch" -j2 >/dev/null
fi

# The console: opened by a host script, driven by uidriver (every tool of the
# menu in display order, then the exit tool), photographed with a menu open.
run_console() {
  local driver=$WB_BUILD/tests/wine/ui/uidriver.exe
  # The caption buttons' glyphs (package fonts-wine), where the prefix finds them.
  if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
    cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  drive() {
    timeout -k 5 60 "$WB_WINE_LOADER" "$driver" wait-window WorkbenchConsole '*' 15000 "$@" |
      tr -d '\r'
  }
  timeout -k 5 120 "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$root/tools/main/console.vbs")" \
    >"$WB_WINE_TMP/console-host.txt" 2>&1 &
  local host=$!
  # VIP管理: 1 4 3; 设置: 7; 其他: 10 9 11 12 (the exit tool, 6, comes last).
  drive menu-sync 1 menu-sync 4 menu-sync 3 menu-sync 7 menu-sync 10 menu-sync 9 \
    menu-sync 11 menu-sync 12 open-menu 3 sleep 500 >/dev/null || echo "the console could not be driven"
  mkdir -p "$(dirname "$console")"
  import -window root -crop 560x396+0+0 +repage "$console" 2>/dev/null &&
    echo "screenshot: $console"
  echo
  echo "the console's log:"
  drive key 27 key 27 sleep 200 log-text | sed 's/^/  /'
  drive menu 6 wait-gone 15000 >/dev/null || echo "the exit tool did not close the console"
  wait "$host" || rc=$?
  echo "host: $(tr -d '\r' <"$WB_WINE_TMP/console-host.txt")"
}

show_notices() {
  echo
  echo "notices shown:"
  while IFS=$'\t' read -r title text icon _; do
    printf '  [%s] %s: %s\n' "$icon" "$title" "${text//\\n/ / }"
  done <"$1"
}

wb_use_arch "$arch"
if [[ -n ${WB_MAIN_REUSE-} ]]; then
  WB_WINE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/wb-main.XXXXXX")
  trap 'rm -rf -- "$WB_WINE_TMP"' EXIT
else
  wb_wine_start
  # Notices are real message boxes on a virtual display. The display must be
  # there before the first Wine program starts, or Wine's desktop runs without
  # one and boxes never appear.
  wb_need_display
fi
export LANG=zh_CN.UTF-8
wb_register "$WB_DIST/RefSuite.dll"
wb_register "$WB_DIST/Workbench.dll"

if [[ -n $replay ]]; then
  echo "Replay of $replay against the reference suite ($arch)"
  rc=0
  bash tools/main/replay.sh replay "$replay" "$root/build/replay" "${picks[@]}" || rc=$?
  exit "$rc"
fi

journal=$WB_WINE_TMP/journal.jsonl
report=$WB_WINE_TMP/report.txt
notices=$WB_WINE_TMP/notices.txt
stop=$WB_WINE_TMP/notices.stop
: >"$notices"
export WB_SUITE_JOURNAL WB_MAIN_REPORT WB_MAIN_NOTICES
WB_SUITE_JOURNAL=$(wb_winpath "$journal")
WB_MAIN_REPORT=$(wb_winpath "$report")
WB_MAIN_NOTICES=$(wb_winpath "$notices")
if [[ -n $scenario ]]; then
  export WB_SUITE_SCENARIO
  WB_SUITE_SCENARIO=$(wb_winpath "$scenario")
fi
trace_file=
if [[ -n $trace ]]; then
  trace_file=$WB_WINE_TMP/trace.jsonl
  export WORKBENCH_TRACE
  WORKBENCH_TRACE=$(wb_winpath "$trace_file")
fi

if [[ -n $console ]]; then
  echo "Workbench.CWorkbench.ShowWorkbenchForm against the reference suite ($arch)"
else
  echo "Workbench.CWorkbench.DEVOVIZoruze against the reference suite ($arch)"
fi
if [[ -n $scenario ]]; then
  echo "scenario: $(basename "$scenario")"
else
  echo "scenario: the default store day (language CHS)"
fi
echo
# A watcher reads each notice and closes it, so that the job never waits on a
# box nobody closes.
"$WB_WINE_LOADER" "$WB_BUILD/tests/wine/notices/noticewatch.exe" \
  "$(wb_winpath "$notices")" "$(wb_winpath "$stop")" 180000 &
watcher=$!
rc=0
if [[ -n $console ]]; then
  run_console
else
  timeout -k 5 120 "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$root/tools/main/host.vbs")" || rc=$?
fi
touch "$stop"
wait "$watcher" || true
if [[ -n $console ]]; then
  show_notices "$notices"
elif [[ -f $report ]]; then
  bash tools/main/show.sh "$report" "$journal" "$notices" "$trace_file"
else
  echo "the host wrote no report (exit code $rc)"
fi
exit "$rc"
