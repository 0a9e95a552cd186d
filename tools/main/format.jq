# Turns the reference suite's journal lines into short readable lines.
def val:
  if .type == "String" then "\"" + .value + "\""
  elif .type == "Object" then (if (.value | type) == "object" then "<" + .value.progid + ">" else "<object>" end)
  elif .value == null then .type
  else (.value | tostring) + " (" + .type + ")" end;
def arg: (if .byref then "ByRef " else "" end) + val;
def outcome:
  if has("error") then "  -> error " + (.error.number | tostring) + ": " + .error.description
  elif .event == "get" then "  -> " + (.result | val)
  else "" end;
if .event == "create" then "  create   " + .progid
elif .event == "create-failed" then "  create   " + .progid + "  -> FAILED: " + (.error.description // "")
elif .event == "release" then "  release  " + .progid + "  (live now: " + (.live | tostring) + ")"
elif .event == "let" then "  set      " + .progid + "." + .member + " = " + (.args[-1] | val) + outcome
else "  " + (if .event == "get" then "ask " else "call" end) + "     " + .progid + "." + .member
  + "(" + ([.args[] | arg] | join(", ")) + ")" + outcome
end
