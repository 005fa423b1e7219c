#!/usr/bin/env bash
# Times one wallpaper change stage by stage (changebench.exe under Wine, in
# process, medians of RUNS) for each photo, next to two ImageMagick peers timed
# on the same machine (medians of RUNS, process start included):
# `convert IN -sample WxH! BMP3:OUT` (column convert) and the same with
# `-define jpeg:size=WxH` before IN, which lets its JPEG reader decode at a
# reduced size (column convert-r); prints one table in milliseconds.
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
# The median microseconds of RUNS `convert ARGS... -sample WxH! BMP3:OUT`.
peer() {
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    convert "$@" -sample "$screen!" "BMP3:$out/convert.bmp"
    echo $(( ($(date +%s%N) - start) / 1000 ))
  done | median
}

printf '%-34s %7s %7s %7s %5s %7s %7s %7s %8s %9s %9s\n' photo read decode touch fit shrink write apply change convert \
  convert-r
for photo in "${photos[@]}"; do
  photo=$(realpath "$photo")
  line=$("$root/scripts/wine-run.sh" "$bench" "Z:${photo//\//\\}" "${screen%x*}" "${screen#*x}" "$runs" \
         "Z:${out//\//\\}" 2>/dev/null | grep '^read=') || { echo "$(basename "$photo"): changebench failed" >&2; continue; }
  convert_ms=$(peer "$photo")
  convert_r_ms=$(peer -define "jpeg:size=$screen" "$photo")
  eval "$(echo "$line" | tr ' ' '\n' | grep =)"
  printf '%-34s %7s %7s %7s %5s %7s %7s %7s %8s %9.1f %9.1f\n' "$(basename "$photo")" "$read" "$decode" "$touch" "$fit" \
    "$shrink" "$write" "$apply" "$sum" "$(echo "$convert_ms / 1000" | bc -l)" "$(echo "$convert_r_ms / 1000" | bc -l)"
done
