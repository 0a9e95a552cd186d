#!/usr/bin/env bash
# Prints the host's report with, in place of each "journal-mark N" line, the
# reference suite's journal lines since the previous mark, made readable, and
# in place of each "notice-mark N" line the message boxes shown since then.
#   show.sh REPORT(UTF-16) JOURNAL(JSON lines) [NOTICES(title TAB text TAB icon)]
set -euo pipefail
report=$1 journal=$2 notices=${3:-/dev/null}
here=$(dirname "${BASH_SOURCE[0]}")
journal_from=0
notice_from=0
iconv -f UTF-16 -t UTF-8 "$report" | tr -d '\r' | while IFS= read -r line; do
  if [[ $line =~ ^journal-mark\ ([0-9]+)$ ]]; then
    to=${BASH_REMATCH[1]}
    if ((to > journal_from)); then
      echo "suite saw:"
      tr -d '\r' <"$journal" | sed -n "$((journal_from + 1)),${to}p" | jq -r -f "$here/format.jq"
    fi
    journal_from=$to
  elif [[ $line =~ ^notice-mark\ ([0-9]+)$ ]]; then
    to=${BASH_REMATCH[1]}
    if ((to > notice_from)); then
      sed -n "$((notice_from + 1)),${to}p" "$notices" |
        while IFS=$'\t' read -r title text icon; do
          echo "notice shown ($icon icon), title \"$title\":"
          printf '  %s\n' "${text//\\n/$'\n'  }"
        done
    fi
    notice_from=$to
  else
    printf '%s\n' "$line"
  fi
done
