#!/bin/sh
# Checks the Debian package made from the release build as a school would get
# it: its control fields and file list, lintian, the menu entry and the
# metainfo validators, manual pages that say what the programs' --help says,
# and the installed programs run from a scratch root (dpkg -x) on a fresh
# home folder: the first start makes a school (the question answered by the
# preloaded helper), the second opens it, --folder wins, and the installed
# admin tool's init and check work.
#   check_package.sh PACKAGE.deb ANSWERING_LIBRARY
set -eu
deb=$1 helper=$2
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/jx-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "package: $*" >&2; exit 1; }

# --- control fields ---
field() { dpkg-deb --field "$deb" "$1"; }
version=$(field Version)
[ "$(field Package)" = jiaxiao ] || fail "the package is called $(field Package)"
[ "$(field Architecture)" = amd64 ] || fail "architecture $(field Architecture)"
[ "$(basename "$deb")" = "jiaxiao_${version}_amd64.deb" ] || fail "file name $(basename "$deb") for version $version"
depends=$(field Depends)
# Found by shlibdeps (the program's libraries) and named by us (what it
# loads at run time, out of sight of shlibdeps).
for needed in libqt6widgets6 libsqlcipher0 libpq5 libxlsxwriter qt6-translations-l10n fonts-wqy-microhei; do
  echo "$depends" | grep -q "$needed" || fail "Depends lacks $needed: $depends"
done
# No maintainer scripts: nothing runs at install, upgrade, removal or purge.
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -Ev '^\./$|^\./(control|md5sums)$' || true)
[ -z "$scripts" ] || fail "control archive holds more than control and md5sums: $scripts"

# --- the file list: exactly these files, all under /usr ---
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort > "$scratch/files"
metainfo=$(grep '^usr/share/metainfo/.*\.metainfo\.xml$' "$scratch/files" || true)
[ -n "$metainfo" ] || fail "no AppStream metainfo"
{
  printf '%s\n' usr/bin/jiaxiao usr/bin/jiaxiao-admin usr/bin/jiaxiao-reader-sim \
    usr/lib/jiaxiao/jiaxiao usr/lib/jiaxiao/libsdtapi.so \
    usr/share/applications/jiaxiao.desktop "$metainfo" usr/share/icons/hicolor/scalable/apps/jiaxiao.svg \
    usr/share/doc/jiaxiao/copyright usr/share/doc/jiaxiao/changelog.gz
  for size in 16 22 24 32 48 64 128 256; do echo "usr/share/icons/hicolor/${size}x${size}/apps/jiaxiao.png"; done
  for program in jiaxiao jiaxiao-admin jiaxiao-reader-sim; do echo "usr/share/man/man1/$program.1.gz"; done
} | sort > "$scratch/expected"
diff -u "$scratch/expected" "$scratch/files" || fail "the package holds other files than these"
dpkg-deb --contents "$deb" | grep -q ' \./usr/bin/jiaxiao -> \.\./lib/jiaxiao/jiaxiao$' \
  || fail "/usr/bin/jiaxiao is not a link to the program in /usr/lib/jiaxiao"

# --- lintian: no errors, and no warnings but the ones explained in lintian-tolerated ---
tolerated=$(grep -v '^#' "$here/lintian-tolerated" | awk 'NF { print $1 }' | paste -sd, -)
lintian --fail-on error,warning ${tolerated:+--suppress-tags "$tolerated"} "$deb" || fail "lintian"

# --- unpacked into a scratch root ---
root="$scratch/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/jiaxiao.desktop" || fail "the desktop entry"
appstreamcli validate --no-net "$root/$metainfo" > "$scratch/appstream.txt" || { cat "$scratch/appstream.txt"; fail "the metainfo"; }

# Every option and command of a program's --help is in its manual page.
for program in jiaxiao jiaxiao-admin jiaxiao-reader-sim; do
  "$root/usr/bin/$program" --help > "$scratch/help.txt"
  zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g' > "$scratch/page.txt"
  words=$( (grep -o -- '--[a-z_-]*' "$scratch/help.txt"; sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' "$scratch/help.txt") | sort -u)
  [ -n "$words" ] || fail "$program --help names no option"
  for word in $words; do
    grep -q -- "$word" "$scratch/page.txt" || fail "the manual page of $program lacks $word, which its --help names"
  done
done

# The installed program on a fresh home folder, offscreen, with the helper
# that answers the first start's question and closes the main window.
prefix=$root home="$scratch/home"
mkdir -p "$home"
run() {  # run ANSWER ARGUMENTS...: the program in $prefix on $home; its output in $scratch/run.txt
  answer=$1
  shift
  status=0
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen LD_PRELOAD="$helper" \
    JX_SMOKE_ANSWER="$answer" timeout 120 "$prefix/usr/bin/jiaxiao" "$@" > "$scratch/run.txt" 2>&1 || status=$?
  [ "$status" -eq 0 ] || { cat "$scratch/run.txt"; fail "jiaxiao $* ended with status $status"; }
}
opened() {  # opened FOLDER: the main window showed in that folder
  grep -qx "smoke: folder: $1" "$scratch/run.txt" || { cat "$scratch/run.txt"; fail "the program did not open $1"; }
}
remembered() { grep -q "文件夹=\"$1\"" "$home/.config/jiaxiao/jiaxiao.ini" || fail "jiaxiao.ini does not name $1"; }

school="$home/.local/share/jiaxiao/school"
run 新建学校
grep -q "smoke: answered: 新建学校" "$scratch/run.txt" || { cat "$scratch/run.txt"; fail "no first-start question"; }
opened "$school"
[ -f "$school/hj.mdb" ] || fail "the first start made no records database"
[ "$(stat -c %a "$school")" = 700 ] && [ "$(stat -c %a "$school/hj.mdb")" = 600 ] || fail "the new school is not private"
remembered "$school"

run ""
grep -q "smoke: asked" "$scratch/run.txt" && fail "the second start asked again"
opened "$school"

other="$scratch/东区"
"$root/usr/bin/jiaxiao-admin" init "$other" > /dev/null || fail "jiaxiao-admin init"
"$root/usr/bin/jiaxiao-admin" check "$other" > /dev/null || fail "jiaxiao-admin check of a folder it made"
run "" --folder "$other"
opened "$other"
remembered "$other"

# --- install, upgrade, remove and purge with dpkg, into a scratch root with a
# database of its own (the system's is never used): a school under a home
# folder inside that root comes through every step byte for byte.
if [ "$(id -u)" -ne 0 ]; then
  echo "package: install, upgrade and removal not checked (dpkg --root needs root)"
  echo "package: $(basename "$deb") checked"
  exit 0
fi
system="$scratch/system"
mkdir -p "$system/var/lib/dpkg/info" "$system/var/lib/dpkg/updates"
: > "$system/var/lib/dpkg/status"
sysdpkg() {  # the libraries it depends on are the host's, not the scratch root's
  dpkg --root="$system" --force-depends --log=/dev/null "$@" > "$scratch/dpkg.txt" 2>&1 \
    || { cat "$scratch/dpkg.txt"; fail "dpkg $*"; }
}
installed() { dpkg-query --admindir="$system/var/lib/dpkg" -W -f '${Version} ${db:Status-Abbrev}' jiaxiao 2>/dev/null || true; }
snapshot() {  # every file, link and folder under the home folder with its mode and content
  (cd "$home" && find . -printf '%M %p %l\n' | sort && find . -type f -print0 | sort -z | xargs -0 sha256sum) \
    > "$scratch/$1"
}
unchanged() { diff -u "$scratch/before" "$scratch/after" || fail "$1 changed the home folder"; }

# The newer package: the same files under a higher version.
dpkg-deb -R "$deb" "$scratch/newer"
sed -i "s/^Version: .*/Version: ${version}+1/" "$scratch/newer/DEBIAN/control"
dpkg-deb --root-owner-group -b "$scratch/newer" "$scratch/newer.deb" > /dev/null

sysdpkg -i "$deb"
[ "$(installed)" = "$version ii " ] || fail "after installing: $(installed)"
prefix=$system home="$system/home/learner-desk"
mkdir -p "$home"
school="$home/.local/share/jiaxiao/school"
"$system/usr/bin/jiaxiao-admin" demo "$school" 40 > /dev/null || fail "jiaxiao-admin demo"
run ""
opened "$school"
snapshot before

sysdpkg -i "$scratch/newer.deb"
[ "$(installed)" = "${version}+1 ii " ] || fail "after upgrading: $(installed)"
snapshot after
unchanged "upgrading"
run ""
grep -q "smoke: asked" "$scratch/run.txt" && fail "the upgraded program asked for a school"
opened "$school"
snapshot before

sysdpkg -r jiaxiao
[ ! -e "$system/usr/bin/jiaxiao" ] && [ ! -e "$system/usr/lib/jiaxiao" ] || fail "removing left the program"
snapshot after
unchanged "removing"
sysdpkg -P jiaxiao
[ -z "$(installed)" ] || fail "after purging: $(installed)"
snapshot after
unchanged "purging"
echo "package: $(basename "$deb") checked"
