#!/usr/bin/env bash
# Runs a command with a display: the current one when there is one, otherwise a
# fresh Xvfb with the openbox window manager on the first free display number.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
num=90
while [ -e "/tmp/.X${num}-lock" ] || [ -e "/tmp/.X11-unix/X${num}" ]; do num=$((num + 1)); done
Xvfb ":${num}" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":${num}"
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
wm_pid=$!
sleep 0.5
cleanup() { kill "$wm_pid" "$xvfb_pid" 2>/dev/null || true; }
trap cleanup EXIT
export GDK_BACKEND=x11
"$@"
