#!/bin/sh
# Installs what is missing, builds a release and an ASan+UBSan build, and runs
# every test of both through CTest, checks the Debian package made from the
# release build, then runs the fuzz targets briefly (and the benchmarks once,
# as a smoke run). Each step's time is printed after it and all of them at the
# end (docs/performance.md keeps the figures).
set -e
cd "$(dirname "$0")"
started=$(date +%s)
last=$started
timings=""
# Records how long the step that just ended took.
took() {
  now=$(date +%s)
  line=$(printf '%5ss  %s' $((now - last)) "$1")
  echo "test.sh: $line"
  timings="$timings$line
"
  last=$now
}
./.ci/install-deps
took "packages"
# Sources formatted as .clang-format says (fails fast, before any build).
tools/check_format.sh
took "format check"
jobs=$(nproc)
# The release build makes what a school installs; its benchmarks (linked with
# link-time optimisation, as the program is) are built by bench/run.sh when
# someone measures, and run here in the sanitizer build below.
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DJX_BENCH=OFF
cmake --build build/release -j "$jobs"
took "release build"
(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
took "release tests"
# The Debian package from the release build, checked as a school installs it.
cmake --build build/release --target package
tests/package/check_package.sh "$(ls -t build/release/jiaxiao_*_amd64.deb | head -n 1)" \
  build/release/tests/smoke/libjx_close_main_window.so
took "Debian package"
# The sanitizer build at -O1 with line tables only (what the sanitizers'
# reports need), which compiles in about half the time of -O2 -g. Each
# library compiles as one unit, as the test programs always do: the headers
# are read once a library. The release build above compiles every source
# alone, as it ships, which also proves each source includes what it uses.
asan_flags="-O1 -g1 -DNDEBUG"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJX_SANITIZE=ON -DJX_BENCH=ON \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$asan_flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$asan_flags" \
  -DCMAKE_UNITY_BUILD=ON
cmake --build build/asan -j "$jobs"
took "ASan build"
(cd build/asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
took "ASan tests"
# The fuzz targets for a few seconds each (tests/fuzz/run.sh runs them longer),
# built with the sanitizer build's flags.
FUZZ_FLAGS="$asan_flags" tests/fuzz/run.sh --fresh 5
took "fuzz build and runs"
# The benchmarks once at their smallest size, under the sanitizers.
JX_BENCH_BUILD_DIR=build/asan bench/run.sh --smoke
took "benchmark smoke run"
printf 'test.sh: where the time went\n%s%5ss  in all\n' "$timings" $(($(date +%s) - started))
