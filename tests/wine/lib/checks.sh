# The check helpers of the harness's bash clients, beside checks.vbs,
# checks.js and checks.h: wb_plan first, then one `ok - ` / `not ok - ` line
# per check; wb_finish exits with the number of failures. Source it;
# WB_CHECK_LABEL, when set, goes before every check's name.
source "$(dirname "${BASH_SOURCE[0]}")/winpath.sh"
WB_CHECK_LABEL=${WB_CHECK_LABEL-}
wb_failures=0

# wb_plan N: the plan line, before the first check.
wb_plan() { echo "1..$1"; }

# wb_report NAME STATUS DETAILS: one check's line; STATUS 0 passes.
wb_report() {
  local name=${WB_CHECK_LABEL:+$WB_CHECK_LABEL: }$1
  if [[ $2 == 0 ]]; then
    echo "ok - $name"
  else
    wb_failures=$((wb_failures + 1))
    echo "not ok - $name: $3"
  fi
}

# wb_expect_eq NAME WANT GOT
wb_expect_eq() {
  [[ $2 == "$3" ]]
  wb_report "$1" $? "got [$3], want [$2]"
}

# wb_expect NAME DETAILS COMMAND...: passes when COMMAND succeeds.
wb_expect() {
  local name=$1 details=$2
  shift 2
  "$@"
  wb_report "$name" $? "$details"
}

# wb_finish: the failures as the exit code.
wb_finish() { exit "$wb_failures"; }
