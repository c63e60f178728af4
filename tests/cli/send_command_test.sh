#!/bin/sh
# `norvosms send` against the sandbox: one message, a batch file with chosen answers, bad input.
# The library writes transport errors to standard output without a line end, so the batch
# summary may follow one on the same line.
# usage: send_command_test.sh NORVOSMS_BINARY
set -eu
cli=$1
. "$(dirname "$0")/sandbox_session.sh"
fail() { echo "FAILED: $*"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }

post /reset ""
"$cli" send --to 01011112222 --callback 0212345678 "hello" >"$work/out" 2>"$work/err" || fail "single send"
grep -qx "1 message (SMS): 1 sent, 0 with 800, 0 failed, 0 errors" "$work/out" || fail "single summary"
grep -q "sent 1, 800 0, fail 0, error 0 of 1" "$work/err" || fail "progress line"

post /reset ""
post /send/answer "01000000002 800"
post /send/answer "01000000003 E006"
post /send/answer "01000000004 transport reset"
printf '# recipients\n01000000001 ref-a\n\n01000000002\n01000000003,ref-c\n01000000004\n' >"$work/list"
# The window of three answers differently: the service's record settles it (the one it does not
# hold was the refused one). The reset message is not held either: once its deadline has passed
# it goes again, in the same run.
status=0
NORVOSMS_TIMEOUT=3 "$cli" send --file "$work/list" --callback 0212345678 --subject "notice" "batch text" \
  >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "batch exit status $status"
grep -q "4 messages (LMS): 2 sent, 1 with 800, 1 failed, 0 errors$" "$work/out" || fail "batch summary"
[ "$(get /send/requests | grep -c '^01000000004')" = 2 ] || fail "the reset message did not go again"

status=0
"$cli" send --callback 0212345678 "no recipient" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "usage exit status $status"
grep -q "give either --to PHONE or --file FILE" "$work/err" || fail "usage message"
status=0
"$cli" send --file "$work/missing" --callback 1 "x" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "missing file exit status $status"
"$cli" send --help | grep -q "usage: norvosms send" || fail "help"
echo "send command: all cases passed"
