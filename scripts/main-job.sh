#!/bin/sh
# Runs the built programs against the local sandbox. usage: main-job.sh BUILD_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
echo "NorvoSMS built in $build"
