#!/usr/bin/env bash
# Starts a throwaway PostgreSQL cluster on 127.0.0.1:5433 and prints its URL.
# "stop" stops it. Used by the tests of the PostgreSQL path.
set -euo pipefail
dir=/tmp/gerarqprev-pg
port=5433
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n1)
if [ "${1:-start}" = stop ]; then
  [ -d "$dir" ] && su postgres -c "$bin/pg_ctl -D $dir/data -m fast stop" >/dev/null 2>&1 || true
  exit 0
fi
if ! su postgres -c "$bin/pg_ctl -D $dir/data status" >/dev/null 2>&1; then
  rm -rf "$dir"; mkdir -p "$dir"; chown postgres "$dir"
  su postgres -c "$bin/initdb -D $dir/data -A trust -U postgres -E UTF8" >/dev/null
  su postgres -c "$bin/pg_ctl -D $dir/data -l $dir/log -w -o '-p $port -k $dir -c listen_addresses=127.0.0.1' start" >/dev/null
fi
su postgres -c "$bin/psql -h 127.0.0.1 -p $port -U postgres -tAc \"SELECT 1 FROM pg_database WHERE datname='gerarqprev_test'\"" | grep -q 1 ||
  su postgres -c "$bin/createdb -h 127.0.0.1 -p $port -U postgres gerarqprev_test"
echo "postgresql://postgres@127.0.0.1:$port/gerarqprev_test"
