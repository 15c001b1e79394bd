#!/bin/sh
# Starts the built program on a demo program folder under Qt's offscreen
# platform, has the preloaded helper close its main window once shown, and
# expects the program to end with status 0, having removed what a cut-off
# run left in its folder and nothing else.
#   run_program.sh ADMIN_TOOL PROGRAM CLOSING_LIBRARY
set -u
admin=$1 program=$2 closer=$3
folder=$(mktemp -d "${TMPDIR:-/tmp}/jx-smoke-XXXXXX") || exit 1
trap 'rm -rf "$folder"' EXIT
"$admin" demo "$folder" 20 > /dev/null || { echo "smoke: the admin tool failed"; exit 1; }
cp "$program" "$folder/jiaxiao"
# What a run cut off by a crash leaves, which start-up removes, and what only
# looks alike, which it keeps: a link of a leftover's name (and what it
# points to), a folder, other names.
mkdir "$folder/outside" "$folder/.dir.xlsx.00000000.tmp"
for name in tem.xlsx photo.bmp.part .tem.xlsx.0badf00d.tmp ".名单.XLS.1234abcd.tmp" \
            tem.xlsx.bak notes.tmp .tem.xlsx.0BADF00D.tmp outside/photo.bmp .dir.xlsx.00000000.tmp/tem.xlsx; do
  echo leftover > "$folder/$name"
done
ln -s outside/photo.bmp "$folder/photo.bmp"
here=$(cd "$(dirname "$0")" && pwd)
QT_QPA_PLATFORM=offscreen LD_PRELOAD="$closer" ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
  LSAN_OPTIONS="${LSAN_OPTIONS:-}:suppressions=$here/lsan.supp" \
  timeout 120 "$folder/jiaxiao" > "$folder/output.txt" 2>&1
status=$?
cat "$folder/output.txt"
grep -q "smoke: main window shown: 驾校学员管理" "$folder/output.txt" || { echo "smoke: the main window never showed"; exit 1; }
[ "$status" -eq 0 ] || { echo "smoke: the program ended with status $status"; exit 1; }
for name in tem.xlsx photo.bmp.part .tem.xlsx.0badf00d.tmp ".名单.XLS.1234abcd.tmp"; do
  [ ! -e "$folder/$name" ] || { echo "smoke: the leftover $name stayed"; exit 1; }
done
for name in tem.xlsx.bak notes.tmp .tem.xlsx.0BADF00D.tmp outside/photo.bmp .dir.xlsx.00000000.tmp/tem.xlsx; do
  [ -f "$folder/$name" ] || { echo "smoke: $name, not a leftover, was removed"; exit 1; }
done
[ -L "$folder/photo.bmp" ] || { echo "smoke: a link named photo.bmp was removed"; exit 1; }
echo "smoke: the program ended with status 0"
