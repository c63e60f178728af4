# Sourced by the end-to-end tests of norvosms: the sandbox's endpoint and control address, the
# demo account, a scratch folder $work (removed at exit) that also holds the batch journals, and
# post/get for the sandbox's control interface.
ready="$NORVOSMS_BUILD_DIR/sandbox-state/endpoint.txt"
api_url=$(sed -n 's/^api_url=//p' "$ready")
control=$(sed -n 's/^control_url=//p' "$ready")
export NORVOSMS_API_URL="$api_url" NORVOSMS_CA_FILE=$(sed -n 's/^ca_file=//p' "$ready")
export NORVOSMS_ID=demo NORVOSMS_API_KEY=demo-key NO_PROXY=127.0.0.1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME="$work/state"  # where the batch journals go
post() { python3 -c 'import sys,urllib.request as u; u.urlopen(u.Request(sys.argv[1],data=sys.argv[2].encode(),method="POST"))' "$control$1" "$2"; }
get() { python3 -c 'import sys,urllib.request as u; sys.stdout.write(u.urlopen(sys.argv[1]).read().decode())' "$control$1"; }
