#!/usr/bin/env bash
# Cross-builds the tree for 32-bit Windows into build/windows/ on a Debian
# machine:
#  1. installs mingw-w64 (i686, -posix threads), the mingw-w64 zlib, wine and
#     wine32 (the i386 architecture is added for it), the build tools, and
#     Xvfb, openbox and xdotool for the tests' windows, zip for their archives;
#  2. cross-builds libzip, PCRE2 and GoogleTest from their Debian sources
#     (apt-get source; a deb-src entry is added when there is none) into the
#     prefix build/windows/deps, which later runs reuse;
#  3. configures and builds the tree with cmake/toolchains/i686-w64-mingw32.cmake.
# Everything comes from Debian's packages. scripts/test-windows.sh runs the
# test programs under wine.
#
# Exits with 75 when the packages cannot be installed (scripts/test.sh then
# reports the Windows step as skipped), otherwise with the failing step's code.
#
# Environment: NORVANE_WIN_BUILD (default build/windows) names the build
# folder; NORVANE_WIN_SKIP_INSTALL=1 skips step 1.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=${NORVANE_WIN_BUILD:-$ROOT/build/windows}
DEPS=$OUT/deps
DEPS_SRC=$OUT/deps-src
TOOLCHAIN=$ROOT/cmake/toolchains/i686-w64-mingw32.cmake
JOBS=${NORVANE_JOBS:-$(nproc)}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
# The exit code when the packages cannot be installed (EX_TEMPFAIL).
INSTALL_FAILED=75
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  cmake pkg-config g++ zlib1g-dev dpkg-dev xz-utils rapidjson-dev
  mingw-w64 gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
  wine wine32
  # The display and the input of the tests under wine (scripts/test-windows.sh).
  xvfb x11-utils openbox xdotool zip
)

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

install_packages() {
  local update=0 missing=()
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    update=1
  fi
  add_source_entries && update=1
  for p in "${PACKAGES[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] && update=1
  if [ $update -eq 1 ]; then
    # A mirror that is half-way through a sync fails one index; the others
    # are still usable.
    $SUDO apt-get update -q || true
  fi
  if [ ${#missing[@]} -gt 0 ]; then
    if ! $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"; then
      # wine32's i386 libraries must have exactly the versions of the amd64
      # ones installed: an i386 index that failed to download (a mirror in
      # the middle of a sync) leaves them unmatched.
      echo "build-windows: the packages could not be installed: ${missing[*]}" >&2
      exit "$INSTALL_FAILED"
    fi
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
build_dependencies
cmake -S "$ROOT" -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DNORVANE_WIN_DEPS="$DEPS" \
  -DCMAKE_BUILD_TYPE=Release -DNORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$OUT" -j"$JOBS"
