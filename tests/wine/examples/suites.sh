# The Wine suite of the kit for host developers (dist/include, dist/<arch>/
# and examples/), sourced by tests/wine/suites.sh. Everything is built from
# dist/ alone, as a host developer without this repository builds it.

# examples_check NAME LABEL EXPECTED.txt EXIT [--journal ...] -- COMMAND...:
# one run of an example host, checked by check_host.sh.
examples_check() {
  local name=$1
  shift
  wb_run_client "$name" bash "$WB_ROOT/tests/wine/examples/check_host.sh" "$@"
}

# examples_runs HOST COMMAND...: what every example host is run through. A
# normal store day with the default id, checked with the calls the suite
# saw; then id 1800201 with a member lookup that fails, in English.
examples_runs() {
  local host=$1 expected=$WB_ROOT/tests/wine/examples/expected
  local scenarios=$WB_ROOT/tests/wine/examples/scenarios journal=$WB_WINE_TMP/examples_$1.jsonl
  shift
  : >"$journal"
  WB_SUITE_JOURNAL=$(wb_winpath "$journal") \
    examples_check "examples_${host}_store_day" "$host, store day" "$expected/store_day.txt" 0 \
    --journal "$journal" "$expected/store_day_journal.txt" -- "$@"
  WB_SUITE_SCENARIO=$(wb_winpath "$scenarios/lookup_fails_eng.json") \
    examples_check "examples_${host}_lookup_fails" "$host, member lookup fails" \
    "$expected/lookup_fails_eng.txt" 1 -- "$@" 1800201
}

# Workbench.h compiles as C and C++ for this architecture and the
# early-bound example builds; then the C++ and the VBScript example run
# against the registered DLLs and print what examples/README.md shows.
suite_examples() {
  local here=$WB_ROOT/tests/wine/examples exe=$WB_WINE_TMP/early_bound_$WB_ARCH.exe
  # Three compilations; the machine may be busy.
  WB_CLIENT_TIMEOUT=${WB_EXAMPLES_BUILD_TIMEOUT:-240} wb_run_client examples_build \
    bash "$here/build_checks.sh" "$WB_ARCH" "$WB_ROOT/dist/include" \
    "$WB_ROOT/examples/early_bound.cpp" "$exe"
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "examples: register RefSuite.dll"; return 0; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "examples: register Workbench.dll"; return 0; }

  if [[ -f $exe ]]; then
    examples_runs cpp "$WB_WINE_LOADER" "$exe"
    # The C++ host prints UTF-8, so it is also read in Chinese; a script
    # host prints in the console's code page, which has no Chinese here.
    WB_SUITE_SCENARIO=$(wb_winpath "$here/scenarios/lookup_fails_chs.json") \
      examples_check examples_cpp_lookup_fails_chs "cpp, member lookup fails in Chinese" \
      "$here/expected/lookup_fails_chs.txt" 1 -- "$WB_WINE_LOADER" "$exe" 1800201
  else
    wb_fail "examples: early_bound.exe was not built"
  fi
  examples_runs vbs "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$WB_ROOT/examples/late_bound.vbs")"
}
