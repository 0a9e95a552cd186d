# Wine suites of the entry component (Workbench.dll), sourced by
# tests/wine/suites.sh; each runs once per architecture, on $WB_DIST's DLL
# with the clients of $WB_BUILD.

# regsvr32 with the given switches on a DLL; fails (and says so) on a non-zero
# exit.
wb_entry_regsvr32() {
  local dll=${*: -1} rc=0
  wb_wine regsvr32 /s "${@:1:$#-1}" "$(wb_winpath "$dll")" >/dev/null 2>&1 || rc=$?
  if ((rc != 0)); then
    wb_log "regsvr32 ${*:1:$#-1} $dll: exit $rc"
    return 1
  fi
}

# wb_entry_other ARGS...: wb_entry_regsvr32 with the other width's regsvr32.
wb_entry_other() {
  WB_WINE_LOADER=$(wb_loader "$(wb_other_arch)") wb_entry_regsvr32 "$@"
}

# This width's DLL without running it: format, exports, imports, resources.
suite_entry_static() {
  wb_run_client entry_static bash "$WB_ROOT/tests/wine/entry/static_checks.sh" \
    "$WB_DIST/Workbench.dll" "$WB_ARCH"
}

# The type library and version resource of both DLLs, read back as data, and
# the standalone type library of each architecture that hosts import. Both
# widths' files are read at once, in the 64-bit pass, which always runs.
suite_entry_typelib() {
  [[ $WB_ARCH == win64 ]] || return 0
  local win64=$WB_ROOT/dist/win64 win32=$WB_ROOT/dist/win32
  wb_run_exe entry_typelib "$WB_BUILD/tests/wine/entry/typelib_client.exe" \
    "$(wb_winpath "$win64/Workbench.dll")" "$(wb_winpath "$win32/Workbench.dll")" \
    "$(wb_winpath "$win64/Workbench.tlb")" "$(wb_winpath "$win32/Workbench.tlb")"
}

# Registration of this width alone, for all users and for the current user,
# the keys it writes and their removal, and a registration that meets a key
# it cannot write or that waits for another to finish; the class is used in
# between (factory, interfaces, IDispatch, early binding). Ends registered
# for all users.
suite_entry_registration() {
  local dll=$WB_DIST/Workbench.dll clients=$WB_BUILD/tests/wine/entry
  local win_dll
  win_dll=$(wb_winpath "$dll")
  # A clean start whatever an earlier run left, the other width's included.
  if wb_arch_runnable "$(wb_other_arch)" >/dev/null; then
    wb_entry_other /u "$WB_ROOT/dist/$(wb_other_arch)/Workbench.dll" >/dev/null 2>&1
  fi
  wb_entry_regsvr32 /u "$dll" >/dev/null 2>&1
  wb_entry_regsvr32 /u /n /i:user "$dll" >/dev/null 2>&1

  wb_entry_regsvr32 "$dll" || wb_fail "entry: regsvr32 Workbench.dll"
  wb_run_exe entry_registered "$clients/registry_client.exe" present machine "$win_dll"
  wb_run_exe entry_object "$clients/object_client.exe" "$win_dll"
  wb_entry_regsvr32 /u "$dll" || wb_fail "entry: regsvr32 /u Workbench.dll"
  wb_run_exe entry_unregistered "$clients/registry_client.exe" absent machine
  wb_run_exe entry_blocked "$clients/registry_client.exe" blocked "$win_dll"
  wb_run_exe entry_serialised "$clients/registry_client.exe" serialised "$win_dll"
  wb_entry_regsvr32 /u "$dll" || wb_fail "entry: regsvr32 /u Workbench.dll"

  wb_entry_regsvr32 /n /i:user "$dll" || wb_fail "entry: regsvr32 /n /i:user Workbench.dll"
  wb_run_exe entry_user_registered "$clients/registry_client.exe" present user "$win_dll"
  wb_run_exe entry_user_not_machine "$clients/registry_client.exe" absent machine
  wb_entry_regsvr32 /u /n /i:user "$dll" || wb_fail "entry: regsvr32 /u /n /i:user Workbench.dll"
  wb_run_exe entry_user_unregistered "$clients/registry_client.exe" absent user

  wb_entry_regsvr32 "$dll" || wb_fail "entry: regsvr32 Workbench.dll (again)"
  # A copy in a folder whose path is longer than MAX_PATH.
  local deep=$WB_WINE_TMP/deep i
  for i in 1 2 3 4 5 6; do deep=$deep/folder-of-a-store-pc-install-$i-$WB_ARCH-xxxxxxxxxxxxxxxx; done
  mkdir -p "$deep" && cp "$dll" "$deep/"
  wb_run_exe entry_deep "$clients/registry_client.exe" deep "$(wb_winpath "$deep/Workbench.dll")" \
    "$win_dll"
}

# Both widths registered side by side, as on a 64-bit store PC. Registering
# again over a registration leaves it whole; unregistering the other width
# leaves this one registered and working, while the other width's hosts get
# REGDB_E_CLASSNOTREG; unregistering this one too removes everything. Run in
# each width's pass, so each width is the one that stays once.
suite_entry_side_by_side() {
  local other reason
  other=$(wb_other_arch)
  if ! reason=$(wb_arch_runnable "$other"); then
    wb_skip entry_side_by_side no-32-bit "$reason" 4
    return 0
  fi
  local dll=$WB_DIST/Workbench.dll other_dll=$WB_ROOT/dist/$other/Workbench.dll
  local here=$WB_BUILD/tests/wine/entry/registry_client.exe
  local there=$WB_ROOT/build/$other/tests/wine/entry/registry_client.exe
  local win_dll
  win_dll=$(wb_winpath "$dll")
  wb_entry_other "$other_dll" || wb_fail "entry: regsvr32 of the $other Workbench.dll"
  wb_entry_regsvr32 "$dll" || wb_fail "entry: regsvr32 Workbench.dll"
  wb_entry_regsvr32 "$dll" || wb_fail "entry: regsvr32 Workbench.dll over its registration"
  wb_run_exe entry_both_registered "$here" present machine "$win_dll"
  wb_entry_other /u "$other_dll" || wb_fail "entry: regsvr32 /u of the $other Workbench.dll"
  wb_run_exe entry_other_width_removed "$here" present machine "$win_dll"
  WB_WINE_LOADER=$(wb_loader "$other") wb_run_exe entry_other_width_gone "$there" other-width-only
  wb_entry_regsvr32 /u "$dll" || wb_fail "entry: regsvr32 /u Workbench.dll"
  wb_run_exe entry_both_removed "$here" absent machine
  wb_entry_regsvr32 "$dll" || wb_fail "entry: regsvr32 Workbench.dll (again)"
}

# DEVOVIZoruze against the registered reference suite: calls it saw, the
# errors in CHS and in another language, from VBScript, JScript and C++.
suite_entry_scripts() {
  local scenarios=$WB_ROOT/tests/wine/entry/scenarios here=$WB_ROOT/tests/wine/entry
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "entry: register RefSuite.dll"; return 0; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "entry: register Workbench.dll"; return 0; }
  local journal
  for journal in calls errors_chs errors_eng errors_js client_chs client_eng; do
    : >"$WB_WINE_TMP/journal_$journal.jsonl"
  done
  # What the error scenarios give in each language (UTF-16 for VBScript).
  printf '%s\n' "调用门店函数出错。原因：" "积分方案不可用" "查无此会员" |
    iconv -f UTF-8 -t UTF-16 >"$WB_WINE_TMP/texts_chs.txt"
  printf '%s\n' "Error calling the store function. Reason: " "Points scheme unavailable" \
    "**WaitToBeTranslated**" | iconv -f UTF-8 -t UTF-16 >"$WB_WINE_TMP/texts_eng.txt"
  WB_SUITE_JOURNAL=$(wb_winpath "$WB_WINE_TMP/journal_calls.jsonl") \
    wb_run_vbs entry_calls_vbs "$here/calls.vbs"
  WB_SUITE_JOURNAL=$(wb_winpath "$WB_WINE_TMP/journal_errors_chs.jsonl") \
    WB_SUITE_SCENARIO=$(wb_winpath "$scenarios/errors_chs.json") \
    WB_ENTRY_TEXTS=$(wb_winpath "$WB_WINE_TMP/texts_chs.txt") \
    wb_run_vbs entry_errors_chs_vbs "$here/errors.vbs"
  WB_SUITE_JOURNAL=$(wb_winpath "$WB_WINE_TMP/journal_errors_eng.jsonl") \
    WB_SUITE_SCENARIO=$(wb_winpath "$scenarios/errors_eng.json") \
    WB_ENTRY_TEXTS=$(wb_winpath "$WB_WINE_TMP/texts_eng.txt") \
    wb_run_vbs entry_errors_eng_vbs "$here/errors.vbs"
  WB_SUITE_JOURNAL=$(wb_winpath "$WB_WINE_TMP/journal_errors_js.jsonl") \
    WB_SUITE_SCENARIO=$(wb_winpath "$scenarios/errors_chs.json") \
    wb_run_js entry_errors_js "$here/errors.js"
  WB_SUITE_JOURNAL=$(wb_winpath "$WB_WINE_TMP/journal_client_chs.jsonl") \
    WB_SUITE_SCENARIO=$(wb_winpath "$scenarios/errors_chs.json") \
    wb_run_exe entry_errors_chs "$WB_BUILD/tests/wine/entry/errors_client.exe" CHS
  WB_SUITE_JOURNAL=$(wb_winpath "$WB_WINE_TMP/journal_client_eng.jsonl") \
    WB_SUITE_SCENARIO=$(wb_winpath "$scenarios/errors_eng.json") \
    wb_run_exe entry_errors_eng "$WB_BUILD/tests/wine/entry/errors_client.exe" ENG
}
