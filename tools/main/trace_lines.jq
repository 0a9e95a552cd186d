# The lines of the reference suite's journal, or of Workbench's own trace
# (the same shape where the two meet), as short readable lines: `readable`.
# Used by format.jq and replay.jq.
#
# Every text of a trace comes from outside, and is shown through `esc`:
# control characters, the characters that turn a text's direction and the
# line separators as escapes (`\n`, `\u001b`, `\u202e`), quotes and
# backslashes as JSON writes them, so that no text can move the cursor,
# clear the screen or start a line of its own.
def hex4: . as $n | [4096, 256, 16, 1] | map(($n / . | floor) % 16 | "0123456789abcdef"[.:. + 1]) | add;
def esc:
  tostring | tojson | .[1:-1]
  | gsub("(?<c>[\u0080-\u009f\u061c\u200e\u200f\u2028\u2029\u202a-\u202e\u2066-\u2069\ufeff])";
         "\\u" + (.c | explode[0] | hex4));
def val:
  if .type == "String" then "\"" + (.value | esc) + "\"" + (if has("length") then "... (" + (.length | esc) + " characters)" else "" end)
  elif .type == "Object" then (if (.value | type) == "object" then "<" + (.value.progid | esc) + ">" else "<object>" end)
  elif .value == null then (.type | esc)
  else (.value | esc) + " (" + (.type | esc) + ")" end;
def arg: (if .byref then "ByRef " else "" end) + val;
def outcome:
  if has("error") then "  -> error " + (.error.number | esc) + ": " + (.error.description | esc)
  elif .event == "get" then "  -> " + (.result | val)
  else "" end;
def host_call: (.method | esc) + (if has("id") then "(" + (.id | esc) + ")" else "()" end);
def readable:
  if .event == "create" then "  create   " + (.progid | esc)
  elif .event == "create-failed" then "  create   " + (.progid | esc) + "  -> FAILED: " + (.error.description // "" | esc)
  elif .event == "release" then "  release  " + (.progid | esc) + (if has("live") then "  (live now: " + (.live | esc) + ")" else "" end)
  elif .event == "let" then "  set      " + (.progid | esc) + "." + (.member | esc) + " = " + (.args[-1] | val) + outcome
  elif .event == "host-enter" then "  enter    " + host_call
  elif .event == "host-leave" then "  leave    " + host_call + (if .outcome == "ok" then "  -> ok" else outcome end)
  elif .event == "host-refused" then "  refused  " + (.method | esc) + "  -> " + (.hresult | esc)
  elif .event == "notice" then "  notice   [" + (.icon | esc) + "] " + (.title | esc) + ": " + (.text | gsub("\r\n"; " / ") | esc)
  else "  " + (if .event == "get" then "ask " else "call" end) + "     " + (.progid | esc) + "." + (.member | esc)
    + "(" + ([.args[] | arg] | join(", ")) + ")" + outcome
  end;
