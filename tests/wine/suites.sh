# The Wine test suites: one function per suite, named suite_<name>, listed in
# WB_WINE_SUITES in the order they run. A suite registers what it needs and
# runs its clients with the harness's wb_run_exe / wb_run_vbs / wb_run_js.
# To add a suite: write its function here and add its name to the list.

WB_WINE_SUITES=(harness com_unit bridge)

# The harness itself: the script check helpers under cscript, and its count
# of clients that stop early, skip a block or misstate their plan.
suite_harness() {
  wb_run_vbs harness_vbs "$WB_ROOT/tests/wine/harness_selftest.vbs"
  wb_run_js harness_js "$WB_ROOT/tests/wine/harness_selftest.js"
  WB_WINE_TMP=$WB_WINE_TMP wb_run_client harness_count bash "$WB_ROOT/tests/wine/harness_selftest.sh"
}

# The COM backend's conversions and error mapping, and the backend driving a
# component that Wine provides.
suite_com_unit() {
  wb_run_exe com_unit "$WB_BUILD/tests/wine/com_unit_client.exe"
}

# The bridge driving the registered reference suite, under its own scenario;
# the client reads the suite's journal to check that every instance went.
suite_bridge() {
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "bridge: register RefSuite.dll"; return 0; }
  local journal=$WB_WINE_TMP/bridge-journal.jsonl
  rm -f -- "$journal"
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_ROOT/tests/wine/bridge/scenario.json") \
    WB_SUITE_JOURNAL=$(wb_winpath "$journal") \
    wb_run_exe bridge "$WB_BUILD/tests/wine/bridge_client.exe"
}

# The entry component (Workbench.dll): static checks of both DLLs, their type
# libraries and version resources, registration, and the class under every
# kind of client. Defined in tests/wine/entry/suites.sh.
source "$WB_ROOT/tests/wine/entry/suites.sh"
WB_WINE_SUITES+=(entry_static entry_typelib entry_registration entry_side_by_side entry_scripts)

# Workbench.dll under load and abuse: the soak, threads in two languages,
# hostile input and answers, the fault sweep, timings. Defined in
# tests/wine/proof/suites.sh.
source "$WB_ROOT/tests/wine/proof/suites.sh"
WB_WINE_SUITES+=(proof_soak proof_threads proof_hostile proof_host_frame proof_sweep proof_timing)

# The console: window, menu, log and notices, under Xvfb. Defined in
# tests/wine/ui/suite.sh.
source "$WB_ROOT/tests/wine/ui/suite.sh"
WB_WINE_SUITES+=(console)

# Notices of Workbench.dll read back from the screen and closed by a watcher.
# Defined in tests/wine/notices/suites.sh.
source "$WB_ROOT/tests/wine/notices/suites.sh"
WB_WINE_SUITES+=(notices)

# The bridge's own conversions agree with the platform's. Defined in
# tests/wine/convert/suites.sh.
source "$WB_ROOT/tests/wine/convert/suites.sh"
WB_WINE_SUITES+=(convert_diff)

# The field trace: what Workbench asked of the suite and what came back.
# Defined in tests/wine/trace/suites.sh.
source "$WB_ROOT/tests/wine/trace/suites.sh"
WB_WINE_SUITES+=(trace)

# The kit for host developers: Workbench.h in C and C++, and the examples
# built from dist/ alone and run. Defined in tests/wine/examples/suites.sh.
source "$WB_ROOT/tests/wine/examples/suites.sh"
WB_WINE_SUITES+=(examples)

# The release as store IT deploys it: the Windows Installer packages of
# tools/package.sh. Defined in tests/wine/install/suite.sh.
source "$WB_ROOT/tests/wine/install/suite.sh"
WB_WINE_SUITES+=(install)

# Store traces replayed against the reference suite: round trips over the
# main job's scenarios, the hand-made store trace, what cannot be replayed.
# Defined in tests/wine/replay/suites.sh.
source "$WB_ROOT/tests/wine/replay/suites.sh"
WB_WINE_SUITES+=(replay)

# The main job (tools/main.sh) on this run's width, build and prefix: the
# store day through every function id, and the replay of the store trace.
suite_main_job() {
  WB_WINE_TMP=$WB_WINE_TMP wb_run_client main_job bash "$WB_ROOT/tests/wine/main_job_client.sh"
}
WB_WINE_SUITES+=(main_job)
