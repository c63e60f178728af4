#!/bin/sh
# Builds the benchmarks with optimisation and runs them all.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh" run bench
build=${NORVOSMS_BUILD_ROOT:-$root/build}
(cd "$root" && cmake --preset bench -B "$build/bench")
cmake --build "$build/bench"
for b in "$build"/bench/bin/bench_*; do
  [ -x "$b" ] && "$b" "$@"
done
