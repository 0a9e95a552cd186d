#!/usr/bin/env bash
# Proves that the checks bite: puts one deliberate fault at a time into a copy
# of the product tree, rebuilds the copy, runs the Wine suites that cover the
# fault and requires the checks the fault names to turn red. The same suites
# must pass on the copy without a fault, before the faults and after them,
# with at least one check. Reports as a client of the harness: the plan, then
# one line per fault and per clean run, `ok - ` or `not ok - `; exits with the
# failures. A fault whose run failed for the harness's own reasons (a client
# timed out, the prefix or the display could not be had) is inconclusive,
# and an inconclusive fault is a failure. tools/test.sh runs it:
#   bash tests/fault_proof.sh [NAME...]     (default: every fault below)
#   WB_ARCHES=win32 bash tests/fault_proof.sh
# The copy is build/fault-proof-<arch> (WB_FAULT_DIR), with its own build tree
# and Wine prefix, refreshed from this tree at each run; its logs are in logs/.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WB_ARCHES=${WB_ARCHES:-win64}
copy=${WB_FAULT_DIR:-$root/build/fault-proof-$WB_ARCHES}
logs=$copy/logs
export WB_SOAK_CALLS=${WB_SOAK_CALLS:-20000}

# fault NAME FILE FIND REPLACE SUITES RED...: FIND (exact text) in FILE
# becomes REPLACE; SUITES (one word, comma-separated) are the Wine suites that
# must catch it, and each RED is the start of a failing check's line that
# must appear, "<client>: not ok - <check>" (the width's prefix left out).
# The suite `cost_gate` is tests/bench/cost_gate.sh on the copy's bench
# build; its REDs are "not ok - <check>".
names=() files=() finds=() replaces=() suites=() reds=()
# The function ids, as entry/dispatch.h declares them: kLoyaltyPlan=... .
eval "$(sed -n 's/^inline constexpr int32_t \(k[A-Za-z]*\) = \([0-9]*\);$/\1=\2/p' "$root/entry/dispatch.h")"
fault() {
  names+=("$1") files+=("$2") finds+=("$3") replaces+=("$4") suites+=("${5//,/ }")
  shift 5
  local red
  red=$(printf '%s\n' "$@")
  reds+=("$red")
}
fault prefix entry/dispatch.cc 'mmts::TranslateText(u"调用门店函数出错。原因：")' \
  'String(u"调用门店函数出错。原因：")' entry_scripts \
  "entry_errors_eng_vbs: not ok - $kLoyaltyPlan raises the component's error behind the prefix" \
  "entry_errors_eng: not ok - dispatch $kLoyaltyPlan: Description"
fault argument-order bridge/com_backend.cc 'const size_t slot = count - 1 - i;' \
  'const size_t slot = i;' bridge "bridge: not ok - arguments arrive in the member's order"
fault release bridge/thread_state.cc '  if (store_->users.fetch_sub(1) == 1)
    TeardownThreadState();' '  store_->users.fetch_sub(1);' entry_scripts,proof_soak \
  "entry_errors_chs: not ok - state: released with the thread's last instance" \
  'proof_soak: not ok - lives: Phrasebook.Catalog released with the CWorkbench'
fault notice-style launchers/right_checked_launchers.cc \
  'ShowNotice(u"您没有设置机构的权限!", kStyleExclamation' \
  'ShowNotice(u"您没有设置机构的权限!", kStyleInformation' notices \
  'notices: not ok - refused_chs: notices shown' 'notices: not ok - refused_eng: notices shown'
fault log-tab console/log_box.cc "line += u'\\t';" "line += u' ';" console \
  'console_ui: not ok - click mnuVIP writes one log line' \
  'console_com: not ok - click mnuVIP writes one log line' \
  'console_uidriver: not ok - menu commands log their clicks'
fault modal-scope console/modal_scope_win.cc \
  'EnumThreadWindows(GetCurrentThreadId(), &CollectUsable,' 'EnumWindows(&CollectUsable,' console \
  'console_ui: not ok - two threads: the other console disables its own host window' \
  'console_com: not ok - two threads: the other console disables its own host window'
fault threading-model entry/registry_rows.h 'L"ThreadingModel", L"Apartment"' \
  'L"ThreadingModel", L"Both"' entry_registration \
  'entry_registered: not ok - ' 'entry_user_registered: not ok - ' \
  'InprocServer32 [ThreadingModel]: got "Both", want "Apartment"'
fault trace-switch trace/trace_config_win.cc '      bytes < sizeof(wchar_t)) {
    return {};' '      bytes < sizeof(wchar_t)) {
    return Text(L"C:\\windows\\temp\\workbench.jsonl");' trace \
  'trace: not ok - off: nothing is written'
fault registration-lock entry/registration.cc '    const RegistrationLock lock;
    return lock.Held() ? Register(scope) : lock.Failure();' '    return Register(scope);' \
  entry_registration 'entry_serialised: not ok - DllRegisterServer waits while another holds the mutex'
fault by-reference bridge/com_backend.cc '    if (args[i].by_ref())
      args[i].value() =' '    if (false)
      args[i].value() =' bridge 'bridge: not ok - a Long variable is written back' \
  'bridge: not ok - a value written before a raise reaches the variable'
fault member-lookup-cost launchers/direct_launchers.cc \
  '    ObjectRef lookup = CreateObject(u"Finder.OneRecordPick");' \
  '    for (int spin = 0; spin < 200; ++spin)
      asm volatile("" : : "r"(spin) : "memory");
    ObjectRef lookup = CreateObject(u"Finder.OneRecordPick");' cost_gate \
  "not ok - DEVOVIZoruze(kMemberLookup): Workbench's own instructions"

fault teardown-reentry bridge/thread_state.cc '  if (t_store == nullptr || t_tearing_down)
    return;
  ThreadStore* const store = t_store;' '  if (t_store == nullptr)
    return;
  ThreadStore*& store = t_store;' proof_host_frame \
  'proof_host_frame: planned 10 checks, reported 5' 'proof_host_frame_traced: planned 10 checks, reported 5'
fault id-outside-scope entry/workbench_object.cc '    const ErrRecord refused =
        CaptureHostCall([&] { hr = ReadFunctionId(params->rgvarg[0], &detail_func_id); });' \
  '    hr = ReadFunctionId(params->rgvarg[0], &detail_func_id);
    const ErrRecord refused;' proof_host_frame \
  'proof_host_frame: planned 10 checks, reported 8' 'proof_host_frame_traced: planned 10 checks, reported 8'
fault stack-bound bridge/host_scope.cc \
  '  if (t_depth >= kMaxHostCallDepth || platform::StackLeft() < kHostCallStackMargin)' \
  '  if (t_depth >= kMaxHostCallDepth)' proof_host_frame \
  'proof_host_frame: planned 10 checks, reported 8' 'proof_host_frame_traced: planned 10 checks, reported 8'
fault trace-final-path trace/trace_file_win.cc '  return !final.empty() &&
         CompareStringOrdinal' '  return !final.empty() ||
         CompareStringOrdinal' trace \
  "trace: not ok - a link in the middle: the host's answers are unchanged, nothing is written there"
fault trace-remote trace/trace_file_win.cc '    case DRIVE_RAMDISK:
      return true;' '    case DRIVE_RAMDISK:
    case DRIVE_REMOTE:
      return true;' trace 'trace_probe: not ok - a network drive is refused'
fault trace-torn trace/trace_file_win.cc "(last == '\n' || AppendLine({}).has_value());" 'true;' trace \
  'trace_probe: not ok - a torn last line gets its line end before the next line'
fault trace-dacl trace/trace_file_win.cc 'L"D:P(A;;FA;;;SY)' 'L"D:P(A;;FA;;;WD)(A;;FA;;;SY)' trace \
  'trace_probe: not ok - a new file allows its user, SYSTEM and the Administrators alone'
fault trace-owner trace/trace_file_win.cc 'if (existed && !OwnedByUser(' 'if (!existed && !OwnedByUser(' trace \
  "trace: not ok - a file that another user owns: the host's answers are unchanged, it is not written"
fault trace-one-limit trace/trace.cc '    if (size && *size < limit && !ends_full)' \
  '    if (size)' trace 'trace_probe: not ok - two processes, one limit: one trace-full line ends the file'
fault trace-file-lock trace/trace_file_win.cc '      if (LockFileEx(' '      if (true || LockFileEx(' \
  trace "trace_probe: not ok - a file whose writers' lock another process holds is not written"
# The tree's files, copied where they differ (a fresh time stamp: rebuilt).
sync_copy() {
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do
      [[ -f $root/$f ]] || continue
      cmp -s "$root/$f" "$copy/$f" && continue
      mkdir -p "$(dirname "$copy/$f")" && cp "$root/$f" "$copy/$f"
    done
}
# build LABEL SUITE...: the width's preset for Wine suites, the bench preset
# for the cost gate.
build() {
  local label=$1
  shift
  (
    cd "$copy" || exit 1
    if [[ " $* " != " cost_gate " ]]; then
      cmake --preset "$WB_ARCHES" && cmake --build --preset "$WB_ARCHES" -j2 || exit 1
    fi
    if [[ " $* " == *" cost_gate "* ]]; then
      cmake --preset bench && cmake --build --preset bench -j2 --target dispatch_bench || exit 1
    fi
  ) >"$logs/build-$label.txt" 2>&1
}
# run LABEL SUITE...: the suites' log, logs/run-LABEL.txt; the cost gate's
# checks are summed up as "Cost gate: N ok, M not ok".
run() {
  local label=$1 suite wine=()
  shift
  for suite; do [[ $suite == cost_gate ]] || wine+=("$suite"); done
  (
    cd "$copy" || exit 1
    ((${#wine[@]} == 0)) || bash tests/wine/run.sh "${wine[@]}"
    if [[ " $* " == *" cost_gate "* ]]; then
      bash tests/bench/cost_gate.sh >gate.txt 2>&1
      cat gate.txt
      echo "Cost gate: $(grep -c '^ok - ' gate.txt) ok, $(grep -c '^not ok - ' gate.txt) not ok"
    fi
  ) >"$logs/run-$label.txt" 2>&1
}
# reds LABEL: the failing checks of a run, without the width's prefix.
reds() {
  grep -E '^([a-z0-9_]+/)?[a-z0-9_-]+: not ok - |^not ok - ' "$logs/run-$1.txt" |
    sed -E 's#^[a-z0-9_]+/##'
}
# harness_trouble LABEL: what, in a run, failed for the harness's own reasons.
harness_trouble() {
  grep -E 'timed out after|prefix still busy|could not be prepared|no display could be started|is missing$' \
    "$logs/run-$1.txt" | head -n 3
}
# clean WHEN: the suites pass on the copy as it is, with some checks.
clean() {
  local when=$1 line
  run "clean-$when" "${all_suites[@]}"
  line=$(grep -E '^(Wine checks|Cost gate): ' "$logs/run-clean-$when.txt" | tr '\n' ' ')
  # Each part run (the Wine suites, the cost gate) passes with some checks.
  local parts=0 sound=0
  [[ " ${all_suites[*]} " == " cost_gate " ]] || parts=$((parts + 1))
  [[ " ${all_suites[*]} " != *" cost_gate "* ]] || parts=$((parts + 1))
  sound=$(grep -cE '^(Wine checks|Cost gate): [1-9][0-9]* ok, 0 not ok' "$logs/run-clean-$when.txt")
  ((sound == parts))
  wb_report "the copy without a fault, $when the faults: ${line:-no count}" $? \
    "$(reds "clean-$when" | head -n 5 | tr '\n' ' ')"
}

source "$root/tests/wine/lib/checks.sh"
selected=("$@")
((${#selected[@]})) || selected=("${names[@]}")
chosen=()
for i in "${!names[@]}"; do
  [[ " ${selected[*]} " == *" ${names[i]} "* ]] || continue
  # The cost gate is native: by default its faults are proven on win64 only.
  [[ $# == 0 && ${suites[i]} == cost_gate && $WB_ARCHES != win64 ]] && continue
  chosen+=("$i")
done
wb_plan $((${#chosen[@]} + 2))
mkdir -p "$copy" "$logs"
sync_copy
all_suites=()
for i in "${chosen[@]}"; do
  read -ra s <<<"${suites[i]}"
  all_suites+=("${s[@]}")
done
read -ra all_suites <<<"$(printf '%s\n' "${all_suites[@]}" | sort -u | tr '\n' ' ')"
echo "# $WB_ARCHES, suites: ${all_suites[*]}"
if ! build clean "${all_suites[@]}"; then
  wb_report "the copy builds" 1 "see $logs/build-clean.txt"
  exit 1
fi
clean before

for i in "${chosen[@]}"; do
  name=${names[i]} file=${files[i]}
  read -ra s <<<"${suites[i]}"
  label="fault $name ($file)"
  if ! FIND=${finds[i]} REPLACE=${replaces[i]} perl -0777 -i -pe \
    '$n += s/\Q$ENV{FIND}\E/$ENV{REPLACE}/; END { exit($n ? 0 : 1) }' "$copy/$file"; then
    wb_report "$label" 1 "not applied: the text to change is not in $file"
  elif ! build "$name" "${s[@]}"; then
    wb_report "$label" 1 "the faulty copy does not build (see $logs/build-$name.txt)"
  else
    run "$name" "${s[@]}"
    got=$(reds "$name")
    trouble=$(harness_trouble "$name")
    missed=()
    while IFS= read -r red; do
      [[ -z $red ]] && continue
      grep -qF -- "$red" <<<"$got" || missed+=("$red")
    done <<<"${reds[i]}"
    if [[ -n $trouble ]]; then
      wb_report "$label" 1 "inconclusive, the harness failed: $(tr '\n' ' ' <<<"$trouble")"
    elif ((${#missed[@]})); then
      wb_report "$label" 1 "NOT CAUGHT by: ${missed[*]} (red: $(grep -c . <<<"$got"))"
    else
      wb_report "$label: caught by $(grep -c . <<<"$got") checks, the $(grep -c . <<<"${reds[i]}") named among them" 0 ""
    fi
    echo "$got" | LC_ALL=C.UTF-8 sed -E 's/^(.{150}).*/\1/; s/^/# /'
  fi
  cp "$root/$file" "$copy/$file"
done
if build after "${all_suites[@]}"; then
  clean after
else
  wb_report "the copy without a fault, after the faults" 1 "it does not build"
fi
wb_finish
