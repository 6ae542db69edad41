"""A4 pages as drawing operations in millimetres (origin at the top left, y down), and
their rasterisation, at any density, of just the part a photo sees.

Each layout returns the page and where its barcode is, so that the camera can aim at it."""

import cv2
import numpy as np
from qrcodegen import QrCode

import barcodes
import codes

PAGE_W, PAGE_H = 210.0, 297.0
SIMPLEX, DUPLEX, PLAIN, COMPLEX = (cv2.FONT_HERSHEY_SIMPLEX, cv2.FONT_HERSHEY_DUPLEX,
                                   cv2.FONT_HERSHEY_PLAIN, cv2.FONT_HERSHEY_COMPLEX)
# Height of a capital at fontScale 1, in pixels, per Hershey font.
CAP = {SIMPLEX: 22.0, DUPLEX: 22.0, PLAIN: 10.0, COMPLEX: 22.0}
SUB = 16  # cv2's fractional coordinates: 4 bits


class Page:
    def __init__(self):
        self.ops = []
        self.barcode = None  # dict: x, y, w, h (mm), symbology, module, quiet
        self.qr = None  # the same of a QR code, and its `modules` across

    # ---- primitives
    def line(self, x1, y1, x2, y2, width=0.2, tone=1.0):
        d = np.array([x2 - x1, y2 - y1], float)
        n = np.array([-d[1], d[0]]) / max(np.hypot(*d), 1e-9) * width / 2
        p1, p2 = np.array([x1, y1]), np.array([x2, y2])
        self.poly([p1 + n, p2 + n, p2 - n, p1 - n], tone)

    def hline(self, x1, x2, y, width=0.2):
        self.line(x1, y, x2, y, width)

    def vline(self, x, y1, y2, width=0.2):
        self.line(x, y1, x, y2, width)

    def dashed(self, x1, x2, y, dash=2.0, gap=1.2, width=0.2):
        x = x1
        while x < x2:
            self.hline(x, min(x + dash, x2), y, width)
            x += dash + gap

    def rect(self, x, y, w, h, width=0.2):
        self.hline(x - width / 2, x + w + width / 2, y, width)
        self.hline(x - width / 2, x + w + width / 2, y + h, width)
        self.vline(x, y, y + h, width)
        self.vline(x + w, y, y + h, width)

    def fill(self, x, y, w, h, tone=1.0):
        self.poly([(x, y), (x + w, y), (x + w, y + h), (x, y + h)], tone)

    def poly(self, points, tone=1.0):
        pts = np.asarray(points, float)
        self.ops.append(('poly', pts, tone, pts.min(0), pts.max(0)))

    def circle(self, cx, cy, r, width=-1, tone=1.0):
        self.ops.append(('circle', (cx, cy, r, width), tone,
                         np.array([cx - r, cy - r]), np.array([cx + r, cy + r])))

    def text(self, x, y, s, size=2.0, bold=False, align='left', font=SIMPLEX, tone=1.0,
             fit=None, condense=1.0):
        """`y` is the baseline, `size` the height of a capital in mm. A text wider than
        `fit` mm is first condensed (down to 0.72 of its width), then made smaller."""
        s = str(s)
        (w1, _), _ = cv2.getTextSize(s, font, 1.0, 1)
        width = w1 * size / CAP[font] * condense
        if fit and width > fit:
            condense = max(0.72, condense * fit / width)
            width = w1 * size / CAP[font] * condense
            if width > fit:
                size *= fit / width
                width = fit
        if align == 'right':
            x -= width
        elif align == 'center':
            x -= width / 2
        stroke = size * (0.16 if bold else 0.095)
        self.ops.append(('text', (x, y, s, size, font, stroke, condense), tone,
                         np.array([x, y - size * 1.2]), np.array([x + width, y + size * 0.45])))

    # ---- composites
    def box(self, x, y, w, h, label=None, value=None, value_size=2.0, bold=False,
            align='left', label_size=1.25):
        self.rect(x, y, w, h)
        if label:
            self.text(x + 0.8, y + 0.8 + label_size, label, label_size)
        if value is not None:
            vx = x + w - 1.0 if align == 'right' else x + 1.0
            self.text(vx, y + h - 1.2, value, value_size, bold=bold, align=align)

    def lines_of_text(self, x, y, lines, size=1.6, leading=1.7, **kw):
        for i, s in enumerate(lines):
            self.text(x, y + i * size * leading, s, size, **kw)

    def bars(self, x, y, widths, module, height, symbology, quiet):
        """Bars from (x, y): `widths` in modules, bar first."""
        pos = x
        for i, w in enumerate(widths):
            if i % 2 == 0:
                self.fill(pos, y, w * module, height)
            pos += w * module
        self.barcode = {'x': x, 'y': y, 'w': pos - x, 'h': height, 'symbology': symbology,
                        'module': module, 'quiet': quiet}


# ------------------------------------------------------------------ rasterising

def rasterise(page, x0, y0, x1, y1, density):
    """Ink coverage (0..255) of the page's rectangle [x0, x1] x [y0, y1] mm at `density`
    pixels per mm."""
    w = int(np.ceil((x1 - x0) * density))
    h = int(np.ceil((y1 - y0) * density))
    ink = np.zeros((h, w), np.uint8)
    lo, hi = np.array([x0, y0]), np.array([x1, y1])
    for kind, args, tone, bmin, bmax in page.ops:
        if np.any(bmax < lo) or np.any(bmin > hi):
            continue
        value = int(round(255 * tone))
        if kind == 'poly':
            pts = np.round((args - lo) * density * SUB).astype(np.int64)
            # Far outside the region, cv2 coordinates would overflow; clamping keeps edges.
            pts = np.clip(pts, -8 * SUB * max(w, h), 8 * SUB * max(w, h)).astype(np.int32)
            cv2.fillConvexPoly(ink, pts, value, cv2.LINE_AA, 4)
        elif kind == 'circle':
            cx, cy, r, width = args
            centre = (int(round((cx - x0) * density * SUB)), int(round((cy - y0) * density * SUB)))
            thick = -1 if width < 0 else max(1, int(round(width * density)))
            cv2.circle(ink, centre, int(round(r * density * SUB)), value, thick, cv2.LINE_AA, 4)
        else:
            x, y, s, size, font, stroke, condense = args
            scale = size * density / CAP[font]
            thick = max(1, int(round(stroke * density)))
            org = (int(round((x - x0) * density)), int(round((y - y0) * density)))
            if condense == 1.0:
                cv2.putText(ink, s, org, font, scale, value, thick, cv2.LINE_AA)
                continue
            # Condensed: drawn at full width on a canvas of its own, then squeezed.
            (tw, th), base = cv2.getTextSize(s, font, scale, thick)
            pad = thick + 2
            canvas = np.zeros((th + base + 2 * pad, tw + 2 * pad), np.uint8)
            cv2.putText(canvas, s, (pad, th + pad), font, scale, value, thick, cv2.LINE_AA)
            cw = max(1, int(round(canvas.shape[1] * condense)))
            canvas = cv2.resize(canvas, (cw, canvas.shape[0]), interpolation=cv2.INTER_AREA)
            left, top = org[0] - int(round(pad * condense)), org[1] - th - pad
            a0, b0 = max(0, top), max(0, left)
            a1, b1 = min(h, top + canvas.shape[0]), min(w, left + cw)
            if a1 > a0 and b1 > b0:
                region = ink[a0:a1, b0:b1]
                np.maximum(region, canvas[a0 - top:a1 - top, b0 - left:b1 - left], out=region)
    return ink


# ------------------------------------------------------------------ made-up content

FIRST = ['MARIA', 'JOSE', 'ANA', 'JOAO', 'FRANCISCA', 'ANTONIO', 'ADRIANA', 'CARLOS', 'JULIANA',
         'PAULO', 'MARCIA', 'LUCAS', 'FERNANDA', 'RAFAEL', 'PATRICIA', 'MARCOS', 'ALINE']
LAST = ['DA SILVA', 'DOS SANTOS', 'OLIVEIRA', 'SOUZA', 'RODRIGUES', 'FERREIRA', 'ALVES',
        'PEREIRA', 'LIMA', 'GOMES', 'RIBEIRO', 'CARVALHO', 'MARTINS', 'ROCHA', 'BARBOSA']
FIRMS = ['COMERCIAL ALVORADA', 'DISTRIBUIDORA HORIZONTE', 'ATACADO BOA VISTA', 'TECNOPECAS',
         'MADEIREIRA SAO JORGE', 'PAPELARIA CENTRAL', 'METALURGICA UNIAO', 'FARMA VIDA',
         'AUTO PECAS PARANA', 'CONFECCOES PRIMAVERA', 'ELETRO NORTE SUL', 'AGRO CAMPO VERDE']
STREETS = ['RUA DAS PALMEIRAS', 'AV. BRASIL', 'RUA SETE DE SETEMBRO', 'AV. DAS NACOES',
           'RUA DOM PEDRO II', 'RUA TIRADENTES', 'AV. INDEPENDENCIA', 'RUA DAS FLORES',
           'ROD. BR-116 KM 12', 'RUA QUINZE DE NOVEMBRO', 'AV. GETULIO VARGAS']
CITIES = [('SAO PAULO', 'SP'), ('CAMPINAS', 'SP'), ('CURITIBA', 'PR'), ('BELO HORIZONTE', 'MG'),
          ('PORTO ALEGRE', 'RS'), ('SALVADOR', 'BA'), ('GOIANIA', 'GO'), ('RECIFE', 'PE'),
          ('FLORIANOPOLIS', 'SC'), ('RIO DE JANEIRO', 'RJ'), ('LONDRINA', 'PR')]
PRODUCTS = ['PARAFUSO SEXTAVADO 3/8 ZINCADO', 'CABO FLEXIVEL 2,5MM AZUL 100M', 'PAPEL A4 75G CX 10',
            'TINTA ACRILICA FOSCA 18L BRANCO', 'LUVA NITRILICA TAM M CX 100', 'DISJUNTOR 32A BIPOLAR',
            'CANETA ESFEROGRAFICA AZUL CX 50', 'OLEO LUBRIFICANTE 1L', 'FITA ADESIVA 45MM X 100M',
            'TOMADA 2P+T 10A BRANCA', 'CAIXA PAPELAO 40X30X20', 'LAMPADA LED 9W BIVOLT',
            'MANGUEIRA JARDIM 1/2 30M', 'ROLAMENTO 6205 2RS', 'DETERGENTE NEUTRO 5L']


def pick(rng, items):
    return items[int(rng.integers(len(items)))]


def person(rng):
    return f'{pick(rng, FIRST)} {pick(rng, FIRST)} {pick(rng, LAST)}'


def firm(rng):
    return f'{pick(rng, FIRMS)} {pick(rng, ["LTDA", "LTDA ME", "S.A.", "EIRELI", "COM. E IND. LTDA"])}'


def address(rng):
    city, uf = pick(rng, CITIES)
    cep = f'{int(rng.integers(10000, 99999)):05d}-{int(rng.integers(0, 999)):03d}'
    return (f'{pick(rng, STREETS)}, {int(rng.integers(10, 4000))}', f'{city} - {uf}  CEP {cep}')


def fmt_cnpj(c):
    return f'{c[:2]}.{c[2:5]}.{c[5:8]}/{c[8:12]}-{c[12:]}'


def bank_digit(bank):
    r = codes.mod11_remainder(bank)
    d = 11 - r
    return '0' if d >= 10 else str(d)


# ------------------------------------------------------------------ layouts

def itf_barcode(page, x, y, code, narrow=0.254, height=13.0):
    page.bars(x, y, barcodes.itf(code), narrow, height, 'itf', quiet=10 * narrow)


def qr_code(page, x, y, text, side):
    """A QR code of `text` at error correction M, `side` mm wide from (x, y), its quiet
    zone of 4 modules left white around it. Each row's dark run is one fill."""
    qr = QrCode.encode_text(text, QrCode.Ecc.MEDIUM)
    n = qr.get_size()
    module = side / n
    for r in range(n):
        c = 0
        while c < n:
            if not qr.get_module(c, r):
                c += 1
                continue
            end = c
            while end < n and qr.get_module(end, r):
                end += 1
            page.fill(x + c * module, y + r * module, (end - c) * module, module)
            c = end
    page.qr = {'x': x, 'y': y, 'w': side, 'h': side, 'symbology': 'qr', 'module': module,
               'quiet': 4 * module, 'modules': n}
    return page.qr


def pix_mark(page, x, y, size):
    """The Pix sign that bills print beside their QR code, from its bottom left (x, y): a
    diamond with a hollow and the word."""
    cx, cy, r = x + size / 2, y - size / 2, size / 2
    page.poly([(cx, cy - r), (cx + r, cy), (cx, cy + r), (cx - r, cy)], 0.9)
    r *= 0.45
    page.poly([(cx, cy - r), (cx + r, cy), (cx, cy + r), (cx - r, cy)], 0.0)
    page.text(x + size * 1.25, y - 0.12 * size, 'pix', size * 0.75, bold=True)


def bank_slip(rng, code, info, pix=False):
    """A bank slip on A4: the payer's receipt, a statement, and the compensation form
    with the typeable line above its grid and the barcode at its bottom left. With `pix`,
    the form's instructions also carry a Pix QR code of the slip's charge (its code in
    info['pix'])."""
    p = Page()
    bank = code[:3]
    name = info['bank'].upper()
    typeable = codes.bank_typeable(code)
    value = codes.money(info['cents'])
    payee, payer = firm(rng), person(rng)
    street, city = address(rng)
    our_number = f'{int(rng.integers(10**9, 10**10))}-{int(rng.integers(0, 10))}'
    agency = f'{int(rng.integers(1000, 9999))}/{int(rng.integers(10000, 999999))}-{int(rng.integers(0, 10))}'
    doc_no = f'{int(rng.integers(1000, 99999))}/{int(rng.integers(1, 12)):02d}'
    issued = f'{int(rng.integers(1, 28)):02d}/{int(rng.integers(1, 12)):02d}/2025'
    x0, W = 15.0, 180.0

    p.text(x0, 16, 'Instrucoes de impressao', 2.2, bold=True)
    p.lines_of_text(x0, 21, [
        'Imprima em impressora jato de tinta (ink jet) ou laser em qualidade normal ou alta.',
        'Utilize folha A4 (210 x 297 mm) ou Carta (216 x 279 mm) e margens minimas a esquerda e a direita.',
        'Corte na linha indicada. Nao rasure, risque, fure ou dobre a regiao onde se encontra o codigo de barras.'],
        1.5)
    p.dashed(x0, x0 + W, 33)

    # The payer's receipt.
    y = 38
    p.text(x0, y + 7, name, 3.2, bold=True, fit=48)
    p.vline(x0 + 50, y + 1, y + 9, 0.5)
    p.text(x0 + 61, y + 7.5, f'{bank}-{bank_digit(bank)}', 4.0, bold=True, align='center', fit=19)
    p.vline(x0 + 72, y + 1, y + 9, 0.5)
    p.text(x0 + W, y + 7, 'Recibo do Pagador', 2.6, bold=True, align='right')
    y += 9.5
    p.box(x0, y, 110, 8.5, 'Beneficiario', payee)
    p.box(x0 + 110, y, 35, 8.5, 'Agencia/Codigo do Beneficiario', agency, 1.8)
    p.box(x0 + 145, y, 35, 8.5, 'Vencimento', info['due'], 2.0, bold=True, align='right')
    y += 8.5
    p.box(x0, y, 110, 8.5, 'Pagador', payer)
    p.box(x0 + 110, y, 35, 8.5, 'Nosso numero', our_number, 1.8)
    p.box(x0 + 145, y, 35, 8.5, 'Valor do documento', value, 2.0, bold=True, align='right')
    y += 8.5
    xs = x0
    for (w, label, v) in [(40, 'Data do documento', issued), (40, 'No do documento', doc_no),
                          (30, 'Especie', 'R$'), (35, 'Carteira', str(int(rng.integers(1, 200)))),
                          (35, '(=) Valor cobrado', '')]:
        p.box(xs, y, w, 8.5, label, v, 1.8)
        xs += w
    y += 8.5
    p.box(x0, y, W, 20, 'Demonstrativo')
    p.lines_of_text(x0 + 2, y + 6.5, [
        f'Referente a: {pick(rng, ["mensalidade", "fatura", "pedido", "parcela"])} '
        f'{int(rng.integers(1, 12))}/{int(rng.integers(2, 13))}',
        'Apos o vencimento cobrar multa de 2% e juros de 0,033% ao dia.',
        'Nao receber apos 30 dias do vencimento.'], 1.6)
    p.text(x0 + W, y + 24, 'Autenticacao mecanica', 1.5, align='right')

    # A statement between the receipt and the form.
    y = 118
    p.text(x0, y, 'DEMONSTRATIVO DE COBRANCA', 2.2, bold=True)
    p.hline(x0, x0 + W, y + 2)
    for i in range(int(rng.integers(3, 7))):
        yy = y + 7 + i * 4.2
        p.text(x0 + 2, yy, f'{i + 1:02d}  {pick(rng, PRODUCTS)}', 1.6)
        p.text(x0 + W - 2, yy, codes.money(int(rng.integers(500, 90000))), 1.6, align='right')
    p.dashed(x0, x0 + W, 160)
    p.text(x0 + W, 158.5, 'Corte na linha pontilhada', 1.4, align='right')

    # The compensation form.
    y = 166
    p.text(x0, y + 7.5, name, 3.0, bold=True, fit=38)
    p.vline(x0 + 40, y + 1, y + 10, 0.55)
    p.text(x0 + 50, y + 8.2, f'{bank}-{bank_digit(bank)}', 4.6, bold=True, align='center', fit=18)
    p.vline(x0 + 60, y + 1, y + 10, 0.55)
    p.text(x0 + W, y + 8, typeable, 3.4, bold=True, align='right', font=DUPLEX, fit=W - 62)
    y += 10.5
    p.hline(x0, x0 + W, y, 0.45)
    rows = [
        [(130, 'Local de pagamento', 'PAGAVEL EM QUALQUER BANCO ATE O VENCIMENTO', 'left'),
         (50, 'Vencimento', info['due'], 'right')],
        [(130, 'Beneficiario', f'{payee}  CNPJ {fmt_cnpj(codes.cnpj(rng))}', 'left'),
         (50, 'Agencia / Codigo do Beneficiario', agency, 'right')],
        [(28, 'Data do documento', issued, 'left'), (32, 'No do documento', doc_no, 'left'),
         (18, 'Especie doc.', 'DM', 'left'), (14, 'Aceite', 'N', 'left'),
         (38, 'Data processamento', issued, 'left'), (50, 'Nosso numero', our_number, 'right')],
        [(28, 'Uso do banco', '', 'left'), (20, 'Carteira', str(int(rng.integers(1, 200))), 'left'),
         (14, 'Especie', 'R$', 'left'), (30, 'Quantidade', '', 'left'),
         (38, '(x) Valor', '', 'left'), (50, '(=) Valor do documento', value, 'right')],
    ]
    for row in rows:
        xs = x0
        for (w, label, v, align) in row:
            p.box(xs, y, w, 8.5, label, v, 2.0, bold=(align == 'right'), align=align)
            xs += w
        y += 8.5
    p.box(x0, y, 130, 40, 'Instrucoes (Texto de responsabilidade do beneficiario)')
    p.lines_of_text(x0 + 2, y + 7, [
        f'APOS {info["due"]} COBRAR MULTA DE R$ {codes.money(info["cents"] // 50)}',
        'JUROS DE MORA DE 0,033% AO DIA.',
        'NAO RECEBER APOS 30 DIAS DO VENCIMENTO.',
        'SAC 0800 000 0000 - OUVIDORIA 0800 000 0001'] +
        (['PAGUE TAMBEM COM PIX: LEIA O QR CODE AO LADO.'] if pix else []), 1.7)
    if pix:
        info['pix'] = codes.pix_code(rng, payee, pick(rng, CITIES)[0], cents=info['cents'],
                                     dynamic=True)
        side = float(rng.uniform(25.0, 31.0))
        qx, qy = x0 + 130 - side - 3.2, y + 40 - side - 3.0
        qr_code(p, qx, qy, info['pix'], side)
        pix_mark(p, qx - 19, qy + side / 2 - 1.5, 4.0)
        p.text(qx - 3, qy + side / 2 + 3.5, 'Pague com Pix', 1.7, bold=True, align='right')
    for i, label in enumerate(['(-) Desconto / Abatimento', '(-) Outras deducoes',
                               '(+) Mora / Multa', '(+) Outros acrescimos', '(=) Valor cobrado']):
        p.box(x0 + 130, y + 8 * i, 50, 8, label)
    y += 40
    p.box(x0, y, W, 15, 'Pagador')
    p.lines_of_text(x0 + 2, y + 6, [f'{payer}  CPF {int(rng.integers(100, 999))}.'
                                    f'{int(rng.integers(100, 999))}.{int(rng.integers(100, 999))}-'
                                    f'{int(rng.integers(10, 99))}', street, city], 1.7)
    y += 15
    p.text(x0 + 1, y + 2.8, 'Sacador/Avalista', 1.3)
    p.text(x0 + W, y + 2.8, 'Autenticacao mecanica - Ficha de Compensacao', 1.5,
           align='right', bold=True)
    itf_barcode(p, x0, y + 4.0, code)
    return p


def utility_bill(rng, code, info):
    """A utility bill: the company's header, the customer's data, the charges, a
    consumption history, and the stub with the typeable line and the barcode."""
    p = Page()
    x0, W = 15.0, 180.0
    company = {'Energia': 'CIA ENERGETICA REGIONAL', 'Saneamento': 'AGUAS DO VALE S.A.',
               'Telecomunicacoes': 'TELEFONICA INTERIOR S.A.', 'Prefeitura': 'PREFEITURA MUNICIPAL',
               'Orgao governamental': 'SECRETARIA DA FAZENDA', 'Multa de transito':
               'DEPARTAMENTO DE TRANSITO'}[info['segment']]
    unit = {'Energia': 'kWh', 'Saneamento': 'm3', 'Telecomunicacoes': 'min'}.get(info['segment'], 'un')
    value = codes.money(info['cents'])
    month = int(rng.integers(1, 13))
    due = f'{int(rng.integers(1, 28)):02d}/{month:02d}/2026'
    customer, (street, city) = person(rng), address(rng)

    p.circle(x0 + 9, 22, 8.5, -1, 0.85)
    p.circle(x0 + 9, 22, 5, -1, 0.0)
    p.text(x0 + 22, 21, company, 4.2, bold=True)
    p.text(x0 + 22, 27, f'CNPJ {fmt_cnpj(codes.cnpj(rng))}  -  {address(rng)[0]}', 1.6)
    p.text(x0 + W, 16, 'FATURA / CONTA', 2.6, bold=True, align='right')
    p.text(x0 + W, 21, f'No {int(rng.integers(10**7, 10**8))}', 1.8, align='right')
    p.hline(x0, x0 + W, 33, 0.5)

    y = 37
    p.box(x0, y, 120, 9, 'Nome do cliente', customer)
    p.box(x0 + 120, y, 60, 9, 'Instalacao / Matricula', str(int(rng.integers(10**6, 10**8))))
    y += 9
    p.box(x0, y, 120, 9, 'Endereco', f'{street} - {city}', 1.8)
    p.box(x0 + 120, y, 30, 9, 'Referencia', f'{month:02d}/2026')
    p.box(x0 + 150, y, 30, 9, 'Vencimento', due, bold=True, align='right')
    y += 9
    p.fill(x0 + 120, y, 60, 12, 0.12)
    p.box(x0, y, 120, 12, 'Leituras', f'Anterior {int(rng.integers(1000, 9000))}   '
          f'Atual {int(rng.integers(1000, 9000))}   Consumo {int(rng.integers(50, 600))} {unit}', 1.8)
    p.box(x0 + 120, y, 60, 12, 'Total a pagar (R$)', value, 3.6, bold=True, align='right')

    y = 76
    p.text(x0, y, 'DESCRICAO DO FATURAMENTO', 2.0, bold=True)
    p.fill(x0, y + 2, W, 5, 0.15)
    for x, label in [(2, 'Item'), (90, 'Quant.'), (115, 'Tarifa'), (150, 'Valor (R$)')]:
        p.text(x0 + x, y + 5.7, label, 1.5, bold=True)
    items = ['Consumo', 'Adicional bandeira', 'Contrib. iluminacao publica', 'Tributos',
             'Multa/juros mes anterior', 'Servicos']
    for i, item in enumerate(items[:int(rng.integers(3, 7))]):
        yy = y + 11 + i * 4.5
        p.text(x0 + 2, yy, item, 1.6)
        p.text(x0 + 90, yy, str(int(rng.integers(1, 500))), 1.6)
        p.text(x0 + 115, yy, f'0,{int(rng.integers(10000, 99999))}', 1.6)
        p.text(x0 + 150, yy, codes.money(int(rng.integers(100, 20000))), 1.6)
    p.hline(x0, x0 + W, y + 40)

    y = 126
    p.text(x0, y, f'HISTORICO DE CONSUMO ({unit})', 2.0, bold=True)
    base = y + 38
    p.hline(x0, x0 + 110, base, 0.25)
    for i in range(12):
        h = float(rng.uniform(8, 32))
        p.fill(x0 + 3 + i * 9, base - h, 5, h, 0.55)
        p.text(x0 + 5.5 + i * 9, base + 3, f'{(month - 12 + i) % 12 + 1:02d}', 1.2, align='center')
    p.box(x0 + 120, y - 3, 60, 45, 'Avisos')
    p.lines_of_text(x0 + 122, y + 5, [
        'Pague em dia e evite', 'multa e juros.', 'Debito automatico:', 'fale com seu banco.',
        'Atendimento 24h:', '0800 000 0000'], 1.6)
    p.lines_of_text(x0, 178, [
        'Conta sujeita a corte apos 30 dias do vencimento, conforme regulamento.',
        'Qualidade: indicadores de continuidade do mes de referencia disponiveis no site.',
        'Guarde este documento por 5 anos.'], 1.6)

    p.dashed(x0 - 5, x0 + W + 5, 205)
    p.text(x0, 203.5, 'Corte aqui', 1.3)
    y = 212
    p.text(x0, y, company, 2.6, bold=True)
    p.text(x0 + W, y, 'Autenticacao mecanica', 1.5, align='right')
    y += 3
    for (x, w, label, v) in [(0, 50, 'Matricula', str(int(rng.integers(10**6, 10**8)))),
                             (50, 35, 'Referencia', f'{month:02d}/2026'),
                             (85, 45, 'Vencimento', due), (130, 50, 'Total a pagar (R$)', value)]:
        p.box(x0 + x, y, w, 9, label, v, 2.0, bold=True)
    y += 17
    p.text(x0, y, codes.collection_typeable(code), 3.4, bold=True, font=DUPLEX, fit=W)
    itf_barcode(p, x0, y + 4, code)
    p.text(x0, y + 23, 'Pagavel nos bancos, lotericas e correspondentes bancarios.', 1.5)
    return p


def danfe(rng, code, info):
    """The first page of a DANFE: the receipt stub, the issuer, the DANFE box and, at the
    top right, the access key's Code 128 barcode with the key below it."""
    p = Page()
    x0, x1 = 8.0, 202.0
    issuer, (street, city) = firm(rng), address(rng)
    number = f'{info["number"]:09d}'
    number = f'{number[:3]}.{number[3:6]}.{number[6:]}'
    series = f'{info["series"]:03d}'

    p.rect(x0, 8, 160, 19)
    p.lines_of_text(x0 + 1, 11, [f'RECEBEMOS DE {issuer} OS PRODUTOS E/OU SERVICOS CONSTANTES DA NOTA',
                                  'FISCAL ELETRONICA INDICADA AO LADO'], 1.4)
    p.box(x0, 16, 40, 11, 'DATA DE RECEBIMENTO')
    p.box(x0 + 40, 16, 120, 11, 'IDENTIFICACAO E ASSINATURA DO RECEBEDOR')
    p.rect(168, 8, 34, 19)
    p.text(185, 14, 'NF-e', 3.2, bold=True, align='center')
    p.text(185, 19.5, f'No {number}', 2.0, bold=True, align='center')
    p.text(185, 24, f'SERIE {series}', 2.0, bold=True, align='center')
    p.dashed(x0, x1, 30)

    y = 33
    p.box(x0, y, 80, 46, 'IDENTIFICACAO DO EMITENTE')
    p.text(x0 + 40, y + 12, issuer[:28], 2.6, bold=True, align='center')
    p.lines_of_text(x0 + 40, y + 20, [street, city, f'Fone: (11) {int(rng.integers(2000, 9999))}-'
                                      f'{int(rng.integers(1000, 9999))}'], 1.7, align='center')
    p.rect(x0 + 80, y, 32, 46)
    cx = x0 + 96
    p.text(cx, y + 8, 'DANFE', 4.4, bold=True, align='center')
    p.lines_of_text(cx, y + 12.5, ['DOCUMENTO AUXILIAR', 'DA NOTA FISCAL', 'ELETRONICA'], 1.3,
                    align='center')
    p.lines_of_text(x0 + 82, y + 23, ['0 - ENTRADA', '1 - SAIDA'], 1.4)
    p.rect(x0 + 104, y + 20, 5, 5)
    p.text(x0 + 106.5, y + 24, '1', 2.4, bold=True, align='center')
    p.lines_of_text(cx, y + 32, [f'No {number}', f'SERIE {series}', 'FOLHA 1/1'], 1.7,
                    bold=True, align='center')

    bx, bw = x0 + 112, x1 - (x0 + 112)
    p.rect(bx, y, bw, 17)
    module = float(rng.uniform(0.24, 0.27))
    height = float(rng.uniform(10.0, 13.0))
    widths = barcodes.code128c(code)
    length = sum(widths) * module
    p.bars(bx + (bw - length) / 2, y + (17 - height) / 2, widths, module, height, 'code128',
           quiet=10 * module)
    p.box(bx, y + 17, bw, 10, 'CHAVE DE ACESSO')
    p.text(bx + bw / 2, y + 25, codes.key_groups(code), 2.2, bold=True, align='center',
           fit=bw - 3)
    p.rect(bx, y + 27, bw, 19)
    p.lines_of_text(bx + bw / 2, y + 33, ['Consulta de autenticidade no portal nacional da NF-e',
                                          'www.nfe.fazenda.gov.br/portal ou no site da',
                                          'Sefaz Autorizadora'], 1.6, align='center')
    y += 46
    p.box(x0, y, 112, 8, 'NATUREZA DA OPERACAO', pick(rng, ['VENDA DE MERCADORIA',
                                                             'VENDA DE PRODUCAO DO ESTABELECIMENTO',
                                                             'REMESSA PARA CONSERTO']))
    p.box(x0 + 112, y, x1 - x0 - 112, 8, 'PROTOCOLO DE AUTORIZACAO DE USO',
          f'{int(rng.integers(10**14, 10**15))} - {int(rng.integers(1, 28)):02d}/03/2025 '
          f'{int(rng.integers(7, 19)):02d}:{int(rng.integers(0, 59)):02d}', 1.8)
    y += 8
    p.box(x0, y, 64, 8, 'INSCRICAO ESTADUAL', f'{int(rng.integers(10**11, 10**12))}')
    p.box(x0 + 64, y, 64, 8, 'INSC. ESTADUAL DO SUBST. TRIBUT.', '')
    p.box(x0 + 128, y, x1 - x0 - 128, 8, 'CNPJ', fmt_cnpj(info['cnpj']))
    y += 11
    sections = [('DESTINATARIO / REMETENTE', [
                    [(110, 'NOME / RAZAO SOCIAL', firm(rng)), (50, 'CNPJ / CPF', fmt_cnpj(codes.cnpj(rng))),
                     (34, 'DATA DA EMISSAO', '12/03/2025')],
                    [(90, 'ENDERECO', address(rng)[0]), (40, 'BAIRRO / DISTRITO', 'CENTRO'),
                     (30, 'CEP', f'{int(rng.integers(10000, 99999))}-000'), (34, 'DATA DA SAIDA', '12/03/2025')],
                    [(70, 'MUNICIPIO', pick(rng, CITIES)[0]), (30, 'FONE / FAX', ''), (10, 'UF', 'SP'),
                     (50, 'INSCRICAO ESTADUAL', ''), (34, 'HORA DA SAIDA', '14:20:00')]]),
                ('CALCULO DO IMPOSTO', [
                    [(32, 'BASE DE CALC. DO ICMS', ''), (32, 'VALOR DO ICMS', ''),
                     (32, 'BASE DE CALC. ICMS S.T.', ''), (32, 'VALOR DO ICMS SUBST.', ''),
                     (32, 'V. IMP. IMPORTACAO', '0,00'), (34, 'V. TOTAL PRODUTOS', '')],
                    [(32, 'VALOR DO FRETE', '0,00'), (32, 'VALOR DO SEGURO', '0,00'),
                     (32, 'DESCONTO', '0,00'), (32, 'OUTRAS DESPESAS', '0,00'),
                     (32, 'VALOR TOTAL IPI', '0,00'), (34, 'V. TOTAL DA NOTA', '')]]),
                ('TRANSPORTADOR / VOLUMES TRANSPORTADOS', [
                    [(70, 'NOME / RAZAO SOCIAL', firm(rng)), (30, 'FRETE POR CONTA', '0-EMITENTE'),
                     (24, 'CODIGO ANTT', ''), (24, 'PLACA DO VEICULO', ''), (10, 'UF', ''),
                     (36, 'CNPJ / CPF', '')],
                    [(24, 'QUANTIDADE', str(int(rng.integers(1, 40)))), (30, 'ESPECIE', 'CAIXA'),
                     (30, 'MARCA', ''), (30, 'NUMERACAO', ''), (40, 'PESO BRUTO', ''),
                     (40, 'PESO LIQUIDO', '')]])]
    total = int(rng.integers(10000, 5_000_000))
    for title, rows in sections:
        p.text(x0, y, title, 1.5, bold=True)
        y += 1
        for row in rows:
            xs = x0
            for (w, label, v) in row:
                if v == '' and 'TOTAL' in label:
                    v = codes.money(total)
                elif v == '' and ('ICMS' in label or 'BASE' in label):
                    v = codes.money(int(rng.integers(0, total)))
                p.box(xs, y, w, 7.5, label, v, 1.7, align='right' if v[:1].isdigit() else 'left')
                xs += w
            y += 7.5
        y += 3.5
    p.text(x0, y, 'DADOS DOS PRODUTOS / SERVICOS', 1.5, bold=True)
    y += 1
    cols = [(16, 'CODIGO'), (62, 'DESCRICAO DO PRODUTO / SERVICO'), (14, 'NCM/SH'), (8, 'CST'),
            (9, 'CFOP'), (8, 'UN'), (14, 'QUANT.'), (16, 'V.UNITARIO'), (16, 'V.TOTAL'),
            (14, 'BC ICMS'), (17, 'V.ICMS')]
    table_bottom = 252.0
    p.rect(x0, y, x1 - x0, table_bottom - y)
    xs = x0
    for w, label in cols:
        p.text(xs + 0.6, y + 3, label, 1.1)
        xs += w
        if xs < x1 - 1:
            p.vline(xs, y, table_bottom, 0.15)
    p.hline(x0, x1, y + 4.5, 0.2)
    yy = y + 8.5
    while yy < table_bottom - 2:
        row = [str(int(rng.integers(10000, 99999))), pick(rng, PRODUCTS),
               str(int(rng.integers(10**7, 10**8))), '000', '5102', 'UN',
               f'{int(rng.integers(1, 500))},0000', codes.money(int(rng.integers(100, 50000))),
               codes.money(int(rng.integers(100, 500000))), '', '']
        xs = x0
        for (w, _), v in zip(cols, row):
            p.text(xs + 0.6, yy, v, 1.25)
            xs += w
        yy += 4.2
    y = table_bottom + 3
    p.text(x0, y, 'DADOS ADICIONAIS', 1.5, bold=True)
    p.box(x0, y + 1, 130, 36, 'INFORMACOES COMPLEMENTARES')
    p.lines_of_text(x0 + 1.5, y + 7, ['DOCUMENTO EMITIDO POR ME OU EPP OPTANTE PELO SIMPLES NACIONAL.',
                                       'NAO GERA DIREITO A CREDITO FISCAL DE IPI.',
                                       f'PEDIDO {int(rng.integers(1000, 99999))} - VENDEDOR {pick(rng, FIRST)}'],
                    1.4)
    p.box(x0 + 130, y + 1, x1 - x0 - 130, 36, 'RESERVADO AO FISCO')
    return p


def make(kind, rng):
    """A page of `kind` with a new code: (page, code, info). The code is the one that the
    page sends by default: a slip's barcode, also where the slip has a Pix QR code."""
    if kind in ('bank-slip', 'bank-slip-pix'):
        code, info = codes.bank_slip(rng)
        return bank_slip(rng, code, info, pix=kind == 'bank-slip-pix'), code, info
    if kind == 'pix-bill':
        import pix_bill  # it draws with this module's pieces
        return pix_bill.make(rng)
    if kind == 'utility-bill':
        code, info = codes.collection_slip(rng)
        return utility_bill(rng, code, info), code, info
    code, info = codes.nfe_key(rng)
    return danfe(rng, code, info), code, info
