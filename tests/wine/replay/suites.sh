# Replaying store traces against the reference suite, sourced by
# tests/wine/suites.sh.
suite_replay() {
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "replay: register RefSuite.dll"; return 0; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "replay: register Workbench.dll"; return 0; }
  WB_WINE_TMP=$WB_WINE_TMP WB_CLIENT_TIMEOUT=600 \
    wb_run_client replay bash "$WB_ROOT/tests/wine/replay/replay_client.sh"
}
