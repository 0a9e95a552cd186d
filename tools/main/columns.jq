# Two columns of lines side by side, for tools/main's views (side_by_side.jq,
# replay.jq): `columns` prints $left and $right (arrays of strings) under the
# headings $left_title and $right_title. The left column is as wide as its
# widest line, up to $max_left columns (a longer line is cut and ends in
# "…"). A character of the wide East Asian ranges takes two columns.
def wide: (. >= 4352 and . <= 4447) or (. >= 11904 and . <= 42191)
  or (. >= 44032 and . <= 55203) or (. >= 63744 and . <= 64255)
  or (. >= 65072 and . <= 65103) or (. >= 65280 and . <= 65376)
  or (. >= 65504 and . <= 65510);
def width: explode | map(if wide then 2 else 1 end) | add // 0;
# The longest start of the text that fits in $n columns, with "…" when cut.
def fit($n):
  if width <= $n then .
  else explode
    | reduce .[] as $c ({text: [], used: 0};
        (if ($c | wide) then 2 else 1 end) as $w
        | if .used + $w <= $n - 1 then {text: (.text + [$c]), used: (.used + $w)} else . end)
    | (.text | implode) + "…"
  end;
def columns($left_title; $right_title; $max_left; $left; $right):
  (([$left_title] + $left | map(width) | max) | if . > $max_left then $max_left else . end) as $column
  | [range(0; [($left | length), ($right | length)] | max + 1)]
  | .[]
  | ((if . == 0 then $left_title else ($left[. - 1] // "") end) | fit($column)) as $l
  | (if . == 0 then $right_title else ($right[. - 1] // "") end) as $r
  | $l + (" " * ($column + 3 - ($l | width))) + $r
  | sub(" +$"; "");
