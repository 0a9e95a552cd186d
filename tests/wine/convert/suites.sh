# The bridge's conversions against the platform's, sourced by
# tests/wine/suites.sh. The user locale is pinned to the stores' (zh-CN), so
# that the platform's answers do not follow whoever runs the tests. Wine takes
# it from LC_ALL (LANG alone leaves it en-US when the C library has no such
# locale); `env` keeps bash from trying to switch to it too.
suite_convert_diff() {
  local exe=$WB_BUILD/tests/wine/convert/convert_diff_client.exe
  [[ -f $exe ]] || { wb_fail "convert_diff: $exe is missing"; return 0; }
  wb_run_client convert_diff env LC_ALL=zh_CN.UTF-8 "$WB_WINE_LOADER" "$exe"
}
