#!/usr/bin/env bash
# Builds the Debian package and checks it: lintian, the desktop entry, the
# AppStream metadata, the manual page and the package's contents; then installs
# it, starts the installed huevane on a private Xvfb, and removes it again.
# Usage: scripts/test-package.sh
#   build folder: build-pkg/ (HUEVANE_PACKAGE_BUILD overrides), HUEVANE_JOBS jobs (2)
# Installing needs root or sudo without a password; with neither, that part is
# skipped with a message and the rest still runs.
# Prints one line per check and a closing "package: N passed, N failed" line.
set -u
cd "$(dirname "$0")/.."

build=${HUEVANE_PACKAGE_BUILD:-build-pkg}
jobs=${HUEVANE_JOBS:-2}
title='^Korvell Software - Huevane 1\.0$'
icon_sizes=(16 32 48 64 128)

work=$(mktemp -d)
pids=()
installed_here=0
as_root=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null; done
  # A check that failed half-way must not leave the package on the machine.
  if [ "$installed_here" -eq 1 ]; then
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq huevane > /dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# check, and the display and window helpers of the shell tests on Xvfb.
source tests/support/x11_harness.sh
finish() {
  echo "package: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}
# Runs a command quietly; on failure shows the end of what it said.
quietly() { # quietly log-name command...
  local log="$work/$1.log"; shift
  if "$@" > "$log" 2>&1; then return 0; fi
  tail -n 30 "$log" | sed 's/^/  | /'
  return 1
}

# Every tool is named with the Debian package that brings it.
tools_present=1
for pair in cmake:cmake cpack:cmake lintian:lintian desktop-file-validate:desktop-file-utils \
  appstreamcli:appstream dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev file:file python3:python3 gzip:gzip; do
  if ! command -v "${pair%%:*}" > /dev/null; then
    check "${pair%%:*} is installed (apt-get install ${pair#*:})" false
    tools_present=0
  fi
done
[ "$tools_present" -eq 1 ] || finish

check "the icon maker reads and writes icons correctly" quietly icon-tool python3 -B packaging/test_make_icon_theme.py

# ---------------------------------------------------------------------------
# Building

# Debian's own compiler and linker flags, with every hardening option, so that
# lintian judges the binary a Debian build would give. CMake reads CFLAGS,
# CXXFLAGS and LDFLAGS but not CPPFLAGS.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS" LDFLAGS
rm -f "$build"/huevane_*.deb
built=0
if quietly configure cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
     -DHUEVANE_BENCHMARKS=OFF --no-warn-unused-cli &&
   quietly build cmake --build "$build" --target huevane -j "$jobs" &&
   quietly cpack bash -c 'cd "$1" && cpack -G DEB' _ "$build"; then
  built=1
fi
check "the package builds" test "$built" -eq 1
[ "$built" -eq 1 ] || finish

arch=$(dpkg --print-architecture)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/huevane_${version}_${arch}.deb"
check "the package is named huevane_<version>_<arch>.deb ($deb)" test -f "$deb"
[ -f "$deb" ] || finish
deb=$(realpath "$deb")

field() { dpkg-deb -f "$deb" "$1"; }
check "its control fields name it huevane $version for $arch" \
  test "$(field Package) $(field Version) $(field Architecture)" = "huevane $version $arch"
check "it names a maintainer and a section" test -n "$(field Maintainer)" -a -n "$(field Section)"
check "dpkg-shlibdeps found the libraries it links ($(field Depends | cut -c1-60)...)" \
  bash -c 'grep -q "libc6 (>=" <<< "$1" && grep -q "libx11-6" <<< "$1" && grep -q "libfreetype6" <<< "$1"' _ "$(field Depends)"

# ---------------------------------------------------------------------------
# Contents

root="$work/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -c "$deb" > "$work/contents"
expected=(
  usr/bin/huevane
  usr/share/applications/huevane.desktop
  usr/share/metainfo/example.korvell.Huevane.metainfo.xml
  usr/share/man/man1/huevane.1.gz
  usr/share/doc/huevane/copyright
  usr/share/doc/huevane/changelog.gz
)
for size in "${icon_sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x${size}/apps/huevane.png"); done
missing=()
for path in "${expected[@]}"; do [ -f "$root/$path" ] || missing+=("$path"); done
check "it holds the program, desktop entry, metadata, manual, icons and documents${missing[*]:+ (missing: ${missing[*]})}" \
  test ${#missing[@]} -eq 0

# Everything root's, under /usr, folders 755, files 644, only the program 755.
odd=$(awk '{
    kind = substr($1, 1, 1); path = $6
    if ($2 != "root/root") print path ": owner " $2
    else if (path !~ /^\.\/usr\//) print path ": outside /usr"
    else if (kind == "d" && $1 != "drwxr-xr-x") print path ": " $1
    else if (kind == "-" && path == "./usr/bin/huevane" && $1 != "-rwxr-xr-x") print path ": " $1
    else if (kind == "-" && path != "./usr/bin/huevane" && $1 != "-rw-r--r--") print path ": " $1
    else if (kind != "d" && kind != "-") print path ": not a plain file or folder"
  }' "$work/contents")
check "every entry is root's with the usual modes${odd:+ ($odd)}" test -z "$odd"

wrong_icons=""
for size in "${icon_sizes[@]}"; do
  description=$(file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/huevane.png" 2> /dev/null)
  grep -q "^PNG image data, $size x $size, 8-bit/color RGBA" <<< "$description" || wrong_icons+=" ${size}x${size}"
done
check "each icon is an RGBA PNG of its folder's size${wrong_icons:+ (wrong:$wrong_icons)}" test -z "$wrong_icons"

lintian --fail-on error --display-info "$deb" > "$work/lintian" 2>&1; code=$?
grep -v '^running with root privileges' "$work/lintian" | sed 's/^/  lintian: /'
check "lintian finds no error" test "$code" -eq 0

desktop_report=$(desktop-file-validate "$root/usr/share/applications/huevane.desktop" 2>&1); code=$?
[ -n "$desktop_report" ] && sed 's/^/  /' <<< "$desktop_report"
check "desktop-file-validate accepts the desktop entry" test "$code" -eq 0

# validate-tree is validate plus the links into the tree: the desktop entry the
# metadata launches must be there.
appstream_report=$(appstreamcli validate-tree --no-net "$root" 2>&1); code=$?
sed 's/^/  /' <<< "$appstream_report"
check "appstreamcli validate-tree --no-net accepts the metadata" test "$code" -eq 0

if command -v man > /dev/null; then
  man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/usr/share/man/man1/huevane.1.gz" 2>&1 > /dev/null)
  check "the manual page formats without warnings${man_warnings:+ ($man_warnings)}" test -z "$man_warnings"
fi

# ---------------------------------------------------------------------------
# Installing, running, removing

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo > /dev/null && sudo -n true 2> /dev/null; then
    as_root=(sudo -n)
  else
    echo "skipped: installing the package needs root or sudo without a password"
    finish
  fi
fi
if dpkg-query -W -f='${Status}' huevane 2> /dev/null | grep -q "install ok installed"; then
  echo "skipped: huevane is installed on this machine already; installing would replace it and removing would lose it"
  finish
fi
command -v Xvfb > /dev/null && command -v xdotool > /dev/null || {
  check "Xvfb and xdotool are installed (apt-get install xvfb xdotool)" false; finish; }

# No recommends: the test must not pull xdg-utils from the network and leave it behind.
installed_here=1
check "apt-get installs the package" quietly apt-install \
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb"
check "/usr/bin/huevane is there" test -x /usr/bin/huevane

start_display
registry="$work/settings/registry.reg"
HUEVANE_REGISTRY_FILE="$registry" /usr/bin/huevane > "$work/huevane.out" 2>&1 &
app=$!
pids+=("$app")
wait_for_window "$title"
check "the installed huevane opens its window \"Korvell Software - Huevane 1.0\"" test -n "$window"
kill -TERM "$app" 2> /dev/null
wait "$app"; code=$?
check "SIGTERM ends it with exit code 0 (got $code)" test "$code" -eq 0
check "it saved its colours in HUEVANE_REGISTRY_FILE" \
  bash -c '[ "$(head -n 1 "$1" | tr -d "\r")" = REGEDIT4 ]' _ "$registry"
[ -s "$work/huevane.out" ] && sed 's/^/  huevane: /' "$work/huevane.out"

# Docker-style images tell dpkg to leave manual pages out; man cannot find one then.
if command -v man > /dev/null && dpkg-query -W -f='${Status}' man-db 2> /dev/null | grep -q "install ok installed"; then
  if grep -rqs '^path-exclude[= ]*/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/; then
    echo "skipped: dpkg is told to leave out manual pages here"
  else
    page=$(man -w huevane 2> /dev/null)
    check "man -w huevane finds the page (got '$page')" test "$page" = /usr/share/man/man1/huevane.1.gz
  fi
fi

check "apt-get removes the package" quietly apt-remove \
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get remove -y huevane
installed_here=0
check "/usr/bin/huevane is gone" test ! -e /usr/bin/huevane
check "dpkg no longer lists huevane as installed" \
  bash -c '! dpkg-query -W -f="\${Status}" huevane 2> /dev/null | grep -q "install ok installed"'

finish
