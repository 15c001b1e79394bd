#!/bin/sh
# Prints a table of bench/run.sh beside an earlier one: after each row's
# ratio, the ratio of the same operation and size in the earlier table and a
# mark when it moved by more than a fifth ("WORSE" above, "better" below),
# so that a regression shows the next time anyone runs the benchmarks. Rows
# that carry a ratio to a fill (registration, modification, deletion) are
# compared by that ratio as well.
#
#   bench/compare_tables.sh EARLIER CURRENT
#
# EARLIER may be any text holding such rows: a saved table, or
# docs/performance.md with its tables among the prose (the first row of an
# operation and size counts). CURRENT is a table as run.sh prints it. The
# comparison never fails the run: it only marks.
set -e
if [ $# -ne 2 ] || [ ! -r "$1" ] || [ ! -r "$2" ]; then
  echo "usage: $0 EARLIER CURRENT (two readable tables)" >&2
  exit 2
fi

awk '
  # A table row: operation, size, ours, baseline, ratio, then the target and
  # notes. Values are "-", a number, or a number followed by "MB". Sets
  # row_ratio, row_fill (the ratio to a fill in the target, or "") and
  # row_end (where the ratio ends in the line); false for any other line.
  function parse(line,    t, n, at, k) {
    n = split(line, t, " ")
    if (n < 5 || t[1] !~ /^[a-z][a-z0-9_]*$/ || t[2] !~ /^([0-9]+|-)$/) return 0
    at = 3
    for (k = 0; k < 2; k++) {
      if (t[at] == "-") at++
      else if (t[at] ~ /^[0-9.]+$/) at += (t[at + 1] == "MB") ? 2 : 1
      else return 0
    }
    if (t[at] != "-" && t[at] !~ /^[0-9.]+$/) return 0
    row_ratio = t[at]
    row_fill = ""
    if (match(line, /fill \([0-9.]+\)/)) row_fill = substr(line, RSTART + 6, RLENGTH - 7)
    row_end = tokenEnd(line, at)
    return 1
  }
  # The position just after the k-th blank-separated token of the line.
  function tokenEnd(line, k,    i, c, inside, seen) {
    seen = 0; inside = 0
    for (i = 1; i <= length(line); i++) {
      c = substr(line, i, 1)
      if (c != " " && c != "\t") { if (!inside) { inside = 1; seen++ } }
      else if (inside) { inside = 0; if (seen == k) return i }
    }
    return length(line) + 1
  }
  # How `now` compares with `was` (two ratios): a mark, or "" within a fifth.
  function mark(now, was, label) {
    if (was == "" || was == "-" || now == "" || now == "-" || was + 0 <= 0) return ""
    if (now + 0 > was * 1.2) { worse++; return sprintf("%sWORSE %+.0f%%", label, (now / was - 1) * 100) }
    if (now + 0 < was / 1.2) return sprintf("%sbetter %+.0f%%", label, (now / was - 1) * 100)
    return ""
  }
  FILENAME == ARGV[1] {
    if (parse($0)) {
      key = $1 SUBSEP $2
      if (!(key in earlier)) { earlier[key] = row_ratio; earlierFill[key] = row_fill }
    }
    next
  }
  !parse($0) {
    # The header: the two new columns go after the ratio.
    if (match($0, / ratio( |$)/))
      print substr($0, 1, RSTART + 5) sprintf(" %8s  %-28s", "earlier", "vs earlier") substr($0, RSTART + 6)
    else print
    next
  }
  {
    key = $1 SUBSEP $2
    was = (key in earlier) ? earlier[key] : ""
    text = (key in earlier) ? mark(row_ratio, was, "") : "new"
    fill = (key in earlier) ? mark(row_fill, earlierFill[key], "fill ") : ""
    if (fill != "") text = (text == "" ? "" : text ", ") fill
    print substr($0, 1, row_end - 1) sprintf(" %8s  %-28s", was == "" ? "-" : was, text) substr($0, row_end)
  }
  END {
    if (worse) printf "\n%d ratio(s) worse than in the earlier table by more than 20 %%\n", worse
  }' "$1" "$2"
