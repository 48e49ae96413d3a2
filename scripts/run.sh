#!/usr/bin/env bash
# Builds Huevane and starts it on the current display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
cmake -S . -B build -DHUEVANE_BENCHMARKS=OFF > /dev/null
cmake --build build --target huevane -j "$(nproc)"
exec build/huevane "$@"
