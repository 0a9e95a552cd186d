# The notices of Workbench.dll on a virtual display: sourced by
# tests/wine/suites.sh.
suite_notices() {
  wb_need_display || { wb_fail "notices: no display"; return 0; }
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "notices: register RefSuite.dll"; return 0; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "notices: register Workbench.dll"; return 0; }
  LANG=zh_CN.UTF-8 WB_WINE_LOADER=$WB_WINE_LOADER WB_WINE_TMP=$WB_WINE_TMP \
    wb_run_client notices bash "$WB_ROOT/tests/wine/notices/notices_client.sh"
}
