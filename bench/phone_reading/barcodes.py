"""Interleaved 2 of 5 and Code 128 (set C) as element widths in modules, bar first."""

# Narrow (1) and wide (2) elements of each digit, in the order they are printed.
ITF_DIGITS = {
    '0': 'NNWWN', '1': 'WNNNW', '2': 'NWNNW', '3': 'WWNNN', '4': 'NNWNW',
    '5': 'WNWNN', '6': 'NWWNN', '7': 'NNNWW', '8': 'WNNWN', '9': 'NWNWN',
}


def itf(code, wide=3.0):
    """Bar, space, bar, ... widths in narrow-element units. The first digit of each
    pair is in the bars, the second in the spaces between them."""
    if len(code) % 2:
        raise ValueError('ITF needs an even number of digits')
    widths = [1, 1, 1, 1]  # start: narrow bar, space, bar, space
    for i in range(0, len(code), 2):
        bars, spaces = ITF_DIGITS[code[i]], ITF_DIGITS[code[i + 1]]
        for b, s in zip(bars, spaces):
            widths += [wide if b == 'W' else 1, wide if s == 'W' else 1]
    widths += [wide, 1, 1]  # stop: wide bar, narrow space, narrow bar
    return widths


# Bar/space widths of the 106 Code 128 symbols, by value; the stop symbol apart.
CODE128 = (
    '212222 222122 222221 121223 121322 131222 122213 122312 132212 221213 221312 231212 '
    '112232 122132 122231 113222 123122 123221 223211 221132 221231 213212 223112 312131 '
    '311222 321122 321221 312212 322112 322211 212123 212321 232121 111323 131123 131321 '
    '112313 132113 132311 211313 231113 231311 112133 112331 132131 113123 113321 133121 '
    '313121 211331 231131 213113 213311 213131 311123 311321 331121 312113 312311 332111 '
    '314111 221411 431111 111224 111422 121124 121421 141122 141221 112214 112412 122114 '
    '122411 142112 142211 241211 221114 413111 241112 134111 111242 121142 121241 114212 '
    '124112 124211 411212 421112 421211 212141 214121 412121 111143 111341 131141 114113 '
    '114311 411113 411311 113141 114131 311141 411131 211412 211214 211232').split()
CODE128_STOP = '2331112'
START_C = 105


def code128c(code):
    """Widths in modules of an all-digit, even-length code in set C."""
    if len(code) % 2 or not code.isdigit():
        raise ValueError('set C needs an even number of digits')
    values = [START_C] + [int(code[i:i + 2]) for i in range(0, len(code), 2)]
    check = (values[0] + sum(i * v for i, v in enumerate(values) if i)) % 103
    pattern = ''.join(CODE128[v] for v in values + [check]) + CODE128_STOP
    return [int(w) for w in pattern]
