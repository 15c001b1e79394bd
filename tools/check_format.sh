#!/bin/sh
# Fails when a C or C++ source file of the project is not formatted as
# .clang-format says, naming the lines; `clang-format -i FILE` mends a file.
set -e
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z '*.c' '*.cpp' '*.h'
else
  find app base bench db reader runtime sheet tests tools -name '*.c' -print0 -o -name '*.cpp' -print0 -o -name '*.h' -print0
fi | xargs -0 clang-format --dry-run --Werror
