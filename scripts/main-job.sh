#!/bin/sh
# Runs the built programs against the local sandbox. usage: main-job.sh BUILD_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
echo "NorvoSMS built in $build"

# The sandbox API service on free ports, with its own certificate authority.
state="$build/sandbox-state"
endpoint=$(python3 "$root/sandbox/fixture.py" start "$state")
web_state="$build/sandbox-web-run"
trap 'python3 "$root/sandbox/fixture.py" stop "$state"; python3 "$root/sandbox/web_fixture.py" stop "$web_state"' EXIT
NORVOSMS_API_URL=$(sed -n 's/^api_url=//p' "$endpoint")
NORVOSMS_CA_FILE=$(sed -n 's/^ca_file=//p' "$endpoint")
export NORVOSMS_API_URL NORVOSMS_CA_FILE
echo "sandbox API service at $NORVOSMS_API_URL"

# The public IP address as the service sees it (InitHostIP, HostIPSMS, FreeDll).
echo "\$ norvosms ip"
"$build/bin/norvosms" ip

# The demo account (user demo, API key demo-key) through the command-line client: log in,
# read the account facts, add a group and a contact and list them back, recent messages.
# The sandbox's account service starts afresh, so the group can be added on every run.
control_url=$(sed -n 's/^control_url=//p' "$endpoint")
no_proxy=127.0.0.1 python3 -c 'import sys,urllib.request as u; u.urlopen(u.Request(sys.argv[1] + "/reset", data=b"", method="POST"))' "$control_url"
NORVOSMS_ID=demo NORVOSMS_API_KEY=demo-key
# The batch journals of this run stay in the build folder, not in the user's state folder.
XDG_STATE_HOME="$build/state"
export NORVOSMS_ID NORVOSMS_API_KEY XDG_STATE_HOME
for command in login info groups "add-group 가족" "add-contact 가족 홍길동 010-1234-5678" "contacts 가족" recent; do
  echo "\$ norvosms $command"
  # shellcheck disable=SC2086
  "$build/bin/norvosms" $command
done

# Sending: a batch of three recipients on the library's three workers, then the status of one.
recipients="$build/recipients.txt"
printf '010-5550-0001 run-1\n010-5550-0002 run-2\n010-5550-0003 run-3\n' > "$recipients"
echo "\$ norvosms send --callback 02-555-0100 --file $recipients '안녕하세요, NorvoSMS입니다.'"
"$build/bin/norvosms" send --callback 02-555-0100 --file "$recipients" '안녕하세요, NorvoSMS입니다.'
for command in "status run-2" recent; do
  echo "\$ norvosms $command"
  # shellcheck disable=SC2086
  "$build/bin/norvosms" $command
done

# The desktop program against the sandboxes: the web sandbox serves the update manifest
# ("current": no update due, so the login step ends in the service-end notice) and the pages.
web_ready=$(python3 "$root/sandbox/web_fixture.py" start "$web_state" --port 0 --manifest current)
web_host=$(sed -n 's/^url=http:\/\///p' "$web_ready")
NORVOSMS_UPDATE_HOST=$web_host NORVOSMS_CONSOLE_HOST=$web_host NORVOSMS_NOTICE_HOST=$web_host
export NORVOSMS_UPDATE_HOST NORVOSMS_CONSOLE_HOST NORVOSMS_NOTICE_HOST
echo "sandbox web server at http://$web_host"
# The update hand-over starts Launcher.exe from the program folder: the sandbox's stand-in,
# which records its parameter in the launcher log.
[ -e "$build/bin/Launcher.exe" ] || cp "$root/sandbox/launcher/Launcher.exe" "$build/bin/Launcher.exe"
NORVOSMS_LAUNCHER_LOG="$build/launcher.log"
# The program's settings live in the build folder, not in the user's own registry hive.
NORVOSMS_REGISTRY_DIR="$build/desktop-hive"
export NORVOSMS_LAUNCHER_LOG NORVOSMS_REGISTRY_DIR
mkdir -p "$NORVOSMS_REGISTRY_DIR" "$build/screenshots"
if [ -n "${DISPLAY:-}" ]; then
  echo "\$ NorvoSMS   (on $DISPLAY; close the login dialog to end)"
  "$build/bin/NorvoSMS"
else
  # No display: under Xvfb, the program saves a picture of itself once open, then ends.
  NORVOSMS_SCREENSHOT="$build/screenshots/run-login.png"
  export NORVOSMS_SCREENSHOT
  echo "\$ NorvoSMS   (under Xvfb)"
  if command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1024x768x24" "$build/bin/NorvoSMS"
  else
    QT_QPA_PLATFORM=offscreen "$build/bin/NorvoSMS"
  fi
  echo "screenshot of the login dialog: $NORVOSMS_SCREENSHOT"
fi
