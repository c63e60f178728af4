#!/bin/sh
# Builds the benchmarks with optimisation and runs them all.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh"
build=${NORVOSMS_BUILD_ROOT:-$root/build}
cmake -S "$root" -B "$build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DNORVOSMS_BENCH=ON -DNORVOSMS_TESTS=OFF
cmake --build "$build/bench"
for b in "$build"/bench/bin/bench_*; do
  [ -x "$b" ] && "$b" "$@"
done
