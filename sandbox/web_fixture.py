#!/usr/bin/env python3
"""Starts and stops the sandbox web server in the background, for tests and the run script.
    web_fixture.py start STATE_DIR [web_server.py options]   starts it (ending one left running
                                      there) and waits until it serves; prints the ready file's path
    web_fixture.py stop STATE_DIR     stops it
The ready file STATE_DIR/web.txt holds url=, port=, ca_file= and pid= lines."""

import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
START_WAIT_S = 30
STOP_WAIT_S = 10


def ready_file(state):
    return os.path.join(state, "web.txt")


def pid_file(state):
    return os.path.join(state, "web.pid")


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def stop(state):
    try:
        with open(pid_file(state)) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return
    if alive(pid):
        os.kill(pid, signal.SIGTERM)
        deadline = time.time() + STOP_WAIT_S
        while alive(pid) and time.time() < deadline:
            time.sleep(0.05)
        if alive(pid):
            os.kill(pid, signal.SIGKILL)
    for path in (pid_file(state), ready_file(state)):
        if os.path.exists(path):
            os.remove(path)


def start(state, options):
    os.makedirs(state, exist_ok=True)
    stop(state)
    log = open(os.path.join(state, "web.log"), "ab")
    proc = subprocess.Popen(
        [sys.executable, os.path.join(HERE, "web_server.py"), "--state", state,
         "--ready", ready_file(state), *options],
        stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    with open(pid_file(state), "w") as f:
        f.write(str(proc.pid))
    deadline = time.time() + START_WAIT_S
    while time.time() < deadline:
        if os.path.exists(ready_file(state)):
            print(ready_file(state))
            return 0
        if proc.poll() is not None:
            break
        time.sleep(0.05)
    sys.stderr.write("web server did not start; see %s\n" % os.path.join(state, "web.log"))
    stop(state)
    return 1


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("start", "stop"):
        sys.stderr.write(__doc__)
        return 2
    state = os.path.abspath(sys.argv[2])
    if sys.argv[1] == "start":
        return start(state, sys.argv[3:])
    stop(state)
    return 0


if __name__ == "__main__":
    sys.exit(main())
