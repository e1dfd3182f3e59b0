#!/usr/bin/env bash
# Installs, builds, generates the demo company's file and shows its line counts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
mkdir -p "$root/out" && cd "$root/out"
file=$("$root/build/bin/gerarqprev" demo --silencioso)
echo "Arquivo: $file"
cut -d'|' -f1 "$file" | sort | uniq -c | awk '{printf "  %s %6d\n", $2, $1}'
"$root/build/bin/gerarqprev" validar "$file"
