#!/bin/sh
# zentory-cli send to zentory-cli listen, as the phone and the program would talk:
#   send_listen_test.sh DATA_DIR COMMAND...      (COMMAND after Wine's loader on Windows)
set -u
data=$1
shift
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
listener=
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
port=$((20000 + $$ % 20000))

"$@" listen --port $port --mode 3 --count 8 --trace --export "$work/export.txt" \
    >"$work/listen.out" 2>"$work/listen.err" &
listener=$!
tries=0
until grep -q "Esperando dados na porta $port UDP" "$work/listen.err" 2>/dev/null; do
    tries=$((tries + 1))
    if [ $tries -gt 200 ] || ! kill -0 $listener 2>/dev/null; then
        echo "FAIL: listen did not start: $(cat "$work/listen.err")"
        exit 1
    fi
    sleep 0.05
done

# A second program on the same port: the message and exit code -1.
"$@" listen --port $port --count 1 >"$work/second.out" 2>"$work/second.err"
code=$?
[ $code -eq 255 ] || fail "second listen on a port in use exited with $code, not 255"
grep -q "Porta $port esta em uso." "$work/second.err" || fail "no port-in-use message: $(cat "$work/second.err")"

# Separator bits beyond the ten gaps are a usage error, not a quiet "missing".
for bits in 1024 4294967295 -1; do
    "$@" listen --port $port --custom-separators $bits >/dev/null 2>"$work/bits.err"
    code=$?
    [ $code -eq 2 ] || fail "--custom-separators $bits exited with $code, not 2"
    grep -q "custom-separators" "$work/bits.err" || fail "no message for --custom-separators $bits"
done

send() { "$@" >/dev/null 2>"$work/send.err" || fail "send $*: $(cat "$work/send.err")"; }
# The five samples, with kind byte 1 as the simulated reception sends them.
send "$@" send --port $port 00092473500000830004240405000030000226026703 \
    00191455700000110009956850418332600000624818 84620000002311301132632914523029359083800000 \
    86710000000728242498725119096408256612000003 85830000000578503281014401081014200092060000
# Malformed: too short, too long, a bad CRC, a reserved byte set. All dropped.
send "$@" send --port $port --hex 00012c5ec4
send "$@" send --port $port --hex "$(printf '%01200d' 0)"
send "$@" send --port $port --hex 00012c0000303030393234373335303030303038333030303432343034303530303030333030303032323630323637303300
send "$@" send --port $port --hex 01012c5ec4303030393234373335303030303038333030303432343034303530303030333030303032323630323637303300
# An NF-e key, then a numbered slip sent twice: the repeat is dropped.
send "$@" send --port $port --kind 3 12345678901234567890123456789012345678901235
send "$@" send --port $port --seq 41 00197455700000110009956850418332600000624818
send "$@" send --port $port --seq 41 00197455700000110009956850418332600000624818
send "$@" send --port $port --kind 2 84620000002311301132632914523029359083800000

wait $listener
code=$?
listener=
[ $code -eq 0 ] || fail "listen exited with $code: $(cat "$work/listen.err")"

# Times and due dates depend on the day of the run.
tr -d '\r' <"$work/listen.out" |
    sed -e 's/"received_at":"[^"]*"/"received_at":"-"/' -e 's/"due":"[0-9][^"]*"/"due":"-"/' \
        -e 's/"first_seen":"[0-9][^"]*"/"first_seen":"-"/' \
        >"$work/listen.json"
if [ -n "${UPDATE_EXPECTED:-}" ]; then  # after a reviewed change of the output
    cp "$work/listen.json" "$data/send_listen_expected.jsonl"
    sed 's#[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]#DD/MM/YYYY#' "$work/export.txt" >"$data/send_listen_export.txt"
fi
diff -u "$data/send_listen_expected.jsonl" "$work/listen.json" || fail "listen output differs"
grep -c "Numero de sequencia duplicado." "$work/listen.err" | grep -qx 1 || fail "no repeat trace"

sed 's#[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]#DD/MM/YYYY#' "$work/export.txt" >"$work/export.cmp"
cmp -s "$data/send_listen_export.txt" "$work/export.cmp" || {
    fail "export file differs"
    od -c "$work/export.cmp" | head -20
}

# --export NAME.csv: the spreadsheet form, Windows-1252, CR LF; times and dates vary.
"$@" listen --port $port --count 1 --export "$work/export.csv" 2>"$work/csv.err" >/dev/null &
listener=$!
tries=0
until grep -q "Esperando dados" "$work/csv.err" 2>/dev/null || [ $tries -gt 200 ]; do
    tries=$((tries + 1))
    sleep 0.05
done
send "$@" send --port $port 00191455700000110009956850418332600000624818
wait $listener || fail "listen --export x.csv: $(cat "$work/csv.err")"
listener=
printf '%b\r\n' 'Recebido em;Remetente;Tipo;DV;Linha digit\0341vel;Valor;Vencimento;Banco ou segmento;C\0363digo de barras;Primeira leitura' \
    'DD/MM/AAAA HH:MM:SS;127.0.0.1;Boleto;sim;00199.95687 50418.332602 00006.248181 1 45570000011000;110,00;DD/MM/AAAA;Banco do Brasil S.A.;"=""00191455700000110009956850418332600000624818""";' \
    >"$work/expected.csv"
LC_ALL=C sed -e 's#^[0-9]\{2\}/[0-9]\{2\}/[0-9]\{4\} [0-9:]\{8\}#DD/MM/AAAA HH:MM:SS#' \
    -e 's#;[0-9]\{2\}/[0-9]\{2\}/[0-9]\{4\};#;DD/MM/AAAA;#' "$work/export.csv" >"$work/export.csv.cmp"
cmp -s "$work/expected.csv" "$work/export.csv.cmp" || {
    fail "CSV export differs"
    od -c "$work/export.csv.cmp" | head -20
}

[ $failures -eq 0 ] && echo "send_listen_test: all checks passed"
exit $((failures != 0))
