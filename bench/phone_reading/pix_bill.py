"""A bill that is paid by Pix alone (a school's monthly fee, a condominium's charge, a
club's or a course's): the issuer's header, whom and what it charges, the items, and a
box "Pague com Pix" with the QR code, no barcode at all."""

import codes
from documents import (DUPLEX, CITIES, FIRST, LAST, STREETS, Page, address, fmt_cnpj, pick,
                       person, pix_mark, qr_code)

ISSUERS = {
    'school': (['COLEGIO', 'ESCOLA', 'CENTRO EDUCACIONAL', 'INSTITUTO DE ENSINO'],
               ['NOVO HORIZONTE', 'SAO JORGE', 'PEQUENO PRINCIPE', 'MONTE CASTELO', 'ALFA',
                'SANTA CLARA', 'DOM BOSCO', 'ARCO IRIS']),
    'condominium': (['CONDOMINIO RESIDENCIAL', 'CONDOMINIO EDIFICIO', 'CONDOMINIO'],
                    ['DAS PALMEIRAS', 'VILLAGE DO SOL', 'JARDIM EUROPA', 'PARQUE DAS ARVORES',
                     'PORTO SEGURO', 'SOLAR DAS FLORES', 'BELA VISTA']),
    'club': (['ASSOCIACAO ATLETICA', 'CLUBE RECREATIVO', 'ACADEMIA'],
             ['VILA NOVA', 'CORPO EM FORMA', 'UNIAO', 'ESPERANCA', 'PRIMAVERA']),
    'course': (['CURSO DE IDIOMAS', 'ESCOLA DE MUSICA', 'CURSO PREPARATORIO'],
               ['FLUENT', 'HARMONIA', 'APROVACAO', 'GLOBAL', 'NOTA DEZ']),
}
ITEMS = {
    'school': [('Mensalidade escolar', 60000, 250000), ('Material didatico', 5000, 40000),
               ('Alimentacao', 8000, 45000), ('Transporte escolar', 10000, 40000),
               ('Atividades extracurriculares', 5000, 25000)],
    'condominium': [('Taxa condominial', 30000, 180000), ('Fundo de reserva', 2000, 18000),
                    ('Consumo de agua', 3000, 25000), ('Consumo de gas', 1500, 12000),
                    ('Rateio de obras', 5000, 60000)],
    'club': [('Mensalidade', 8000, 40000), ('Taxa de manutencao', 1500, 9000),
             ('Aulas de natacao', 6000, 20000)],
    'course': [('Mensalidade', 20000, 90000), ('Material', 5000, 30000),
               ('Taxa de matricula', 5000, 20000)],
}
KEY_KINDS = (['cnpj', 'random', 'email', 'phone', 'cpf'], [0.35, 0.2, 0.2, 0.15, 0.1])


def make(rng):
    """(page, Pix code, info)."""
    p = Page()
    x0, W = 15.0, 180.0
    kind = str(rng.choice(list(ISSUERS)))
    heads, names = ISSUERS[kind]
    issuer = f'{pick(rng, heads)} {pick(rng, names)}'
    issuer_cnpj = codes.cnpj(rng)
    city, uf = pick(rng, CITIES)
    month = int(rng.integers(1, 13))
    due = f'{int(rng.integers(1, 28)):02d}/{month:02d}/2026'
    items = [ITEMS[kind][0]] + [it for it in ITEMS[kind][1:] if rng.random() < 0.45]
    charges = [(label, int(rng.integers(lo, hi))) for label, lo, hi in items]
    cents = sum(v for _, v in charges)

    # The issuer.
    p.rect(x0, 12, 20, 20, 0.6)
    p.text(x0 + 10, 25, ''.join(w[0] for w in issuer.split()[-2:]), 6.0, bold=True,
           align='center', font=DUPLEX)
    p.text(x0 + 25, 20, issuer, 4.0, bold=True, fit=W - 75)
    p.text(x0 + 25, 26, f'CNPJ {fmt_cnpj(issuer_cnpj)}  -  {pick(rng, STREETS)}, '
           f'{int(rng.integers(10, 3000))} - {city}/{uf}', 1.6, fit=W - 25)
    title = {'school': 'BOLETIM DE COBRANCA', 'condominium': 'AVISO DE COBRANCA',
             'club': 'COBRANCA MENSAL', 'course': 'COBRANCA MENSAL'}[kind]
    p.text(x0 + W, 16, title, 2.6, bold=True, align='right')
    p.text(x0 + W, 21, f'No {int(rng.integers(10**5, 10**7))}', 1.8, align='right')
    p.hline(x0, x0 + W, 36, 0.5)

    # Whom and what it charges.
    y = 40
    if kind == 'condominium':
        who = [(100, 'Condomino', person(rng)),
               (40, 'Bloco / Unidade', f'{pick(rng, "ABCD")} / {int(rng.integers(11, 1504))}')]
    elif kind == 'school':
        who = [(100, 'Aluno(a)', f'{pick(rng, FIRST)} {pick(rng, LAST)}'),
               (40, 'Turma', f'{int(rng.integers(1, 9))}o ANO {pick(rng, "ABC")}')]
    else:
        who = [(100, 'Associado / Aluno', person(rng)),
               (40, 'Matricula', str(int(rng.integers(10**4, 10**6))))]
    xs = x0
    for w, label, v in who + [(40, 'Referencia', f'{month:02d}/2026')]:
        p.box(xs, y, w, 9, label, v)
        xs += w
    y += 9
    street, place = address(rng)
    p.box(x0, y, 100, 9, 'Responsavel financeiro', person(rng))
    p.box(x0 + 100, y, 40, 9, 'Vencimento', due, bold=True)
    p.box(x0 + 140, y, 40, 9, 'Valor (R$)', codes.money(cents), 2.4, bold=True, align='right')
    y += 9
    p.box(x0, y, W, 9, 'Endereco', f'{street} - {place}', 1.8)

    y = 77
    p.text(x0, y, 'DISCRIMINACAO DOS VALORES', 2.0, bold=True)
    p.fill(x0, y + 2, W, 5, 0.15)
    p.text(x0 + 2, y + 5.7, 'Descricao', 1.5, bold=True)
    p.text(x0 + W - 2, y + 5.7, 'Valor (R$)', 1.5, bold=True, align='right')
    for i, (label, v) in enumerate(charges):
        yy = y + 11.5 + i * 4.8
        p.text(x0 + 2, yy, label, 1.7)
        p.text(x0 + W - 2, yy, codes.money(v), 1.7, align='right')
    yy = y + 11.5 + len(charges) * 4.8
    p.hline(x0, x0 + W, yy - 2.8)
    p.text(x0 + 2, yy + 1, 'TOTAL', 1.9, bold=True)
    p.text(x0 + W - 2, yy + 1, codes.money(cents), 1.9, bold=True, align='right')
    p.lines_of_text(x0, 128, [
        'Apos o vencimento: multa de 2% e juros de 1% ao mes, calculados no proximo aviso.',
        'Duvidas sobre esta cobranca: secretaria / administracao, de segunda a sexta, das 8h as 17h.',
        'Guarde o comprovante do pagamento.'], 1.6)

    # The Pix box: mostly a static code with the amount, else one without it (the payer
    # types it) or a dynamic one of the issuer's bank.
    roll = rng.random()
    dynamic = roll < 0.2
    amount = None if 0.2 <= roll < 0.32 else cents
    key_kind = str(rng.choice(KEY_KINDS[0], p=KEY_KINDS[1]))
    pix = codes.pix_code(rng, issuer, city, cents=amount, dynamic=dynamic, key_kind=key_kind,
                         key=issuer_cnpj if key_kind == 'cnpj' else None)
    side = float(rng.uniform(26.0, 35.0))
    copy = [pix[i:i + 100] for i in range(0, len(pix), 100)] if rng.random() < 0.55 else []
    bh = side + 20 + (6 + 2.1 * len(copy) if copy else 0)
    top = float(rng.uniform(150, 280 - bh))
    p.dashed(x0 - 5, x0 + W + 5, top - 4)
    p.rect(x0, top, W, bh, 0.35)
    qx, qy = x0 + 8, top + 12
    p.text(x0 + 4, top + 7.5, 'Pague com Pix', 3.6, bold=True)
    pix_mark(p, x0 + W - 22, top + 8, 5.0)
    qr_code(p, qx, qy, pix, side)
    tx = qx + side + 8
    steps = ['1. Abra o aplicativo do seu banco e escolha Pix.',
             '2. Escolha pagar com QR Code e aponte a camera para o codigo.',
             '3. Confira os dados e confirme o pagamento.']
    if amount is None:
        steps[2] = f'3. Informe o valor de R$ {codes.money(cents)} e confirme.'
    p.lines_of_text(tx, qy + 3, steps, 1.7, fit=x0 + W - tx - 3)
    facts = [('Beneficiario', issuer), ('CNPJ', fmt_cnpj(issuer_cnpj)),
             ('Valor', f'R$ {codes.money(cents)}'), ('Vencimento', due)]
    for i, (label, v) in enumerate(facts):
        yy = qy + 15 + i * 3.6
        p.text(tx, yy, f'{label}:', 1.6, bold=True)
        p.text(tx + 22, yy, v, 1.6, fit=x0 + W - tx - 25)
    p.text(tx, qy + max(side - 0.5, 29.5), 'O pagamento por Pix e compensado na hora.', 1.3)
    if copy:  # the code itself, for paying by copy and paste
        yy = qy + side + 6.5
        p.text(x0 + 4, yy, 'Pix Copia e Cola:', 1.4, bold=True)
        p.lines_of_text(x0 + 4, yy + 3.4, copy, 1.1, leading=1.9, fit=W - 8)
    p.barcode = p.qr
    return p, pix, {'cents': cents, 'due': due, 'pix': pix, 'dynamic': dynamic}
