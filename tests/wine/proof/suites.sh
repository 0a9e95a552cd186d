# Wine suites that prove Workbench.dll under load and abuse, sourced by
# tests/wine/suites.sh (uses its WB_BUILD and WB_DIST). Each
# client also fails when Wine's crash handler spoke in its output.
#
#   WB_SOAK_CALLS     calls of the soak (default 100000: 30-80 s here)
#   WB_THREAD_CALLS   calls of each of the four threads (default 2000)
#   WB_TIMING_BLOCKS  blocks of 100 operations per timed side (default 20)

WB_PROOF_SCENARIOS=$WB_ROOT/tests/wine/proof/scenarios
WB_SOAK_CALLS=${WB_SOAK_CALLS:-100000}

# Both DLLs registered; fails the suite's run when either cannot be.
wb_proof_register() {
  wb_register "$WB_DIST/RefSuite.dll" || { wb_fail "$1: register RefSuite.dll"; return 1; }
  wb_register "$WB_DIST/Workbench.dll" || { wb_fail "$1: register Workbench.dll"; return 1; }
}

# wb_proof_run NAME FILE.exe [ARGS]: wb_run_exe, then a failure when the
# client's output shows Wine's crash handler (an unhandled exception, in the
# client or in a child it started).
wb_proof_run() {
  local name=$1
  wb_run_exe "$@"
  if grep -q -E 'Unhandled exception|Unhandled page fault|wine: Unhandled|Backtrace:' \
    "$WB_WINE_TMP/$name.out" "$WB_WINE_TMP/$name.err" 2>/dev/null; then
    wb_fail "$name: Wine's crash handler reported an unhandled exception"
    grep -h -m 5 -E 'Unhandled|Backtrace' "$WB_WINE_TMP/$name.out" "$WB_WINE_TMP/$name.err" >&2
  fi
}

# A fresh, empty journal file in the harness's temporary directory.
wb_proof_journal() {
  local journal=$WB_WINE_TMP/proof-$1.jsonl
  : >"$journal"
  wb_winpath "$journal"
}

# One CWorkbench, WB_SOAK_CALLS calls, half failing: memory, live counts,
# DllCanUnloadNow.
suite_proof_soak() {
  wb_proof_register proof_soak || return 0
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_PROOF_SCENARIOS/soak.json") \
    WB_SUITE_JOURNAL=$(wb_proof_journal soak) \
    WB_CLIENT_TIMEOUT=${WB_SOAK_TIMEOUT:-300} \
    wb_proof_run proof_soak "$WB_BUILD/tests/wine/proof/soak_client.exe" "$WB_SOAK_CALLS"
}

# Four apartment threads in one process, two in CHS and two in ENG, each
# with its own CWorkbench: exact descriptions, no cross-talk, clean ends. And
# a lone host thread after which COM lets Workbench.dll go: a clean exit.
suite_proof_threads() {
  wb_proof_register proof_threads || return 0
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_PROOF_SCENARIOS/threads.json") \
    WB_SUITE_JOURNAL=$(wb_proof_journal threads) \
    WB_CLIENT_TIMEOUT=${WB_THREADS_TIMEOUT:-300} \
    wb_proof_run proof_threads "$WB_BUILD/tests/wine/proof/threads_client.exe" languages \
    "${WB_THREAD_CALLS:-2000}"
  wb_proof_run proof_thread_alone "$WB_BUILD/tests/wine/proof/threads_client.exe" alone
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_PROOF_SCENARIOS/threads.json") \
    wb_proof_run proof_apartments "$WB_BUILD/tests/wine/proof/threads_client.exe" apartments
}

# Hostile input at the COM boundary (arguments, DISPPARAMS, flags, null
# pointers) and hostile answers of the suite's components, through the DLL.
suite_proof_hostile() {
  wb_proof_register proof_hostile || return 0
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_PROOF_SCENARIOS/hostile_args.json") \
    WB_SUITE_JOURNAL=$(wb_proof_journal hostile) \
    wb_proof_run proof_hostile_input "$WB_BUILD/tests/wine/proof/hostile_client.exe" input
  wb_proof_run proof_hostile_answers "$WB_BUILD/tests/wine/proof/hostile_client.exe" answers
}

# The host inside a component's call (the suite's host hook): it lets go of
# its last object, or calls in again 65 levels deep; with and without the
# field trace.
suite_proof_host_frame() {
  wb_proof_register proof_host_frame || return 0
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_PROOF_SCENARIOS/host_frame.json") \
    WB_SUITE_JOURNAL=$(wb_proof_journal host_frame) \
    wb_proof_run proof_host_frame "$WB_BUILD/tests/wine/proof/host_frame_client.exe"
  local trace=$WB_WINE_TMP/host-frame-trace.jsonl
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_PROOF_SCENARIOS/host_frame.json") \
    WB_SUITE_JOURNAL=$(wb_proof_journal host_frame_traced) \
    WORKBENCH_TRACE=$(wb_winpath "$trace") \
    wb_proof_run proof_host_frame_traced "$WB_BUILD/tests/wine/proof/host_frame_client.exe"
  [[ -s $trace ]] || wb_fail "proof_host_frame_traced: nothing was traced"
}

# The fault sweep: every interaction of each run failing in turn, then every
# task allocation of Workbench.dll in the run (through a malloc spy); for the
# runs that end in an error, also through IDispatch::Invoke, whose EXCEPINFO
# takes allocations of its own. The runs are named by their function ids.
# The loyalty plan and the receipt roll succeed without a text or an error:
# they make no task allocation to fail (their C++ heap is swept natively), so
# an allocation sweep of them would sweep nothing.
suite_proof_sweep() {
  wb_proof_register proof_sweep || return 0
  wb_function_ids || return 0
  local sweep failing=("$kLoyaltyPlan-failing" "$kBranchSetup-check-failing")
  for sweep in "$kBranchSetup" "$kMemberLookup" "$kLoyaltyPlan" "$kReceiptRoll" "$kReport" \
    "${failing[@]}"; do
    wb_proof_run "proof_sweep_$sweep" "$WB_BUILD/tests/wine/proof/sweep_client.exe" sweep "$sweep"
  done
  for sweep in "$kBranchSetup" "$kMemberLookup" "$kReport" "${failing[@]}"; do
    wb_proof_run "proof_allocations_$sweep" "$WB_BUILD/tests/wine/proof/sweep_client.exe" \
      allocations "$sweep"
  done
  for sweep in "${failing[@]}"; do
    wb_proof_run "proof_allocations_invoke_$sweep" "$WB_BUILD/tests/wine/proof/sweep_client.exe" \
      allocations-invoke "$sweep"
  done
}

# Timings against hand-written floors, and the calls of each operation.
suite_proof_timing() {
  wb_proof_register proof_timing || return 0
  WB_SUITE_SCENARIO=$(wb_winpath "$WB_PROOF_SCENARIOS/timing.json") \
    WB_SUITE_JOURNAL=$(wb_proof_journal timing) \
    wb_proof_run proof_timing "$WB_BUILD/tests/wine/proof/timing_client.exe" "${WB_TIMING_BLOCKS:-20}"
}
