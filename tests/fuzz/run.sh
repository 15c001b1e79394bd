#!/bin/sh
# Builds every fuzz target of tests/fuzz/CMakeLists.txt with clang (libFuzzer,
# AddressSanitizer, UBSan) through CMake, so the targets link the project's
# own libraries and never miss a source file, then runs each one for a
# bounded time on its corpus (kept in the build folder between runs):
#
#   tests/fuzz/run.sh [--fresh] [seconds per target, default 60] [target...]
#
# --fresh starts each target from its seeds alone, in a corpus that is thrown
# away afterwards: the fuzzer first runs every input of its corpus whatever
# the time given, so a short run on a grown corpus would not be short.
# FUZZ_BUILD names the build folder (default build/fuzz). A finding stops
# nothing else: every target runs, and the status is 1 when any found one;
# the input that failed is kept as build/fuzz/artifacts/<target>-crash-...
set -eu
fresh=no
if [ "${1:-}" = "--fresh" ]; then
  fresh=yes
  shift
fi
seconds=${1:-60}
[ $# -gt 0 ] && shift
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${FUZZ_BUILD:-$root/build/fuzz}

# FUZZ_FLAGS: the build's optimisation and debugging flags (default -O2 -g,
# for the speed of long runs; ./test.sh's runs of a few seconds take -O1 with
# line tables, which compiles in less time). Each library compiles as one
# unit, as in ./test.sh's sanitizer build.
flags=${FUZZ_FLAGS:--O2 -g -DNDEBUG}

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJX_FUZZ=ON -DJX_BENCH=OFF \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" \
  -DCMAKE_UNITY_BUILD=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > "$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
nice -n 10 cmake --build "$build" -j "$(nproc)" --target fuzz_targets

mkdir -p "$build/artifacts"

# Runs one target; prints its summary, or its failure and the log's end.
fuzz_one() {
  name=$1 program=$2 max_len=$3
  corpus="$build/corpus/$name"
  if [ $fresh = yes ]; then
    corpus="$build/fresh-corpus/$name"
    rm -rf "$corpus"
  fi
  mkdir -p "$corpus"
  log="$build/$name.log"
  # Seeds kept in the source tree start the corpus; what the fuzzer finds
  # stays in the build folder.
  seeds=""
  [ -d "$here/seeds/$name" ] && seeds="$here/seeds/$name"
  if "$program" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "$corpus" $seeds > "$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    inputs=$(ls "$corpus" | wc -l)
    echo "$name: ${seconds}s, $runs runs, coverage $cov, corpus $inputs inputs, peak ${rss} MB"
  else
    echo "$name FAILED; see $log"
    tail -40 "$log"
    return 1
  fi
}

# The targets run as many at a time as there are processors (a fuzzer uses
# one), each into a result file, printed in the list's order afterwards.
results="$build/results"
rm -rf "$results"
mkdir -p "$results"
running=0
while read -r name program max_len; do
  if [ $# -gt 0 ]; then
    case " $* " in *" $name "*) ;; *) continue ;; esac
  fi
  (fuzz_one "$name" "$program" "$max_len" > "$results/$name" 2>&1 || touch "$results/$name.failed") &
  running=$((running + 1))
  if [ $running -ge "$(nproc)" ]; then
    wait
    running=0
  fi
done < "$build/tests/fuzz/fuzz_targets.list"
wait
status=0
while read -r name program max_len; do
  [ -f "$results/$name" ] || continue
  cat "$results/$name"
  [ -f "$results/$name.failed" ] && status=1
done < "$build/tests/fuzz/fuzz_targets.list"
exit $status
