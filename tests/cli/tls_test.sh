#!/usr/bin/env bash
# The page's port answers TLS and plain HTTP alike: the installation's authority (DIR/ca.pem)
# verifies the server for 127.0.0.1, a scan posted over TLS arrives, and a capture of the
# TLS session holds neither the pairing secret nor the code (the capture needs root and
# tcpdump; skipped without them).
#   tls_test.sh COMMAND...
set -u
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
listener=
capture=
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null
    [ -n "$capture" ] && kill "$capture" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
root=$(cd "$(dirname "$0")/../.." && pwd)
udp=$((20000 + ($$ + 4271) % 20000))
port=$((udp + 1))
token=00112233445566778899aabbccddeeff
code=00191455700000110009956850418332600000624818

"$@" listen --port $udp --http $port --token $token --certs "$work/certs" >"$work/out" 2>"$work/err" &
listener=$!
for _ in $(seq 100); do grep -q "page at" "$work/err" && break; sleep 0.05; done
[ -f "$work/certs/ca.pem" ] || { echo "FAIL: no authority: $(cat "$work/err")"; exit 1; }

verified=$(printf 'HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip\r\nConnection: close\r\n\r\n' |
    timeout 10 openssl s_client -connect 127.0.0.1:$port -CAfile "$work/certs/ca.pem" \
        -verify_ip 127.0.0.1 -verify_return_error -ign_eof 2>&1)
grep -q "Verify return code: 0 (ok)" <<<"$verified" || fail "TLS not verified: $verified"
grep -q "^HTTP/1.1 200" <<<"$verified" || fail "no page over TLS"
plain=$(curl -s -o /dev/null -w '%{http_code}' -H 'Accept-Encoding: gzip' http://127.0.0.1:$port/)
[ "$plain" = 200 ] || fail "the plain page answered $plain"
# The downloads that make a phone trust the PC: the authority's certificate alone.
curl -s "http://127.0.0.1:$port/zentory-ca.crt" >"$work/ca.crt"
cmp -s "$work/ca.crt" "$work/certs/ca.pem" || fail "the download is not the authority's certificate"
curl -s "http://127.0.0.1:$port/zentory.mobileconfig" >"$work/profile"
grep -qa "PRIVATE KEY" "$work/ca.crt" "$work/profile" && fail "a download holds a key"
python3 - "$work/profile" "$work/certs/ca.pem" <<'PROFILE' || fail "the iPhone's profile"
import base64, plistlib, sys
profile = plistlib.load(open(sys.argv[1], "rb"))
payload = profile["PayloadContent"][0]
assert payload["PayloadType"] == "com.apple.security.root"
pem = open(sys.argv[2]).read().split("-----")[2]
assert payload["PayloadContent"] == base64.b64decode("".join(pem.split()))
PROFILE

if [ "$(id -u)" -eq 0 ] && command -v tcpdump >/dev/null; then
    tcpdump -i lo -U -w "$work/tls.pcap" "tcp port $port" >/dev/null 2>&1 &
    capture=$!
    sleep 1
fi
status=$(NODE_EXTRA_CA_CERTS="$work/certs/ca.pem" node --input-type=module -e "
    import { postScan } from '$root/tests/browser/harness.mjs';
    const answer = await postScan(new URL('https://127.0.0.1:$port/'), '$code', { token: '$token' });
    console.log(answer.status);")
[ "$status" = 200 ] || fail "a scan over TLS answered $status"
for _ in $(seq 50); do grep -q "$code" "$work/out" && break; sleep 0.05; done
grep -q "$code" "$work/out" || fail "the scan over TLS did not arrive"
if [ -n "$capture" ]; then
    sleep 0.5
    kill "$capture"
    wait "$capture" 2>/dev/null
    capture=
    [ -s "$work/tls.pcap" ] || fail "nothing captured"
    for secret in $token $code; do
        grep -qa "$secret" "$work/tls.pcap" && fail "the capture holds $secret in clear"
    done
else
    echo "tls_test: the capture needs root and tcpdump; skipped"
fi
[ $failures -eq 0 ] && echo "tls_test: all checks passed"
exit $((failures != 0))
