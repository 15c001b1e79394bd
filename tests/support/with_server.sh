#!/bin/sh
# Runs a test program once more with JX_TEST_SERVER naming a throw-away
# PostgreSQL cluster that pg_virtualenv starts for it (as root too) and
# removes afterwards. The cluster lives in a temporary folder (-t) even as
# root, so a run that was killed before it could clean up leaves nothing in
# /etc/postgresql that would make the next run refuse to start.
# JX_TEST_SERVER_CONTROL is the command that stops, starts or restarts that
# cluster (followed by stop, start or restart).
# Without the server's programs the run is skipped (exit 77), saying so.
if ! command -v pg_virtualenv >/dev/null 2>&1 || ! ls /usr/lib/postgresql/*/bin/postgres >/dev/null 2>&1; then
  echo "SKIPPED: the PostgreSQL server is not installed (postgresql, postgresql-common)"
  exit 77
fi
# Several runs may each have a cluster at once, on ports of their own
# (PGPORT, which ctest gives each run). Every throw-away cluster is named
# 15/regress, and the server's packaging writes each one's process number
# to the same /var/run/postgresql/15-regress.pid, from which pg_ctlcluster
# tells whether "its" cluster runs: each cluster writes its own instead.
pid_folder=$(mktemp -d -t jx-server.XXXXXX)
[ "$(id -u)" = 0 ] && chown postgres:postgres "$pid_folder"
# The cluster speaks UTF-8 whatever the session's locale, as a school's
# server does.
status=0
pg_virtualenv -t -i "--encoding=UTF8 --locale=C.UTF-8" -o "external_pid_file=$pid_folder/postmaster.pid" \
  sh -c 'JX_TEST_SERVER="dbname=postgres" JX_TEST_SERVER_CONTROL="pg_ctlcluster $PGVERSION regress" exec "$@"' sh "$@" ||
  status=$?
rm -rf "$pid_folder"
exit $status
