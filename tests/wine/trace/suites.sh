# The field trace of Workbench.dll, sourced by tests/wine/suites.sh.
suite_trace() {
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "trace: register RefSuite.dll"; return 0; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "trace: register Workbench.dll"; return 0; }
  # The other width's loader writes the machine's policy, where it runs here.
  local other=$WB_WINE_LOADER
  wb_arch_runnable "$(wb_other_arch)" >/dev/null && other=$(wb_loader "$(wb_other_arch)")
  WB_WINE_LOADER=$WB_WINE_LOADER WB_OTHER_LOADER=$other WB_WINE_TMP=$WB_WINE_TMP \
    wb_run_client trace bash "$WB_ROOT/tests/wine/trace/trace_client.sh"
  wb_run_exe trace_probe "$WB_BUILD/tests/wine/trace/trace_probe.exe"
}
