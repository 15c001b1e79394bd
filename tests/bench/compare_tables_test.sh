#!/bin/sh
# bench/compare_tables.sh on made-up tables: which rows it marks, how it
# reads an earlier table among prose, megabyte rows and ratios to a fill.
set -e
compare=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
expect() {  # expect NAME PATTERN: the line of that operation and size matches
  line=$(grep -E "^$1 " "$scratch/out" || true)
  if ! printf '%s\n' "$line" | grep -Eq -- "$2"; then
    echo "FAILED: $1: expected /$2/ in: $line" >&2
    failures=$((failures + 1))
  fi
}

# The earlier table as docs/performance.md holds it: prose, a header, rows,
# and a later table repeating one row (the first one counts).
cat >"$scratch/earlier" <<'TABLE'
Some prose: fill 2 3 4 that is no row.

operation                      size      ours (ms)  baseline (ms)    ratio  target                         notes
list_fill                    100000         52.981         66.020     0.80                                 
peak_memory                  100000       159.3 MB       121.2 MB     1.31  <250 MB: ok                    
register                     100000        226.953        138.847     1.63  <=1.5x fill (1.31): ok         rows=100000
modify                       100000        189.235         71.026     2.66  <=1.5x fill (1.09): ok         rows=100000
startup                      100000        354.603        185.703     1.91  <=3x baseline: ok              rows=100000
history                      100000          8.317         42.126     0.20                                 rows=4

operation                      size      ours (ms)  baseline (ms)    ratio  target                         notes
list_fill                    100000          1.000          1.000     9.99                                 
TABLE

cat >"$scratch/current" <<'TABLE'
operation                      size      ours (ms)  baseline (ms)    ratio  target                         notes
list_fill                    100000         63.000         66.000     0.95                                 
peak_memory                  100000       200.3 MB       121.2 MB     1.65  <250 MB: ok                    
register                     100000        160.000        140.000     1.14  <=1.2x fill (1.70): MISSED     rows=100000
modify                       100000        189.235         71.026     2.66  <=1.5x fill (1.09): ok         rows=100000
startup                      100000        250.000        185.000     1.35  <=1.5x baseline: ok            rows=100000
history                      100000          8.317          -            -                                 rows=4
search_new_kind              100000         10.000          5.000     2.00                                 rows=3
TABLE

"$compare" "$scratch/earlier" "$scratch/current" >"$scratch/out"

# 0.80 -> 0.95 is within a fifth (the later repeated row does not count).
expect "list_fill +100000 .* 0\.95 +0\.80 +[^ W]*$"
# Megabyte rows are read with their unit.
expect "peak_memory +100000 .* 1\.65 +1\.31 +WORSE \+26%"
# The ratio to a fill is compared on its own: here it alone got worse.
expect "register +100000 .* 1\.14 +1\.63 +better -30%, fill WORSE \+30% +<=1\.2x fill"
expect "modify +100000 .* 2\.66 +2\.66 +<=1\.5x fill \(1\.09\): ok +rows=100000$"
expect "startup +100000 .* 1\.35 +1\.91 +better -29%"
# Without a ratio now nothing is compared; a row new to the table says so.
expect "history +100000 .* - +0\.20 +rows=4$"
expect "search_new_kind +100000 .* 2\.00 +- +new"
expect "operation +size .* ratio +earlier +vs earlier +target +notes"
grep -q "^2 ratio(s) worse than in the earlier table" "$scratch/out" || {
  echo "FAILED: the count of worse ratios is missing" >&2
  failures=$((failures + 1))
}

# An unreadable earlier table is a usage error, not an empty comparison.
if "$compare" "$scratch/missing" "$scratch/current" >/dev/null 2>&1; then
  echo "FAILED: a missing earlier table was accepted" >&2
  failures=$((failures + 1))
fi

[ "$failures" = 0 ] || { cat "$scratch/out" >&2; exit 1; }
echo "compare_tables: all cases passed"
