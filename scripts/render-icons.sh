#!/usr/bin/env bash
# Renders the program's PNG icons from its SVG with rsvg-convert (librsvg2-bin). The PNGs are
# committed, so a build needs no renderer: run this after changing the SVG and commit the result.
# Usage: scripts/render-icons.sh [output folder, default dist/icons/hicolor]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
svg=$root/dist/icons/io.github.quenvor.Quenvor.svg
out=${1:-$root/dist/icons/hicolor}
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing: run scripts/install-deps.sh test" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$out/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$out/${size}x${size}/apps/io.github.quenvor.Quenvor.png"
done
