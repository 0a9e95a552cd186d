#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (run as root). Only the
# packages that are missing are installed, so a second run takes a moment.
# Where the machine runs 32-bit programs (tools/probe_i386.sh), it also adds
# the i386 architecture and 32-bit Wine, so that the 32-bit DLL, the product
# as shipped, runs in the same WoW64 prefix as the 64-bit one.
#   bash tools/setup.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

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
  # xmllint, which checks the trace's administrative template.
  libxml2-utils
  # Release packages: Windows Installer (wixl), signatures, zip, symbols, and
  # a stopped clock for the tools that write the time into what they make.
  wixl msitools osslsigncode openssl zip llvm faketime
  # Fuzzing and sanitizer runtimes.
  clang libclang-rt-14-dev
)

# missing PACKAGE...: those of the packages that are not installed (one
# dpkg-query for all; a package dpkg has never heard of prints no line).
missing() {
  local -A installed=()
  local name status p
  while read -r name status; do
    [[ $status == installed ]] && installed[$name]=1
  done < <(dpkg-query -W -f='${binary:Package} ${db:Status-Status}\n' "$@" 2>/dev/null || true)
  for p in "$@"; do
    [[ -n ${installed[$p]-} || -n ${installed[$p:amd64]-} ]] || echo "$p"
  done
}

# install PACKAGE...: apt-get install, quietly, as root.
install() {
  if ((EUID != 0)); then
    echo "setup: missing $*; run as root to install them" >&2
    exit 1
  fi
  echo "setup: installing $*"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

mapfile -t needed < <(missing "${packages[@]}")
if ((${#needed[@]})); then
  install "${needed[@]}"
else
  echo "setup: all ${#packages[@]} packages present"
fi

# 32-bit Wine, where 32-bit programs run (the probe needs binutils, which
# came with g++ above).
if ! reason=$(bash tools/probe_i386.sh); then
  echo "setup: no 32-bit Wine: $reason; the 32-bit checks will be skipped"
  exit 0
fi
# The archive's i386 index can lag the amd64 one, so that wine32:i386 cannot
# be installed beside what is already there: that is a reason to skip the
# 32-bit checks, kept where the test run reads it, never a failed setup.
skip_reason=build/wine32-unavailable.txt
rm -f -- "$skip_reason"
if [[ -n $(missing wine32:i386) ]]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    ((EUID == 0)) || { echo "setup: the i386 architecture is missing; run as root" >&2; exit 1; }
    dpkg --add-architecture i386
  fi
  log=$(mktemp)
  if ! (install wine32:i386) >"$log" 2>&1; then
    mkdir -p build
    reason=$(grep -m 1 '^E: ' "$log" || tail -n 1 "$log")
    echo "apt-get install wine32:i386 failed: ${reason:-no message}" >"$skip_reason"
    echo "setup: no 32-bit Wine: $(cat "$skip_reason"); the 32-bit checks will be skipped"
  fi
  cat "$log"
  rm -f -- "$log"
fi
