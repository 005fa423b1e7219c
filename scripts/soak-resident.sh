#!/usr/bin/env bash
# A long run of the resident program: N timer ticks (default 2000) over small
# and large BMP and JPEG pictures, sent one after the other to a resident
# kestrova.exe under Wine, with its memory and handle counts printed at the
# start, after the first tenth, and at the end. Needs the win64 build (and
# builds it when missing). Not a timed test: CI runs the 100-tick version as
# the e2e scenario "soak".
#
#   soak-resident.sh [TICKS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${KESTROVA_BUILD_ROOT:-$root/build}
export KESTROVA_WINE_TEMPLATE=$build/wine-template
[ -f "$build/win64/kestrova.exe" ] || {
  cmake --preset win64 -B "$build/win64" >/dev/null && cmake --build "$build/win64" -j 2 --target kestrova e2e_driver; }
KESTROVA_SOAK_TICKS=${1:-2000} python3 "$root/tests/e2e/run_e2e.py" --kestrova "$build/win64/kestrova.exe" \
  --driver "$build/win64/tests/e2e/e2e_driver.exe" --work "$build/soak" soak
