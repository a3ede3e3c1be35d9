#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config clang-format clang bc
  libzip-dev zlib1g-dev libpcre2-dev rapidjson-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zip unzip python3 shared-mime-info xdg-user-dirs locales
  xvfb x11-utils openbox xdotool x11-apps imagemagick dbus-x11 nodejs
  dbus-daemon dbus-bin python3-dbusmock
  gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 icoutils wine wine64 python3-pefile
  desktop-file-utils
  python-click-doc libjs-pdf
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q || true
  $SUDO apt-get install -y -q "${missing[@]}"
fi
# npm (for the TypeScript check of the declarations) comes with some nodejs
# builds and is a package of its own in Debian's.
if ! command -v npm >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q npm
fi
