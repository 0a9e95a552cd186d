#!/usr/bin/env bash
# The main job: builds the 64-bit Windows build, registers the reference
# suite in the private Wine prefix and runs a host against it under a
# scenario, then prints the suite's journal (one JSON object per call).
#   bash tools/main.sh [--scenario FILE.json] [--host FILE.exe|FILE.vbs|FILE.js]
# Without --scenario the suite's default scenario (a normal store day) is in
# force; without --host the bridge driver runs a typical store-function call.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

scenario=
host=$root/build/win64/tests/bridge_driver.exe
while (($#)); do
  case $1 in
    --scenario) scenario=$(readlink -f -- "$2"); shift 2 ;;
    --host) host=$(readlink -f -- "$2"); shift 2 ;;
    -h | --help) sed -n '2,7p' "$0"; exit 0 ;;
    *) echo "main: unknown option $1" >&2; exit 2 ;;
  esac
done

bash tools/setup.sh >/dev/null
[[ -f build/win64/build.ninja ]] || cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 >/dev/null

source tests/wine/harness.sh
wb_wine_start
wb_register "$root/dist/win64/RefSuite.dll"

journal=$WB_WINE_TMP/journal.jsonl
export WB_SUITE_JOURNAL
WB_SUITE_JOURNAL=$(wb_winpath "$journal")
if [[ -n $scenario ]]; then
  export WB_SUITE_SCENARIO
  WB_SUITE_SCENARIO=$(wb_winpath "$scenario")
fi

echo "== host $(basename "$host")${scenario:+ under $(basename "$scenario")}"
rc=0
case $host in
  *.vbs | *.js) timeout -k 5 120 "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$host")" || rc=$? ;;
  *) timeout -k 5 120 "$WB_WINE_LOADER" "$host" || rc=$? ;;
esac
echo "== journal"
[[ -f $journal ]] && tr -d '\r' <"$journal" || echo "(empty)"
echo "== host exit code $rc"
exit "$rc"
