#!/bin/sh
# Runs one libFuzzer target for a bounded time on a scratch copy of its seed corpus.
# usage: run-fuzzer.sh FUZZER CORPUS_DIR WORK_DIR SECONDS
set -eu
fuzzer=$1 corpus=$2 work=$3 seconds=$4
rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
cp -r "$corpus/." "$work/corpus/"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
exec "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$work/artifacts/" "$work/corpus"
