#!/bin/sh
# scripts/gen-bank-names: the lists it refuses, then the committed table against the two
# bank-code lists when they are at hand: gen_bank_names_test.sh SCRIPT LISTS_DIR
# Without the lists (a clone alone) the refusals are still checked, and the test ends as
# skipped (77).
set -u
script=$1
lists=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

header='code\tname\tsource\n'
printf "${header}001\tBanco Um\tx\n002\tBanco Dois\tx\n" >"$work/first.tsv"
refused() {  # refused WHAT ROWS-OF-THE-SECOND-LIST
    printf "${header}$2" >"$work/second.tsv"
    if "$script" "$work/first.tsv" "$work/second.tsv" >/dev/null 2>"$work/err"; then
        fail "$1 accepted"
    elif ! [ -s "$work/err" ]; then
        fail "$1 refused without a message"
    fi
}
refused "a code of both lists" '002\tBanco Dois Outra Vez\tx\n'
refused "a name of 44 characters" '003\t12345678901234567890123456789012345678901234\tx\n'
refused "a two-digit code" '03\tBanco Tres\tx\n'
refused "a row without a name" '003\n'
refused "a code listed twice" '003\tBanco Tres\tx\n003\tBanco Tres\tx\n'

# The rows of both lists in one table, in order of code.
printf "${header}000\tBanco Zero\tx\n003\tBanco Tres\tx\n" >"$work/second.tsv"
"$script" "$work/first.tsv" "$work/second.tsv" >"$work/table" || fail "good lists refused"
codes=$(grep -o '^{"[0-9]*"' "$work/table" | tr -d '{"' | tr '\n' ' ')
[ "$codes" = "000 001 002 003 " ] || fail "table rows: $codes"

if [ -f "$lists/bank-codes.tsv" ] && [ -f "$lists/bank-codes-current.tsv" ]; then
    "$script" --check "$lists/bank-codes.tsv" "$lists/bank-codes-current.tsv" ||
        fail "src/codes/bank_names_table.inc is not the table the lists make"
elif [ $failures -eq 0 ]; then
    echo "SKIP: no bank-code lists in $lists; the committed table was not compared with them"
    exit 77
fi
[ $failures -eq 0 ] && echo "gen_bank_names_test: all checks passed"
exit $((failures != 0))
