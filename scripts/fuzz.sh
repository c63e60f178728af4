#!/bin/sh
# Runs every libFuzzer target for SECONDS each (default 300), one after another.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
sh "$root/scripts/install-deps.sh" run fuzz
build=${NORVOSMS_BUILD_ROOT:-$root/build}
cd "$root"
cmake --preset fuzz -B "$build/fuzz" -DNORVOSMS_FUZZ_SECONDS="$seconds"
cmake --build "$build/fuzz"
cd "$build/fuzz" && ctest --output-on-failure -L fuzz
