#!/usr/bin/env bash
# Runs the console's Wine suite on its own, against the win64 build (WB_ARCH=win32 for the 32-bit one):
#   bash tests/wine/ui/run.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../harness.sh"
source "$WB_ROOT/tests/wine/suites.sh"
source "$WB_ROOT/tests/wine/ui/suite.sh"
wb_wine_start
suite_console
wb_wine_summary
((WB_WINE_FAILED == 0))
