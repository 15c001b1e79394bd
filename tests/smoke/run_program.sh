#!/bin/sh
# Starts the built program on a demo program folder under Qt's offscreen
# platform, has the preloaded helper close its main window once shown, and
# expects the program to end with status 0.
#   run_program.sh ADMIN_TOOL PROGRAM CLOSING_LIBRARY
set -u
admin=$1 program=$2 closer=$3
folder=$(mktemp -d "${TMPDIR:-/tmp}/jx-smoke-XXXXXX") || exit 1
trap 'rm -rf "$folder"' EXIT
"$admin" demo "$folder" 20 > /dev/null || { echo "smoke: the admin tool failed"; exit 1; }
cp "$program" "$folder/jiaxiao"
here=$(cd "$(dirname "$0")" && pwd)
QT_QPA_PLATFORM=offscreen LD_PRELOAD="$closer" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
  LSAN_OPTIONS="${LSAN_OPTIONS:-}:suppressions=$here/lsan.supp" \
  timeout 120 "$folder/jiaxiao" > "$folder/output.txt" 2>&1
status=$?
cat "$folder/output.txt"
grep -q "smoke: main window shown: 驾校学员管理" "$folder/output.txt" || { echo "smoke: the main window never showed"; exit 1; }
[ "$status" -eq 0 ] || { echo "smoke: the program ended with status $status"; exit 1; }
echo "smoke: the program ended with status 0"
