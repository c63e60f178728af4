#!/bin/sh
# Runs every libFuzzer target for SECONDS each (default 300), one after another.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
sh "$root/scripts/install-deps.sh"
build=${NORVOSMS_BUILD_ROOT:-$root/build}
CC=clang CXX=clang++ cmake -S "$root" -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DNORVOSMS_FUZZ=ON -DNORVOSMS_TESTS=OFF -DNORVOSMS_APP=OFF -DNORVOSMS_FUZZ_SECONDS="$seconds"
cmake --build "$build/fuzz"
cd "$build/fuzz" && ctest --output-on-failure -L fuzz
