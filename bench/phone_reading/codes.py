"""The 44-digit codes the photos carry: bank slips, collection (utility) slips and NF-e
access keys, each with valid check digits, and the texts printed beside their barcodes."""

import datetime

BANKS = [
    ('001', 'Banco do Brasil'), ('033', 'Santander'), ('104', 'Caixa'), ('237', 'Bradesco'),
    ('341', 'Itau'), ('399', 'HSBC'), ('422', 'Safra'), ('748', 'Sicredi'), ('756', 'Sicoob'),
    ('077', 'Inter'), ('260', 'Nu Pagamentos'), ('212', 'Banco Original'), ('041', 'Banrisul'),
]

# Segment digit of a collection slip and what a bill of that segment looks like.
SEGMENTS = {
    '1': 'Prefeitura', '2': 'Saneamento', '3': 'Energia', '4': 'Telecomunicacoes',
    '5': 'Orgao governamental', '7': 'Multa de transito',
}

UF_CODES = ['35', '33', '31', '41', '42', '43', '29', '52', '53', '26', '23', '15', '50', '51']

# Day 1000 of the due factor's current cycle (it restarted after 9999).
FACTOR_BASE = datetime.date(2025, 2, 22)


def digits(rng, n):
    return ''.join(str(d) for d in rng.integers(0, 10, n))


def mod10(text):
    """Weights 2, 1, 2, ... from the right; two-digit products reduced by 9."""
    total, weight = 0, 2
    for ch in reversed(text):
        product = int(ch) * weight
        total += product - 9 if product >= 10 else product
        weight = 1 if weight == 2 else 2
    return (10 - total % 10) % 10


def mod11_remainder(text):
    """Weights 2 to 9 from the right, repeating."""
    total, weight = 0, 2
    for ch in reversed(text):
        total += int(ch) * weight
        weight = 2 if weight == 9 else weight + 1
    return total % 11


def bank_check(code43):
    r = mod11_remainder(code43)
    return 1 if r <= 1 else 11 - r


def collection_check(code43, value_type):
    if value_type in '89':
        r = mod11_remainder(code43)
        return 0 if r <= 1 else 11 - r
    return mod10(code43)


def bank_slip(rng):
    bank, name = BANKS[int(rng.integers(len(BANKS)))]
    due = FACTOR_BASE + datetime.timedelta(days=int(rng.integers(120, 900)))
    factor = 1000 + (due - FACTOR_BASE).days
    cents = int(rng.choice([rng.integers(1000, 50_000), rng.integers(5000, 600_000),
                            rng.integers(100_000, 5_000_000)]))
    value = f'{cents:010d}'
    free = digits(rng, 25)
    body = bank + '9' + f'{factor:04d}' + value + free
    code = body[:4] + str(bank_check(body)) + body[4:]
    return code, {'bank': name, 'due': due.strftime('%d/%m/%Y'), 'cents': cents}


def collection_slip(rng):
    segment = str(rng.choice(list(SEGMENTS)))
    value_type = str(rng.choice(['6', '6', '6', '7', '8', '9']))
    cents = int(rng.integers(1500, 90_000))
    body = '8' + segment + value_type + f'{cents:011d}' + digits(rng, 4) + digits(rng, 25)
    code = body[:3] + str(collection_check(body, value_type)) + body[3:]
    return code, {'segment': SEGMENTS[segment], 'cents': cents}


def cnpj(rng):
    base = digits(rng, 8) + '0001'
    for weights in ([5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2], [6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2]):
        r = sum(int(d) * w for d, w in zip(base, weights)) % 11
        base += str(0 if r < 2 else 11 - r)
    return base


def nfe_key(rng):
    uf = str(rng.choice(UF_CODES))
    year, month = int(rng.integers(23, 27)), int(rng.integers(1, 13))
    number = int(rng.integers(1, 999_999))
    series = int(rng.integers(1, 10))
    issuer = cnpj(rng)
    body = (uf + f'{year:02d}{month:02d}' + issuer + '55' + f'{series:03d}' + f'{number:09d}' +
            '1' + digits(rng, 8))
    r = mod11_remainder(body)
    code = body + str(0 if r <= 1 else 11 - r)
    return code, {'cnpj': issuer, 'number': number, 'series': series}


def bank_typeable(code):
    """The typeable line printed above a bank slip's barcode."""
    free = code[19:]
    f1 = code[:4] + free[:5]
    f2, f3 = free[5:15], free[15:]
    f1 += str(mod10(f1))
    f2 += str(mod10(f2))
    f3 += str(mod10(f3))
    return f'{f1[:5]}.{f1[5:]} {f2[:5]}.{f2[5:]} {f3[:5]}.{f3[5:]} {code[4]} {code[5:19]}'


def collection_typeable(code):
    blocks = []
    for i in range(4):
        block = code[11 * i:11 * i + 11]
        if code[2] in '89':
            r = mod11_remainder(block)
            check = 0 if r <= 1 else 11 - r
        else:
            check = mod10(block)
        blocks.append(f'{block}-{check}')
    return '  '.join(blocks)


def key_groups(code):
    return ' '.join(code[i:i + 4] for i in range(0, 44, 4))


def money(cents):
    whole = f'{cents // 100:,}'.replace(',', '.')
    return f'{whole},{cents % 100:02d}'
