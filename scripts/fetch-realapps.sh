#!/usr/bin/env bash
# Fetches the npm packages that the real-application end-to-end test
# (tests/scripts/app_realapps_e2e.sh) packs, at pinned versions, into
# DEST/node_modules (default build/realapps), with npm's cache beside them.
# Does nothing when that set is already there.
# Usage: bash scripts/fetch-realapps.sh [DEST]
set -euo pipefail
DEST=${1:-$(cd "$(dirname "$0")/.." && pwd)/build/realapps}
PACKAGES=(reveal.js@6.0.2 @xterm/xterm@6.0.0 codemirror@5.65.21 monaco-editor@0.52.2)
stamp="$DEST/node_modules/.fetched-$(printf '%s\n' "${PACKAGES[@]}" | md5sum | cut -c1-12)"
[ -e "$stamp" ] && exit 0
command -v npm >/dev/null || { echo "npm is needed (scripts/deps.sh installs it)" >&2; exit 1; }
mkdir -p "$DEST"
rm -rf "$DEST/node_modules" "$DEST/package.json"
# Exact versions, no install scripts, no lock file or audit: only the files.
printf '{"name": "norvane-realapps", "private": true}\n' >"$DEST/package.json"
npm install --prefix "$DEST" --cache "$DEST/npm-cache" --save-exact --no-audit --no-fund \
    --ignore-scripts --no-package-lock --omit=dev --loglevel=error "${PACKAGES[@]}"
touch "$stamp"
