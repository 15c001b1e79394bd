#!/bin/sh
# Builds the benchmarks (release) when needed, runs every benchmark program
# <build>/bench/*_bench and prints one table: operation, size, our time,
# baseline time, ratio (and the benchmark's counters as notes).
#
#   bench/run.sh                 every size
#   bench/run.sh --smoke         the smallest size of each operation only, quickly
#   bench/run.sh --compare FILE  each row beside the same row of an earlier
#                                table (docs/performance.md, say), rows whose
#                                ratio got worse by more than 20 % marked
#
# JX_BENCH_BUILD_DIR chooses the build folder (default: build/release).
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${JX_BENCH_BUILD_DIR:-$root/build/release}
smoke=0
compare=
usage() { echo "usage: $0 [--smoke] [--compare EARLIER_TABLE]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --smoke) smoke=1 ;;
    --compare) [ $# -ge 2 ] || usage; compare=$2; shift ;;
    *) usage ;;
  esac
  shift
done
if [ -n "$compare" ] && [ ! -r "$compare" ]; then
  echo "$0: cannot read the earlier table $compare" >&2
  exit 2
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
log="$out/log"

# Runs a step quietly; its output is shown only when it fails.
quietly() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    echo "failed: $*" >&2
    exit 1
  fi
}

if [ ! -f "$build/CMakeCache.txt" ] || ! grep -q '^JX_BENCH:BOOL=ON' "$build/CMakeCache.txt"; then
  quietly cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DJX_BENCH=ON
fi
echo "building the benchmarks in $build" >&2
quietly cmake --build "$build" --target benchmarks -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen

# The filter that keeps the smallest size (first argument) of every benchmark.
smallest_sizes_filter() {
  "$1" --benchmark_list_tests=true 2>/dev/null | awk -F/ '
    { op = $1; size = ($2 == "" ? 0 : $2 + 0)
      if (!(op in best) || size < best[op]) { best[op] = size; name[op] = $0 } }
    END { sep = ""; printf "^("; for (op in name) { n = name[op]; gsub(/[.+*?()|\[\]{}^$]/, "\\\\&", n); printf "%s%s", sep, n; sep = "|" } printf ")$" }'
}

# The registries (demo program folders) are made once per run and shared by
# every benchmark program.
export JX_BENCH_DATA="$out/data"
mkdir -p "$JX_BENCH_DATA"

found=0
for program in "$build"/bench/*_bench; do
  [ -x "$program" ] || continue
  found=1
  name=$(basename "$program")
  echo "running $name" >&2
  set -- --benchmark_out="$out/$name.json" --benchmark_out_format=json
  if [ "$smoke" = 1 ]; then
    set -- "$@" --benchmark_filter="$(smallest_sizes_filter "$program")" --benchmark_min_time=0.01
  else
    # The machine may be shared: each figure is the median of three runs.
    set -- "$@" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
  fi
  # The server benchmarks get a throw-away database server of their own
  # (without one installed they skip themselves).
  if [ "$name" = server_bench ] && command -v pg_virtualenv >/dev/null 2>&1; then
    quietly "$root/tests/support/with_server.sh" "$program" "$@"
  else
    quietly "$program" "$@"
  fi
done
[ "$found" = 1 ] || { echo "no benchmark programs in $build/bench" >&2; exit 1; }

# Google Benchmark writes one key per line; collect name, real time (in ms)
# and the user counters of every iteration run, then pair each operation
# with its "_baseline" twin (medians of repetitions where there are). Counters
# a benchmark sets for the table:
#   value_mb           the row shows megabytes instead of milliseconds
#   target_ratio=x     target: ours <= x * baseline
#   target_fill_ratio  target: ours <= x * ours of student_fill at the same size
#   target_ms, target_mb  target: ours under that many ms or MB
table="$out/table"
cat "$out"/*.json | awk '
  function flush() {
    # A median of repetitions stands for its benchmark; a single run only
    # where there is no median.
    if (bname == "" || !(btype == "iteration" || (btype == "aggregate" && bagg == "median"))) return
    n = bname; sub(/_median$/, "", n)
    gsub(/\/(real_time|process_time|manual_time|(iterations|repeats|threads|min_time):[^\/]*)/, "", n)
    slash = index(n, "/"); op = slash ? substr(n, 1, slash - 1) : n; size = slash ? substr(n, slash + 1) : "-"
    base = 0; if (op ~ /_baseline$/) { base = 1; sub(/_baseline$/, "", op) }
    if (!(op in oporder)) { oporder[op] = ++opcount; ops[opcount] = op }
    key = op SUBSEP size
    if (!(key in seen)) { seen[key] = 1; sizes[op] = sizes[op] " " size }
    value = (mb != "") ? mb + 0 : ms
    if (mb != "") unit[key] = "MB"
    median = (btype == "aggregate")
    if (base) { if (median || !(key in basemedian)) baseline[key] = value; if (median) basemedian[key] = 1 }
    else if (median || !(key in oursmedian)) {
      ours[key] = value; notes[key] = bnotes; targets[key] = btargets
      if (median) oursmedian[key] = 1
    }
  }
  function toms(t, u) {
    if (u == "ns") return t / 1e6; if (u == "us") return t / 1e3; if (u == "s") return t * 1e3; return t
  }
  function shown(key, v) { return (unit[key] == "MB") ? sprintf("%.1f MB", v) : sprintf("%.3f", v) }
  /^ *\{ *$/ { bname = ""; btype = ""; bagg = ""; bnotes = ""; btargets = ""; mb = ""; rt = 0; tu = "ns"; next }
  /^ *\}/ { ms = toms(rt, tu); flush(); bname = ""; next }
  {
    line = $0; sub(/^ *"/, "", line); k = line; sub(/".*/, "", k)
    v = line; sub(/^[^:]*: */, "", v); sub(/,$/, "", v); gsub(/"/, "", v)
    if (k == "name") bname = v
    else if (k == "run_type") btype = v
    else if (k == "aggregate_name") bagg = v
    else if (k == "real_time") rt = v + 0
    else if (k == "time_unit") tu = v
    else if (k == "error_occurred" && v == "true") btype = "error"
    else if (k == "value_mb") mb = v
    else if (k ~ /^target_/ && bname != "") btargets = btargets " " k "=" v
    else if (k !~ /^(family_index|per_family_instance_index|run_name|repetitions|repetition_index|threads|iterations|cpu_time|items_per_second|bytes_per_second|label|aggregate_name|aggregate_unit|error_message|context|benchmarks|date|host_name|executable|num_cpus|mhz_per_cpu|cpu_scaling_enabled|caches|load_avg|library_build_type|type|level|size|num_sharing)$/ && bname != "" && v ~ /^-?[0-9.e+]+$/)
      bnotes = bnotes (bnotes == "" ? "" : " ") k "=" sprintf("%g", v + 0)
  }
  # The target of a row, as "<limit>: ok" or "<limit>: MISSED"; empty when none.
  function verdict(key, op, size,    n, i, kv, name, limit, text, met, ref) {
    n = split(targets[key], kv, " "); text = ""
    for (i = 1; i <= n; i++) {
      split(kv[i], pair, "="); name = pair[1]; limit = pair[2] + 0
      if (name == "target_ratio" && (key in baseline) && baseline[key] > 0) {
        met = ours[key] <= limit * baseline[key]; text = "<=" limit "x baseline"
      } else if (name == "target_fill_ratio" && (("student_fill" SUBSEP size) in ours)) {
        ref = ours["student_fill" SUBSEP size]; met = ours[key] <= limit * ref
        text = sprintf("<=%sx fill (%.2f)", limit, ours[key] / ref)
      } else if (name == "target_ms") { met = ours[key] < limit; text = "<" limit " ms" }
      else if (name == "target_mb") { met = ours[key] < limit; text = "<" limit " MB" }
      else continue
      text = text (met ? ": ok" : ": MISSED")
    }
    return text
  }
  END {
    printf "%-26s %8s %14s %14s %8s  %-30s %s\n", "operation", "size", "ours (ms)", "baseline (ms)", "ratio", "target", "notes"
    for (o = 1; o <= opcount; o++) {
      op = ops[o]; m = split(substr(sizes[op], 2), list, " ")
      # sizes in ascending order (a few per operation: insertion sort)
      for (i = 2; i <= m; i++) { x = list[i]; j = i - 1; while (j > 0 && list[j] + 0 > x + 0) { list[j + 1] = list[j]; j-- } list[j + 1] = x }
      for (i = 1; i <= m; i++) {
        size = list[i]; key = op SUBSEP size
        o_ = (key in ours) ? shown(key, ours[key]) : "-"
        b_ = (key in baseline) ? shown(key, baseline[key]) : "-"
        r_ = ((key in ours) && (key in baseline) && baseline[key] > 0) ? sprintf("%.2f", ours[key] / baseline[key]) : "-"
        printf "%-26s %8s %14s %14s %8s  %-30s %s\n", op, size, o_, b_, r_, verdict(key, op, size), notes[key]
      }
    }
  }' >"$table"
if [ -n "$compare" ]; then
  "$root/bench/compare_tables.sh" "$compare" "$table"
else
  cat "$table"
fi
