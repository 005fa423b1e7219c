#!/usr/bin/env bash
# The template Wine prefix that every test run copies, and the copies.
#
#   wine-prefix.sh build       build the template afresh
#   wine-prefix.sh ensure      build it only when there is none yet
#   wine-prefix.sh copy DEST   ensure, then make DEST a private prefix for one run
#
# The template lives in $KESTROVA_WINE_TEMPLATE (default build/wine-template).
# $KESTROVA_WINE_DESKTOP (WIDTHxHEIGHT) sets the virtual desktop's size: of
# the template when building (default 1024x768), of the copy when copying.
# Parallel callers wait on a lock instead of booting Wine twice.
#
# The prefix gets one virtual desktop named "shell" of a known size (so every
# program sees the same screen whatever the X server's size), and no crash
# dialog (a crashing test must end, not wait for a click).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

template=$kestrova_template
marker=.kestrova-template
command=${1:-}
desktop=${KESTROVA_WINE_DESKTOP:-}

usage() {
  echo "usage: wine-prefix.sh build | ensure | copy DEST" >&2
  exit 2
}

if [ -n "$desktop" ] && ! [[ $desktop =~ ^[0-9]+x[0-9]+$ ]]; then
  echo "wine-prefix: KESTROVA_WINE_DESKTOP must be WIDTHxHEIGHT, not '$desktop'" >&2
  exit 2
fi

build_template() {
  local size=${desktop:-1024x768}
  local building="$template.building.$$"
  for tool in wine wineserver; do
    command -v "$tool" >/dev/null || { echo "wine-prefix: '$tool' not found (run scripts/install-deps.sh)" >&2; exit 2; }
  done
  rm -rf "$building"
  trap 'WINEPREFIX="$building" wineserver -k 2>/dev/null || true; rm -rf "$building" "$building.log"' EXIT

  export WINEPREFIX="$building"
  # Booting needs no display; without one Wine shows no progress window either.
  unset DISPLAY
  local started=$SECONDS
  echo "wine-prefix: booting a new prefix for $template ($size)" >&2
  timeout 300 wine wineboot --init </dev/null >"$building.log" 2>&1 || {
    echo "wine-prefix: wineboot failed; its output:" >&2; cat "$building.log" >&2; exit 1; }
  reg_add() {
    timeout 120 wine reg add "$@" /f </dev/null >>"$building.log" 2>&1 || {
      echo "wine-prefix: 'reg add $*' failed; log:" >&2; cat "$building.log" >&2; exit 1; }
  }
  reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell
  reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "$size"
  reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
  # The server writes the registry files out when it ends.
  timeout 120 wineserver -w
  unset WINEPREFIX

  grep -q "^\"shell\"=\"$size\"" "$building/user.reg" || {
    echo "wine-prefix: the desktop setting did not reach $building/user.reg" >&2; exit 1; }
  echo "$size" >"$building/$marker"
  rm -rf "$template" "$building.log"
  mv "$building" "$template"
  trap - EXIT
  echo "wine-prefix: template ready in $((SECONDS - started)) s: $template" >&2
}

# Under the lock: build when asked, or when no complete template exists.
prepare_template() {
  mkdir -p "$(dirname "$template")"
  exec 9>"$template.lock"
  flock 9
  if [ "$1" = build ] || ! [ -f "$template/$marker" ]; then
    build_template
  fi
  exec 9>&-
}

# The DLL folder (nine tenths of the prefix) is never written while programs
# run, so the copy shares it through hard links; everything else (registry,
# profile, temp) is copied.
copy_template() {
  local dest=$1
  local dlls=drive_c/windows/system32
  rm -rf "$dest"
  mkdir -p "$dest"
  tar -C "$template" --exclude="./$dlls" -cf - . | tar -C "$dest" -xf -
  cp -al "$template/$dlls" "$dest/$dlls"
  if [ -n "$desktop" ]; then
    sed -i -E "/^\[Software\\\\\\\\Wine\\\\\\\\Explorer\\\\\\\\Desktops\]/,/^$/ s/^\"shell\"=.*/\"shell\"=\"$desktop\"/" \
      "$dest/user.reg"
    grep -q "^\"shell\"=\"$desktop\"" "$dest/user.reg" || {
      echo "wine-prefix: could not set the desktop size in $dest" >&2; exit 1; }
  fi
}

case "$command" in
  build | ensure)
    [ $# -eq 1 ] || usage
    prepare_template "$command"
    ;;
  copy)
    [ $# -eq 2 ] || usage
    prepare_template ensure
    copy_template "$2"
    ;;
  *) usage ;;
esac
