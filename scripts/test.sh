#!/usr/bin/env bash
# Builds everything and runs every test: the plain build, the same suite
# under the sanitizers, the Windows executable and the Debian package.
# HUEVANE_SANITIZE_PASS=0 leaves the sanitizer pass out (a quicker local run).
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

# The whole suite again under AddressSanitizer (its leak checker included)
# and UndefinedBehaviorSanitizer; any report fails the test it came from.
# The soak runs stay with the plain build: they prove nothing more here and
# would take many times as long.
if [ "${HUEVANE_SANITIZE_PASS:-1}" != 0 ]; then
  cmake -S . -B build-sanitize -DHUEVANE_SANITIZE=ON -DHUEVANE_BENCHMARKS=OFF > /dev/null
  cmake --build build-sanitize -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:exitcode=23 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -LE soak
fi

HUEVANE_JOBS=$jobs scripts/test-package.sh
