#!/usr/bin/env bash
# Installs what is needed, builds, packs the showcase application and runs it.
# Without a display it runs under Xvfb for a few seconds and saves a screenshot
# to out/showcase.png, with the File menu open.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
mkdir -p out
./build/packer/norvane-pack build --app examples/showcase/app --ini examples/showcase/qvx.ini \
  --script examples/showcase/qvx-webviewjs -o out/showcase
./build/packer/norvane-pack list out/showcase
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec ./out/showcase
fi
echo "No display: running the showcase under Xvfb and saving out/showcase.png"
bash scripts/with-display.sh bash -c '
  ./out/showcase & app=$!
  sleep 8
  xdotool key F10 && sleep 1   # the File menu open, with its pictures
  import -window root out/showcase.png
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true'
echo "Screenshot: out/showcase.png"
