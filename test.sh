#!/bin/sh
# Installs what is missing, builds a release and an ASan+UBSan build, and runs
# every test of both through CTest, then the fuzz targets briefly (and the
# benchmarks once, as a smoke run).
set -e
cd "$(dirname "$0")"
./.ci/install-deps
# Sources formatted as .clang-format says (fails fast, before any build).
tools/check_format.sh
jobs=$(nproc)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJX_SANITIZE=ON -DJX_BENCH=OFF
cmake --build build/asan -j "$jobs"
(cd build/asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
# The fuzz targets for a few seconds each (tests/fuzz/run.sh runs them longer).
tests/fuzz/run.sh --fresh 5
if [ -x bench/run.sh ]; then bench/run.sh --smoke; fi
