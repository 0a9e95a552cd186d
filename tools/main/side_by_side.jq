# Prints two columns of lines side by side: $left and $right (arrays of
# strings), under the headings $left_title and $right_title. The left column
# is as wide as its widest line, up to $max_left columns (a longer line is cut
# and ends in "…"). A character of the wide East Asian ranges takes two
# columns.
include "columns" {search: "./"};
columns($left_title; $right_title; $max_left; $left; $right)
