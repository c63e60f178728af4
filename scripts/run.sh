#!/bin/sh
# The main job: installs what is missing, builds NorvoSMS, starts the local sandbox and
# runs the programs against it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh"
build=${NORVOSMS_BUILD_ROOT:-$root/build}/run
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNORVOSMS_TESTS=OFF
cmake --build "$build"
exec sh "$root/scripts/main-job.sh" "$build"
