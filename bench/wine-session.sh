# Sourced by the benchmarks that run zentory.exe under Wine: a Wine prefix and an Xvfb
# display of their own, removed at the end, the probe, and the private memory of
# zentory.exe. Expects `build` (the Windows build folder) to be set.
wine=/usr/lib/wine/wine64
export WINEPREFIX=$(mktemp -d /tmp/zentory-bench.XXXXXX) WINEDEBUG=-all LC_ALL=C.UTF-8
eval "$(scripts/lib/xvfb-start.sh)"
cleanup() {
    "$wine" "$build/tests/e2e_probe.exe" close >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    scripts/lib/xvfb-stop.sh "$XVFB_PID"
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
scripts/wine-prefix.sh create x11 >/dev/null && scripts/wine-prefix.sh start
probe() { "$wine" "$build/tests/e2e_probe.exe" "$@" | tr -d '\r'; }
# Wine reports no private bytes; the Linux side of the process knows them, in KiB.
private_kib() {
    awk '/^Private_(Clean|Dirty):/ { kib += $2 } END { print kib }' \
        "/proc/$(pgrep -f 'zentory\.exe' | head -n1)/smaps_rollup"
}
