#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and this machine lacks.
set -euo pipefail
packages=(cmake g++ make libgtest-dev libbenchmark-dev python3 zlib1g-dev mscompress libmspack-dev
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
          gcc-mingw-w64-i686-posix-runtime wine64 xvfb xdotool
          icoutils imagemagick clang libclang-rt-14-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi
