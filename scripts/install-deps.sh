#!/usr/bin/env bash
# Installs every Debian package the builds, the tests and the demo need (a
# Japanese font among them, so the screens Wine draws show real glyphs), and
# the Japanese locale that Wine takes its ANSI code page (932) from.
# Safe to run again: it returns at once when everything is in place.
set -euo pipefail

packages=(
  # host build: native unit tests, tools, benchmark
  cmake make g++ python3
  # fuzz build: clang with libFuzzer's runtime
  clang libclang-rt-14-dev
  # Windows builds (64-bit for the tests under Wine, 32-bit ships)
  mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686
  # running the Windows builds: 64-bit Wine on a virtual X server (the 32-bit
  # loader joins below where the kernel runs 32-bit code)
  wine wine64 xvfb xauth x11-utils
  # the X extensions Wine's display driver loads at run time (recommends, which are not installed)
  libxrender1 libxrandr2 libxi6 libxcursor1 libxcomposite1 libxinerama1 libxfixes3 libxxf86vm1
  # Japanese glyphs under Wine: IPA P Gothic and IPA Gothic, metric twins of the
  # fonts the dialog and the system UI ask for (the prefix maps those names to
  # them); Wine's own fonts for Marlett, the symbols of caption buttons, check
  # boxes and arrows (a recommends of wine, so not installed with it here)
  fonts-ipafont-gothic fonts-wine fontconfig
  # test pictures, screenshots and pixel checks
  imagemagick libjpeg-turbo-progs
  # benchmark-only comparison decoders
  libturbojpeg0-dev libstb-dev libbenchmark-dev
  # GoogleTest sources (/usr/src/googletest)
  googletest
  locales
)

locale_present() {
  locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'
}

# The shipping exe is 32-bit: Wine runs it with wine32, from the i386 side
# of the archive. Where the kernel runs no 32-bit code, wine32 would break
# every Wine call, 64-bit ones too, so it is left out there.
runs_i386=0
"$(dirname "${BASH_SOURCE[0]}")/runs-i386.sh" && runs_i386=1
i386_enabled() {
  dpkg --print-foreign-architectures 2>/dev/null | grep -qx i386
}

missing=()
if [ $runs_i386 = 1 ]; then
  packages+=(wine32:i386)
  i386_enabled || missing+=(i386-architecture)
elif dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'ok installed'; then
  echo "install-deps: wine32 is installed but this kernel runs no 32-bit code; every wine call will fail (apt-get remove wine32:i386)" >&2
fi
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ] && locale_present; then
  echo "install-deps: all packages and the ja_JP.UTF-8 locale are present"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: must run as root (or with sudo) to install: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  [ $runs_i386 = 0 ] || i386_enabled || "${as_root[@]}" dpkg --add-architecture i386
  "${as_root[@]}" apt-get update
  # No recommends: they pull in a desktop's worth of packages.
  "${as_root[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
fi

if ! locale_present; then
  echo "install-deps: generating the ja_JP.UTF-8 locale"
  if [ -f /etc/locale.gen ] && grep -qE '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
    "${as_root[@]}" sed -i -E 's/^# *(ja_JP.UTF-8 UTF-8)/\1/' /etc/locale.gen
  elif ! grep -qE '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${as_root[@]}" locale-gen
fi

locale_present || { echo "install-deps: the ja_JP.UTF-8 locale is still missing" >&2; exit 1; }
echo "install-deps: done"
