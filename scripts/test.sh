#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the release build, the scalar
# lane back end, AddressSanitizer + UBSan, ThreadSanitizer (threaded tests) and the fuzzers.
# GLITTER_PRESETS="release asan" limits the run to some presets.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
glitter_install_deps
glitter_install_node_deps

presets=(${GLITTER_PRESETS:-release scalar asan tsan fuzz})
werror=OFF
[[ -n "${CI:-}" ]] && werror=ON

for preset in "${presets[@]}"; do
    echo "=== ${preset} ==="
    cmake --preset "$preset" -DGLITTER_WERROR="$werror" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
    ctest --preset "$preset"
done
echo "All test presets passed: ${presets[*]}"
