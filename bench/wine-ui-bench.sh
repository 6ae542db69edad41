#!/usr/bin/env bash
# zentory.exe under Wine: its size, the time from start to a visible window, its private
# memory with 500 records, and the main window's message round trip while 20000
# datagrams a second arrive for 5 seconds (with the rows at the end).
#   bench/wine-ui-bench.sh          (after scripts/test or cmake --build --preset windows;
#                                    starts its own Xvfb and Wine prefix)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build/windows
. bench/wine-session.sh
port=37777
"$wine" reg add 'HKCU\Software\Mordale\Zentory' /v UDPport /t REG_DWORD /d $port /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Mordale\Zentory' /v KBDinjection /t REG_DWORD /d 0 /f >/dev/null 2>&1
private_memory() { echo "private $(private_kib) KiB (Linux view)"; }
cli=build/native/zentory-cli
[ -x "$cli" ] || { cmake --preset native >/dev/null && cmake --build --preset native --target zentory-cli >/dev/null; }

echo "zentory.exe: $(stat -c %s "$build/zentory.exe") bytes"

# Measured by the probe from its CreateProcess, polled every 2 ms: neither wine64's own start
# nor a probe's start per poll counts. Into a file: the program inherits the probe's output,
# and a pipe would stay open as long as the program runs.
exe_path=$("$wine" winepath -w "$build/zentory.exe")
"$wine" "$build/tests/e2e_probe.exe" start "$exe_path" >"$WINEPREFIX/start-ms"
echo "start to window: $(tr -d '\r' <"$WINEPREFIX/start-ms") ms (from CreateProcess to a visible" \
    "window that answers)"

"$cli" send --port $port --rate 5000 --repeat 100 00092473500000830004240405000030000226026703 \
    00191455700000110009956850418332600000624818 84620000002311301132632914523029359083800000 \
    86710000000728242498725119096408256612000003 85830000000578503281014401081014200092060000
sleep 2
echo "with $(probe rows) rows: $(private_memory), $(probe memory | sed 's/.*working set/working set/')"

"$cli" send --port $port --rate 20000 --repeat 20000 00191455700000110009956850418332600000624818 \
    84620000002311301132632914523029359083800000 &
sender=$!
probe roundtrip 5
wait $sender
sleep 2
echo "after 100000 datagrams at 20000/s: $(probe rows) rows (the cap keeps 301 to 500), $(private_memory)"
