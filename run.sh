#!/bin/sh
# Installs what is missing, builds the program, makes (or reuses) the demo
# program folder demo/ and starts the program in it.
set -e
cd "$(dirname "$0")"
./.ci/install-deps
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$(nproc)"
mkdir -p demo
if [ -x build/release/tools/jiaxiao-admin ] && [ ! -e demo/hj.mdb ]; then
  build/release/tools/jiaxiao-admin demo demo
fi
# The program folder is the folder of the executable.
install -m 700 build/release/app/jiaxiao demo/jiaxiao
exec demo/jiaxiao
