#!/usr/bin/env bash
# Prints the host's report with, in place of each "journal-mark N" line, the
# reference suite's journal lines since the previous mark, made readable.
#   show.sh REPORT(UTF-16) JOURNAL(JSON lines)
set -euo pipefail
report=$1 journal=$2
here=$(dirname "${BASH_SOURCE[0]}")
from=0
iconv -f UTF-16 -t UTF-8 "$report" | tr -d '\r' | while IFS= read -r line; do
  if [[ $line =~ ^journal-mark\ ([0-9]+)$ ]]; then
    to=${BASH_REMATCH[1]}
    if ((to > from)); then
      echo "suite saw:"
      tr -d '\r' <"$journal" | sed -n "$((from + 1)),${to}p" | jq -r -f "$here/format.jq"
    fi
    from=$to
  else
    printf '%s\n' "$line"
  fi
done
