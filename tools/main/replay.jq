# The store's trace beside the replay's, host call by host call, with the
# first place where they differ marked "≠" on both sides, and a closing line
# that says whether the replay is the same. Two traces are the same when
# every event is, its time, process and thread aside (an argument that is
# the line's own process id, GetProperty's first, counts as one).
#   jq -rn --slurpfile store S.jsonl --slurpfile replay R.jsonl --argjson hold B -f replay.jq
# $hold: the store's host still held Workbench when its trace ended, so the
# replay's closing releases after the store's last event are not compared.
include "columns" {search: "./"};
include "trace_lines" {search: "./"};

def comparable:
  .pid as $pid
  | del(.time, .pid, .thread)
  | if has("args") then
      .args |= map(if (.type == "Long" or .type == "Integer") and .value == $pid
                   then .value = "pid" else . end)
    else . end;

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
    elif $call.event == "host-refused" then "== \($call.method) refused (\($call.hresult))"
    else "== " + ($call | host_call) end;

($store | map(comparable)) as $s
| ($replay | map(comparable)) as $all
| (if $hold and ($all | length) > ($s | length) and ($all[($s | length):] | all(.event == "release"))
   then $all[:($s | length)] else $all end) as $r
| (first(range(0; [($s | length), ($r | length)] | max) | select($s[.] != $r[.])) // null) as $diff
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
    "replay: the same \($s | length) events as the store's trace, times, process and thread ids aside"
  else
    def at($events): if $diff < ($events | length) then $events[$diff] | readable | gsub(" +"; " ") | ltrimstr(" ")
                     else "nothing more" end;
    "replay: differs from the store's trace at event \($diff + 1) (marked ≠): the store's has \($store | at(.)); the replay's \($replay | at(.))"
  end
