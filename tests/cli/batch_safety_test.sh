#!/bin/sh
# norvosms against the sandbox where input, service or onlookers are not polite: each input
# fault refuses the batch with its line number and sends nothing; a report names the
# recipients lost to transport errors; the API key from a file never shows in the process
# list; escape sequences in the service's answers never reach the terminal.
# usage: batch_safety_test.sh NORVOSMS_BINARY
set -eu
cli=$1
. "$(dirname "$0")/sandbox_session.sh"
fail() { echo "FAILED: $*"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }

# refused MESSAGE_EXPECTED ARGS...: exit 2 and the fault named on stderr; the sandbox's
# request count, checked after the last case, shows that none of them sent anything.
refused() {
  want=$1; shift
  status=0
  timeout 20 "$cli" send --callback 02-555-0100 "$@" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq 2 ] || fail "send $*: exit $status, expected 2"
  grep -qF -- "$want" "$work/err" || fail "send $*: '$want' not said"
}
post /reset ""
printf '01011112222\nabc\n' >"$work/abc"
refused "abc:2: not a phone number" --file "$work/abc" "text"
printf '01011112222\n\n%s\n' "$(printf '%020d' 1)" >"$work/long-number"
refused "long-number:3: not a phone number" --file "$work/long-number" "text"
awk 'BEGIN { printf "01011112222\n"; for (i = 0; i < 10000; i++) printf "1"; printf "\n" }' >"$work/huge"
refused "huge:2: line longer than 4096 bytes" --file "$work/huge" "text"
refused "/dev/zero:1: line longer than 4096 bytes" --file /dev/zero "text"
refused "--to: not a phone number" --to "$(printf '0101111\n2222')" "text"
refused "the message is empty" --to 01011112222 ""
refused "--callback: not a phone number" --to 01011112222 --callback zzz "text"
refused "--reserve: expected a real date" --to 01011112222 --reserve "not-a-date<x>" "text"
refused "--reserve: expected a real date" --to 01011112222 --reserve "2026-02-30 10:00" "text"
printf '01011112222\n01011113333\n0101111\377\n' >"$work/latin1"
refused "latin1:3: not UTF-8 text" --file "$work/latin1" "text"
refused "the message is not UTF-8 text" --to 01011112222 "$(printf 'caf\351')"
NORVOSMS_ACP=949 refused "characters the code page cannot hold" --to 01011112222 "$(printf 'smile \360\237\230\200')"
[ "$(get /log/count)" = 0 ] || fail "a refused batch sent something"

# A byte-order mark is not part of the first phone number; Korean goes out as the code page holds it.
post /reset ""
printf '\357\273\277010-1111-2222\n' >"$work/bom"
NORVOSMS_ACP=949 "$cli" send --file "$work/bom" --callback 02-555-0100 "안녕하세요" >"$work/out" 2>"$work/err" ||
  fail "BOM batch"
batch=$(sed -n 's/^norvosms send: batch \([^,]*\),.*/\1/p' "$work/err")
get /send/messages | cut -f2,5,7 | grep -qx "010-1111-2222	안녕하세요	$batch-1" ||
  fail "BOM, text or derived reference key not as expected: $(get /send/messages)"

# A second stop signal ends the client at once; the message out stays on record as in flight.
post /send/answer "01011112222 slow 8"
started=$(date +%s)
"$cli" send --to 01011112222 --callback 02-555-0100 --journal "$work/twice.db" "text" >"$work/out" 2>"$work/err" &
pid=$!
waited=0
# Signalled once the message has reached the sandbox, not after a time: under load the client
# may not have sent it yet, and a first signal before the send ends the run at once.
until [ "$(get /send/requests | grep -c 01011112222 || true)" -ge 1 ] || [ "$waited" -ge 300 ]; do
  sleep 0.1
  waited=$((waited + 1))
done
kill -INT "$pid"
sleep 0.5
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 130 ] || fail "second SIGINT: exit $status"
[ $(($(date +%s) - started)) -lt 8 ] || fail "the second SIGINT did not end it at once"
"$cli" journal "$work/twice.db" >"$work/out" 2>"$work/err" || fail "journal after a second signal"
grep -q "^1 *01011112222 .* in flight, run gone" "$work/out" || fail "journal after a second signal: $(cat "$work/out")"

# Transport errors: a recipient whose calls fail and whom the service does not hold goes again once
# its deadline has passed, at most three times; then it is an error, named in the report and at
# the end of the run. Three refusals alike need no asking.
post /reset ""
for i in 1 2 3; do
  post /send/answer "01000000002 transport reset"
  post /send/answer "01000000007 transport status 500 Internal Server Error"
done
for i in 4 5 6; do post /send/answer "0100000000$i E006"; done
awk 'BEGIN { for (i = 1; i <= 7; i++) printf "010%08d r%d\n", i, i }' >"$work/seven"
status=0
NORVOSMS_TIMEOUT=2 "$cli" send --file "$work/seven" --callback 02-555-0100 --report "$work/report.csv" "text" \
  >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "batch with errors: exit $status"
tr -d '\r' <"$work/report.csv" >"$work/report.txt"
grep -qx "HttpSendRequest : Connection reset" "$work/out" || fail "the library's reason is not on a line of its own"
grep -qx "7 messages (SMS): 2 sent, 0 with 800, 3 failed, 2 errors" "$work/out" || fail "summary"
grep -q "^2,01000000002,r2,error," "$work/report.txt" || fail "report: line 2"
grep -q "^7,01000000007,r7,error," "$work/report.txt" || fail "report: line 7"
grep -q "^5,01000000005,r5,refused," "$work/report.txt" || fail "report: line 5"
grep -q "^1,01000000001,r1,accepted," "$work/report.txt" || fail "report: line 1"
[ "$(get /send/requests | grep -c '^01000000002')" = 3 ] || fail "line 2 not sent three times"
[ "$(get /send/requests | grep -c '^01000000005')" = 1 ] || fail "a refusal went again"
grep -q "line 2  01000000002  r2  error" "$work/err" || fail "failed recipients not listed"
journal=$(sed -n 's/^norvosms send: batch [^,]*, journal //p' "$work/err")
"$cli" journal "$journal" >"$work/out" 2>"$work/err" || fail "journal command"
grep -q "^7 *01000000007 *r7 *error" "$work/out" || fail "journal table"

# The key from a file, or standard input, never shows in the process list; --key VALUE warns
# and is blanked out as soon as the client runs. The client may not dump core.
printf 'demo-key\n' >"$work/key"
watch() {  # watch PID: what the process list shows of it while it waits for a slow answer
  sleep 1
  ps -o args= -p "$1" >"$work/ps" || true
  tr '\0' ' ' <"/proc/$1/cmdline" >>"$work/ps" 2>/dev/null || true
  grep "core file size" "/proc/$1/limits" >"$work/limits" 2>/dev/null || true
  wait "$1" || true
}
post /reset ""
post /plan "slow 3"
NORVOSMS_API_KEY= "$cli" send --key-file "$work/key" --to 01011112222 --callback 02-555-0100 "text" >"$work/out" 2>"$work/err" &
watch $!
grep -q "norvosms send" "$work/ps" || fail "process not seen"
grep -q "demo-key" "$work/ps" && fail "key shown with --key-file: $(cat "$work/ps")"
grep -q "Max core file size *0 *0" "$work/limits" || fail "core dumps allowed: $(cat "$work/limits")"
grep -q "1 sent" "$work/out" || fail "send with --key-file"
post /plan "slow 3"
printf 'demo-key\n' | NORVOSMS_API_KEY= "$cli" send --key - --to 01011112222 --callback 02-555-0100 "text" >"$work/out" 2>"$work/err" &
watch $!
grep -q "demo-key" "$work/ps" && fail "key shown with --key -"
grep -q "1 sent" "$work/out" || fail "send with --key -"
post /plan "slow 3"
NORVOSMS_API_KEY= "$cli" send --key demo-key --to 01011112222 --callback 02-555-0100 "text" >"$work/out" 2>"$work/err" &
watch $!
grep -q "warning: --key VALUE shows the API key to other users" "$work/err" || fail "no warning for --key VALUE"
grep -q "demo-key" "$work/ps" && fail "--key VALUE left in the process list"
grep -q "1 sent" "$work/out" || fail "send with --key VALUE"

# Hostile answers: escape sequences in a text result, a fault string and a list entry.
esc=$(printf '\033')
bel=$(printf '\007')
post /reset ""
post /plan "$(printf 'string \033]0;pwned\007\033[2J10.0.0.9')"
"$cli" ip >"$work/out" 2>"$work/err" || true
post /plan "$(printf 'fault-struct \033]0;pwned\007\033[2Jboom')"
"$cli" ip >>"$work/out" 2>>"$work/err" || true
post /plan "result 0000 <smsResult>ok</smsResult>"
post /plan "$(printf 'result 0000 <sms_name>\033]0;pwned\007name\302\233</sms_name>')"
"$cli" info --ip 10.0.0.1 --mac 02.00.00.00.00.01 >>"$work/out" 2>>"$work/err" || true
grep -q "10.0.0.9" "$work/out" || fail "the answer itself is gone"
grep -q "boom" "$work/out" || fail "the fault text is gone"
grep -q "name" "$work/out" || fail "the name is gone"
if grep -q "[$esc$bel]" "$work/out" "$work/err" || grep -q "$(printf '\302\233')" "$work/out"; then
  fail "an escape byte reached the terminal: $(od -c "$work/out" | head)"
fi
echo "batch safety: all passed"
