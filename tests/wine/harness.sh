# The Wine test harness: a bash library. Source it, call wb_wine_start, run
# clients with wb_run_exe / wb_run_vbs / wb_run_js, and read the counts from
# wb_wine_summary. See tests/wine/README.md.
#
# A client first prints its plan line `1..N` (N = the number of checks it
# will report), then one line per check, `ok - <name>` or
# `not ok - <name>: <details>`, and exits with its failure count. The harness
# counts every ok / not ok line; a client that times out, dies, prints no plan
# line, prints it after a check, plans no checks, reports one check twice or
# reports another number of checks than it planned (it stopped early or
# skipped a block) adds one failure of its own.
# Everything the harness starts (wineserver, Xvfb) is stopped when the shell
# exits.

WB_ROOT=${WB_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WB_WINESERVER=${WB_WINESERVER:-/usr/lib/wine/wineserver}
WB_CLIENT_TIMEOUT=${WB_CLIENT_TIMEOUT:-60}
WB_WINE_PASSED=0
WB_WINE_FAILED=0
WB_WINE_SKIPPED=0
# Clients that the suite under way ran, or skipped with wb_skip; run.sh
# compares them with the suite's count in tests/wine/clients.txt.
WB_SUITE_CLIENTS=0
# Clients that the suite under way ran (not skipped), and whether it skipped
# for a reason that may stand for the whole suite.
WB_SUITE_RAN=0
WB_SUITE_WHOLE_SKIP=
# The reasons a suite may skip for (tests/wine/skip_reasons.txt), and the
# skips of the run by reason.
WB_SKIP_REASONS=${WB_SKIP_REASONS:-$WB_ROOT/tests/wine/skip_reasons.txt}
declare -gA WB_SKIPS=()
WB_XVFB_PID=
WB_WINE_STARTED=
WB_WINE_TMP=

# The Wine loader of a width.
wb_loader() {
  case $1 in
    win32) echo /usr/lib/wine/wine ;;
    win64) echo /usr/lib/wine/wine64 ;;
    *) wb_log "no such architecture: $1"; return 1 ;;
  esac
}

# The width beside this run's one.
wb_other_arch() {
  if [[ $WB_ARCH == win32 ]]; then echo win64; else echo win32; fi
}

# wb_arch_runnable ARCH: whether this machine runs that width's programs
# under Wine; prints why not.
wb_arch_runnable() {
  [[ $1 == win64 ]] && return 0
  local reason
  reason=$(bash "$WB_ROOT/tools/probe_i386.sh") || { echo "$reason"; return 1; }
  if [[ ! -x $(wb_loader win32) ]]; then
    # tools/setup.sh keeps apt's own word when the archive could not supply it.
    cat "$WB_ROOT/build/wine32-unavailable.txt" 2>/dev/null ||
      echo "32-bit Wine (wine32:i386) is not installed"
    return 1
  fi
}

# wb_use_arch win32|win64: the architecture that the clients started from
# now on belong to. Sets WB_ARCH, its build tree WB_BUILD, its deliverables
# WB_DIST and the Wine loader of that width, WB_WINE_LOADER. Both run in the
# one WoW64 prefix; each width sees its own registry view.
wb_use_arch() {
  WB_WINE_LOADER=$(wb_loader "$1") || return 1
  WB_ARCH=$1
  WB_BUILD=$WB_ROOT/build/$1
  WB_DIST=$WB_ROOT/dist/$1
  export WB_ARCH WB_BUILD WB_DIST WB_WINE_LOADER
}
wb_use_arch "${WB_ARCH:-win64}"

source "$WB_ROOT/tests/wine/lib/winpath.sh"

# Runs a Wine program in the test prefix.
wb_wine() {
  "$WB_WINE_LOADER" "$@"
}

wb_log() { printf '[wine] %s\n' "$*" >&2; }

# Stops what the harness started. Installed as the EXIT trap by wb_wine_start.
wb_wine_stop() {
  if [[ -n $WB_WINE_STARTED ]]; then
    "$WB_WINESERVER" -k >/dev/null 2>&1 || true
    WB_WINE_STARTED=
  fi
  if [[ -n $WB_XVFB_PID ]]; then
    kill "$WB_XVFB_PID" 2>/dev/null || true
    wait "$WB_XVFB_PID" 2>/dev/null || true
    WB_XVFB_PID=
  fi
  if [[ -n ${WB_WINE_LOCK_FD-} ]]; then
    exec {WB_WINE_LOCK_FD}>&-
    WB_WINE_LOCK_FD=
  fi
  if [[ -n $WB_WINE_TMP && -d $WB_WINE_TMP ]]; then
    rm -rf -- "$WB_WINE_TMP"
    WB_WINE_TMP=
  fi
}

# Prepares the private 64-bit prefix (created once, then reused) and keeps
# wineserver running until wb_wine_stop.
wb_wine_start() {
  export WINEPREFIX=${WB_WINEPREFIX:-$WB_ROOT/build/wine-prefix}
  export WINEARCH=win64 WINEDEBUG=${WB_WINEDEBUG:--all}
  # No Mono / Gecko installers, no desktop integration.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}
  unset DISPLAY
  trap wb_wine_stop EXIT
  WB_WINE_TMP=$(mktemp -d "${TMPDIR:-/tmp}/wb-wine.XXXXXX")
  # The harness's own rows (tests/wine/accounting_selftest.sh) run stub
  # suites of bash clients: no prefix, no server, no display.
  [[ -z ${WB_WITHOUT_WINE-} ]] || return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  # One harness run per prefix at a time: a run ends by stopping the prefix's
  # wineserver, which would kill the clients of another run.
  exec {WB_WINE_LOCK_FD}>"$WINEPREFIX.lock"
  if ! flock -n "$WB_WINE_LOCK_FD"; then
    wb_log "waiting for another run in $WINEPREFIX"
    flock -w "${WB_WINE_LOCK_WAIT:-1200}" "$WB_WINE_LOCK_FD" || { wb_log "prefix still busy"; return 1; }
  fi
  # A prefix made before 32-bit Wine was installed has no 32-bit programs.
  if [[ -f $WINEPREFIX/.wb-ready && ! -f $WINEPREFIX/drive_c/windows/syswow64/cscript.exe ]] &&
    wb_arch_runnable win32 >/dev/null; then
    rm -f -- "$WINEPREFIX/.wb-ready"
  fi
  if [[ ! -f $WINEPREFIX/.wb-ready ]]; then
    wb_log "creating the prefix $WINEPREFIX"
    rm -rf -- "$WINEPREFIX"
    # A 64-bit prefix; with 32-bit Wine installed it is WoW64 and serves both
    # widths.
    "$(wb_loader win64)" wineboot -i >/dev/null 2>&1 || { wb_log "wineboot failed"; return 1; }
    # Without a window manager Wine waits on every window hide unless its
    # windows are unmanaged.
    "$(wb_loader win64)" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1 || { wb_log "reg add failed"; return 1; }
    "$WB_WINESERVER" -w
    touch "$WINEPREFIX/.wb-ready"
  fi
  # Exits 2 when a server for the prefix is running already: it stays.
  "$WB_WINESERVER" -p || true
  WB_WINE_STARTED=1
  # The display comes before the first program of the run: Wine's desktop
  # takes the display of the process that starts it, and a desktop started
  # without one shows no window (nor message box) for the whole run.
  wb_need_display || return 1
}

# Starts Xvfb on a display of its own choosing (once per run; wb_wine_start
# calls it): with -displayfd, Xvfb claims a free display itself and writes
# its number when it is ready, so two runs never take the same one.
wb_need_display() {
  [[ -n $WB_XVFB_PID ]] && return 0
  local file=$WB_WINE_TMP/display n= i fd
  exec {fd}>"$file"
  Xvfb -displayfd "$fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  WB_XVFB_PID=$!
  exec {fd}>&-
  for i in $(seq 100); do
    n=$(head -n 1 "$file" 2>/dev/null)
    [[ -n $n ]] && break
    kill -0 "$WB_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [[ $n =~ ^[0-9]+$ ]] && kill -0 "$WB_XVFB_PID" 2>/dev/null; then
    export DISPLAY=":$n"
    return 0
  fi
  WB_XVFB_PID=
  wb_log "no display could be started"
  return 1
}

# Registers (or with -u, unregisters) an in-process server.
wb_register() {
  local flag=
  if [[ $1 == -u ]]; then flag=/u; shift; fi
  local dll=$1
  if [[ ! -f $dll ]]; then
    wb_log "cannot register: $dll is missing"
    return 1
  fi
  local rc=0
  wb_wine regsvr32 /s $flag "$(wb_winpath "$dll")" >/dev/null 2>&1 || rc=$?
  if ((rc != 0)); then
    wb_log "regsvr32 $flag $dll failed (exit $rc)"
    return 1
  fi
}

# wb_skip NAME REASON DETAIL [CLIENTS]: what cannot run on this machine,
# counted as skipped (never as passed), on a line of its own; it stands for
# CLIENTS clients of the suite's count (default 0: the suite's clients still
# run). REASON must be a reason of tests/wine/skip_reasons.txt: any other is
# a failure, and so is a suite that skips every client unless its reason
# may stand for a whole suite.
wb_skip() {
  local name=$1 reason=$2 detail=$3 clients=${4:-0} row
  row=$(awk -v r="$reason" '$1 == r { print $2 }' "$WB_SKIP_REASONS" 2>/dev/null)
  if [[ -z $row ]]; then
    wb_fail "$name: skipped for $reason, which is no reason of $(basename "$WB_SKIP_REASONS"): $detail"
    return 0
  fi
  printf 'skipped - %s/%s: %s: %s\n' "$WB_ARCH" "$name" "$reason" "$detail"
  WB_WINE_SKIPPED=$((WB_WINE_SKIPPED + 1))
  WB_SKIPS[$reason]=$((${WB_SKIPS[$reason]:-0} + 1))
  WB_SUITE_CLIENTS=$((WB_SUITE_CLIENTS + clients))
  [[ $row == suite ]] && WB_SUITE_WHOLE_SKIP=1
  return 0
}

# Counts one failure that no client reported (a step of a suite failed).
wb_fail() {
  printf 'not ok - %s/%s\n' "$WB_ARCH" "$*"
  WB_WINE_FAILED=$((WB_WINE_FAILED + 1))
}

# wb_run_client NAME COMMAND...: runs a client under the time limit and
# counts its results.
wb_run_client() {
  local name=$1
  shift
  local out=$WB_WINE_TMP/$name.out rc=0
  WB_SUITE_CLIENTS=$((WB_SUITE_CLIENTS + 1))
  WB_SUITE_RAN=$((WB_SUITE_RAN + 1))
  # The client runs in a session of its own, so that a timeout stops all that
  # it started with it (timeout alone stops the client only). The prefix's
  # Wine programs go too: a Wine program may have left the session.
  local session=$WB_WINE_TMP/$name.session
  : >"$session"
  timeout -k 5 "$WB_CLIENT_TIMEOUT" setsid bash -c 'echo $$ >"$0"; exec "$@"' "$session" "$@" \
    >"$out" 2>"$WB_WINE_TMP/$name.err" </dev/null || rc=$?
  if ((rc == 124 || rc == 137)); then
    [[ -s $session ]] && kill -KILL -- "-$(cat "$session")" 2>/dev/null
    if [[ -n $WB_WINE_STARTED ]]; then
      "$WB_WINESERVER" -k >/dev/null 2>&1
      "$WB_WINESERVER" -w >/dev/null 2>&1
      "$WB_WINESERVER" -p >/dev/null 2>&1
    fi
  fi
  tr -d '\r' <"$out" >"$out.txt"
  local passed=0 failed=0 plan= late= twice= line
  local -A seen=()
  while IFS= read -r line; do
    case $line in
      "ok - "*)
        passed=$((passed + 1))
        printf '%s/%s: %s\n' "$WB_ARCH" "$name" "$line"
        # A check counted twice would fill the plan for one that never ran.
        [[ -n ${seen[$line]-} && -z $twice ]] && twice=${line#ok - }
        seen[$line]=1
        ;;
      "not ok - "*) failed=$((failed + 1)); printf '%s/%s: %s\n' "$WB_ARCH" "$name" "$line" ;;
      1..*)
        if [[ -n $plan ]] || ((passed + failed)); then late=1; fi
        plan=${line#1..}
        ;;
      *) [[ -n $line ]] && printf '%s/%s: # %s\n' "$WB_ARCH" "$name" "$line" ;;
    esac
  done <"$out.txt"
  WB_WINE_PASSED=$((WB_WINE_PASSED + passed))
  WB_WINE_FAILED=$((WB_WINE_FAILED + failed))
  local problem=
  if ((rc == 124 || rc == 137)); then
    problem="timed out after ${WB_CLIENT_TIMEOUT}s"
  elif [[ -z $plan ]]; then
    problem="ended without its plan line (exit $rc)"
  elif [[ -n $late ]]; then
    problem="printed its plan line after a check, or twice"
  elif [[ $plan == 0 ]]; then
    problem="planned no checks"
  elif [[ -n $twice ]]; then
    problem="reported the check \"$twice\" twice"
  elif [[ $plan != "$((passed + failed))" ]]; then
    problem="planned $plan checks, reported $((passed + failed))"
  elif ((rc != 0 && failed == 0)); then
    problem="exited with $rc but reported no failure"
  fi
  if [[ -n $problem ]]; then
    wb_fail "$name: $problem"
    sed 's/^/    stderr: /' "$WB_WINE_TMP/$name.err" | tail -n 20 >&2
  fi
  return 0
}

# wb_run_exe NAME EXE [ARGS...]: one of our own Windows test programs.
wb_run_exe() {
  local name=$1 exe=$2
  shift 2
  if [[ ! -f $exe ]]; then
    wb_fail "$name: $exe is missing"
    return 0
  fi
  wb_run_client "$name" "$WB_WINE_LOADER" "$exe" "$@"
}

# wb_function_ids: the function ids of entry/dispatch.h as exported shell
# variables (kBranchSetup and the others), from the build; fails the run and
# returns non-zero when the build has none.
wb_function_ids() {
  local ids=$WB_BUILD/tests/wine/function_ids.sh
  [[ -f $ids ]] || { wb_fail "$ids is missing"; return 1; }
  source "$ids"
}

# wb_run_vbs NAME FILE.vbs / wb_run_js NAME FILE.js: a script under cscript,
# with the check helpers of tests/wine/lib and the build's function ids
# (constants kBranchSetup ... of entry/dispatch.h) put in front of it.
wb_run_vbs() { wb_run_script "$1" "$2" vbs; }
wb_run_js() { wb_run_script "$1" "$2" js; }
wb_run_script() {
  local name=$1 file=$2 ext=$3 ids=$WB_BUILD/tests/wine/function_ids.$3
  local f
  for f in "$file" "$ids"; do
    [[ -f $f ]] || { wb_fail "$name: $f is missing"; return 0; }
  done
  local script=$WB_WINE_TMP/$name.$ext
  cat "$WB_ROOT/tests/wine/lib/checks.$ext" "$ids" "$file" >"$script"
  wb_run_client "$name" "$WB_WINE_LOADER" cscript //nologo "$(wb_winpath "$script")"
}

# The skips by reason, `skipped for REASON: N`, and one closing line for the
# Wine part: `Wine checks: N ok, M not ok`, and `, K skipped` when suites or
# clients were skipped.
wb_wine_summary() {
  local reason
  for reason in "${!WB_SKIPS[@]}"; do
    printf 'skipped for %s: %d\n' "$reason" "${WB_SKIPS[$reason]}"
  done | sort
  printf 'Wine checks: %d ok, %d not ok' "$WB_WINE_PASSED" "$WB_WINE_FAILED"
  ((WB_WINE_SKIPPED == 0)) || printf ', %d skipped' "$WB_WINE_SKIPPED"
  printf '\n'
}
