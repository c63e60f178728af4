#!/bin/sh
# The account commands of `norvosms` against the sandbox's demo account: account facts, a
# group and a contact added and listed back, phone authentication with the number "sent",
# history after a send, and clear failures with their exit statuses.
# usage: account_commands_test.sh NORVOSMS_BINARY
set -eu
cli=$1
. "$(dirname "$0")/sandbox_session.sh"
export NORVOSMS_ACP=65001
fail() { echo "FAILED: $*"; cat "$work/out" "$work/err" 2>/dev/null; exit 1; }
run() { "$cli" "$@" >"$work/out" 2>"$work/err" || fail "norvosms $* (exit $?)"; }
# expect STATUS ARGS...: the command fails with that exit status, and says why on stderr.
expect() {
  want=$1; shift; status=0
  "$cli" "$@" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" -eq "$want" ] || fail "norvosms $*: exit $status, expected $want"
  [ -s "$work/err" ] || fail "norvosms $*: no message"
}
has() { grep -q -- "$1" "$work/out" || fail "'$1' not in the output"; }

post /reset ""
run login --ip 10.0.0.1 --mac 02.00.00.00.00.01
has "logged in as demo"
get /account/logins | grep -qx "demo	10.0.0.1	02.00.00.00.00.01	1" || fail "login not recorded"

run info
has "name          NorvoSMS 데모"
has "SMS quantity  1500"
has "ARS quantity  200"
run callbacks
has "^010-5550-0101$"

run add-group 가족
has "group 가족 added"
run add-contact 가족 홍길동 010-1234-5678 02-555-7777 hong@example.com
run add-contact --id demo 가족 "Jane Doe" 010-9999-0000
run groups
has "^가족        2$"
run contacts 가족
has "^가족        홍길동    010-1234-5678  02-555-7777  hong@example.com$"
has "^가족        Jane Doe  010-9999-0000$"
grep -q "<" "$work/out" && fail "raw XML shown"
run ars
has "Order check  1588-0001"

run phone-auth 010-5550-3000 --mac 02.00.00.00.00.01
has "^sent$"
number=$(get /account/auth-numbers | cut -f3 | tail -n 1)
run check-auth "$number" --mac 02.00.00.00.00.01
has "^ok$"
expect 1 resend-auth 010-5550-3000 --mac 02.00.00.00.00.09

run recent
has "(nothing sent yet)"
"$cli" send --to 01011112222 --callback 02-555-0100 --ref batch-7 "hello" >"$work/out" 2>"$work/err" || fail "send"
run recent
has "01011112222"
run status batch-7
has "^01011112222  sms   delivered"

# Failures: refused, unknown, bad usage, no credentials, a broken connection.
expect 1 login --key wrong-key
grep -q "login refused" "$work/err" || fail "refusal message"
expect 1 add-group 가족
expect 1 contacts nobody
expect 1 add-contact nobody "A B" 010
expect 2 add-contact 가족 only-a-name
expect 2 groups --bogus
NORVOSMS_API_KEY= expect 2 info
post /plan "reset"
expect 1 groups --ip 10.0.0.1
grep -q "the login failed" "$work/err" || fail "transport failure message"
post /plan "status 500 Internal Server Error"
expect 1 login --ip 10.0.0.1

for command in login info callbacks groups contacts add-group add-contact ars recent status phone-auth \
               resend-auth check-auth ip; do
  "$cli" $command --help >"$work/out" 2>"$work/err" || fail "$command --help"
  has "usage: norvosms $command"
done
"$cli" --help >"$work/out" || fail "--help"
has "norvosms add-contact GROUP NAME PHONE"
echo "account commands: all passed"
