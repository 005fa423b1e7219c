#!/usr/bin/env bash
# Times one wallpaper change stage by stage (changebench.exe under Wine, in
# process, medians of RUNS) for each photo, next to ImageMagick's
# `convert IN -sample WxH! BMP3:OUT` timed on the same machine (median of RUNS,
# process start included), and prints one table in milliseconds.
#
#   scripts/changebench.sh [RUNS] [PHOTO...]
#
# Defaults: 9 runs, every photo in ../shared/bench, a 1024x768 screen
# (KESTROVA_BENCH_SCREEN=WxH changes it). Needs the win64 build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-9}
shift || true
photos=("$@")
[ ${#photos[@]} -gt 0 ] || photos=($(ls -S -r "$root"/../shared/bench/*.jpg "$root"/../shared/bench/*.bmp 2>/dev/null))
screen=${KESTROVA_BENCH_SCREEN:-1024x768}
bench="$root/build/win64/tools/changebench.exe"
[ -x "$bench" ] || { echo "changebench: build the win64 preset first" >&2; exit 2; }
out=$(mktemp -d "${TMPDIR:-/tmp}/changebench.XXXXXX")
trap 'rm -rf "$out"' EXIT

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '%-34s %7s %7s %7s %5s %7s %7s %7s %8s %9s\n' photo read decode touch fit shrink write apply change convert
for photo in "${photos[@]}"; do
  photo=$(realpath "$photo")
  line=$("$root/scripts/wine-run.sh" "$bench" "Z:${photo//\//\\}" "${screen%x*}" "${screen#*x}" "$runs" \
         "Z:${out//\//\\}" 2>/dev/null | grep '^read=') || { echo "$(basename "$photo"): changebench failed" >&2; continue; }
  convert_ms=$(for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    convert "$photo" -sample "$screen!" "BMP3:$out/convert.bmp"
    echo $(( ($(date +%s%N) - start) / 1000 ))
  done | median)
  eval "$(echo "$line" | tr ' ' '\n' | grep =)"
  printf '%-34s %7s %7s %7s %5s %7s %7s %7s %8s %9.1f\n' "$(basename "$photo")" "$read" "$decode" "$touch" "$fit" \
    "$shrink" "$write" "$apply" "$sum" "$(echo "$convert_ms / 1000" | bc -l)"
done
