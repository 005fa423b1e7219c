#!/usr/bin/env bash
# Configures a CMake preset into a build folder, afresh unless the folder's
# cache is the one our own last successful configure left.
#
#   configure.sh PRESET BUILD_DIR [CMAKE_ARGUMENTS...]
#
# A configure that failed (say, before the cross compiler was installed)
# leaves a cache with empty optimisation flags, and every later configure
# keeps them: the build then runs unoptimised without a word. So does a
# cache someone made by hand with other settings. A stamp holding the
# cache's checksum after a successful configure tells ours apart.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: configure.sh PRESET BUILD_DIR [CMAKE_ARGUMENTS...]" >&2; exit 2; }
preset=$1
dir=$2
shift 2
cache=$dir/CMakeCache.txt
stamp=$dir/.kestrova-configured

cache_sum() { echo "$preset $(sha256sum <"$cache" | cut -d' ' -f1)"; }

fresh=()
if [ -f "$cache" ] && { [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$(cache_sum)" ]; }; then
  echo "configure: $dir holds a cache from a failed or another configure; configuring afresh"
  fresh=(--fresh)
fi
rm -f "$stamp"
cmake --preset "$preset" -B "$dir" "${fresh[@]}" "$@"
cache_sum >"$stamp"
