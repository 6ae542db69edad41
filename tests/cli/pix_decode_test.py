#!/usr/bin/env python3
"""zentory-cli decode against Pix codes made here, field by field, with a CRC of this
script's own: pix_decode_test.py COMMAND... (the program, after Wine's loader for the
Windows build). One run reads every code from standard input."""
import json
import subprocess
import sys


def field(tag, value):
    return f"{tag}{len(value):02d}{value}"


def crc16_ccitt_false(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc


def pix(key="", url="", amount="", name="FULANO", city="RECIFE", txid="***", skip=""):
    account = field("00", "br.gov.bcb.pix") + (field("01", key) if key else "")
    account += field("25", url) if url else ""
    parts = [("00", "01")]
    if url:
        parts.append(("01", "12"))
    parts += [("26", account), ("52", "0000"), ("53", "986")]
    if amount:
        parts.append(("54", amount))
    parts += [("58", "BR"), ("59", name), ("60", city), ("62", field("05", txid))]
    body = "".join(field(tag, value) for tag, value in parts if tag != skip) + "6304"
    return body + f"{crc16_ccitt_false(body.encode()):04X}"


def reais(amount):
    if not amount:
        return ""
    whole, _, cents = amount.partition(".")
    return "R$ " + f"{int(whole):,}".replace(",", ".") + "," + cents.ljust(2, "0")


UUID = "9d36b84f-c70b-478f-b95c-12729b90ca25"
valid = [
    dict(key="12345678909", amount="123.45", txid="PEDIDO123", kind="CPF"),
    dict(key="11222333000181", kind="CNPJ"),
    dict(key="+5511987654321", amount="1234.5", kind="telefone"),
    dict(key="contas@escola.com.br", amount="0.99", name="JOSÉ DA SILVA", city="SÃO PAULO",
         kind="e-mail"),
    dict(key=UUID, amount="10", name="Condomínio Ed Sol", txid="BOLETO2026", kind="chave aleatória"),
    dict(url="pix.example.com/qr/v2/" + UUID, amount="57.30", name="LOJA DE TESTE", kind=""),
]
good = pix(key=UUID)
invalid = {
    "wrong CRC": good[:-1] + ("0" if good[-1] != "0" else "1"),
    "cut short": good[:-10],
    "no field 59": pix(key=UUID, skip="59"),
    "a dot too many in the amount": pix(key=UUID, amount="1.2.3"),
    "a line separator in the name": pix(key=UUID, name="FULANO\u2028X"),
}

codes = []
for case in valid:
    args = {k: v for k, v in case.items() if k != "kind"}
    codes.append(pix(**args))
codes += invalid.values()

result = subprocess.run(sys.argv[1:] + ["decode"], input="\n".join(codes).encode() + b"\n",
                        capture_output=True, check=False)
failures = []
lines = [line for line in result.stdout.decode("ascii").splitlines() if line]
if result.returncode != 0 or len(lines) != len(codes):
    sys.exit(f"FAIL: decode exited {result.returncode} with {len(lines)} lines: "
             f"{result.stderr.decode(errors='replace')}")
decoded = [json.loads(line) for line in lines]

for case, code, got in zip(valid, codes, decoded):
    expected = {
        "code": code, "kind": "P", "valid": True, "value": reais(case.get("amount", "")),
        "name": case.get("name", "FULANO"), "city": case.get("city", "RECIFE"),
        "key": case.get("key", ""), "key_kind": case["kind"], "url": case.get("url", ""),
        "txid": case.get("txid", "***"),
    }
    for name, value in expected.items():
        if got.get(name) != value:
            failures.append(f"{code}: {name} is {got.get(name)!r}, not {value!r}")
    if not got.get("summary", "").startswith("Pix " + code):
        failures.append(f"{code}: summary {got.get('summary')!r}")

for (what, code), got in zip(invalid.items(), decoded[len(valid):]):
    if got.get("kind") != "P" or got.get("valid") is not False or not got.get("problem"):
        failures.append(f"{what}: {got}")

for failure in failures:
    print("FAIL:", failure)
if not failures:
    print(f"pix_decode_test: {len(codes)} codes read as this script reads them")
sys.exit(1 if failures else 0)
