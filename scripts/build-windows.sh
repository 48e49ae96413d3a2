#!/usr/bin/env bash
# Cross-builds the real 32-bit Windows executable with MinGW-w64 and checks it:
# machine, subsystem, imports, resources, version block and manifest.
# Usage: scripts/build-windows.sh [extra cmake configure arguments]
# Needs i686-w64-mingw32-g++ and -windres (Debian: g++-mingw-w64-i686,
# binutils-mingw-w64-i686) and python3. The result is build-win/Huevane.exe.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=i686-w64-mingw32
for tool in "$prefix-g++" "$prefix-windres"; do
  if ! command -v "$tool" > /dev/null; then
    echo "build-windows: $tool not found (Debian: apt-get install g++-mingw-w64-i686 binutils-mingw-w64-i686)" >&2
    exit 1
  fi
done

build=build-win
jobs=${HUEVANE_JOBS:-2}
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli "$@" > /dev/null
cmake --build "$build" --target Huevane -j "$jobs"
python3 tools/check_windows_exe.py "$build/Huevane.exe"
echo "The Windows executable is $build/Huevane.exe"
