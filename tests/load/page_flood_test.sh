#!/bin/sh
# The phone page's server holds under a flood of connections from a network of the test's
# own, and a phone still gets through within 2 s every time (page_flood.py tells how).
#   page_flood_test.sh COMMAND...            starts COMMAND listen --http PORT (zentory-cli)
#   page_flood_test.sh --running PORT TOKEN PID   a server that runs already (zentory.exe)
# The clients live in a network namespace joined to this one by a veth pair: 20 holders
# and the phone in 10.77.0.0/16 (a private network: allowed by default), two strangers in
# 198.51.100.0/24 (refused). Nothing leaves the machine. Needs root for the namespace:
# skipped (77) without it. ZENTORY_FLOOD_SECONDS sets the flood's length (30).
set -u
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
    echo "SKIP: needs root and iproute2 to make a network namespace"
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
ns=zentory-flood-$$
near=zfa$$
far=zfb$$
listener=
work=$(mktemp -d)
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null
    ip netns del "$ns" 2>/dev/null
    ip link del "$near" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

ip netns add "$ns" &&
    ip link add "$near" type veth peer name "$far" &&
    ip link set "$far" netns "$ns" &&
    ip addr add 10.77.0.1/16 dev "$near" &&
    ip addr add 198.51.100.254/24 dev "$near" &&
    ip link set "$near" up &&
    ip netns exec "$ns" ip link set lo up &&
    ip netns exec "$ns" ip link set "$far" up ||
    { echo "FAIL: could not make the test network"; exit 1; }
holders=
for i in $(seq 1 20); do
    ip netns exec "$ns" ip addr add "10.77.1.$i/16" dev "$far" || exit 1
    holders="$holders${holders:+,}10.77.1.$i"
done
for address in 10.77.2.1/16 198.51.100.1/24 198.51.100.2/24; do
    ip netns exec "$ns" ip addr add "$address" dev "$far" || exit 1
done

if [ "$1" = "--running" ]; then
    port=$2 token=$3 pid=$4
else
    port=$((20000 + ($$ + 4409) % 20000))
    token=0123456789abcdef0123456789abcdef
    : >"$work/err"
    "$@" listen --port $((port + 1)) --http $port --token $token 2>"$work/err" >/dev/null &
    listener=$!
    pid=$listener
    tries=0
    until grep -q "page at" "$work/err" 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -gt 200 ] && { echo "FAIL: listen did not start: $(cat "$work/err")"; exit 1; }
        sleep 0.05
    done
fi
ip netns exec "$ns" python3 "$here/page_flood.py" --server "10.77.0.1:$port" --token "$token" \
    --phone 10.77.2.1 --holders "$holders" --refused 198.51.100.1,198.51.100.2 --pid "$pid" \
    --seconds "${ZENTORY_FLOOD_SECONDS:-30}"
