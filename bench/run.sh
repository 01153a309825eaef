#!/usr/bin/env bash
# The codec's benchmark: builds what it needs, then prints the tables of bench/szdd_bench.cpp with
# the date and the machine. Usage: bench/run.sh (from anywhere; takes a few minutes).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset hosted >/dev/null
cmake --build --preset hosted --target szdd_bench >/dev/null
work="$root/build/bench"
mkdir -p "$work/files"

# Wine's LZ32 as the installer meets it: a 32-bit probe, which wine64 hands to the 32-bit loader.
wine=""
probe="$work/wine_lz32.exe"
wine64=$(command -v wine64 || true)
[ -z "$wine64" ] && [ -x /usr/lib/wine/wine64 ] && wine64=/usr/lib/wine/wine64
if [ -n "$wine64" ] && /usr/lib/wine/wine --version >/dev/null 2>&1 && command -v i686-w64-mingw32-g++ >/dev/null; then
  i686-w64-mingw32-g++ -O2 -static -o "$probe" bench/wine_lz32.cpp -llz32
  export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all
  "$wine64" wineboot --init >/dev/null 2>&1 || true
  wine="$wine64"
fi

echo "SZDD benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, $(uname -sr)"
echo
if [ -n "$wine" ]; then
  build/hosted/bench/szdd_bench "$work/files" "$wine" "$probe"
else
  build/hosted/bench/szdd_bench "$work/files"
fi
