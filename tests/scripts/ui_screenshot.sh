#!/usr/bin/env bash
# Opens the demo window of the user-interface layer (menu bar, marquee progress
# bar, activity indicators, password edit) with a message dialog over it, takes
# a screenshot of the display and checks that both windows were there.
# Usage: bash ui_screenshot.sh BUILD_DIR SOURCE_DIR [OUTPUT.png]
set -euo pipefail
build_dir=$(cd "${1:?build folder}" && pwd)
source_dir=$(cd "${2:?source folder}" && pwd)
output=${3:-$build_dir/ui-screenshot.png}
if [ -z "${NORVANE_SCREENSHOT_DISPLAY:-}" ]; then
  export NORVANE_SCREENSHOT_DISPLAY=1
  exec bash "$source_dir/scripts/with-display.sh" bash "$0" "$build_dir" "$source_dir" "$output"
fi
demo="$build_dir/tests/UiDemo"
[ -x "$demo" ] || demo=$(find "$build_dir" -name UiDemo -type f -perm -u+x | head -n1)
[ -x "$demo" ] || { echo "UiDemo not built"; exit 1; }

"$demo" --dialog >"$build_dir/ui-demo.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
found=0
for _ in $(seq 1 100); do
  if xdotool search --name '^Confirm$' >/dev/null 2>&1 && xdotool search --name '^Norvane UI demo$' >/dev/null 2>&1; then
    found=1
    break
  fi
  sleep 0.1
done
[ "$found" = 1 ] || { echo "the demo windows did not appear"; cat "$build_dir/ui-demo.log"; exit 1; }
sleep 1 # let the indicators turn and the marquee move
import -window root "$output"
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
trap - EXIT
colours=$(convert "$output" -format '%k' info:)
echo "screenshot: $output ($colours colours)"
# A blank or single-window screen has very few colours; the demo has many.
[ "$colours" -gt 50 ] || { echo "the screenshot looks empty"; exit 1; }
