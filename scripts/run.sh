#!/bin/sh
# The main job: installs what is missing, builds NorvoSMS, starts the local sandbox and
# runs the programs against it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh" run
build=${NORVOSMS_BUILD_ROOT:-$root/build}/run
(cd "$root" && cmake --preset run -B "$build")
cmake --build "$build"
exec sh "$root/scripts/main-job.sh" "$build"
