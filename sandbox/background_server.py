"""Runs one of the sandbox's servers in the background: start it (ending one left running in the
same state folder), wait for its ready file, stop it. fixture.py and web_fixture.py are the two
command lines on top of it."""

import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
START_WAIT_S = 30
STOP_WAIT_S = 10


def _alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


class BackgroundServer:
    def __init__(self, script, ready_name, pid_name, log_name, what):
        self.script = os.path.join(HERE, script)
        self.ready_name = ready_name
        self.pid_name = pid_name
        self.log_name = log_name
        self.what = what

    def ready_file(self, state):
        return os.path.join(state, self.ready_name)

    def pid_file(self, state):
        return os.path.join(state, self.pid_name)

    def stop(self, state):
        try:
            with open(self.pid_file(state)) as f:
                pid = int(f.read().strip())
        except (OSError, ValueError):
            return
        if _alive(pid):
            os.kill(pid, signal.SIGTERM)
            deadline = time.time() + STOP_WAIT_S
            while _alive(pid) and time.time() < deadline:
                time.sleep(0.05)
            if _alive(pid):
                os.kill(pid, signal.SIGKILL)
        for path in (self.pid_file(state), self.ready_file(state)):
            if os.path.exists(path):
                os.remove(path)

    def start(self, state, options=()):
        os.makedirs(state, exist_ok=True)
        self.stop(state)
        log_path = os.path.join(state, self.log_name)
        with open(log_path, "ab") as log:
            proc = subprocess.Popen(
                [sys.executable, self.script, "--state", state, "--ready", self.ready_file(state),
                 *options],
                stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        with open(self.pid_file(state), "w") as f:
            f.write(str(proc.pid))
        deadline = time.time() + START_WAIT_S
        while time.time() < deadline:
            if os.path.exists(self.ready_file(state)):
                print(self.ready_file(state))
                return 0
            if proc.poll() is not None:
                break
            time.sleep(0.05)
        sys.stderr.write("%s did not start; see %s\n" % (self.what, log_path))
        self.stop(state)
        return 1

    def main(self, argv, usage, takes_options):
        if len(argv) < 3 or argv[1] not in ("start", "stop") or (len(argv) > 3 and not takes_options):
            sys.stderr.write(usage)
            return 2
        state = os.path.abspath(argv[2])
        if argv[1] == "start":
            return self.start(state, argv[3:])
        self.stop(state)
        return 0
