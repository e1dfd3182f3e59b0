#!/usr/bin/env bash
# Installs, builds, generates the demo company's file and shows its line counts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
mkdir -p "$root/out" && cd "$root/out"
# Prints the run's steps, then the file's path and its lines per record type.
"$root/build/bin/gerarqprev" demo
"$root/build/bin/gerarqprev" validar "$root/out/MANAD_01_2025.txt"
