#!/usr/bin/env bash
# The journal survives a hard kill, and a later listen knows the codes it holds; the
# history database reads the journal in and survives a hard kill too:
#   journal_test.sh COMMAND...
set -u
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
listener=
cleanup() {
    [ -n "$listener" ] && kill -9 "$listener" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
port=$((20000 + ($$ + 7919) % 20000))
bank=00191455700000110009956850418332600000624818
collection=84620000002311301132632914523029359083800000
nfe=35200714200166000187550010000000046550000044

start() {
    # Emptied here, not by the redirection below: that one runs in the child, and until it
    # has, the last run's "Esperando dados" would pass for this one's.
    : >"$work/out"
    : >"$work/err"
    # shellcheck disable=SC2086
    "$@" listen --port $port $storage --trace >"$work/out" 2>"$work/err" &
    listener=$!
    tries=0
    until grep -q "Esperando dados" "$work/err" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -gt 200 ] && { echo "FAIL: listen did not start: $(cat "$work/err")"; exit 1; }
        sleep 0.05
    done
}
storage="--journal $work/journal"  # the listener's storage options
lines() { cat "$work"/journal/zentory-*.txt 2>/dev/null | wc -l; }
# Waits until the listener has printed N codes.
wait_for_codes() {
    tries=0
    while [ "$(grep -c '"code"' "$work/out")" -lt "$1" ] && [ $tries -lt 100 ]; do
        tries=$((tries + 1))
        sleep 0.05
    done
}

# Three codes, then SIGKILL the moment they were shown: all three are in the journal.
start "$@"
"$@" send --port $port $bank $collection >/dev/null
"$@" send --port $port --kind 3 $nfe >/dev/null
wait_for_codes 3
kill -9 $listener
wait $listener 2>/dev/null
listener=
[ "$(lines)" -eq 3 ] || fail "the journal holds $(lines) lines, not 3"
for code in $bank $collection $nfe; do
    grep -q "$code" "$work"/journal/zentory-*.txt || fail "$code not in the journal"
done
tr -d '\r' <"$work"/journal/zentory-*.txt | grep -qv $'^[0-9/]* [0-9:]*\t127.0.0.1\t' &&
    fail "a journal line is not TIME<TAB>SENDER<TAB>LINE"

# A later run: a code of the journal has a first sighting, a new one has none.
start "$@"
"$@" send --port $port $collection 00092473500000830004240405000030000226026703 >/dev/null
wait_for_codes 2
kill $listener
wait $listener 2>/dev/null
listener=
grep "$collection" "$work/out" | grep -q '"first_seen":"[0-9]' || fail "no first_seen: $(cat "$work/out")"
grep 00092473500000830004240405000030000226026703 "$work/out" | grep -q '"first_seen":""' ||
    fail "a new code has a first_seen"
[ "$(lines)" -eq 5 ] || fail "the journal holds $(lines) lines, not 5"

# Every batch is on the disk before the next: each code arrives alone here, and each one
# costs an fdatasync (or fsync). Skipped where the system lets no process be traced.
check_syncs() {  # WHAT COMMAND...: with the held storage options
    local what=$1
    shift
    if ! strace -f -o /dev/null true 2>/dev/null; then
        echo "journal_test: no strace here; the syncs of the $what are not checked"
        return
    fi
    start strace -f -e trace=fdatasync,fsync -o "$work/syncs" "$@"
    for code in $bank $nfe; do
        before=$(grep -c '"code"' "$work/out")
        "$@" send --port $port $code >/dev/null
        tries=0
        while [ "$(grep -c '"code"' "$work/out")" -eq "$before" ] && [ $tries -lt 100 ]; do
            tries=$((tries + 1))
            sleep 0.05
        done
    done
    # The listener is strace's child: ended, it ends strace too.
    pkill -TERM -P $listener
    wait $listener 2>/dev/null
    listener=
    # A call that another thread's interrupts is written in two pieces: its start counts.
    syncs=$(grep -cE '(^|[ ])(fdatasync|fsync)\([0-9]+' "$work/syncs")
    [ "$syncs" -ge 2 ] || fail "$syncs syncs of the $what for 2 batches"
}
check_syncs journal "$@"

# With a database: the journals are read into it, their codes are read before, nothing more
# is written to them, and a hard kill leaves a sound database in WAL mode.
journaled=$(lines)
storage="--db $work/zentory.db --journal $work/journal"
start "$@"
"$@" send --port $port $nfe >/dev/null
wait_for_codes 1
kill -9 $listener
wait $listener 2>/dev/null
listener=
grep -q '"first_seen":"[0-9]' "$work/out" || fail "the journal's code is new to the database"
[ "$(lines)" -eq "$journaled" ] || fail "the journal was written beside the database"
python3 -c "
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
assert db.execute('PRAGMA integrity_check').fetchone()[0] == 'ok'
assert db.execute('PRAGMA journal_mode').fetchone()[0] == 'wal'
assert db.execute('SELECT COUNT(*) FROM codes WHERE removed_at IS NULL').fetchone()[0] == 1
" "$work/zentory.db" || fail "the database after a hard kill"
storage="--db $work/zentory.db"
check_syncs database "$@"

[ $failures -eq 0 ] && echo "journal_test: all checks passed"
exit $((failures != 0))
