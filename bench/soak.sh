#!/usr/bin/env bash
# Soak: 1,000,000 valid and malformed datagrams as fast as they go into zentory.exe under
# Wine with injection on, while the port is changed twice in the configuration dialog.
# Prints the window's message round trips, its memory before and after, and the rows.
#   bench/soak.sh [DATAGRAMS]        (after cmake --build --preset windows and native)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
count=${1:-1000000}
build=build/windows
wine=/usr/lib/wine/wine64
export WINEPREFIX=$(mktemp -d /tmp/zentory-soak.XXXXXX) WINEDEBUG=-all LC_ALL=C.UTF-8
cleanup() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
scripts/wine-prefix.sh create null >/dev/null && scripts/wine-prefix.sh start
probe() { "$wine" "$build/tests/e2e_probe.exe" "$@" | tr -d '\r'; }
private_memory() {
    awk '/^Private_(Clean|Dirty):/ { kib += $2 } END { printf "%d KiB", kib }' \
        "/proc/$(pgrep -f 'zentory\.exe' | head -n1)/smaps_rollup"
}
port=38111
other=38112
"$wine" reg add 'HKCU\Software\Mordale\Zentory' /v UDPport /t REG_DWORD /d $port /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Mordale\Zentory' /v KBDinjection /t REG_DWORD /d 3 /f >/dev/null 2>&1
"$wine" "$build/zentory.exe" &
zentory=$!
until probe rows >/dev/null 2>&1; do sleep 0.1; done
echo "private memory at start: $(private_memory)"

# Per round: a datagram with a wrong CRC, three valid codes, one with a letter.
rounds=$((count / 5))
build/native/zentory-cli send --port $port --rate 100000 --repeat $rounds \
    --hex 00012c0000303030393234373335303030303038333030303432343034303530303030333030303032323630323637303300 \
    00191455700000110009956850418332600000624818 84620000002311301132632914523029359083800000 \
    12345678901234567890123456789012345678901235 0019145570000011000995685041833260000062481X &
sender=$!
start=$(date +%s)
probe roundtrip 3
move_port() {
    probe command 40039
    until probe settext "Configuração" 1120 "$1" >/dev/null 2>&1; do sleep 0.1; done
    probe click "Configuração" 1
    echo "port moved to $1"
}
move_port $other
probe roundtrip 2
move_port $port
probe roundtrip 10
wait $sender
echo "sender done after $(($(date +%s) - start)) s"
sleep 2
echo "rows at the end: $(probe rows); private memory: $(private_memory)"
probe close
wait $zentory
echo "zentory.exe exit code: $?"
