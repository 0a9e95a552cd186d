#!/usr/bin/env bash
# Takes docs/console.png: the console under Xvfb with a few log lines and its
# "其他" menu open. Needs ImageMagick's `import`, fonts-wqy-microhei and the
# win64 build (WB_ARCH=win32 for the 32-bit one); fonts-wine for the caption buttons.
#   bash tests/wine/ui/screenshot.sh [output.png]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../harness.sh"
source "$WB_ROOT/tests/wine/suites.sh"
source "$WB_ROOT/tests/wine/ui/suite.sh"
out=${1:-$WB_ROOT/docs/console.png}
WB_CONSOLE_UI=$WB_BUILD/tests/wine/ui

wb_wine_start
wb_need_display
# The caption buttons' glyphs (package fonts-wine); the prefix does not find
# them where the package puts them.
if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
  cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
export LANG=$WB_CONSOLE_LANG
drive() {
  timeout 30 "$WB_WINE_LOADER" "$WB_CONSOLE_UI/uidriver.exe" \
    wait-window WorkbenchConsole '*' 10000 "$@" | tr -d '\r'
}
timeout 60 "$WB_WINE_LOADER" "$WB_CONSOLE_UI/console_client.exe" --host >/dev/null 2>&1 &
host=$!
drive menu-sync 2 menu-sync 10 menu-sync 9 menu-sync 7 menu-sync 1 menu-sync 3 menu-sync 8 \
  menu-sync 5 menu-sync 10 menu-sync 9 open-menu 3 sleep 500 >/dev/null
mkdir -p "$(dirname "$out")"
# The console sits at the top left of the screen: crop to it.
import -window root -crop 560x396+0+0 +repage "$out"
drive key 27 key 27 sleep 300 menu 6 wait-gone 10000 >/dev/null
wait "$host" || true
echo "wrote $out"
