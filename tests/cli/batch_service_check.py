#!/usr/bin/env python3
"""Helpers for the batch tests that hold a journal against the sandbox's own record.

  batch_service_check.py received CONTROL           SMS.send requests received since the reset
  batch_service_check.py points SEED N LO HI        N distinct sorted random numbers in LO..HI
  batch_service_check.py kill-at CONTROL N PID      SIGKILL to PID once the sandbox has received N
                                                    SMS.send requests (or PID has ended)
  batch_service_check.py running PID               exit status 0 while PID runs (not a zombie)
  batch_service_check.py settle-wait CONTROL        waits until no request is still being answered
  batch_service_check.py unsettled JOURNAL_JSON     recipients not yet in a final state
  batch_service_check.py check CONTROL JOURNAL_JSON [BEFORE]
      every recipient of the journal arrived, is stored at most once beyond what BEFORE (the
      stored messages before the batch) already held, and its state is what the sandbox did
"""

import json
import os
import random
import signal
import sys
import time
import urllib.request
from collections import Counter

FINAL_STATES = ("accepted", "800", "refused")
# What the sandbox logs for a request it did not answer with a result code.
NOT_ANSWERED = ("", "reset", "store-reset", "store-after")
WAIT_LIMIT_S = 180


def get(control, path):
    with urllib.request.urlopen(control + path, timeout=30) as answer:
        return answer.read().decode("utf-8")


def rows(text):
    return [line.split("\t") for line in text.splitlines() if line]


def received(control):
    return int(get(control, "/send/requests?count"))


def running(pid):
    """False once PID has ended, also while it waits for its parent as a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rpartition(")")[2].split()[0] != "Z"
    except (FileNotFoundError, IndexError):
        return False


def kill_at(control, target, pid):
    """Polls the sandbox rather than sleeping a while: the kill falls at a point of the batch's
    progress whatever the machine's speed."""
    end = time.monotonic() + WAIT_LIMIT_S
    while time.monotonic() < end:
        if not running(pid):
            return "ended"
        count = received(control)
        if count >= target:
            os.kill(pid, signal.SIGKILL)
            return "killed at %d" % count
        time.sleep(0.05)
    os.kill(pid, signal.SIGKILL)
    return "killed after waiting %d s" % WAIT_LIMIT_S


def settle_wait(control):
    end = time.monotonic() + WAIT_LIMIT_S
    while any(r[2] == "" for r in rows(get(control, "/send/requests?outcomes"))):
        if time.monotonic() > end:
            return False
        time.sleep(0.05)
    return True


def load_journal(path):
    with open(path, encoding="utf-8") as f:
        journal = json.load(f)
    recipients = journal["recipients"]
    counts = journal["counts"]
    if sum(counts.values()) != len(recipients):
        raise SystemExit("FAILED: the journal's counts %s do not add up to its %d recipients"
                         % (counts, len(recipients)))
    return recipients


def check(control, journal_path, before_path=None):
    recipients = load_journal(journal_path)
    stored = rows(get(control, "/send/messages"))       # ..., phone [1], ref_key [6], code [9]
    requests = rows(get(control, "/send/requests?outcomes"))
    before = Counter()
    if before_path:
        with open(before_path, encoding="utf-8") as f:
            before = Counter((r[1], r[6]) for r in rows(f.read()))
    stored_count = Counter((r[1], r[6]) for r in stored)
    stored_code = {(r[1], r[6]): r[9] for r in stored}  # the newest stored entry's code
    last_outcome, arrived = {}, Counter()
    for phone, ref_key, outcome in requests:
        last_outcome[(phone, ref_key)] = outcome
        arrived[(phone, ref_key)] += 1

    problems = []
    keys = set()
    for r in recipients:
        key = (r["phone"], r["ref_key"])
        keys.add(key)
        what = "line %d (%s %s) %s" % (r["line"], r["phone"], r["ref_key"], r["state"])
        new = stored_count[key] - before[key]
        if arrived[key] == 0:
            problems.append(what + ": never arrived")
        if new > 1:
            problems.append(what + ": stored %d times" % new)
        state = r["state"]
        if state not in FINAL_STATES:
            problems.append(what + ": not settled")
        elif state in ("accepted", "800"):
            code = "0000" if state == "accepted" else "800"
            if new != 1 or stored_code.get(key) != code:
                problems.append(what + ": the sandbox holds %d new, code %s" % (new, stored_code.get(key)))
        elif new != 0 or last_outcome.get(key, "") in NOT_ANSWERED + ("0000", "800") \
                or last_outcome[key].startswith("transport"):
            problems.append(what + ": the sandbox stored %d, its last answer %r" % (new, last_outcome.get(key)))
    if len(keys) != len(recipients):
        problems.append("the journal names a recipient twice")
    refs = {k[1] for k in keys}
    strays = [k for k in stored_count if k[1] in refs and k not in keys]
    if strays:
        problems.append("stored for recipients the journal does not name: %s" % strays[:5])
    for p in problems[:20]:
        print("FAILED: " + p)
    if problems:
        raise SystemExit(1)
    states = Counter(r["state"] for r in recipients)
    print("%d recipients: %s; %d requests for them, each stored at most once"
          % (len(recipients), ", ".join("%d %s" % (n, s) for s, n in sorted(states.items())),
             sum(arrived[k] for k in keys)))


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "received" and len(argv) == 3:
        print(received(argv[2]))
    elif command == "points" and len(argv) == 6:
        generator = random.Random(argv[2])
        n, lo, hi = int(argv[3]), int(argv[4]), int(argv[5])
        print(" ".join(str(p) for p in sorted(generator.sample(range(lo, hi + 1), n))))
    elif command == "kill-at" and len(argv) == 5:
        print(kill_at(argv[2], int(argv[3]), int(argv[4])))
    elif command == "running" and len(argv) == 3:
        return 0 if running(int(argv[2])) else 1
    elif command == "settle-wait" and len(argv) == 3:
        return 0 if settle_wait(argv[2]) else 1
    elif command == "unsettled" and len(argv) == 3:
        print(sum(r["state"] not in FINAL_STATES for r in load_journal(argv[2])))
    elif command == "check" and len(argv) in (4, 5):
        check(*argv[2:])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
