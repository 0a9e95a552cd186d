# The store's trace against the replay's, event by event (replay.jq shows
# it, replay.sh decides by it). Two traces are the same when every event
# is, its time, process and thread aside (an argument that is the line's
# own process id, GetProperty's first, counts as one).
# $hold: the store's host still held Workbench when its trace ended, so the
# replay's closing releases after the store's last event are not compared.

def comparable:
  .pid as $pid
  | del(.time, .pid, .thread)
  | if has("args") then
      .args |= map(if (.type == "Long" or .type == "Integer") and .value == $pid
                   then .value = "pid" else . end)
    else . end;

# The replay's events that are compared with the store's.
def compared($store; $replay; $hold):
  ($replay | map(comparable)) as $all
  | if $hold and ($all | length) > ($store | length) and ($all[($store | length):] | all(.event == "release"))
    then $all[:($store | length)] else $all end;

# The index of the first event where the two differ, or null.
def first_difference($store; $replay; $hold):
  ($store | map(comparable)) as $s
  | compared($s; $replay; $hold) as $r
  | first(range(0; [($s | length), ($r | length)] | max) | select($s[.] != $r[.])) // null;
