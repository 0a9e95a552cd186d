# wb_winpath PATH: the Windows form (Z:\...) of a Unix path, for the harness
# and its bash clients (sourced by harness.sh and checks.sh).
wb_winpath() {
  local p
  p=$(readlink -m -- "$1")
  printf 'Z:%s' "${p//\//\\}"
}
