#!/usr/bin/env bash
# Installs what is needed, builds, packs the showcase application and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
mkdir -p out
./build/packer/norvane-pack build --app examples/showcase/app --ini examples/showcase/qvx.ini \
  --script examples/showcase/qvx-webviewjs -o out/showcase
./build/packer/norvane-pack list out/showcase
