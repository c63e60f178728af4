#!/usr/bin/env python3
"""Starts and stops the sandbox web server in the background, for tests and the run script.
    web_fixture.py start STATE_DIR [web_server.py options]   starts it (ending one left running
                                      there) and waits until it serves; prints the ready file's path
    web_fixture.py stop STATE_DIR     stops it
The ready file STATE_DIR/web.txt holds url=, port=, ca_file= and pid= lines."""

import sys

from background_server import BackgroundServer

WEB_SERVER = BackgroundServer("web_server.py", "web.txt", "web.pid", "web.log", "web server")

if __name__ == "__main__":
    sys.exit(WEB_SERVER.main(sys.argv, __doc__, takes_options=True))
