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
# program sees the same screen whatever the X server's size), no crash
# dialog (a crashing test must end, not wait for a click), and Japanese fonts:
# the Windows font names that the dialog and Wine's own screens ask for are
# replaced by the IPA gothics that fontconfig offers (scripts/install-deps.sh),
# so screenshots show Japanese text rather than empty boxes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

template=$kestrova_template
marker=.kestrova-template
# Raise it whenever the template's contents change: a template made by an
# older script is then built afresh instead of being copied as it is.
template_version=2
proportional_font=IPAPGothic
fixed_font=IPAGothic
# Wine draws caption buttons, check marks and arrows as Marlett glyphs, but
# Debian's Wine does not look in the folder that holds it; the prefix's own
# Fonts folder it does read.
marlett=/usr/share/wine/fonts/marlett.ttf
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

# Wine draws text only in fonts it finds by name, and it holds none with
# Japanese glyphs. A family named here is made from the host font given
# (Wine skips a name that a real font already has). The dialog asks for
# ＭＳ Ｐゴシック; message boxes, menus, the taskbar and the default dialog
# font ask for the others. Japanese value names would pass through the
# console code page on a `reg add` command line, so the file is imported in
# the registry editor's own UTF-16 form.
import_font_replacements() {
  local prefix=$1 name
  local reg=$prefix/drive_c/kestrova-fonts.reg
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for name in 'ＭＳ Ｐゴシック' 'MS PGothic' 'MS UI Gothic' 'MS Shell Dlg' 'MS Shell Dlg 2' \
                'Tahoma' 'MS Sans Serif' 'Microsoft Sans Serif' 'Segoe UI' 'Meiryo' 'メイリオ' \
                'Meiryo UI' 'Yu Gothic UI' 'ＭＳ Ｐ明朝' 'MS PMincho'; do
      printf '"%s"="%s"\r\n' "$name" "$proportional_font"
    done
    for name in 'ＭＳ ゴシック' 'MS Gothic' 'ＭＳ 明朝' 'MS Mincho' 'Courier New'; do
      printf '"%s"="%s"\r\n' "$name" "$fixed_font"
    done
  } | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
  timeout 120 wine reg import 'C:\kestrova-fonts.reg' </dev/null >>"$prefix.log" 2>&1 || {
    echo "wine-prefix: importing the font replacements failed; log:" >&2; cat "$prefix.log" >&2; exit 1; }
  rm -f "$reg"
}

build_template() {
  local size=${desktop:-1024x768}
  local building="$template.building.$$"
  for tool in wine wineserver; do
    command -v "$tool" >/dev/null || { echo "wine-prefix: '$tool' not found (run scripts/install-deps.sh)" >&2; exit 2; }
  done
  fc-list "$proportional_font" family | grep -q . && fc-list "$fixed_font" family | grep -q . && [ -f "$marlett" ] || {
    echo "wine-prefix: the fonts $proportional_font, $fixed_font or $marlett are missing (run scripts/install-deps.sh)" >&2
    exit 2; }
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
  import_font_replacements "$building"
  cp "$marlett" "$building/drive_c/windows/Fonts/"
  # The server writes the registry files out when it ends.
  timeout 120 wineserver -w
  unset WINEPREFIX

  grep -q "^\"shell\"=\"$size\"" "$building/user.reg" || {
    echo "wine-prefix: the desktop setting did not reach $building/user.reg" >&2; exit 1; }
  # ＭＳ Ｐゴシック as the registry file spells it: the check that the
  # Japanese value names came through the import unharmed.
  grep -qF '"\xff2d\xff33 \xff30\x30b4\x30b7\x30c3\x30af"="'"$proportional_font"'"' "$building/user.reg" || {
    echo "wine-prefix: the font replacements did not reach $building/user.reg" >&2; exit 1; }
  echo "$template_version $size" >"$building/$marker"
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
  local made=
  if [ -f "$template/$marker" ]; then read -r made _ <"$template/$marker" || true; fi
  # A prefix booted before wine32 was installed has no 32-bit system folder,
  # and then no program starts in it, 64-bit ones included.
  local lacks_wow64=0
  if [ -x /usr/lib/wine/wine ] && [ ! -f "$template/drive_c/windows/syswow64/kernel32.dll" ]; then
    lacks_wow64=1
  fi
  if [ "$1" = build ] || [ "$made" != "$template_version" ] || [ $lacks_wow64 = 1 ]; then
    build_template
  fi
  exec 9>&-
}

# The DLL folders (nine tenths of the prefix) are never written while
# programs run, so the copy shares them through hard links; everything else
# (registry, profile, temp) is copied.
copy_template() {
  local dest=$1
  local dlls=(drive_c/windows/system32 drive_c/windows/syswow64) folder
  rm -rf "$dest"
  mkdir -p "$dest"
  tar -C "$template" "${dlls[@]/#/--exclude=./}" -cf - . | tar -C "$dest" -xf -
  for folder in "${dlls[@]}"; do
    [ -d "$template/$folder" ] && cp -al "$template/$folder" "$dest/$folder"
  done
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
