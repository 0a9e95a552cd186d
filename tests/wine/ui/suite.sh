# The console's Wine suite (sourced by the harness's suites.sh). Needs a
# display (Xvfb) and, for the Chinese captions to render, fonts-wqy-microhei
# and LANG=zh_CN.UTF-8 on the Wine processes.
#   console_ui        the console in process, driven from a second thread,
#                     over the registered reference suite (its journal
#                     checked per click), modal to host windows of its thread
#                     (every way it ends)
#   console_append    the log box's append on its own: first and last 1000
#   console_uidriver  the console of one process driven by uidriver.exe from
#                     another (menu commands, log text, notices, layout, exit)
#   console_com       the console opened through the registered Workbench.dll
#                     over the registered RefSuite.dll
# Every client but console_append runs over RefSuite.dll with scenario.json.


WB_CONSOLE_LANG=${WB_CONSOLE_LANG:-zh_CN.UTF-8}

suite_console() {
  local WB_CONSOLE_UI=$WB_BUILD/tests/wine/ui
  wb_need_display || { wb_fail "console: no display"; return 0; }
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "console: register RefSuite.dll"; return 0; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "console: register Workbench.dll"; return 0; }
  local WB_SUITE_SCENARIO
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_ROOT/tests/wine/ui/scenario.json")
  export WB_SUITE_SCENARIO
  local journal=$WB_WINE_TMP/console-ui-journal.jsonl
  rm -f -- "$journal"
  LANG=$WB_CONSOLE_LANG WB_SUITE_JOURNAL=$(wb_winpath "$journal") \
    wb_run_exe console_ui "$WB_CONSOLE_UI/console_client.exe" \
    --bench "${WB_CONSOLE_BENCH:-300}" --journal "$(wb_winpath "$journal")"
  LANG=$WB_CONSOLE_LANG wb_run_exe console_append "$WB_CONSOLE_UI/append_bench.exe" \
    "${WB_APPEND_BENCH:-2000}"
  LANG=$WB_CONSOLE_LANG WB_WINE_LOADER=$WB_WINE_LOADER WB_CONSOLE_UI=$WB_CONSOLE_UI \
    WB_WINE_TMP=$WB_WINE_TMP wb_run_client console_uidriver \
    bash "$WB_ROOT/tests/wine/ui/uidriver_client.sh"
  journal=$WB_WINE_TMP/console-journal.jsonl
  rm -f -- "$journal"
  LANG=$WB_CONSOLE_LANG WB_SUITE_JOURNAL=$(wb_winpath "$journal") \
    wb_run_exe console_com "$WB_CONSOLE_UI/console_client.exe" --com \
    --journal "$(wb_winpath "$journal")"
}
