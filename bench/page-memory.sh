#!/usr/bin/env bash
# What the phone page costs zentory.exe in private memory under Wine: idle with "WebPort"
# 0 and with the page on, then during a phone's visit (the page's files fetched by six
# connections at once, kept alive) and after it (the workers end 10 s after their last
# connection).
#   bench/page-memory.sh          (after cmake --build --preset windows; starts its own
#                                   Xvfb and Wine prefix)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${ZENTORY_BUILD:-build/windows}
. bench/wine-session.sh
key='HKCU\Software\Mordale\Zentory'
web_port=37780
"$wine" reg add "$key" /v UDPport /t REG_DWORD /d 37779 /f >/dev/null 2>&1
"$wine" reg add "$key" /v SenderFilter /t REG_DWORD /d 1 /f >/dev/null 2>&1
# Starts zentory.exe, waits for its window and lets it settle.
start_zentory() {
    "$wine" "$build/zentory.exe" &
    until probe rows >/dev/null 2>&1; do sleep 0.05; done
    sleep 5
}
stop_zentory() {
    probe close >/dev/null 2>&1 || true
    while pgrep -f 'zentory\.exe' >/dev/null; do sleep 0.1; done
}

"$wine" reg add "$key" /v WebPort /t REG_DWORD /d 0 /f >/dev/null 2>&1
start_zentory
off=$(private_kib)
stop_zentory

"$wine" reg add "$key" /v WebPort /t REG_DWORD /d $web_port /f >/dev/null 2>&1
start_zentory
on=$(private_kib)
# The page's files: those it names, and those its reader's worker names.
named() { curl -s --compressed "http://127.0.0.1:$web_port$1" | grep -ao "/[a-z_-]*\.[0-9a-f]*\.\(js\|wasm\)"; }
paths=$(named /)
for worker in $(printf '%s\n' $paths | grep reader-worker); do paths="$paths $(named "$worker")"; done
paths=$(printf '%s\n' $paths | sort -u)
# A phone's visit: each of the page's files on a connection of its own, all at once, as
# a browser loads them.
fetches=()
for path in / $paths; do
    curl -s --compressed -o /dev/null "http://127.0.0.1:$web_port$path" &
    fetches+=($!)
done
wait "${fetches[@]}"
visit=$(private_kib)
sleep 15
after=$(private_kib)
stop_zentory

echo "private memory (Linux view), KiB: WebPort 0: $off; page on, idle: $on (the page: $((on - off)))"
echo "during a visit: $visit; 15 s after it: $after (the page: $((after - off)))"
