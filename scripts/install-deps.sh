#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: scripts/install-deps.sh [build|test]
set -euo pipefail

build_packages=(
  cmake g++ pkg-config make
  libfreetype-dev libfontconfig-dev libpng-dev fonts-liberation2
  libx11-dev libxext-dev libxtst-dev libxrandr-dev libxinerama-dev libxkbcommon-dev libxcursor-dev libxfixes-dev
  llvm
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 gzip
)
test_packages=(
  xvfb xdotool xclip x11-utils openbox
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  clang libclang-rt-14-dev
  lintian desktop-file-utils appstream man-db dpkg-dev file
)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = test ]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
