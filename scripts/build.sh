#!/usr/bin/env bash
# Builds the hosted tools first, since the Windows build packs with them, then the 32-bit Windows
# build, then any further presets named on the command line.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in hosted win32 "$@"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
