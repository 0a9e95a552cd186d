# The check helpers of the harness's bash clients, beside checks.vbs,
# checks.js and checks.h: one `ok - ` / `not ok - ` line per check, then
# wb_finish prints the plan line and exits with the number of failures.
# Source it; WB_CHECK_LABEL, when set, goes before every check's name.
WB_CHECK_LABEL=${WB_CHECK_LABEL-}
wb_checks=0
wb_failures=0

# wb_report NAME STATUS DETAILS: one check's line; STATUS 0 passes.
wb_report() {
  local name=${WB_CHECK_LABEL:+$WB_CHECK_LABEL: }$1
  wb_checks=$((wb_checks + 1))
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

# wb_finish: the plan line, and the failures as the exit code.
wb_finish() {
  echo "1..$wb_checks"
  exit "$wb_failures"
}

# The Windows form (Z:\...) of a Unix path.
wb_winpath() {
  local p
  p=$(readlink -m -- "$1")
  printf 'Z:%s' "${p//\//\\}"
}
