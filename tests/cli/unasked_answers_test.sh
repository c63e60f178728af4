#!/bin/sh
# A batch of 100 against a service that refuses every other pair of messages and then writes an
# unasked acceptance on the same kept connection, in the same write or right behind it: each
# recipient's outcome is the service's own, and the summary equals the service's record (the
# batch may send a refused or failed message again; it never counts one the service refused).
# usage: unasked_answers_test.sh NORVOSMS_BINARY
set -eu
cli=$1
. "$(dirname "$0")/sandbox_session.sh"
fail() { echo "FAILED: $*"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }

post /reset ""
# The list, and the chosen answers posted from one process (a process per post takes a second).
python3 - "$control" "$work/list" <<'PY'
import sys, urllib.request
control, path = sys.argv[1], sys.argv[2]
with open(path, "w") as recipients:
    for i in range(100):
        phone = "0%d" % (1050000000 + i)
        recipients.write(phone + "\n")
        when = {0: "next", 1: "same"}.get(i % 4)
        if when:
            body = ("%s transport extra %s E106" % (phone, when)).encode()
            urllib.request.urlopen(urllib.request.Request(control + "/send/answer", data=body, method="POST"))
PY
status=0
NORVOSMS_TIMEOUT=5 "$cli" send --file "$work/list" --callback 0212345678 "twice answered" >"$work/out" 2>"$work/err" || status=$?
# Per recipient, the service's record: accepted once, or never (a refused one may go again).
accepted=$(get '/send/requests?outcomes' | awk -F'\t' '$3 == "0000" { print $1 }' | sort -u | wc -l)
[ "$accepted" -ge 50 ] || fail "the service accepted only $accepted"
[ "$(get '/send/requests?outcomes' | awk -F'\t' '$3 == "0000" { print $1 }' | sort | uniq -d)" = "" ] ||
  fail "a recipient was accepted twice"
grep -q "^100 messages (SMS): $accepted sent, 0 with 800, $((100 - accepted)) failed, 0 errors$" "$work/out" ||
  fail "the summary differs from the service's record: $accepted accepted (exit status $status)"
echo "unasked answers: each recipient got its own"
