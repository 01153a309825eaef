#!/usr/bin/env bash
# Builds everything, packs the demo screen saver and runs that package in this terminal, with a
# sandbox Windows directory under build/.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh

saver=build/win32/Quendolin.scr
[ -f "$saver" ] || saver=build/hosted/installer   # without the Windows build: any file will do
package=build/hosted/Quendolin-Setup
windows_dir=build/hosted/demo-windows
build/hosted/mkpackage pack build/hosted/installer "$saver" -o "$package"
rm -rf "$windows_dir"
mkdir -p "$windows_dir"

echo "Package: $package (payload: $saver)"
echo "Windows directory for this run: $windows_dir"
status=0
WINDIR="$windows_dir" "$package" || status=$?
echo
echo "The installer exited with $status. The Windows directory now holds:"
ls -l "$windows_dir"
for ini in "$windows_dir"/*.ini; do
  [ -f "$ini" ] && { echo "--- $ini"; cat "$ini"; }
done
exit 0
