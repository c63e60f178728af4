#!/usr/bin/env python3
"""Starts and stops a sandbox in the background, for tests and the run script. usage:
    fixture.py start STATE_DIR     starts it (ending one left running there), waits until it
                                   serves, prints the ready file's path
    fixture.py stop STATE_DIR      stops it
The ready file STATE_DIR/endpoint.txt holds api_url=, control_url=, ca_file= and pid= lines."""

import sys

from background_server import BackgroundServer

API_SERVER = BackgroundServer("api_server.py", "endpoint.txt", "sandbox.pid", "server.log", "sandbox")

if __name__ == "__main__":
    sys.exit(API_SERVER.main(sys.argv, __doc__, takes_options=False))
