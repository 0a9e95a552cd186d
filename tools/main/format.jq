# Turns lines of the reference suite's journal, or of Workbench's own trace
# (the same shape where the two meet), into short readable lines.
include "trace_lines" {search: "./"};
readable
