#!/bin/sh
# zentory-cli listen refuses a sender outside the allowed networks and takes one inside.
#   sender_filter_test.sh COMMAND...
# The stranger is a test host of our own: a network namespace joined to this one by a veth
# pair, with documentation addresses (203.0.113.1 here, 203.0.113.2 there), outside every
# private range. Nothing leaves the machine. Needs root for the namespace: skipped (77)
# without it.
set -u
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
    echo "SKIP: needs root and iproute2 to make a network namespace"
    exit 77
fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
ns=zentory-filter-$$
here=zfa$$
there=zfb$$
listener=
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null
    ip netns del "$ns" 2>/dev/null
    ip link del "$here" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns" &&
    ip link add "$here" type veth peer name "$there" &&
    ip link set "$there" netns "$ns" &&
    ip addr add 203.0.113.1/24 dev "$here" &&
    ip link set "$here" up &&
    ip netns exec "$ns" ip addr add 203.0.113.2/24 dev "$there" &&
    ip netns exec "$ns" ip link set "$there" up ||
    { echo "FAIL: could not make the test network"; exit 1; }

port=$((20000 + $$ % 20000))
bank=00191455700000110009956850418332600000624818
collection=84620000002311301132632914523029359083800000

# listen ARGS...: starts a listener that stops after one code.
listen() {
    # Emptied here: the redirection runs in the child, and until it has, the last run's
    # "Esperando dados" would pass for this one's.
    : >"$work/out"
    : >"$work/err"
    "$@" >"$work/out" 2>"$work/err" &
    listener=$!
    tries=0
    until grep -q "Esperando dados" "$work/err" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -gt 200 ] && { fail "listen $* did not start: $(cat "$work/err")"; return 1; }
        sleep 0.05
    done
}
from_stranger() { ip netns exec "$ns" "$@" send --host 203.0.113.1 --port $port "$bank" >/dev/null; }
# Waits for the listener to end by itself (after its one code).
finish() {
    tries=0
    while kill -0 "$listener" 2>/dev/null && [ $tries -lt 100 ]; do
        tries=$((tries + 1))
        sleep 0.05
    done
    kill "$listener" 2>/dev/null
    wait "$listener" 2>/dev/null
    listener=
}

# By default: the stranger is refused and said so once, loopback gets through.
listen "$@" listen --port $port --count 1 --trace
from_stranger "$@"
from_stranger "$@"
sleep 0.3
"$@" send --port $port "$collection" >/dev/null
finish
[ "$(grep -c '"code"' "$work/out")" -eq 1 ] || fail "default filter: $(cat "$work/out")"
grep -q "$collection" "$work/out" || fail "loopback code not taken by default"
grep -q "$bank" "$work/out" && fail "the stranger's code was taken by default"
[ "$(grep -c 'refused a code from 203.0.113.2' "$work/err")" -eq 1 ] ||
    fail "no single refusal message: $(cat "$work/err")"
[ "$(grep -c 'Refused datagram from 203.0.113.2' "$work/err")" -eq 2 ] ||
    fail "each refusal is not traced"

# --allow any, and the stranger listed: taken.
for allow in any 203.0.113.2 "10.0.0.1,203.0.113.0/24"; do
    listen "$@" listen --port $port --count 1 --trace --allow "$allow"
    # A datagram may be lost on its way, as on any network: sent again, with a new
    # sequence number, until the listener has its one code.
    for seq in 1 2 3 4 5; do
        kill -0 "$listener" 2>/dev/null || break
        ip netns exec "$ns" "$@" send --host 203.0.113.1 --port $port --seq $seq "$bank" >/dev/null
        sleep 0.2
    done
    finish
    grep -q "\"sender\":\"203.0.113.2\"" "$work/out" || fail "--allow $allow: $(cat "$work/out")"
done

# Another address listed: refused.
listen "$@" listen --port $port --count 1 --trace --allow 203.0.113.3
from_stranger "$@"
sleep 0.3
"$@" send --port $port "$collection" >/dev/null
finish
grep -q "$bank" "$work/out" && fail "--allow 203.0.113.3 took the stranger's code"

[ $failures -eq 0 ] && echo "sender filter: all checks passed"
exit $((failures != 0))
