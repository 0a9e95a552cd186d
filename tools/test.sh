#!/usr/bin/env bash
# Builds every preset and runs every test: the native unit tests (plain and
# under ASan/UBSan) through ctest, a short run of each fuzz target, the cost
# gate (tests/bench/cost_gate.sh), the Windows programs under Wine through
# tests/wine/run.sh, once for the 64-bit build and once for the 32-bit one,
# and the fault proof (tests/fault_proof.sh) on each width that runs here.
# Ends with one line, `N passed, M failed`, summed over all of them (a preset
# that fails to build counts as one failure); where this machine cannot run
# 32-bit programs, their suites and fault proof are skipped, and a GoogleTest
# test may skip (GTEST_SKIP, printed with its reason): the line then ends
# `, K skipped`.
# Exits non-zero when anything failed.
#   bash tools/test.sh
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

passed=0
failed=0
skipped=0
logs=build/logs
mkdir -p "$logs"

note() { printf '== %s\n' "$*"; }

if ! bash tools/setup.sh; then
  echo "0 passed, 1 failed"
  exit 1
fi

# build PRESET [CMAKE-BUILD-ARGS...]: configures once (ninja re-runs cmake
# when a CMakeLists.txt changes), then builds with two jobs.
build() {
  local preset=$1 log=$logs/build-$1.log
  shift
  note "build $preset"
  if [[ ! -f build/$preset/build.ninja ]] && ! cmake --preset "$preset" >"$log" 2>&1; then
    tail -n 40 "$log"
    return 1
  fi
  if ! cmake --build --preset "$preset" -j2 "$@" >>"$log" 2>&1; then
    grep -E 'error|FAILED' "$log" | head -n 40
    return 1
  fi
}

# run_ctest PRESET: adds the preset's ctest counts, test by test from ctest's
# JUnit report: a test that ran and passed is a pass, one that GoogleTest
# skipped (GTEST_SKIP, which ctest sees by its skip expression) or that is
# disabled is a skip, printed with its reason; anything else is a failure.
run_ctest() {
  local preset=$1 log=$logs/ctest-$1.log junit=$PWD/$logs/ctest-$1.xml rc=0
  note "ctest $preset"
  rm -f -- "$junit"
  ctest --preset "$preset" -j2 --output-junit "$junit" >"$log" 2>&1 || rc=$?
  local line
  line=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [[ -f $junit && $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    local f=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]} ran skips name reason
    ran=$(xmllint --xpath 'count(//testcase[@status="run"])' "$junit")
    # GoogleTest's DISABLED_ tests are outside ctest's total; still skips.
    skips=$(xmllint --xpath '//testcase[@status="disabled" or
      (@status="notrun" and starts-with(skipped/@message, "SKIP_"))]/@name' "$junit" 2>/dev/null |
      sed -n 's/^ *name="\(.*\)"$/\1/p')
    passed=$((passed + ran))
    failed=$((failed + f))
    echo "$line"
    ((f == 0)) || grep -E '^\s+[0-9]+ - ' "$log" | grep -vE '\((Skipped|Disabled)\)$'
    local counted=$((ran + f))
    while IFS= read -r name; do
      [[ -n $name ]] || continue
      skipped=$((skipped + 1))
      reason=$(xmllint --xpath "string(//testcase[@name='$name']/system-out)" "$junit" |
        sed -n '/: Skipped$/,/^\[  SKIPPED \]/{/: Skipped$/d;/^\[  SKIPPED \]/d;p}' | tr '\n' ' ' | sed 's/ $//')
      if [[ $(xmllint --xpath "string(//testcase[@name='$name']/@status)" "$junit") == disabled ]]; then
        reason=disabled
      else
        counted=$((counted + 1))
      fi
      printf 'skipped - %s: %s\n' "$name" "${reason:-no reason given}"
    done <<<"$skips"
    # What ctest counted must be what the report holds, test by test.
    if ((counted != total)); then
      echo "ctest $preset: $total tests, but the report holds $counted"
      failed=$((failed + 1))
    fi
  else
    # No count: ctest found no tests (an error in every test preset) or died.
    tail -n 40 "$log"
    echo "ctest $preset: no tests ran (exit $rc)"
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
# The fuzz targets, briefly, from the corpus kept in the tree (a copy: new
# inputs stay out of it). Each target counts as one test. A long run:
#   build/fuzz/tests/fuzz/translate_fuzz -max_total_time=3600 tests/fuzz/corpus/translate
# A trace (replay_fuzz) needs room for a few lines of a few hundred bytes.
if build fuzz --target translate_fuzz convert_fuzz replay_fuzz; then
  for target in translate_fuzz convert_fuzz replay_fuzz; do
    note "fuzz $target"
    corpus=$(mktemp -d)
    cp -r "tests/fuzz/corpus/${target%_fuzz}/." "$corpus/"
    max_len=512
    [[ $target == replay_fuzz ]] && max_len=16384
    if build/fuzz/tests/fuzz/$target -max_total_time="${WB_FUZZ_SECONDS:-15}" -max_len=$max_len \
        -artifact_prefix="$logs/$target-" "$corpus" >"$logs/fuzz-$target.log" 2>&1; then
      passed=$((passed + 1))
      tail -n 1 "$logs/fuzz-$target.log"
    else
      failed=$((failed + 1))
      grep -E 'ERROR|SUMMARY|runtime error' "$logs/fuzz-$target.log" | head -n 10
    fi
    rm -rf -- "$corpus"
  done
else
  failed=$((failed + 1))
fi
# counted LOG: adds a plan-first client's ok / not ok lines, and one failure
# when it reported another number of checks than it planned.
counted() {
  local ok bad plan
  ok=$(grep -c '^ok - ' "$1") bad=$(grep -c '^not ok - ' "$1")
  plan=$(sed -n 's/^1\.\.\([0-9]*\)$/\1/p' "$1" | head -n 1)
  passed=$((passed + ok))
  failed=$((failed + bad))
  grep -E '^(not ok - |ok - )' "$1" || true
  if [[ $plan != "$((ok + bad))" ]]; then
    echo "planned ${plan:-no} checks, reported $((ok + bad))"
    failed=$((failed + 1))
  fi
}
# The Wine harness's own accounting, on stub suites (no Wine needed): what a
# suite or a client can do wrong without a failing check must fail the run.
note "harness accounting"
bash tests/wine/accounting_selftest.sh >"$logs/accounting.log" 2>&1
counted "$logs/accounting.log"
# The cost gate: Workbench's own instructions per call against the floor,
# by callgrind, within committed limits (docs/performance.md).
if build bench --target dispatch_bench; then
  note "cost gate"
  bash tests/bench/cost_gate.sh >"$logs/cost-gate.log" 2>&1
  counted "$logs/cost-gate.log"
else
  failed=$((failed + 1))
fi
build win32 || failed=$((failed + 1))
if build win64; then
  note "wine"
  bash tests/wine/run.sh 2>&1 | tee "$logs/wine.log" | grep -v '^[a-z0-9_/]*: ok - '
  line=$(grep -E '^Wine checks: [0-9]+ ok, [0-9]+ not ok(, [0-9]+ skipped)?$' "$logs/wine.log" | tail -n 1)
  if [[ $line =~ ([0-9]+)\ ok,\ ([0-9]+)\ not\ ok(,\ ([0-9]+)\ skipped)? ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
    skipped=$((skipped + ${BASH_REMATCH[4]:-0}))
  else
    failed=$((failed + 1))
  fi
else
  failed=$((failed + 1))
fi

# The fault proof: one deliberate fault at a time in a copy of the tree must
# turn its named checks red, on each width that runs here.
for arch in win64 win32; do
  if ! reason=$(source tests/wine/harness.sh && wb_arch_runnable "$arch"); then
    echo "fault proof ($arch) skipped: $reason"
    skipped=$((skipped + 1))
    continue
  fi
  note "fault proof ($arch)"
  WB_ARCHES=$arch bash tests/fault_proof.sh >"$logs/fault-proof-$arch.log" 2>&1
  counted "$logs/fault-proof-$arch.log"
done

if ((skipped)); then
  echo "$passed passed, $failed failed, $skipped skipped"
else
  echo "$passed passed, $failed failed"
fi
((failed == 0))
