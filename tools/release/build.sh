#!/usr/bin/env bash
# Builds the release's DLLs for tools/package.sh, both widths, in
# build/release/, with the patch number and the commit's time given:
#   tools/release/build.sh PATCH SOURCE_DATE_EPOCH
# GNU ld writes the absolute path of every object into a .pdb (and hashes
# the .pdb's content into the DLL's debug GUID), so a build is the same only
# from the same path. Where a private mount namespace can be made (root),
# the tree is built as /mnt/workbench, whatever folder it is in: two clones
# anywhere give the same bytes. Elsewhere it builds in place and says so.
set -euo pipefail
patch=$1 epoch=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
canonical=/mnt/workbench

if [[ ${WB_RELEASE_CANONICAL-} != 1 ]]; then
  if unshare --mount --propagation private true 2>/dev/null; then
    exec unshare --mount --propagation private bash -c '
      mount -t tmpfs workbench /mnt && mkdir "$2" && mount --bind "$1" "$2" &&
        WB_RELEASE_CANONICAL=1 exec bash "$2/tools/release/build.sh" "${@:3}"' \
      _ "$root" "$canonical" "$patch" "$epoch"
  fi
  echo "package: warning: no private mount namespace here (not root?): built in $root, so the .pdb files and the DLLs' debug GUIDs hold that folder"
fi

cd "$root"
mkdir -p build/release
for arch in win32 win64; do
  log=build/release/$arch.log
  # A build folder configured from another path (before the canonical one)
  # cannot be configured again from this one.
  cache=build/release/$arch/CMakeCache.txt
  if [[ -f $cache ]] && ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$PWD" "$cache"; then
    rm -rf -- "build/release/$arch"
  fi
  cmake --preset "release-$arch" -DWB_VERSION_PATCH="$patch" -DWB_SOURCE_DATE_EPOCH="$epoch" >"$log" 2>&1 ||
    { tail -n 20 "$log" >&2; echo "package: configuring the $arch release failed" >&2; exit 1; }
  cmake --build "build/release/$arch" -j2 --target Workbench RefSuite wb_host_kit wb_refsuite_manifest \
    >>"$log" 2>&1 ||
    { grep -E 'error|FAILED' "$log" | head -n 20 >&2; echo "package: the $arch release build failed" >&2; exit 1; }
done
