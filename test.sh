#!/usr/bin/env bash
# Builds everything and runs every test: the hosted suite, the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fuzz targets for about a minute, then the Windows builds' own
# tests (import table, icon, and the end-to-end runs under Wine).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh asan
ctest --preset hosted
ctest --preset asan --label-exclude wine
tests/fuzz/run.sh
for preset in win32 win64; do
  if [ -f "build/$preset/CTestTestfile.cmake" ]; then ctest --preset "$preset"; fi
done
