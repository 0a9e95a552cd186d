#!/usr/bin/env bash
# Builds every preset and runs every test: the native unit tests (plain and
# under ASan/UBSan) through ctest, and the Windows programs under Wine through
# tests/wine/run.sh. Ends with one line, `N passed, M failed`, summed over the
# ctest tests and the Wine checks (a preset that fails to build counts as one
# failure); exits non-zero when anything failed.
#   bash tools/test.sh
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

passed=0
failed=0
logs=build/logs
mkdir -p "$logs"

note() { printf '== %s\n' "$*"; }

if ! bash tools/setup.sh; then
  echo "0 passed, 1 failed"
  exit 1
fi

# build PRESET: configures once (ninja re-runs cmake when a CMakeLists.txt
# changes), then builds with two jobs.
build() {
  local preset=$1 log=$logs/build-$1.log
  note "build $preset"
  if [[ ! -f build/$preset/build.ninja ]] && ! cmake --preset "$preset" >"$log" 2>&1; then
    tail -n 40 "$log"
    return 1
  fi
  if ! cmake --build --preset "$preset" -j2 >>"$log" 2>&1; then
    grep -E 'error|FAILED' "$log" | head -n 40
    return 1
  fi
}

# run_ctest PRESET: adds the preset's ctest counts.
run_ctest() {
  local preset=$1 log=$logs/ctest-$1.log rc=0
  note "ctest $preset"
  ctest --preset "$preset" -j2 >"$log" 2>&1 || rc=$?
  local line
  line=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    local f=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
    passed=$((passed + total - f))
    failed=$((failed + f))
    echo "$line"
    ((f == 0)) || grep -E '^\s+[0-9]+ - ' "$log"
  elif grep -q 'No tests were found' "$log" && ((rc == 0)); then
    echo "no tests"
  else
    tail -n 40 "$log"
    failed=$((failed + 1))
  fi
}

for preset in native native-asan; do
  if build "$preset"; then
    run_ctest "$preset"
  else
    failed=$((failed + 1))
  fi
done
build win32 || failed=$((failed + 1))
if build win64; then
  note "wine"
  bash tests/wine/run.sh 2>&1 | tee "$logs/wine.log" | grep -v '^[a-z0-9_]*: ok - '
  line=$(grep -E '^Wine checks: [0-9]+ ok, [0-9]+ not ok$' "$logs/wine.log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ ok,\ ([0-9]+)\ not\ ok ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
  else
    failed=$((failed + 1))
  fi
else
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
((failed == 0))
