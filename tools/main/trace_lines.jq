# The lines of the reference suite's journal, or of Workbench's own trace
# (the same shape where the two meet), as short readable lines: `readable`.
# Used by format.jq and replay.jq.
def val:
  if .type == "String" then "\"" + (.value | gsub("\r"; "\\r") | gsub("\n"; "\\n")) + "\"" + (if has("length") then "... (" + (.length | tostring) + " characters)" else "" end)
  elif .type == "Object" then (if (.value | type) == "object" then "<" + .value.progid + ">" else "<object>" end)
  elif .value == null then .type
  else (.value | tostring) + " (" + .type + ")" end;
def arg: (if .byref then "ByRef " else "" end) + val;
def outcome:
  if has("error") then "  -> error " + (.error.number | tostring) + ": " + .error.description
  elif .event == "get" then "  -> " + (.result | val)
  else "" end;
def host_call: .method + (if has("id") then "(" + (.id | tostring) + ")" else "()" end);
def readable:
  if .event == "create" then "  create   " + .progid
  elif .event == "create-failed" then "  create   " + .progid + "  -> FAILED: " + (.error.description // "")
  elif .event == "release" then "  release  " + .progid + (if has("live") then "  (live now: " + (.live | tostring) + ")" else "" end)
  elif .event == "let" then "  set      " + .progid + "." + .member + " = " + (.args[-1] | val) + outcome
  elif .event == "host-enter" then "  enter    " + host_call
  elif .event == "host-leave" then "  leave    " + host_call + (if .outcome == "ok" then "  -> ok" else outcome end)
  elif .event == "host-refused" then "  refused  " + .method + "  -> " + .hresult
  elif .event == "notice" then "  notice   [" + .icon + "] " + .title + ": " + (.text | gsub("\r\n"; " / "))
  else "  " + (if .event == "get" then "ask " else "call" end) + "     " + .progid + "." + .member
    + "(" + ([.args[] | arg] | join(", ")) + ")" + outcome
  end;
