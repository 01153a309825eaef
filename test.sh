#!/usr/bin/env bash
# Builds everything and runs every test: the hosted suite, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for about a minute, then the Windows build's own
# tests (import table, icon, manifest, and the shipped 32-bit package end to end under Wine).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh asan
ctest --preset hosted
ctest --preset asan --label-exclude wine
tests/fuzz/run.sh
ctest --preset win32
