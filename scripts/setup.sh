#!/usr/bin/env bash
# Installs with apt-get whatever the build and the tests need and this machine lacks. The Wine suite
# runs the shipped 32-bit package, so Debian's i386 architecture is enabled for wine32.
set -euo pipefail
packages=(cmake g++ make libgtest-dev libbenchmark-dev python3 zlib1g-dev mscompress libmspack-dev
          g++-mingw-w64-i686 binutils-mingw-w64 gcc-mingw-w64-i686-posix-runtime wine64 xvfb xdotool
          icoutils imagemagick clang libclang-rt-14-dev time)
# wine32's recommendations would pull in a second copy of most of the desktop for i386.
packages_without_recommends=(wine32:i386)
export DEBIAN_FRONTEND=noninteractive
updated=no

update_once() {
  [ "$updated" = yes ] || apt-get update -q
  updated=yes
}

missing_of() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || echo "$package"
  done
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: enabling the i386 architecture for wine32"
  dpkg --add-architecture i386
  update_once
fi
mapfile -t missing < <(missing_of "${packages[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  update_once
  apt-get install -y -q "${missing[@]}"
fi
mapfile -t missing < <(missing_of "${packages_without_recommends[@]}")
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  update_once
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
