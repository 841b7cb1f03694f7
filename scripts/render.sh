#!/usr/bin/env bash
# The main command: installs what is missing, builds the release preset and runs the flake
# model's benchmarks (the renderer takes this place once it exists).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
glitter_install_deps

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
for bench in build/release/bench/*_bench; do
    [[ -x "$bench" ]] && "$bench" "$@"
done
