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
# The program folder is the folder of the executable; the card reader's
# library lies beside it, where the program looks for it first. Both are
# the owner's alone, like the rest of the folder.
install -m 700 build/release/app/jiaxiao demo/jiaxiao
install -m 600 build/release/reader/libsdtapi.so demo/libsdtapi.so
exec demo/jiaxiao
