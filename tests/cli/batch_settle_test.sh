#!/bin/sh
# Batches settled from the service's record against a sandbox that stores and then resets, or
# stores only later; user-given keys shared by a whole batch or used by an older batch; a
# service that refuses everything; a damaged journal; and the output paths: --json, the
# report's mode and cells, a closed pipe and a full disk on standard output.
# usage: batch_settle_test.sh NORVOSMS_BINARY
set -eu
cli=$1
. "$(dirname "$0")/sandbox_session.sh"
fail() { echo "FAILED: $*"; cat "$work/out" "$work/err" 2>/dev/null | tr '\r' '\n' | tail -n 30; exit 1; }
export NORVOSMS_TIMEOUT=3
requests() { get /send/requests | grep -c "^$1" || true; }
state() { "$cli" journal "$1" --json | python3 -c 'import json,sys; d=json.load(sys.stdin); print(" ".join(r["state"] for r in d["recipients"]))'; }

# Stored and then reset, stored three seconds after the reset: the notes say "error", the
# service's record says accepted; nothing goes twice.
post /reset ""
post /send/answer "01000000001 store-reset"
post /send/answer "01000000003 store-after 1"
printf '01000000001\n01000000002\n01000000003\n01000000004\n' >"$work/list"
"$cli" send --file "$work/list" --callback 02-555-0100 --journal "$work/a.db" "text" >"$work/out" 2>"$work/err" ||
  fail "store-reset batch: exit $?"
grep -qx "4 messages (SMS): 4 sent, 0 with 800, 0 failed, 0 errors" "$work/out" || fail "store-reset summary"
for p in 01000000001 01000000002 01000000003 01000000004; do
  [ "$(requests $p)" = 1 ] || fail "$p sent $(requests $p) times"
done
[ "$(state "$work/a.db")" = "accepted accepted accepted accepted" ] || fail "states: $(state "$work/a.db")"
ref=$(sed -n 's/^norvosms send: batch \([^,]*\),.*/\1/p' "$work/err")-3
"$cli" journal "$work/a.db" --refresh >"$work/out" 2>"$work/err" || fail "journal --refresh"
"$cli" journal "$work/a.db" --json | python3 -c 'import json,sys
d = json.load(sys.stdin)
assert d["refresh_started"] is None, d
assert all(r["delivery"] == "delivered" and r["asked_at"] for r in d["recipients"]), d["recipients"]' ||
  fail "delivery status not kept"
"$cli" status --json "$ref" >"$work/out" 2>"$work/err" || fail "status --json"
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["count"] == 1 and d["entries"][0]["phone"] == "01000000003", d' \
  "$work/out" || fail "status --json document"

# A user's key shared by every recipient, and used before by an older batch for one of them:
# the older entry is no answer for this batch, and nothing goes twice. The window's error and
# refusal cannot be told apart until the deadline has passed: then the one the service holds
# is accepted and the other, not held, goes again (and is refused again).
post /reset ""
"$cli" send --to 01000000011 --ref shared --callback 02-555-0100 "older" >"$work/out" 2>"$work/err" ||
  fail "older batch"
post /send/answer "01000000011 store-after 1"
post /send/answer "01000000012 E006"
post /send/answer "01000000012 E006"
printf '01000000011 shared\n01000000012 shared\n01000000013 shared\n' >"$work/shared"
status=0
"$cli" send --file "$work/shared" --callback 02-555-0100 --journal "$work/b.db" "text" >"$work/out" 2>"$work/err" ||
  status=$?
[ "$status" -eq 1 ] || fail "shared key: exit $status"
[ "$(state "$work/b.db")" = "accepted refused accepted" ] || fail "shared key states: $(state "$work/b.db")"
[ "$(requests 01000000011)" = 2 ] || fail "01000000011 sent again (the older batch's entry taken for it?)"
[ "$(requests 01000000012)" = 2 ] || fail "01000000012 not sent again after its deadline"
printf '01000000011 shared\n01000000011 shared\n' >"$work/twice"
status=0
"$cli" send --file "$work/twice" --callback 02-555-0100 "text" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "repeated pair: exit $status"
grep -q "twice:2: the reference key and phone repeat line 1" "$work/err" || fail "repeated pair not named"

# Text the XML cannot carry is refused before anything is queued, with its line.
post /reset ""
printf '01000000021 ok\n01000000022 bad\001key\n' >"$work/ctl"
status=0
"$cli" send --file "$work/ctl" --callback 02-555-0100 "text" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "control character in a key: exit $status"
grep -q "ctl:2: the reference key holds the control character U+0001" "$work/err" || fail "control key not named"
status=0
"$cli" send --to 01000000021 --callback 02-555-0100 "$(printf 'a\033b')" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "control character in the message: exit $status"
grep -q "U+001B" "$work/err" || fail "control message not named"
status=0
"$cli" send --to 01000000021 --callback 02-555-0100 "$(printf 'a\357\277\276b')" >"$work/out" 2>"$work/err" || status=$?
grep -q "U+FFFE" "$work/err" || fail "U+FFFE not refused"
[ "$(get /send/requests | wc -l)" = 0 ] || fail "a refused batch sent something"

# A service that refuses everything: the run stops after --max-refused in a row, the rest queued.
post /reset ""
awk 'BEGIN { for (i = 1; i <= 30; i++) printf "0100000%04d\n", i }' >"$work/thirty"
post /send/chaos "seed=1 refuse=1"
status=0
"$cli" send --file "$work/thirty" --max-refused 6 --callback 02-555-0100 --journal "$work/c.db" "text" \
  >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "max refused: exit $status"
grep -q "30 messages (SMS): 0 sent, 0 with 800, 6 failed, 0 errors, 24 not sent" "$work/out" || fail "max refused summary"
grep -q "refused 6 messages in a row" "$work/err" || fail "max refused not said"
# Those marked ahead of their window but never sent are put back, not left in flight.
[ "$(state "$work/c.db" | tr ' ' '\n' | sort | uniq -c | tr -s ' ' | tr '\n' ',')" = " 24 queued, 6 refused," ] ||
  fail "max refused states: $(state "$work/c.db")"

# Marks made ahead of their window and kept waiting by a slow window past the 2 s a mark may
# wait are renewed before their window goes, and every stored deadline covers that wait, so a
# resume after a kill cannot take a message the service may still store for an unsent one.
post /reset ""
post /send/answer "01000000041 slow 3"
printf '01000000041\n01000000042\n01000000043\n01000000044\n01000000045\n01000000046\n' >"$work/six"
NORVOSMS_TIMEOUT=5 "$cli" send --file "$work/six" --callback 02-555-0100 --journal "$work/m.db" "text" \
  >"$work/out" 2>"$work/err" || fail "slow window: exit $?"
python3 - "$work/m.db" <<'PY' || fail "marks after a slow window"
import sqlite3, sys
rows = dict((line, (at, deadline)) for line, at, deadline in
            sqlite3.connect(sys.argv[1]).execute("SELECT line, marked_at, deadline FROM recipients"))
assert all(deadline == 7 for _, deadline in rows.values()), rows
assert rows[4][0] - rows[1][0] >= 2, rows  # renewed once the slow window was answered
PY

# A damaged journal is refused, nothing sent; `journal` shows what it can, marked damaged.
post /reset ""
python3 - "$work/c.db" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(b"refused", data.find(b"01000000001"))
data[at:at + 7] = b"unknown"
open(sys.argv[1], "wb").write(bytes(data))
PY
status=0
"$cli" send --resume "$work/c.db" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "damaged journal: exit $status"
grep -q "is damaged" "$work/err" || fail "damage not said"
[ "$(get /send/requests | wc -l)" = 0 ] || fail "a damaged journal sent something"
status=0
"$cli" journal "$work/c.db" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "journal of a damaged file: exit $status"
grep -q "^DAMAGED JOURNAL" "$work/out" || fail "damage not marked in the table"

# --json keeps the library's failure texts out of the document; the report is 0600 and its
# cells cannot run as formulas; progress off a terminal is whole lines.
post /reset ""
post /send/answer "01000000031 transport reset"
printf '01000000031 =cmd|x\n01000000032 @sum\n' >"$work/json"
status=0
NORVOSMS_TIMEOUT=1 "$cli" send --json --file "$work/json" --callback 02-555-0100 --report "$work/r.csv" "text" \
  >"$work/out" 2>"$work/err" || status=$?
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["counts"]["accepted"] == 2, d' "$work/out" ||
  fail "--json document"
grep -q "Connection reset" "$work/err" || fail "the library's text is not on standard error"
[ "$(stat -c %a "$work/r.csv")" = 600 ] || fail "report mode $(stat -c %a "$work/r.csv")"
grep -q ",'=cmd|x," "$work/r.csv" && grep -q ",'@sum," "$work/r.csv" || fail "report cells: $(cat "$work/r.csv")"
grep -q "$(printf '\r')sent" "$work/err" && fail "progress rewrote itself off a terminal"

# A closed pipe or a full disk on standard output: exit 1, the summary on standard error.
post /reset ""
post /send/answer "01000000041 transport reset"
awk 'BEGIN { for (i = 1; i <= 9; i++) printf "0100000004%d\n", i }' >"$work/nine"
mkfifo "$work/pipe"
head -c 1 <"$work/pipe" >/dev/null &
status=0
"$cli" send --file "$work/nine" --callback 02-555-0100 --journal "$work/d.db" "text" >"$work/pipe" 2>"$work/err" ||
  status=$?
[ "$status" -eq 1 ] || fail "closed pipe: exit $status"
grep -q "cannot write standard output" "$work/err" || fail "closed pipe not said"
grep -q "^9 messages (SMS)" "$work/err" || fail "no summary on standard error"
"$cli" journal "$work/d.db" >/dev/null 2>&1 || fail "journal not intact after a closed pipe"
status=0
"$cli" journal "$work/d.db" >/dev/full 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "/dev/full: exit $status"
grep -q "cannot write standard output" "$work/err" || fail "/dev/full not said"
echo "batch settle: all passed"
