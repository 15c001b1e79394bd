#!/bin/sh
# Runs the accessibility stress test the way a screen reader meets the
# program: a private D-Bus session (its accessibility bus is started on
# demand by at-spi-bus-launcher), a virtual X display, Qt's accessibility
# bridge switched on, and the walker as the screen reader.
#   run_stress.sh TEST_PROGRAM WALKER
# Exit 77 (skipped) only when the session tools are not installed.
set -u
absolute() { (cd "$(dirname "$1")" && echo "$(pwd)/$(basename "$1")"); }
program=$(absolute "$1") walker=$(absolute "$2")
missing=""
command -v dbus-run-session > /dev/null || missing="$missing dbus-run-session(dbus-daemon)"
command -v xvfb-run > /dev/null || missing="$missing xvfb-run(xvfb)"
command -v xauth > /dev/null || missing="$missing xauth(xauth)"
[ -f /usr/share/dbus-1/session.conf ] || missing="$missing session.conf(dbus-session-bus-common)"
[ -x /usr/libexec/at-spi-bus-launcher ] || missing="$missing at-spi-bus-launcher(at-spi2-core)"
if [ -n "$missing" ]; then
  echo "accessibility stress skipped: missing$missing"
  exit 77
fi
exec dbus-run-session -- xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp" \
  env QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 JX_A11Y_WALKER="$walker" \
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" "$program"
