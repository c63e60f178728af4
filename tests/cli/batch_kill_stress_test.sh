#!/bin/sh
# Batches killed with SIGKILL at random points of their progress and resumed after each kill,
# against a sandbox that resets random connections, some after storing the message; once the
# deadline has passed, resumed until every recipient is settled. Held against the sandbox's own
# record: every recipient arrived, none is stored twice, and each one's state in the journal is
# what the sandbox did. The seed is printed; NORVOSMS_TEST_SEED repeats a run.
# usage: batch_kill_stress_test.sh NORVOSMS_BINARY
set -eu
cli=$1
here=$(dirname "$0")
. "$here/sandbox_session.sh"
seed=${NORVOSMS_TEST_SEED:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
echo "seed $seed (NORVOSMS_TEST_SEED=$seed repeats this run)"
deadline=3
export NORVOSMS_TIMEOUT=$deadline
helper() { python3 "$here/batch_service_check.py" "$@"; }
fail() { echo "FAILED: $*"; tr '\r' '\n' <"$work/err" | tail -n 20; exit 1; }
# A run must end by itself with 0 or 1 (some recipients not accepted), or be the one killed.
ran() {
  ! grep -q "Sanitizer" "$work/err" || fail "sanitizer report"
  case $status in 0 | 1 | 137) ;; *) fail "exit status $status" ;; esac
}
# start JOURNAL ARGS...: in the background, the first run of a batch, or its resume once the
# journal exists; its process id in $pid.
start() {
  journal=$1
  shift
  if [ -e "$journal" ]; then
    "$cli" send --resume "$journal" >"$work/out" 2>"$work/err" &
  else
    "$cli" send --journal "$journal" "$@" >"$work/out" 2>"$work/err" &
  fi
  pid=$!
}

# stress LABEL COUNT KILLS CHAOS FILE [BEFORE]: sends FILE's recipients, killed at KILLS random
# points of the sandbox's count of messages received, under the chaos answers CHAOS; then
# resumed past the deadline until settled, and checked (BEFORE: the stored messages before).
stress() {
  label=$1 count=$2 kills=$3 chaos=$4 list=$5 before=${6:-}
  journal="$work/$label.db"
  post /send/chaos "seed=$seed $chaos"
  base=$(helper received "$control")
  for point in $(helper points "$seed-$label" "$kills" $((base + 5)) $((base + count * 9 / 10))); do
    runs=0
    while [ "$(helper received "$control")" -lt "$point" ]; do
      runs=$((runs + 1))
      [ "$runs" -le 5 ] || fail "$label: no progress towards $point"
      start "$journal" --file "$list" --callback 02-555-0100 "stress $label"
      outcome=$(helper kill-at "$control" "$point" "$pid")
      status=0
      { wait "$pid"; } 2>/dev/null || status=$?
      ran
      echo "$(date +%T) $label: $outcome (exit $status)"
    done
  done
  # The last resumes come after the deadline of every mark, so that the service's record settles
  # what a kill or a reset left open; the chaos calms after three, so that the rest settles too.
  rounds=0
  while :; do
    rounds=$((rounds + 1))
    [ "$rounds" -le 6 ] || fail "$label: recipients still unsettled after $((rounds - 1)) resumes"
    [ "$rounds" -le 3 ] || post /send/chaos "seed=$seed"
    sleep $((deadline + 1))
    status=0
    "$cli" send --resume "$journal" >"$work/out" 2>"$work/err" || status=$?
    ran
    "$cli" journal "$journal" --json >"$work/$label.json" || fail "$label: journal --json"
    [ "$(helper unsettled "$work/$label.json")" -ne 0 ] || break
  done
  post /send/chaos "seed=$seed"
  helper settle-wait "$control" || fail "$label: the sandbox still answering"
  echo "$(date +%T) $label: settled after $rounds resumes past the deadline"
  helper check "$control" "$work/$label.json" $before || fail "$label: the journal and the sandbox differ"
}

post /reset ""
numbers() { awk -v n="$1" -v key="${2:-}" 'BEGIN { for (i = 1; i <= n; i++) printf "0107%07d%s\n", i, key }'; }

# A thousand, with resets before and after storing.
numbers 1000 >"$work/thousand"
stress thousand 1000 10 "reset=0.03 store-reset=0.03" "$work/thousand"

# Mixed answers: refusals and "800" among the resets.
numbers 200 >"$work/mixed"
# and a few stored only after the client has given up on them (within the deadline).
for line in 7 77 147 177; do post /send/answer "$(sed -n "${line}p" "$work/mixed") store-after 1"; done
stress mixed 200 3 "reset=0.03 store-reset=0.03 refuse=0.05 code800=0.05" "$work/mixed"

# One key of the user's own for every recipient.
numbers 60 " shared-$seed" >"$work/shared"
stress shared 60 2 "reset=0.05 store-reset=0.05" "$work/shared"

# A key an older batch already used for the same recipients: only growth counts.
numbers 40 " reused-$seed" >"$work/reused"
status=0
"$cli" send --file "$work/reused" --callback 02-555-0100 "older batch" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 0 ] || fail "older batch: exit status $status"
get /send/messages >"$work/before"
stress reused 40 2 "reset=0.05 store-reset=0.05" "$work/reused" "$work/before"
echo "batch kill stress: all passed"
