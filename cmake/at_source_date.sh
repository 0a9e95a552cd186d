#!/usr/bin/env bash
# Runs a command with the clock stopped at a given second (UTC), for the
# tools that write the time of their run into what they make (widl into a
# type library, the linker into a .pdb, wixl and msibuild into a package).
#   at_source_date.sh EPOCH COMMAND [ARG...]
set -euo pipefail
epoch=$1
shift
[[ $epoch =~ ^[0-9]+$ ]] || { echo "at_source_date: not a number of seconds: $epoch" >&2; exit 2; }
command -v faketime >/dev/null || { echo "at_source_date: faketime is missing (tools/setup.sh installs it)" >&2; exit 2; }
export TZ=UTC
exec faketime -f "$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')" "$@"
