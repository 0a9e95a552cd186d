# The Wine suite of the kit for host developers (dist/include, dist/<arch>/
# and examples/), sourced by tests/wine/suites.sh, for the architecture in
# WB_ARCH. Everything is built from dist/ alone, as a host developer without
# this repository builds it.

# examples_check NAME LABEL EXPECTED.txt EXIT [--journal ...] -- COMMAND...:
# one run of an example host, checked by check_host.sh.
examples_check() {
  local name=$1
  shift
  wb_run_client "$name" bash "$WB_ROOT/tests/wine/examples/check_host.sh" "$@"
}

# examples_text NAME LINE...: a short transcript written here, for the row
# that reads it; prints its path.
examples_text() {
  local file=$WB_WINE_TMP/expected_$1.txt
  shift
  printf '%s\n' "$@" >"$file"
  printf '%s' "$file"
}

# examples_runs HOST HEAD COMMAND...: what every example host is run through.
# A normal store day with the default id, checked with the calls the suite
# saw; then the member lookup's id, whose lookup fails, in English. HEAD is
# a transcript of what the host prints before the call's lines, or empty.
examples_runs() {
  local host=$1 head=${2:-/dev/null} expected=$WB_ROOT/tests/wine/examples/expected
  local scenarios=$WB_ROOT/tests/wine/examples/scenarios journal=$WB_WINE_TMP/examples_$1.jsonl
  shift 2
  cat "$head" "$expected/store_day.txt" >"$WB_WINE_TMP/expected_${host}_store_day.txt"
  cat "$head" "$expected/lookup_fails_eng.txt" >"$WB_WINE_TMP/expected_${host}_lookup_fails.txt"
  : >"$journal"
  WB_SUITE_JOURNAL=$(wb_winpath "$journal") \
    examples_check "examples_${host}_store_day" "$host, store day" \
    "$WB_WINE_TMP/expected_${host}_store_day.txt" 0 \
    --journal "$journal" "$expected/store_day_journal.txt" -- "$@"
  WB_SUITE_SCENARIO=$(wb_winpath "$scenarios/lookup_fails_eng.json") \
    examples_check "examples_${host}_lookup_fails" "$host, member lookup fails" \
    "$WB_WINE_TMP/expected_${host}_lookup_fails.txt" 1 -- "$@" "$kMemberLookup"
}

# examples_dependency MANIFEST: a dependency on the assembly that MANIFEST
# declares, with the identity as MANIFEST gives it.
examples_dependency() {
  local identity
  identity=$(tr '\n' ' ' <"$1" | grep -o '<assemblyIdentity [^>]*/>' | tr -s ' ')
  printf '  <dependency><dependentAssembly>%s</dependentAssembly></dependency>\n' "$identity"
}

# examples_app_manifest [MANIFEST...]: the application manifest that
# README.md gives front-end developers (its ```xml block), for a front-end of
# this architecture, with a dependency added on each MANIFEST's assembly.
# The reference suite's stands for the store suite that the PC has installed.
examples_app_manifest() {
  local arch=x86 added='' manifest
  [[ $WB_ARCH == win64 ]] && arch=amd64
  for manifest in "$@"; do
    added+=$(examples_dependency "$manifest")$'\n'
  done
  awk '/^```xml$/ { inside = 1; next } inside && /^```$/ { exit } inside' "$WB_ROOT/README.md" |
    sed "s/processorArchitecture=\"x86\"/processorArchitecture=\"$arch\"/" |
    awk -v added="$added" '/^<\/assembly>/ { printf "%s", added } { print }'
}

# examples_plugin_host_manifest: the manifest of a host that names the
# reference suite only.
examples_plugin_host_manifest() {
  echo '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
  echo '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">'
  examples_dependency "$WB_DIST/RefSuite.manifest"
  echo '</assembly>'
}

# examples_folder DIR FILE...: a front-end's folder, made afresh from the
# files named (built hosts and files of dist/).
examples_folder() {
  local dir=$1
  shift
  rm -rf -- "$dir"
  mkdir -p "$dir"
  cp -- "$@" "$dir/"
}

# The second prefix, beside the harness's own, where nothing is ever
# registered: made once and reused (the harness's lock on its own prefix
# covers it). Prints its path.
examples_unregistered_prefix() {
  local prefix=$WINEPREFIX-unregistered
  if [[ ! -f $prefix/.wb-ready ]]; then
    wb_log "creating the prefix $prefix"
    rm -rf -- "$prefix"
    # The 64-bit loader makes the WoW64 prefix, whichever architecture runs first.
    WINEPREFIX=$prefix "$(wb_loader win64)" wineboot -i >/dev/null 2>&1 || return 1
    WINEPREFIX=$prefix "$WB_WINESERVER" -w
    touch "$prefix/.wb-ready"
  fi
  printf '%s' "$prefix"
}

# The hosts with nothing registered: the application manifest (by ProgID and
# by CLSID), the early-bound host that reads the type library, and the
# activation context made at run time; then the front-end folders that are
# wrong. Runs in the prefix where nothing was ever registered.
examples_without_registration() {
  local bin=$1 work=$WB_WINE_TMP/sxs_$WB_ARCH loader=$WB_WINE_LOADER prefix other
  local expected=$WB_ROOT/tests/wine/examples/expected
  prefix=$(examples_unregistered_prefix) || { wb_fail "examples: no unregistered prefix"; return 0; }
  other=$WB_ROOT/dist/$(wb_other_arch)
  local -x WINEPREFIX=$prefix
  # Kept up while the suite runs, and not much longer if it is cut short.
  "$WB_WINESERVER" -p30 || true

  local front=$work/front_end component=("$WB_DIST/Workbench.dll" "$WB_DIST/Workbench.manifest")
  local suite=("$WB_DIST/RefSuite.dll" "$WB_DIST/RefSuite.manifest")
  examples_folder "$front" "$bin/manifest_host.exe" "$bin/type_library.exe" "${component[@]}" \
    "${suite[@]}"
  examples_app_manifest "$WB_DIST/RefSuite.manifest" >"$front/manifest_host.exe.manifest"
  cp "$front/manifest_host.exe.manifest" "$front/type_library.exe.manifest"
  examples_runs manifest_progid "" "$loader" "$front/manifest_host.exe" progid
  examples_runs manifest_clsid "" "$loader" "$front/manifest_host.exe" clsid
  examples_runs type_library "$expected/type_library.txt" "$loader" "$front/type_library.exe"

  # The plug-in host: its own manifest names the suite only; Workbench comes
  # from a folder of its own, through the context the host makes.
  local plugin=$work/plugin_host
  examples_folder "$plugin" "$bin/activation_context.exe" "${suite[@]}"
  examples_plugin_host_manifest >"$plugin/activation_context.exe.manifest"
  examples_folder "$plugin/workbench" "${component[@]}"
  examples_folder "$plugin/no_dll" "$WB_DIST/Workbench.manifest"
  examples_runs activation_context "$expected/outside_context.txt" \
    "$loader" "$plugin/activation_context.exe" "$(wb_winpath "$plugin/workbench/Workbench.manifest")"
  # Bad folders make a clear HRESULT: Wine's COM answers E_ACCESSDENIED for
  # a server DLL that it cannot load.
  examples_check examples_activation_context_no_dll "activation context, DLL missing" \
    "$(examples_text no_dll_context "outside the activation context: 0x80040154" \
      "cannot create CWorkbench: 0x80070005")" 1 \
    -- "$loader" "$plugin/activation_context.exe" "$(wb_winpath "$plugin/no_dll/Workbench.manifest")"

  # Front-end folders that are wrong: the README's manifest alone reaches
  # Workbench but not the suite (so nothing registered the suite either);
  # Workbench.dll missing; the DLL and manifest of the other architecture.
  local no_suite=$work/no_suite no_dll=$work/no_dll other_width=$work/other_width
  examples_folder "$no_suite" "$bin/manifest_host.exe" "${component[@]}"
  examples_app_manifest >"$no_suite/manifest_host.exe.manifest"
  examples_check examples_manifest_no_suite "application manifest, no suite" \
    "$expected/suite_not_found.txt" 1 -- "$loader" "$no_suite/manifest_host.exe" progid
  examples_folder "$no_dll" "$bin/manifest_host.exe" "$WB_DIST/Workbench.manifest" "${suite[@]}"
  examples_app_manifest "$WB_DIST/RefSuite.manifest" >"$no_dll/manifest_host.exe.manifest"
  examples_check examples_manifest_no_dll "application manifest, DLL missing" \
    "$(examples_text no_dll "cannot create Workbench.CWorkbench: 0x80070005")" 1 \
    -- "$loader" "$no_dll/manifest_host.exe" progid
  # Wine does not compare the architecture that the component's manifest
  # states with the dependency's (Windows refuses to start such a
  # front-end); the DLL of the other width then fails to load.
  if [[ -f $other/Workbench.manifest ]]; then
    examples_folder "$other_width" "$bin/manifest_host.exe" "$other/Workbench.dll" \
      "$other/Workbench.manifest" "${suite[@]}"
    cp "$no_dll/manifest_host.exe.manifest" "$other_width/"
    examples_check examples_manifest_other_width "application manifest, other architecture" \
      "$(examples_text other_width "cannot create CWorkbench: 0x80070005")" 1 \
      -- "$loader" "$other_width/manifest_host.exe" clsid
  else
    wb_fail "examples: $other is not built, for the other architecture's row"
  fi

  "$WB_WINESERVER" -k >/dev/null 2>&1 || true
}

# The front-end's own copy of Workbench.dll, its manifest beside it, still
# registers and unregisters (run in the harness's prefix, where the dist/
# DLL's registration is taken away first and given back at the end).
examples_registration_too() {
  local bin=$1 dll loader=$WB_WINE_LOADER expected=$WB_ROOT/tests/wine/examples/expected
  dll=$(wb_winpath "$WB_WINE_TMP/sxs_$WB_ARCH/front_end/Workbench.dll")
  wb_register -u "$WB_DIST/Workbench.dll" || wb_fail "examples: unregister Workbench.dll"
  examples_check examples_regsvr32 "regsvr32 of the front-end's DLL" /dev/null 0 \
    -- "$loader" regsvr32 /s "$dll"
  examples_check examples_registered "front-end's DLL registered" "$expected/store_day.txt" 0 \
    -- "$loader" "$bin/early_bound.exe"
  examples_check examples_regsvr32_u "regsvr32 /u of the front-end's DLL" /dev/null 0 \
    -- "$loader" regsvr32 /s /u "$dll"
  examples_check examples_unregistered "front-end's DLL unregistered" \
    "$(examples_text unregistered "cannot create CWorkbench: 0x80040154")" 1 \
    -- "$loader" "$bin/early_bound.exe"
  wb_register "$WB_DIST/Workbench.dll" || wb_fail "examples: register Workbench.dll again"
}

# Workbench.h compiles as C and C++ and the example hosts build; the C++ and
# the VBScript example run against the registered DLLs and print what
# examples/README.md shows; then the hosts that need no registration run in
# a prefix where nothing is registered.
suite_examples() {
  local here=$WB_ROOT/tests/wine/examples bin=$WB_WINE_TMP/examples_bin_$WB_ARCH
  wb_function_ids || return 0
  # Six compilations; the machine may be busy.
  WB_CLIENT_TIMEOUT=${WB_EXAMPLES_BUILD_TIMEOUT:-240} wb_run_client examples_build \
    bash "$here/build_checks.sh" "$WB_ROOT/dist/include" "$WB_ROOT/examples" "$bin" "$WB_ARCH"
  if [[ ! -f $bin/early_bound.exe || ! -f $bin/manifest_host.exe ]]; then
    wb_fail "examples: the example hosts were not built"
    return 0
  fi
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "examples: register RefSuite.dll"; return 0; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "examples: register Workbench.dll"; return 0; }

  examples_runs cpp "" "$WB_WINE_LOADER" "$bin/early_bound.exe"
  # The C++ host prints UTF-8, so it is also read in Chinese; a script
  # host prints in the console's code page, which has no Chinese here.
  WB_SUITE_SCENARIO=$(wb_winpath "$here/scenarios/lookup_fails_chs.json") \
    examples_check examples_cpp_lookup_fails_chs "cpp, member lookup fails in Chinese" \
    "$here/expected/lookup_fails_chs.txt" 1 -- "$WB_WINE_LOADER" "$bin/early_bound.exe" \
    "$kMemberLookup"
  examples_runs vbs "" "$WB_WINE_LOADER" cscript //nologo \
    "$(wb_winpath "$WB_ROOT/examples/late_bound.vbs")"

  examples_without_registration "$bin"
  examples_registration_too "$bin"
}
