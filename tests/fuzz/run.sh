#!/bin/sh
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan)
# straight from the runtime sources they need, then runs each one for a
# bounded time: ./tests/fuzz/run.sh [seconds per target, default 20]
set -eu
seconds=${1:-20}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz}
mkdir -p "$out"

flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root -Wall -Wextra"
# The runtime core these commands stand on; a fatal run-time error aborts
# the run as a finding (fuzz_fatal.cpp) instead of showing its report.
core="runtime/heap.cpp runtime/encoding.cpp runtime/convert.cpp tests/fuzz/fuzz_fatal.cpp"

build() {
  name=$1
  shift
  echo "building $name"
  (cd "$root" && clang++ $flags -o "$out/$name" "$@" $core)
}
build text_commands_fuzz tests/fuzz/text_commands_fuzz.cpp runtime/commands/text_commands.cpp \
  runtime/commands/conversion_commands.cpp runtime/commands/command_line.cpp
build ini_fuzz tests/fuzz/ini_fuzz.cpp runtime/commands/ini_reader.cpp

status=0
for name in text_commands_fuzz ini_fuzz; do
  corpus="$out/corpus-$name"
  mkdir -p "$corpus"
  echo "running $name for ${seconds}s"
  if ! "$out/$name" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$out/$name-" "$corpus" > "$out/$name.log" 2>&1; then
    status=1
    echo "$name FAILED; see $out/$name.log"
    tail -40 "$out/$name.log"
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$out/$name.log" | sed "s/^/  $name /"
  fi
done
exit $status
