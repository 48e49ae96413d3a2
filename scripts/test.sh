#!/usr/bin/env bash
# Builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs=$(nproc)

# The real Windows executable, cross-built and checked, when the cross compiler is here.
if command -v i686-w64-mingw32-g++ > /dev/null; then
  HUEVANE_JOBS=$jobs scripts/build-windows.sh
fi

cmake -S . -B build > /dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
