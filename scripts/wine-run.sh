#!/usr/bin/env bash
# Runs one Windows program under Wine in a throwaway copy of the template
# prefix and returns the program's exit code. The win64 preset uses it as
# its cross-compiling emulator, so `ctest` runs the Windows tests with it.
#
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
#
# Environment: DISPLAY (an Xvfb is started when it is unset),
# KESTROVA_WINE_TEMPLATE (template folder), KESTROVA_WINE_DESKTOP (virtual
# desktop size for this run, e.g. 800x600), KESTROVA_WINE_TIMEOUT (seconds,
# default 900; the program is killed after that).
#
# The program is started directly: the prefix's Desktop=shell setting makes
# its first window call bring up the virtual desktop and wait for it, which
# is both faster and free of the start-up race of launching
# `explorer /desktop=...` separately.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh PROGRAM.exe [ARGUMENTS...]" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrova-wine.XXXXXX")
xvfb_pid=
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$work/prefix" timeout 30 wineserver -w 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$kestrova_root/scripts/wine-prefix.sh" copy "$work/prefix" || {
  echo "wine-run: no Wine prefix for the run" >&2; exit 125; }
export WINEPREFIX="$work/prefix"

if [ -z "${DISPLAY:-}" ]; then
  # -displayfd picks a free display number and writes it once the server listens.
  Xvfb -displayfd 3 -screen 0 "${KESTROVA_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || { echo "wine-run: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 125; }
  export DISPLAY=":$(head -n1 "$work/display")"
fi

timeout -k 10 "${KESTROVA_WINE_TIMEOUT:-900}" wine "$@" </dev/null
rc=$?
if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
  echo "wine-run: $1 did not end within ${KESTROVA_WINE_TIMEOUT:-900} s and was killed" >&2
fi
exit $rc
