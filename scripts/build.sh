#!/usr/bin/env bash
# Builds every preset: the hosted tools first, since the Windows builds pack with them.
set -euo pipefail
cd "$(dirname "$0")/.."
presets=(hosted)
[ -f cmake/windows.cmake ] && presets+=(win32 win64)
for preset in "${presets[@]}" "$@"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
