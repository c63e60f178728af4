#!/bin/sh
# The command lines `norvosms send` and `norvosms journal` refuse, each with its exit status and
# the exact first line of its complaint, and a few they must take: what an option that takes a
# value, a stray dash or a second word reads as. Nothing here reaches the service.
# usage: command_line_faults_test.sh NORVOSMS_BINARY
set -eu
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset NORVOSMS_API_URL NORVOSMS_TIMEOUT NORVOSMS_ID
export NORVOSMS_API_KEY=demo-key XDG_STATE_HOME="$work/state"
failed=0

# check STATUS FIRST_STDERR_LINE ARGS...: norvosms ARGS exits STATUS, says FIRST_STDERR_LINE first;
# a usage fault (2 with a problem named) is followed by the command's usage.
check() {
  want_status=$1 want_line=$2
  shift 2
  status=0
  timeout 20 "$cli" "$@" >out 2>err </dev/null || status=$?
  line=$(sed -n 1p err)
  if [ "$status" -ne "$want_status" ] || [ "$line" != "$want_line" ]; then
    echo "FAILED: norvosms $*: exit $status, said '$line'; expected exit $want_status, '$want_line'"
    failed=1
  elif [ "$status" -eq 2 ] && case "$want_line" in *": unknown option "* | *" needs a value") true ;; *) false ;; esac &&
    ! sed -n 2p err | grep -q "^usage: norvosms $1 "; then
    echo "FAILED: norvosms $*: no usage after the complaint"
    failed=1
  fi
}

s="norvosms send:"
# An option that takes a value takes the next word, whatever it looks like; at the end it has none.
for option in --to --file --callback --subject --reserve --ref --id --key --key-file --journal --resume --report \
  --timeout --max-refused; do
  check 2 "$s $option needs a value" send --callback 1 --to 010 "text" "$option"
done
check 2 "$s --timeout takes 1 to 86400 seconds, not \"0\"" send --timeout 0 --to 010 --callback 1 "text"
check 2 "$s --timeout takes 1 to 86400 seconds, not \"86401\"" send --timeout 86401 --to 010 --callback 1 "text"
check 2 "$s --timeout takes 1 to 86400 seconds, not \"--to\"" send --timeout --to 010 --callback 1 "text"
check 2 "$s --timeout takes 1 to 86400 seconds, not \"x\"" send --timeout 1 --timeout 5 --timeout x
check 2 "$s --max-refused takes a whole number, 0 to 1000000, not \"-1\"" send --max-refused -1 --to 010 "text"
check 2 "$s --max-refused takes a whole number, 0 to 1000000, not \"1000001\"" send --max-refused 1000001
check 2 "$s --max-refused takes a whole number, 0 to 1000000, not \"1234567890\"" send --max-refused 1234567890
# The first fault in the line is the one named.
check 2 "$s unknown option --bogus" send --bogus --timeout 0
check 2 "$s --timeout takes 1 to 86400 seconds, not \"0\"" send --timeout 0 --bogus
# A single dash, or "--" alone, is a word of the message, not an option.
check 2 "$s give the message as one argument (quote it)" send -x --to 010 --callback 1 "text"
check 2 "$s give the message as one argument (quote it)" send -- --to 010 --callback 1 "text"
check 2 "$s no message given" send --to 010 --callback 1
check 2 "$s give either --to PHONE or --file FILE" send --callback 1 "text"
check 2 "$s give either --to PHONE or --file FILE" send --to 010 --file list --callback 1 "text"
check 2 "$s --callback NUMBER is required" send --to 010 "text"
check 2 "$s --resend-unknown goes with --resume" send --to 010 --callback 1 --resend-unknown "text"
check 2 "$s --resume takes the batch from its journal: no message, --to, --file or --journal" \
  send --resume j.db "text"
check 2 "$s --resume takes the batch from its journal: no message, --to, --file or --journal" \
  send --resume j.db --journal k.db
# --key and --key-file are read into one key source: both given is refused when the key is read.
check 2 "$s give either --key or --key-file" send --to 01011112222 --callback 1 --key k --key-file f "text"
check 2 "$s no user ID (--id or NORVOSMS_ID)" send --to 01011112222 --callback 02-555-0100 "text"
check 2 "$s no journal at j.db" send --resume j.db
check 0 "" send --to 010 --bogus --help

j="norvosms journal:"
check 2 "$j no journal given" journal
check 2 "$j no journal given" journal --json --refresh
check 2 "$j one journal at a time" journal a.db b.db
check 2 "$j unknown option -x" journal -x
check 2 "$j unknown option --help" journal a.db --help
for option in --report --id --key --key-file; do
  check 2 "$j $option needs a value" journal a.db "$option"
done
check 2 "$j unknown option --bogus" journal --bogus --report
check 2 "$j one journal at a time" journal a.db --report r.csv b.db
check 0 "" journal -h

[ "$failed" -eq 0 ] || exit 1
echo "command-line faults: all cases passed"
