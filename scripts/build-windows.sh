#!/usr/bin/env bash
# Cross-builds the tree for Windows on a Debian machine, 32-bit
# (i686-w64-mingw32) into build/windows/ and 64-bit (x86_64-w64-mingw32) into
# build/windows64/, from the same sources:
#  1. installs mingw-w64 (i686 and x86_64, -posix threads), the mingw-w64
#     zlib and the build tools; then, on their own, wine and wine64, Xvfb,
#     openbox and xdotool for the tests' windows, zip and icoutils for their
#     archives and resources (without them both builds are still built, and
#     scripts/test.sh says the tests were not run); then wine32 (the i386
#     architecture is added for it) on its own: it runs only the 32-bit
#     tests, and a machine whose i386 packages cannot match its amd64 ones
#     goes on without it;
#  2. cross-builds libzip, PCRE2 and GoogleTest from their Debian sources
#     (apt-get source; a deb-src entry is added when there is none) into the
#     prefix deps/ of each build folder, which later runs reuse;
#  3. configures and builds the tree with cmake/toolchains/<triplet>.cmake.
# Everything comes from Debian's packages. scripts/test-windows.sh runs the
# test programs under wine.
#
# Usage: bash scripts/build-windows.sh [32] [64]   (default: both)
#
# Exits with 75 when the cross compilers cannot be installed (scripts/test.sh
# then reports the Windows step as skipped), otherwise with the failing step's
# code.
#
# Environment: NORVANE_WIN_BUILD (default build/windows) and
# NORVANE_WIN64_BUILD (default build/windows64) name the build folders;
# NORVANE_WIN_SKIP_INSTALL=1 skips step 1.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT32=${NORVANE_WIN_BUILD:-$ROOT/build/windows}
OUT64=${NORVANE_WIN64_BUILD:-$ROOT/build/windows64}
# The Debian sources of the dependencies serve both builds.
DEPS_SRC=$OUT32/deps-src
BITS=("$@")
[ ${#BITS[@]} -gt 0 ] || BITS=(32 64)
for bits in "${BITS[@]}"; do
  case $bits in
    32 | 64) ;;
    *) echo "usage: build-windows.sh [32] [64]" >&2; exit 2 ;;
  esac
done
JOBS=${NORVANE_JOBS:-$(nproc)}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
# The exit code when the packages cannot be installed (EX_TEMPFAIL).
INSTALL_FAILED=75
export DEBIAN_FRONTEND=noninteractive

# What the builds need.
BUILD_PACKAGES=(
  cmake pkg-config g++ zlib1g-dev dpkg-dev xz-utils rapidjson-dev
  mingw-w64 gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
)
# What the tests need: wine64, the display and the input of the tests under
# wine (scripts/test-windows.sh), the archives and the resources of the
# end-to-end run.
TEST_PACKAGES=(wine wine64 xvfb x11-utils openbox xdotool zip icoutils)

# The first archive address of the machine's own Debian sources.
debian_archive() {
  {
    grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | awk '{print $2}'
  } | grep -v -- '-security' | head -n1
}

add_source_entries() {
  if grep -qs -E '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
    /etc/apt/sources.list.d/*.sources; then
    return 1
  fi
  local archive codename
  archive=$(debian_archive)
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  [ -n "$archive" ] && [ -n "$codename" ] || { echo "build-windows: no Debian archive configured" >&2; exit 1; }
  printf 'Types: deb-src\nURIs: %s\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$archive" "$codename" "$codename" | $SUDO tee /etc/apt/sources.list.d/norvane-deb-src.sources >/dev/null
  return 0
}

# missing_of PACKAGE...: the ones not installed, one a line.
missing_of() {
  local p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || echo "$p"
  done
}

install_packages() {
  local update=0 missing=()
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    update=1
  fi
  add_source_entries && update=1
  for p in "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" wine32; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] && update=1
  if [ $update -eq 1 ]; then
    # A mirror that is half-way through a sync fails one index; the others
    # are still usable.
    $SUDO apt-get update -q || true
  fi
  local needed
  mapfile -t needed < <(missing_of "${BUILD_PACKAGES[@]}")
  if [ ${#needed[@]} -gt 0 ]; then
    if ! $SUDO apt-get install -y -q --no-install-recommends "${needed[@]}"; then
      echo "build-windows: the packages could not be installed: ${needed[*]}" >&2
      exit "$INSTALL_FAILED"
    fi
  fi
  # Without these the builds are still built; scripts/test.sh then says that
  # their tests were not run.
  mapfile -t needed < <(missing_of "${TEST_PACKAGES[@]}")
  if [ ${#needed[@]} -gt 0 ]; then
    $SUDO apt-get install -y -q --no-install-recommends "${needed[@]}" ||
      echo "build-windows: the packages of the tests could not be installed: ${needed[*]}; the builds are built but not run" >&2
  fi
  # wine32's i386 libraries must have exactly the versions of the amd64 ones
  # installed: an i386 index that is stale or failed to download leaves them
  # unmatched. Without it only the 32-bit tests cannot run
  # (scripts/test-windows.sh says so).
  if ! dpkg -s wine32 >/dev/null 2>&1; then
    $SUDO apt-get install -y -q --no-remove --no-install-recommends wine32 >/dev/null 2>&1 ||
      echo "build-windows: wine32 could not be installed: the 32-bit build is built but not run"
  fi
}

# Fetches and unpacks the Debian source of a package into $DEPS_SRC; prints
# the unpacked folder. ("$DEPS_SRC/": find looks into the folder also when it
# is a symbolic link to the sources of another build folder.)
debian_source() {
  local pkg=$1
  mkdir -p "$DEPS_SRC"
  local dir
  dir=$(find "$DEPS_SRC/" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -n1)
  if [ -z "$dir" ]; then
    (cd "$DEPS_SRC" && apt-get source -q "$pkg" >"$DEPS_SRC/$pkg.log" 2>&1) ||
      { cat "$DEPS_SRC/$pkg.log" >&2; exit 1; }
    dir=$(find "$DEPS_SRC/" -maxdepth 1 -type d -name "$pkg-[0-9]*" | sort | tail -n1)
  fi
  [ -n "$dir" ] || { echo "build-windows: no source for $pkg" >&2; exit 1; }
  echo "$dir"
}

# Cross-builds one CMake project into the prefix once; a stamp names the
# source folder, so a new Debian version builds again.
build_dependency() {
  local pkg=$1
  shift
  local src stamp
  src=$(debian_source "$pkg")
  stamp=$DEPS/.built-$(basename "$src")
  [ -f "$stamp" ] && return 0
  echo "build-windows: cross-building $(basename "$src")"
  local dir=$OUT/deps-build/$pkg log=$OUT/deps-build/$pkg.log
  rm -rf "$dir"
  mkdir -p "$dir"
  # The libraries' own warnings go to the log; it is shown when a step fails.
  {
    cmake -S "$src" -B "$dir" -G "Unix Makefiles" \
      -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DNORVANE_WIN_DEPS="$DEPS" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS" -DBUILD_SHARED_LIBS=OFF "$@" &&
      cmake --build "$dir" -j"$JOBS" &&
      cmake --install "$dir"
  } >"$log" 2>&1 || { tail -n 60 "$log" >&2; exit 1; }
  rm -rf "$dir"
  touch "$stamp"
}

# The Windows build of one word size: sets OUT, DEPS and TOOLCHAIN, builds
# the dependencies, then the tree.
build_windows() {
  case $1 in
    32) OUT=$OUT32 TOOLCHAIN=$ROOT/cmake/toolchains/i686-w64-mingw32.cmake ;;
    64) OUT=$OUT64 TOOLCHAIN=$ROOT/cmake/toolchains/x86_64-w64-mingw32.cmake ;;
  esac
  DEPS=$OUT/deps
  echo "build-windows: $1-bit build in $OUT"
  build_dependencies
  cmake -S "$ROOT" -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DNORVANE_WIN_DEPS="$DEPS" \
    -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_BENCH=OFF >/dev/null
  cmake --build "$OUT" -j"$JOBS"
}

build_dependencies() {
  mkdir -p "$DEPS/include"
  build_dependency libzip -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
  build_dependency pcre2 -DPCRE2_BUILD_PCRE2_8=ON -DPCRE2_BUILD_PCRE2_16=OFF -DPCRE2_BUILD_PCRE2_32=OFF \
    -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF -DPCRE2_SUPPORT_LIBBZ2=OFF -DPCRE2_SUPPORT_LIBZ=OFF
  build_dependency googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  # RapidJSON is headers only: Debian's rapidjson-dev serves every target.
  if [ ! -d "$DEPS/include/rapidjson" ]; then
    cp -r /usr/include/rapidjson "$DEPS/include/"
  fi
}

[ "${NORVANE_WIN_SKIP_INSTALL:-0}" = 1 ] || install_packages
for bits in "${BITS[@]}"; do
  build_windows "$bits"
done
