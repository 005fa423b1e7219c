#!/usr/bin/env bash
# Builds and tests everything, stopping at the first failure:
#   native  portable code and its unit tests (ASan + UBSan)
#   fuzz    the libFuzzer targets, each run for a bounded time
#   bench   the decoder benchmark, smoke-run on one photo
#   win64   kestrova.exe and the Windows tests under Wine, end-to-end runs included
#   win32   the shipping 32-bit kestrova.exe and the ZIP users download, and the
#           end-to-end scenarios run against that exe where the kernel runs
#           32-bit code (scripts/runs-i386.sh)
# Needs no display: Xvfb is started for the Wine tests.
#
#   test-all.sh [STAGE...]    only the named stages (the package check always runs)
#
# Environment: KESTROVA_BUILD_ROOT (default build/), KESTROVA_FUZZ_SECONDS
# (per target, default 60), KESTROVA_JOBS (default 2), KESTROVA_SKIP_DEPS=1
# to skip the package check.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${KESTROVA_BUILD_ROOT:-$root/build}
fuzz_seconds=${KESTROVA_FUZZ_SECONDS:-60}
jobs=${KESTROVA_JOBS:-2}
bench_photos=$root/../shared/bench
export KESTROVA_WINE_TEMPLATE=$build/wine-template

stages=(native fuzz bench win64 win32)
for wanted in "$@"; do
  [[ " ${stages[*]} " == *" $wanted "* ]] || { echo "test-all: unknown stage '$wanted' (stages: ${stages[*]})" >&2; exit 2; }
done
selected=("$@")
want() {
  [ ${#selected[@]} -eq 0 ] || [[ " ${selected[*]} " == *" $1 "* ]]
}

summary=()
current=
stage_started=0
all_started=$SECONDS

print_summary() {
  echo
  echo "=== summary"
  local line
  for line in "${summary[@]}"; do echo "  $line"; done
  echo "  total $((SECONDS - all_started)) s"
}

on_exit() {
  local rc=$?
  if [ $rc -ne 0 ] && [ -n "$current" ]; then
    summary+=("$(printf '%-8s FAILED after %d s' "$current" $((SECONDS - stage_started)))")
    print_summary
    echo "test-all: FAILED in stage '$current' (exit code $rc); see the output above" >&2
  fi
}
trap on_exit EXIT

begin() {
  current=$1
  stage_started=$SECONDS
  echo
  echo "=== $current: $2"
}

finish() {
  summary+=("$(printf '%-8s passed in %d s%s' "$current" $((SECONDS - stage_started)) "${1:+ ($1)}")")
  current=
}

# Configures a preset into its own folder under the build root (afresh when
# its cache is not from our own successful configure) and builds it all.
build_preset() {
  local preset=$1
  shift
  "$root/scripts/configure.sh" "$preset" "$build/$preset" "$@" >"$build/$preset.configure.log" 2>&1 || {
    cat "$build/$preset.configure.log" >&2
    return 1
  }
  cmake --build "$build/$preset" -j "$jobs"
}

# One bounded libFuzzer run; any crash, leak, timeout or sanitizer report fails.
run_fuzzer() {
  local target=$1
  shift
  local exe="$build/fuzz/fuzz/$target"
  local corpus="$build/fuzz/corpus-$target"
  local seeds=()
  local dir
  for dir in "$@"; do [ -d "$dir" ] && seeds+=("$dir"); done
  mkdir -p "$corpus" "$build/fuzz/findings"
  echo "--- $target for $fuzz_seconds s, seeds: ${seeds[*]:-none}"
  "$exe" -max_total_time="$fuzz_seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz/findings/$target-" "$corpus" "${seeds[@]}" \
    >"$build/fuzz/$target.log" 2>&1 || {
    tail -n 60 "$build/fuzz/$target.log" >&2
    echo "$target found a failing input; it is in $build/fuzz/findings/" >&2
    return 1
  }
  grep -E '^stat::number_of_executed_units' "$build/fuzz/$target.log" | sed "s/^/    $target /" || true
}

mkdir -p "$build"

begin deps "Debian packages and the Japanese locale"
if [ "${KESTROVA_SKIP_DEPS:-0}" = 1 ]; then
  echo "skipped (KESTROVA_SKIP_DEPS=1)"
else
  "$root/scripts/install-deps.sh"
fi
finish

if want native; then
  begin native "portable code and unit tests, ASan + UBSan"
  build_preset native
  ctest --test-dir "$build/native" --output-on-failure -j "$jobs"
  finish
fi

if want fuzz; then
  begin fuzz "libFuzzer targets, $fuzz_seconds s each"
  build_preset fuzz
  run_fuzzer fuzz_jpeg "$root/tests/jpeg/data"
  run_fuzzer fuzz_bmp "$root/tests/wallpaper/bmp_seeds"
  finish
fi

if want bench; then
  begin bench "decoder benchmark build and smoke run"
  build_preset bench
  bench_note="no photos beside the repository"
  photo=$bench_photos/photo-1920x1080-420-q90.jpg
  if [ -f "$photo" ]; then
    "$build/bench/bench/jpegbench" "$photo" 3 | tee "$build/bench/smoke.txt"
    [ "$(grep -c '^decode_ms [0-9.]*$' "$build/bench/smoke.txt")" -eq 3 ] || {
      echo "jpegbench did not print three decode times" >&2
      false
    }
    bench_note="median of 3 decodes of $(basename "$photo"): $(grep '^decode_ms' "$build/bench/smoke.txt" |
      awk '{print $2}' | sort -n | sed -n 2p) ms"
  fi
  finish "$bench_note"
fi

if want win64; then
  begin win64 "kestrova.exe and the tests under Wine"
  build_preset win64 -DKESTROVA_JPEG2BMP="$build/native/tools/jpeg2bmp"
  [ -f "$build/win64/kestrova.exe" ] || { echo "the win64 build made no kestrova.exe" >&2; false; }
  "$root/scripts/wine-prefix.sh" build
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    ctest --test-dir "$build/win64" --output-on-failure -j "$jobs"
  # The README's first command too, so the demo cannot fall behind the runner it borrows from.
  KESTROVA_BUILD_ROOT=$build "$root/scripts/run-demo.sh"
  finish
fi

if want win32; then
  begin win32 "the shipping 32-bit kestrova.exe, its ZIP and its end-to-end runs"
  # Its Win32 tests are not built: only the 64-bit build runs them.
  build_preset win32 -DKESTROVA_TESTS=OFF
  [ -f "$build/win32/kestrova.exe" ] || { echo "the win32 build made no kestrova.exe" >&2; false; }
  rm -rf "$build/win32/package"
  cmake --build "$build/win32" --target package
  zip=$(echo "$build"/win32/package/kestrova-*-win32.zip)
  # Exactly the program and its help page, at the archive's root.
  contents=$(python3 -c 'import sys, zipfile; print(*sorted(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip")
  [ "$contents" = "ReadMe.htm kestrova.exe" ] || { echo "$zip holds: $contents" >&2; false; }
  win32_note="$(stat -c %s "$build/win32/kestrova.exe") bytes; $(basename "$zip") $(stat -c %s "$zip") bytes"
  if ! "$root/scripts/runs-i386.sh"; then
    # Without 32-bit support in the kernel Wine cannot start the exe at all.
    win32_note+="; end-to-end runs skipped: this machine's kernel runs no 32-bit code"
  elif [ ! -f "$build/win64/tests/e2e/e2e_driver.exe" ] || [ ! -x "$build/native/tools/jpeg2bmp" ]; then
    win32_note+="; end-to-end runs skipped: they need the native and win64 stages"
  else
    # The same scenarios as in win64, against the exe that ships; the 64-bit
    # driver watches its windows. Each checks what the program did, so an
    # exe that Wine could not start fails rather than passing on its exit code.
    e2e_started=$SECONDS
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
      "$root/tests/e2e/run_e2e.py" --kestrova "$build/win32/kestrova.exe" \
      --driver "$build/win64/tests/e2e/e2e_driver.exe" --jpeg2bmp "$build/native/tools/jpeg2bmp" \
      --work "$build/win32/e2e"
    win32_note+="; end-to-end runs of the 32-bit exe $((SECONDS - e2e_started)) s"
  fi
  finish "$win32_note"
fi

print_summary
echo "test-all: everything passed"
