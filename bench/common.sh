# The start that the measuring scripts share, sourced right after their
# "set -euo pipefail" with their own arguments: SOURCE; BUILD (the first
# argument, else build/); a display (without one the script runs again under
# scripts/with-display.sh); PACK, the packer, which must be built; and an
# empty working folder T, removed at the end, made the current folder, with
# HOME inside it.
SOURCE=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$(cd "${1:-$SOURCE/build}" && pwd)
if [ -z "${DISPLAY:-}" ]; then
    exec bash "$SOURCE/scripts/with-display.sh" bash "$0" "$@"
fi
PACK="$BUILD/packer/norvane-pack"
[ -x "$PACK" ] || { echo "build norvane-pack and norvane-engine first"; exit 1; }
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
cd "$T"
export HOME="$T/home"
mkdir -p "$HOME"
