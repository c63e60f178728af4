#!/bin/sh
# A batch of 1,000 against the sandbox: stopped with SIGINT at a random moment (nothing may be
# unknown), resumed and killed with SIGKILL at a random moment, resumed to the end. The
# sandbox's stored messages prove that no recipient got the message twice, and that every one
# was sent once or is listed as unknown.
# usage: batch_resume_test.sh NORVOSMS_BINARY
set -eu
cli=$1
. "$(dirname "$0")/sandbox_session.sh"
# The deadline a resume waits out before it settles what the kill left in flight.
export NORVOSMS_TIMEOUT=3
fail() { echo "FAILED: $*"; tr '\r' '\n' <"$work/err" | tail -n 20; exit 1; }
# A random count between $2 and $3 (seeded by this run and $1).
pick() { awk -v seed="$$$1" -v lo="$2" -v hi="$3" 'BEGIN { srand(seed); printf "%d", lo + rand() * (hi - lo) }'; }
# The last progress count the running send printed ("sent N, ...").
progress() { tr '\r' '\n' <"$work/err" 2>/dev/null | sed -n 's/^sent \([0-9]*\),.*/\1/p' | tail -n 1; }
# run_until SIGNAL COUNT ARGS...: starts a send, signals it once it reports COUNT sent (a point in
# the batch, not a time, so that a fast machine cannot finish first); leaves its status in $status.
run_until() {
  signal=$1 target=$2; shift 2
  : >"$work/err"
  "$cli" send "$@" >"$work/out" 2>"$work/err" &
  pid=$!
  waited=0
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 6000 ]; do
    n=$(progress)
    [ -n "$n" ] && [ "$n" -ge "$target" ] && break
    sleep 0.01
    waited=$((waited + 1))
  done
  kill -s "$signal" "$pid" 2>/dev/null || true
  status=0
  wait "$pid" || status=$?
}
# The ref keys the sandbox stored for this batch, one per line, sorted.
stored() { get /send/messages | cut -f7 | grep "^$batch-" | sort; }
column() { awk -F, -v s="$2" 'NR > 1 && $4 == s { print $3 }' "$1" | sort; }

post /reset ""
awk 'BEGIN { for (i = 1; i <= 1000; i++) printf "010%08d\n", i }' >"$work/list"
journal="$work/batch.db"

target=$(pick 1 50 700)
echo "SIGINT after $target sent"
run_until INT "$target" --file "$work/list" --callback 02-555-0100 --journal "$journal" --report "$work/r1.csv" "batch"
[ "$status" -eq 130 ] || fail "SIGINT exit status $status (did the batch end first?)"
grep -q "stopped by signal 2" "$work/err" || fail "no word of the stop"
grep -q "^1000 messages (SMS): [0-9]* sent, 0 with 800, 0 failed, 0 errors, [0-9]* not sent$" "$work/out" ||
  fail "SIGINT summary: $(cat "$work/out")"
batch=$(sed -n 's/^norvosms send: batch \([^,]*\),.*/\1/p' "$work/err")
[ -n "$batch" ] || fail "no batch id"
grep -q ",unknown,\|,in flight," "$work/r1.csv" && fail "unknown recipients after SIGINT"
column "$work/r1.csv" accepted >"$work/accepted1"
stored >"$work/stored1"
cmp -s "$work/accepted1" "$work/stored1" || fail "after SIGINT the journal and the service differ"
echo "SIGINT: $(wc -l <"$work/stored1") sent, none unknown"

left=$((1000 - $(wc -l <"$work/stored1")))
[ "$left" -ge 40 ] || fail "SIGINT came too late: $left left"
target=$(pick 2 5 $((left / 2)))
echo "SIGKILL after $target more sent"
run_until KILL "$target" --resume "$journal"
[ "$status" -eq 137 ] || fail "SIGKILL exit status $status"

"$cli" send --resume "$journal" --report "$work/r3.csv" >"$work/out" 2>"$work/err" || status=$?
grep -q ",queued," "$work/r3.csv" && fail "recipients left unsent"
stored >"$work/stored3"
[ -z "$(uniq -d "$work/stored3")" ] || fail "sent twice: $(uniq -d "$work/stored3" | head -n 3)"
column "$work/r3.csv" accepted >"$work/accepted3"
column "$work/r3.csv" unknown >"$work/unknown3"
[ "$(wc -l <"$work/accepted3")" -ge 900 ] || fail "too few accepted"
# Every accepted recipient is stored, and nothing is stored that the journal does not name.
[ -z "$(comm -23 "$work/accepted3" "$work/stored3")" ] || fail "accepted but not stored"
[ -z "$(comm -13 "$work/accepted3" "$work/stored3" | comm -23 - "$work/unknown3")" ] || fail "stored but not in the journal"
[ "$(($(wc -l <"$work/accepted3") + $(wc -l <"$work/unknown3")))" -eq 1000 ] || fail "recipients unaccounted for"
while read -r ref; do
  grep -q "  $ref  unknown" "$work/err" || fail "unknown $ref not listed"
done <"$work/unknown3"
echo "SIGKILL: $(wc -l <"$work/stored3") sent once each, $(wc -l <"$work/unknown3") unknown and listed"
echo "batch resume: all passed"
