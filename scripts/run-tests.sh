#!/usr/bin/env bash
# Installs, builds and runs every test, on SQLite and on a throwaway PostgreSQL.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build" -DGERARQPREV_WERROR=ON
if [ "$(id -u)" = 0 ] && url=$(bash "$root/scripts/pg-throwaway.sh" 2>/dev/null); then
  export GERARQPREV_TEST_PG_URL=$url
else
  echo "PostgreSQL not available: its cases are skipped"
fi
ctest --test-dir "$root/build" --output-on-failure -j2 ${GERARQPREV_CTEST_EXCLUDE:+-E "$GERARQPREV_CTEST_EXCLUDE"}
