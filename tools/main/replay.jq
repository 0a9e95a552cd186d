# The store's trace beside the replay's, host call by host call, with the
# first place where they differ marked "≠" on both sides, and a closing line
# that says whether the replay is the same (replay_compare.jq).
#   jq -rn --slurpfile store S.jsonl --slurpfile replay R.jsonl --argjson hold B -f replay.jq
# The closing line is for reading: replay.sh takes its verdict from
# replay_compare.jq itself, never from a line that a trace could have forged.
include "columns" {search: "./"};
include "trace_lines" {search: "./"};
include "replay_compare" {search: "./"};

def ends_call: .event == "host-leave" or .event == "host-refused";
def starts_call: .event == "host-enter" or .event == "host-refused";

# The indexes of the events in blocks: each host call, and what happens
# between two calls.
def blocks:
  . as $events
  | reduce range(0; length) as $i ({done: [], open: []};
      if ($events[$i] | starts_call) and .open != [] then .done += [.open] | .open = [] else . end
      | .open += [$i]
      | if ($events[$i] | ends_call) then .done += [.open] | .open = [] else . end)
  | .done + (if .open == [] then [] else [.open] end);

def heading($events):
  (map($events[.]) | map(select(starts_call)) | first // null) as $call
  | if $call == null then "== the host lets Workbench go"
    elif $call.event == "host-refused" then "== \($call.method | esc) refused (\($call.hresult | esc))"
    else "== " + ($call | host_call) end;

($store | length) as $count
| first_difference($store; $replay; $hold) as $diff
| def lines($events): map(($events[.] | readable) as $text
                          | if . == $diff then "≠ " + $text[2:] else $text end);
  ($store | blocks) as $left
| ($replay | blocks) as $right
| (range(0; [($left | length), ($right | length)] | max) as $k
   | ($left[$k] // []) as $l
   | ($right[$k] // []) as $r
   | (if $l != [] then ($l | heading($store)) else ($r | heading($replay)) end),
     columns("store traced:"; "replay traced:"; 100; ($l | lines($store)); ($r | lines($replay)))),
  if $diff == null then
    "replay: the same \($count) events as the store's trace, times, process and thread ids aside"
  else
    def at($events): if $diff < ($events | length) then $events[$diff] | readable | gsub(" +"; " ") | ltrimstr(" ")
                     else "nothing more" end;
    "replay: differs from the store's trace at event \($diff + 1) (marked ≠): the store's has \($store | at(.)); the replay's \($replay | at(.))"
  end
