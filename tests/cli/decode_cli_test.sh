#!/bin/sh
# zentory-cli decode as a user runs it: decode_cli_test.sh DATA_DIR COMMAND...
# (COMMAND is the program, after Wine's loader for the Windows build).
set -u
data=$1
shift
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Every kind of line, compared with the reviewed results. The Windows build writes
# CR LF line ends to its console.
"$@" decode --today 2026-12-07 <"$data/decode_input.txt" >"$work/out" 2>"$work/err"
code=$?
[ $code -eq 0 ] || fail "decode from standard input exited with $code: $(cat "$work/err")"
tr -d '\r' <"$work/out" >"$work/out.lf"
diff -u "$data/decode_expected.jsonl" "$work/out.lf" || fail "decode output differs"

# One code on the command line.
"$@" decode --today 2008-01-01 00191455700000110009956850418332600000624818 B >"$work/one"
grep -q '"due":"30/03/2010"' "$work/one" || fail "single code: $(cat "$work/one")"

# Any bytes in, valid ASCII lines out: one line per non-blank input line.
printf 'a\000b\n\377\376\032x\n"\\\n\t\r\n' >"$work/garbage"
"$@" decode <"$work/garbage" >"$work/gout" || fail "garbage input exited with $?"
lines=$(tr -d '\r' <"$work/gout" | wc -l)
[ "$lines" -eq 4 ] || fail "garbage input gave $lines lines, not 4"
if tr -d '\r' <"$work/gout" | LC_ALL=C grep -q '[^ -~]'; then fail "output is not plain ASCII"; fi

# Mistakes on the command line: a message and exit code 2.
for args in "decode --bogus" "decode --today 2026-02-30" "decode --today" "decode 123 Q" "frobnicate" ""; do
    # shellcheck disable=SC2086
    "$@" $args </dev/null >"$work/mout" 2>"$work/merr"
    code=$?
    [ $code -eq 2 ] || fail "'$args' exited with $code, not 2"
    [ -s "$work/merr" ] || fail "'$args' gave no message"
    [ -s "$work/mout" ] && fail "'$args' wrote to standard output"
done
"$@" --version | grep -q '^zentory-cli [0-9]' || fail "--version"

[ $failures -eq 0 ] && echo "decode_cli_test: all checks passed"
exit $((failures != 0))
