# The Wine suite of the release (tools/package.sh): both Windows Installer
# packages installed, used, repaired, upgraded, refused as a downgrade and
# removed in a prefix of their own, their keys compared with regsvr32's, and
# their signatures checked. Sourced by tests/wine/suites.sh.

# Run in the 64-bit pass only: the x64 package carries both widths and one
# msiexec installs either package; the 32-bit hosts join it where 32-bit
# programs run.
suite_install() {
  [[ $WB_ARCH == win64 ]] || return 0
  local win32=1 reason
  if ! reason=$(wb_arch_runnable win32); then
    win32=0
    wb_skip install_32bit_rows no-32-bit "$reason"
  fi
  WB_CLIENT_TIMEOUT=${WB_INSTALL_TIMEOUT:-600} wb_run_client install \
    bash "$WB_ROOT/tests/wine/install/install_client.sh" "$WB_WINE_TMP/install" "$win32"
}
