#!/bin/sh
# Two runs of one journal at once: while the first waits on a slow service, a second run (with
# and without --resend-unknown) is refused, names the first run's process and sends nothing.
# Once the first is killed with SIGKILL its lock is gone: the next run goes on, and the batch
# ends with every recipient sent once.
# usage: batch_overlap_test.sh NORVOSMS_BINARY
set -eu
cli=$1
here=$(dirname "$0")
. "$here/sandbox_session.sh"
helper() { python3 "$here/batch_service_check.py" "$@"; }
fail() { echo "FAILED: $*"; tr '\r' '\n' <"$work/err" | tail -n 20; exit 1; }
# The deadline outlasts the slow answers: the first run waits for them instead of giving up.
export NORVOSMS_TIMEOUT=20
slow=6

post /reset ""
awk 'BEGIN { for (i = 1; i <= 30; i++) printf "0108%07d\n", i }' >"$work/list"
for phone in $(head -n 3 "$work/list"); do post /send/answer "$phone slow $slow"; done
journal="$work/batch.db"

"$cli" send --file "$work/list" --callback 02-555-0100 --journal "$journal" "overlap" >"$work/out1" 2>"$work/err1" &
first=$!
waited=0
while [ "$(helper received "$control")" -lt 3 ]; do
  waited=$((waited + 1))
  [ "$waited" -lt 3000 ] || fail "the first run never sent"
  helper running "$first" || fail "the first run ended: $(cat "$work/err1")"
  sleep 0.01
done

for extra in "" --resend-unknown; do
  status=0
  "$cli" send --resume "$journal" $extra >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 1 ] || fail "second run ${extra:-plain}: exit status $status"
  grep -q "$first" "$work/err" || fail "second run ${extra:-plain}: the first run's process is not named"
done
# Nothing but the first window has gone: the refused runs sent nothing of their own.
[ "$(helper received "$control")" -le 3 ] || fail "a refused run sent: $(get /send/requests)"
helper running "$first" || fail "the first run ended while held"

kill -s KILL "$first"
status=0
{ wait "$first"; } 2>/dev/null || status=$?
[ "$status" -eq 137 ] || fail "first run: exit status $status"

# At once after the kill the lock is free: the batch goes on. The held window may still be
# unknown (the service has not stored it yet); once it has, a resume settles it from the record.
status=0
"$cli" send --resume "$journal" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -le 1 ] || fail "run after the kill: exit status $status"
! grep -q "$first" "$work/err" || fail "run after the kill: refused for the dead run"
helper settle-wait "$control" || fail "the slow answers never came"
if [ "$status" -ne 0 ]; then
  status=0
  "$cli" send --resume "$journal" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 0 ] || fail "last resume: exit status $status"
fi

"$cli" journal "$journal" --json >"$work/journal.json" || fail "journal --json"
helper check "$control" "$work/journal.json" || fail "the journal and the sandbox differ"
[ "$(get /send/requests | wc -l)" -eq 30 ] || fail "requests: $(get /send/requests | sort | uniq -d)"
echo "batch overlap: all passed"
