#!/usr/bin/env bash
# The program's main job, shown on this machine: builds the 64-bit
# kestrova.exe, makes a folder of sample pictures, writes kestrova.ini
# (change at Windows start on, centred, no timed change) and runs
# `kestrova.exe auto` under Wine on a 1024x768 virtual desktop. The desktop
# is left as out/demo-screenshot.png; a manual start's settings dialog then
# as out/dialog-screenshot.png. Needs no display.
#
# Environment: KESTROVA_BUILD_ROOT (default build/), KESTROVA_JOBS (default 2).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${KESTROVA_BUILD_ROOT:-$root/build}
jobs=${KESTROVA_JOBS:-2}
pictures=$root/out/demo-pictures
screenshot=$root/out/demo-screenshot.png
dialog_shot=$root/out/dialog-screenshot.png
export KESTROVA_WINE_TEMPLATE=$build/wine-template

"$root/scripts/install-deps.sh"

echo "=== building kestrova.exe (win64)"
mkdir -p "$build"
"$root/scripts/configure.sh" win64 "$build/win64" >"$build/win64.configure.log" 2>&1 || {
  cat "$build/win64.configure.log" >&2; exit 1; }
cmake --build "$build/win64" -j "$jobs" --target kestrova e2e_driver

echo "=== sample pictures"
rm -rf "$pictures"
mkdir -p "$pictures"
# Larger than the screen both ways: shrunk to 1024x768 into kestrova.bmp.
convert -size 2400x1800 radial-gradient:'#ffd84d-#b3261e' \
  -fill '#1d3557' -draw 'circle 1200,900 1200,1500' \
  -fill '#f1faee' -draw 'circle 1200,900 1200,1100' \
  -interlace none -sampling-factor 2x2 -quality 90 "$pictures/sunset-2400x1800.jpg"
# Smaller than the screen: shown centred at its own size.
convert -size 640x480 pattern:checkerboard -scale 400% -crop 640x480+0+0 +repage \
  -auto-level +level-colors '#2a9d8f,#e9c46a' -type TrueColor "BMP3:$pictures/tiles-640x480.bmp"
convert -size 800x600 gradient:'#264653-#e76f51' -fill '#f4a261' -draw 'rectangle 200,150 600,450' \
  -interlace none -sampling-factor 2x2 -quality 85 "$pictures/frame-800x600.jpg"
ls -l "$pictures"

echo "=== kestrova.exe auto on a 1024x768 virtual desktop"
python3 "$root/scripts/demo_desktop.py" "$build/win64/kestrova.exe" \
  "$build/win64/tests/e2e/e2e_driver.exe" "$pictures" "$root/out" "$screenshot" "$dialog_shot"
echo "screenshots: $screenshot (the desktop), $dialog_shot (the settings dialog)"
