#!/usr/bin/env bash
# Builds every preset: the hosted tools first, since the Windows builds pack with them.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in hosted win32 win64 "$@"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
