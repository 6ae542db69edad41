#!/bin/sh
# Throughput of `zentory-cli decode` on codes read from standard input.
# usage: bench/decode-throughput.sh [COUNT] [COMMAND...]
#   COUNT    number of codes (default 1000000), a mix of bank slips, collection slips,
#            NF-e keys and malformed codes
#   COMMAND  the program (default build/native/zentory-cli); for the Windows build:
#            bench/decode-throughput.sh 1000000 /usr/lib/wine/wine64 build/windows/zentory-cli.exe
set -eu
count=${1:-1000000}
[ $# -gt 0 ] && shift
[ $# -eq 0 ] && set -- "$(dirname "$0")/../build/native/zentory-cli"

input=$(mktemp)
trap 'rm -f "$input"' EXIT
awk -v n="$count" 'BEGIN {
    codes[0] = "00092473500000830004240405000030000226026703"
    codes[1] = "00191455700000110009956850418332600000624818 B"
    codes[2] = "84620000002311301132632914523029359083800000 C"
    codes[3] = "86710000000728242498725119096408256612000003"
    codes[4] = "85830000000578503281014401081014200092060000"
    codes[5] = "12345678901234567890123456789012345678901235 N"
    codes[6] = "00197455700000110009956850418332600000624818"
    codes[7] = "0019145570000011000995685041833260000062481"
    for (i = 0; i < n; i++) print codes[i % 8]
}' >"$input"

start=$(date +%s%N)
lines=$("$@" decode --today 2026-12-07 <"$input" | wc -l)
end=$(date +%s%N)
ms=$(((end - start) / 1000000))
[ "$lines" -eq "$count" ] || { echo "expected $count lines, got $lines" >&2; exit 1; }
echo "decoded $count codes in $ms ms: $((count * 1000 / (ms > 0 ? ms : 1))) codes/s"
