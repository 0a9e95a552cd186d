#!/usr/bin/env bash
# Proves that the checks bite: puts one deliberate fault at a time into a copy
# of the product tree, rebuilds the copy (win64), runs the Wine suites that
# cover the fault and lists the checks that caught it. The same suites must
# pass on the copy without a fault, and every fault must be caught; the exit
# code says whether both held. Run by hand, not by CI:
#   bash tests/fault_proof.sh [NAME...]     (default: every fault below)
# The copy is build/fault-proof (WB_FAULT_DIR), with its own build tree and
# Wine prefix, refreshed from this tree at each run; its logs are in logs/.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
copy=${WB_FAULT_DIR:-$root/build/fault-proof}
logs=$copy/logs
export WB_SOAK_CALLS=${WB_SOAK_CALLS:-20000} WB_ARCHES=${WB_ARCHES:-win64}

# fault NAME FILE FIND REPLACE SUITE...: FIND (exact text) in FILE becomes
# REPLACE; SUITEs are the Wine suites that must catch it.
names=() files=() finds=() replaces=() suites=()
fault() {
  names+=("$1") files+=("$2") finds+=("$3") replaces+=("$4")
  shift 4
  suites+=("$*")
}
fault prefix entry/dispatch.cc 'mmts::TranslateText(u"调用门店函数出错。原因：")' \
  'String(u"调用门店函数出错。原因：")' entry_scripts
fault argument-order bridge/com_backend.cc 'const size_t slot = count - 1 - i;' \
  'const size_t slot = i;' bridge
fault release bridge/thread_state.cc '  if (--Store().users == 0)
    TeardownThreadState();' '  --Store().users;' entry_scripts proof_soak
fault notice-style launchers/right_checked_launchers.cc \
  'ShowNotice(u"您没有设置机构的权限!", kStyleExclamation' \
  'ShowNotice(u"您没有设置机构的权限!", kStyleInformation' notices
fault log-tab console/log_box.cc "line += u'\\t';" "line += u' ';" console
fault modal-scope console/modal_scope_win.cc \
  'EnumThreadWindows(GetCurrentThreadId(), &CollectUsable,' 'EnumWindows(&CollectUsable,' console
fault threading-model entry/registry_rows.h 'L"ThreadingModel", L"Apartment"' \
  'L"ThreadingModel", L"Both"' entry_registration
fault trace-switch bridge/trace_file_win.cc 'return win::Utf8(path);' \
  'return win::Utf8(path.empty() ? std::wstring(L"C:\\windows\\temp\\workbench.jsonl") : path);' trace
fault by-reference bridge/com_backend.cc '    if (args[i].by_ref())
      args[i].value() =' '    if (false)
      args[i].value() =' bridge

# The tree's files, copied where they differ (a fresh time stamp: rebuilt).
sync_copy() {
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do
      [[ -f $root/$f ]] || continue
      cmp -s "$root/$f" "$copy/$f" && continue
      mkdir -p "$(dirname "$copy/$f")" && cp "$root/$f" "$copy/$f"
    done
}
build() {
  (cd "$copy" && cmake --preset win64 && cmake --build --preset win64 -j2) >"$logs/build-$1.txt" 2>&1
}
# run LABEL SUITE...: the checks that failed, one a line.
run() {
  local label=$1
  shift
  (cd "$copy" && bash tests/wine/run.sh "$@") >"$logs/run-$label.txt" 2>&1
  grep -E '^([a-z0-9_/-]+: )?not ok - ' "$logs/run-$label.txt"
}

selected=("$@")
((${#selected[@]})) || selected=("${names[@]}")
mkdir -p "$copy" "$logs"
sync_copy
status=0
all_suites=()
for i in "${!names[@]}"; do
  [[ " ${selected[*]} " == *" ${names[i]} "* ]] && read -ra s <<<"${suites[i]}" && all_suites+=("${s[@]}")
done
read -ra all_suites <<<"$(printf '%s\n' "${all_suites[@]}" | sort -u | tr '\n' ' ')"
echo "without a fault: ${all_suites[*]}"
if ! build clean; then
  echo "  the copy does not build (see $logs/build-clean.txt)"
  exit 1
fi
caught=$(run clean "${all_suites[@]}")
if [[ -n $caught ]]; then
  echo "  NOT CLEAN:"
  sed 's/^/    /' <<<"$caught"
  status=1
else
  echo "  $(tail -n 1 "$logs/run-clean.txt")"
fi

for i in "${!names[@]}"; do
  name=${names[i]} file=${files[i]}
  [[ " ${selected[*]} " == *" $name "* ]] || continue
  read -ra s <<<"${suites[i]}"
  echo "fault $name ($file), suites ${s[*]}:"
  if ! FIND=${finds[i]} REPLACE=${replaces[i]} perl -0777 -i -pe \
    '$n += s/\Q$ENV{FIND}\E/$ENV{REPLACE}/; END { exit($n ? 0 : 1) }' "$copy/$file"; then
    echo "  NOT APPLIED: the text to change is not in $file"
    status=1
  elif ! build "$name"; then
    echo "  the faulty copy does not build (see $logs/build-$name.txt)"
    status=1
  else
    caught=$(run "$name" "${s[@]}")
    if [[ -z $caught ]]; then
      echo "  NOT CAUGHT"
      status=1
    else
      echo "  caught by $(grep -c . <<<"$caught") checks:"
      LC_ALL=C.UTF-8 sed -E 's/^(.{150}).*/\1/; s/^/    /' <<<"$caught"
    fi
  fi
  cp "$root/$file" "$copy/$file"
done
exit "$status"
