#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (run as root). Only the
# packages that are missing are installed, so a second run takes a moment.
#   bash tools/setup.sh
set -euo pipefail

packages=(
  # Native build and unit tests.
  cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  # Cross builds for Windows, widl / windres, the .idl files widl needs.
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libwine-dev
  # Running the Windows builds: 64-bit Wine, a virtual display, CJK fonts,
  # screenshots and window tools.
  wine wine64 xvfb xauth fonts-wqy-microhei fonts-wine imagemagick x11-utils
  # The main job turns the suite's journal into readable lines.
  jq
  # Fuzzing and sanitizer runtimes.
  clang libclang-rt-14-dev
)

# One dpkg-query for all; a package dpkg has never heard of prints no line.
declare -A installed=()
while read -r name status; do
  [[ $status == installed ]] && installed[$name]=1
done < <(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null || true)
missing=()
for p in "${packages[@]}"; do
  [[ -n ${installed[$p]-} ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

if ((EUID != 0)); then
  echo "setup: missing ${missing[*]}; run as root to install them" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
