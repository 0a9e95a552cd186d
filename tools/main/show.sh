#!/usr/bin/env bash
# Prints the host's report with, in place of each "journal-mark N" line, the
# reference suite's journal lines since the previous mark, made readable, and
# in place of each "notice-mark N" line the message boxes shown since then.
# Given Workbench's own trace, each host call's trace lines (up to its
# host-leave line) are put beside what the suite saw during that call.
#   show.sh REPORT(UTF-16) JOURNAL(JSON lines) [NOTICES(title TAB text TAB icon) [TRACE(JSON lines)]]
set -euo pipefail
report=$1 journal=$2 notices=${3:-/dev/null} trace=${4:-}
here=$(dirname "${BASH_SOURCE[0]}")
journal_from=0
notice_from=0
mark=0

# The trace made readable, in blocks: block K holds the lines of the host's
# K-th call, the last block what came after its last call.
declare -A traced=()
if [[ -n $trace && -s $trace ]]; then
  block=1
  while IFS=$'\t' read -r event text; do
    traced[$block]+="$text"$'\n'
    [[ $event == host-leave ]] && block=$((block + 1))
  done < <(paste <(tr -d '\r' <"$trace" | jq -r .event) \
                 <(tr -d '\r' <"$trace" | jq -r -f "$here/format.jq"))
fi

# json_lines TEXT: the text's lines as a JSON array of strings.
json_lines() { printf '%s' "$1" | jq -R . | jq -s -c .; }

iconv -f UTF-16 -t UTF-8 "$report" | tr -d '\r' | while IFS= read -r line; do
  if [[ $line =~ ^journal-mark\ ([0-9]+)$ ]]; then
    to=${BASH_REMATCH[1]}
    suite_saw=
    if ((to > journal_from)); then
      suite_saw=$(tr -d '\r' <"$journal" | sed -n "$((journal_from + 1)),${to}p" |
        jq -r -f "$here/format.jq")
    fi
    journal_from=$to
    if [[ -n $trace ]]; then
      if [[ -n $suite_saw || -n ${traced[$mark]-} ]]; then
        # The suite saw nothing of the host's call entering: its lines start
        # one row lower, beside the same calls in the trace.
        [[ ${traced[$mark]-} == "  enter "* ]] && suite_saw=$'\n'$suite_saw
        jq -rn --arg left_title "suite saw:" --arg right_title "Workbench traced:" \
          --argjson max_left 100 --argjson left "$(json_lines "$suite_saw")" \
          --argjson right "$(json_lines "${traced[$mark]-}")" \
          -f "$here/side_by_side.jq"
      fi
    elif [[ -n $suite_saw ]]; then
      echo "suite saw:"
      printf '%s\n' "$suite_saw"
    fi
    mark=$((mark + 1))
  elif [[ $line =~ ^notice-mark\ ([0-9]+)$ ]]; then
    to=${BASH_REMATCH[1]}
    if ((to > notice_from)); then
      sed -n "$((notice_from + 1)),${to}p" "$notices" |
        while IFS=$'\t' read -r title text icon _; do
          echo "notice shown ($icon icon), title \"$title\":"
          printf '  %s\n' "${text//\\n/$'\n'  }"
        done
    fi
    notice_from=$to
  else
    printf '%s\n' "$line"
  fi
done
