#!/bin/sh
# Runs the built programs against the local sandbox. usage: main-job.sh BUILD_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
echo "NorvoSMS built in $build"

# The sandbox API service on free ports, with its own certificate authority.
state="$build/sandbox-state"
endpoint=$(python3 "$root/sandbox/fixture.py" start "$state")
trap 'python3 "$root/sandbox/fixture.py" stop "$state"' EXIT
NORVOSMS_API_URL=$(sed -n 's/^api_url=//p' "$endpoint")
NORVOSMS_CA_FILE=$(sed -n 's/^ca_file=//p' "$endpoint")
export NORVOSMS_API_URL NORVOSMS_CA_FILE
echo "sandbox API service at $NORVOSMS_API_URL"

# The public IP address as the service sees it (InitHostIP, HostIPSMS, FreeDll).
echo "\$ norvosms ip"
"$build/bin/norvosms" ip
