"""The codes the photos carry: the 44 digits of bank slips, collection (utility) slips and
NF-e access keys, each with valid check digits, and the texts printed beside their
barcodes; and Pix codes, with their CRC."""

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


# ------------------------------------------------------------------ Pix codes

PIX_HOSTS = ['pix.example-bank.com.br', 'qr.example-pay.com.br', 'api.pix.example-coop.com.br',
             'pix.example-digital.com.br', 'qrpix.example-credito.com.br']
MAIL_DOMAINS = ['gmail.com', 'hotmail.com', 'outlook.com', 'yahoo.com.br', 'uol.com.br',
                'empresa.com.br']
TXID = '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz'


def crc16_ccitt(text):
    """CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection."""
    crc = 0xFFFF
    for byte in text.encode('utf-8'):
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def field(tag, value):
    """One field: its two-digit id, its two-digit length and its value."""
    if len(value) > 99:
        raise ValueError(f'field {tag} is {len(value)} characters long')
    return f'{tag}{len(value):02d}{value}'


def cpf(rng):
    base = digits(rng, 9)
    for n in (10, 11):
        r = sum(int(d) * w for d, w in zip(base, range(n, 1, -1))) * 10 % 11
        base += str(r % 10)
    return base


def uuid4(rng):
    h = ''.join(f'{int(b):02x}' for b in rng.integers(0, 256, 16))
    h = h[:12] + '4' + h[13:16] + '89ab'[int(rng.integers(4))] + h[17:]
    return f'{h[:8]}-{h[8:12]}-{h[12:16]}-{h[16:20]}-{h[20:]}'


def pix_key(rng, kind, name):
    """A key of `kind` (cpf, cnpj, phone, email or random) for an account holder `name`."""
    if kind == 'cpf':
        return cpf(rng)
    if kind == 'cnpj':
        return cnpj(rng)
    if kind == 'phone':
        ddd = int(rng.choice([11, 19, 21, 31, 41, 47, 48, 51, 61, 62, 71, 81, 85]))
        return f'+55{ddd}9{digits(rng, 8)}'
    if kind == 'email':
        words = [w.lower() for w in name.split() if w.isalpha() and len(w) > 2]
        user = ('.'.join(words[:2]) if rng.random() < 0.5 else
                str(rng.choice(['financeiro', 'cobranca', 'contato', 'secretaria', 'pix'])))
        return f'{user or "contato"}{int(rng.integers(1, 99)) if rng.random() < 0.3 else ""}' \
               f'@{rng.choice(MAIL_DOMAINS)}'
    return uuid4(rng)


def pix_code(rng, name, city, cents=None, dynamic=False, txid=None, key_kind=None, key=None):
    """A Pix code as printed in a QR code. A static one carries the receiver's `key` (or
    a new one of `key_kind`, or of any kind), a dynamic one the location of the charge on
    its bank's server; `cents` adds the amount. The name and the city are cut to 25 and 15."""
    key_kind = key_kind or str(rng.choice(['cpf', 'cnpj', 'phone', 'email', 'random']))
    account = field('00', 'br.gov.bcb.pix')
    if dynamic:
        path = 'cobv/' if rng.random() < 0.5 else ''
        account += field('25', f'{rng.choice(PIX_HOSTS)}/qr/v2/{path}{uuid4(rng).replace("-", "")}')
    else:
        account += field('01', key or pix_key(rng, key_kind, name))
    if txid is None:
        txid = '***' if dynamic or rng.random() < 0.4 else \
            ''.join(rng.choice(list(TXID), int(rng.integers(8, 26))))
    body = field('00', '01') + (field('01', '12') if dynamic else '') + field('26', account) + \
        field('52', '0000') + field('53', '986')
    if cents is not None:
        body += field('54', f'{cents // 100}.{cents % 100:02d}')
    body += field('58', 'BR') + field('59', name[:25].rstrip()) + field('60', city[:15].rstrip()) + \
        field('62', field('05', txid)) + '6304'
    return body + f'{crc16_ccitt(body):04X}'
