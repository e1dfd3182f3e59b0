#!/usr/bin/env python3
"""Writes the case.json of the golden cases whose inputs are easier built than typed.
Run from this folder; then review the expected.txt the test writes with
GERARQPREV_UPDATE_GOLDEN=1 before committing it."""
import json, os

BASE = ["--empresa", "01", "--inicio", "01/01/2025", "--fim", "31/12/2025",
        "--apuracao", "31/12/2025", "--cpf", "529.982.247-25", "--cei", "CEI1", "--nit", "NIT1",
        "--suframa", "SUF1", "--cargo", "Contador", "--contab-inicio", "01/01/2025",
        "--contab-fim", "31/12/2025", "--info-inicio", "01/01/2025", "--info-fim", "31/12/2025",
        "--substituir"]

ID = {"NMRAZSOCEMPR": "Comercial Exemplo Ltda", "NRINSJUREMPR": "11.222.333/0001-81",
      "SGESTADO": "SP", "NRINSCESTA": "110.042.490.114", "CDMUNICIPIO": "3550",
      "NRREGJUNCOM": "35.2.1234567-8", "DTINI": "01012025", "DTFIN": "31/12/2025"}
CONT = {"NMCONTADOR": "Maria Contadora", "NRINSJURCONT": "12345678000195",
        "NRCPFRESPONS": "52998224725", "NRCRCCONT2": "1SP-123.456", "NRCEP": "01001000",
        "DSLOGRADOURO": "Rua Um, 100", "DSCOMPLLOGRA": "Sala 2", "DSBAIRRO": "Centro",
        "NRTELCONTATO": "1133334444", "NRFAXCONTATO": "1133335555",
        "DSENDINTERN": "contato@example.com"}
TEC = {"NMRAZSOCEMPR": "Sistemas Exemplo SA", "NRINSJUREMPR": "98765432000198",
       "NRTELEFOEMPR": "1144445555"}


def write(name, case):
    os.makedirs(name, exist_ok=True)
    with open(os.path.join(name, "case.json"), "w", encoding="utf-8") as f:
        json.dump(case, f, ensure_ascii=False, indent=1)
        f.write("\n")


def example():
    accounts = []
    for i in range(10):
        level = 1 if i < 2 else 2
        accounts.append({"DTATUALIZ": "01012025", "IND_NAT": "1" if i % 2 == 0 else "4",
                         "IDTIPOCONT": "S" if level == 1 else "A", "CDNVCONTCTBL": str(level),
                         "CDCONTCTBL": f"{1 + i % 2}.{i:02d}" if level == 2 else str(1 + i),
                         "CDCONTANTE": "" if level == 1 else str(1 + i % 2),
                         "NMCONTCTBL": f"Conta {i}"})
    analytic = [a["CDCONTCTBL"] for a in accounts if a["CDNVCONTCTBL"] == "2"]
    centres = [{"DTATUALIZ": "01/01/2025", "CDCENTCUST": "0001", "NMCENTCUST": "Administração"},
               {"DTATUALIZ": "01.01.2025", "CDCENTCUST": "0002", "NMCENTCUST": "Vendas"}]
    months, saldant, creddeb = [], [], []
    for m in range(1, 13):
        for acc in analytic[:2]:
            last = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][m - 1]
            months.append({"DTSALDEMPR": f"{last:02d}/{m:02d}/2025",
                           "MESANOSALDEMPR": f"{m:02d}/2025", "CDCONTCTBL": acc,
                           "VRSALDEMPR": 1000.0 * m + 0.5, "TIPOSALD": "D"})
    for acc in analytic[:2]:
        saldant.append({"match": ["01", f"_{acc}_"], "rows": [
            {"CDCONTCTBL": acc, "VRSALDEMPR": "1.500,00", "IDSALDOFIN": "D"}]})
        creddeb.append({"match": ["01", None, None, "", "T", acc], "rows": [{"VALOR": 200}]})
        creddeb.append({"match": ["01", None, None, "T", "", acc], "rows": [{"VALOR": 0.25}]})
    saldant.append({"match": ["01", "T", "T"], "rows": [
        {"CDCONTCTBL": analytic[j], "VRSALDEMPR": f"-{300 + j},00", "IDSALDOFIN": "C"}
        for j in range(3)]})
    postings, cc = [], []
    for k in range(100):
        entry, seq = f"{k // 2 + 1:06d}", str(k % 2 + 1)
        postings.append({"NRLANCCONT": entry, "DTLANCCONT": f"{k % 28 + 1:02d}/03/2025",
                         "CDCONTCTBL": analytic[k % len(analytic)], "CDDOCUCONT": f"NF{k}",
                         "DSHISTLANC": f"Histórico {k}", "VRLANCAMENT": "1.234,56",
                         "NRSEQLANC": seq, "IDNATLANC": "D" if seq == "1" else "C",
                         "VRTOTDC": "1234,56"})
        if k % 3 == 0:
            cc.append({"match": ["01", entry, seq], "rows": [{"CDCENTCUST": "0001"},
                                                             {"CDCENTCUST": "0002"}]})
    return {"args": BASE,
            "answers": {"getsaldmens": [{"rows": months}], "GetLancCont": [{"rows": postings}],
                        "GetIdContrib": [{"rows": [ID]}], "GetDadosCont": [{"rows": [CONT]}],
                        "GetDadosTecEmpr": [{"rows": [TEC]}],
                        "GetPlanContas": [{"rows": accounts}],
                        "GetCentrCust": [{"rows": centres}], "GetSaldAntEnc": saldant,
                        "getcreddeb": creddeb, "GetCcLanc": cc},
            "expect": {"exit": 0, "calls": 8 + 3 * 24 + 100,
                       "lines": {"I990": "I990|142", "9999": "9999|167"}}}


write("example", example())


def simple(answers, expect, args=None):
    return {"args": args or BASE, "answers": answers, "expect": expect}


# Every source empty: the placeholders, no I050 line and "9900|I050|0".
write("placeholders", simple({}, {"exit": 0, "calls": 8, "lines": {
    "I990": "I990|7", "9999": "9999|32", "I050": "9900|I050|0"}}))

# One account and everything else empty.
write("one_account", simple(
    {"GetPlanContas": [{"rows": [{"IND_NAT": "1", "IDTIPOCONT": "A", "CDNVCONTCTBL": "1",
                                  "CDCONTCTBL": "1", "CDCONTANTE": "", "NMCONTCTBL": "Ativo"}]}]},
    {"exit": 0, "calls": 8, "lines": {"I990": "I990|8", "9999": "9999|33"}}))

# The value-to-text rules.
rules_months = []
for v in [-150.5, 200, 0.25, 1.5e-7, 1e15, 1.005, None]:
    rules_months.append({"DTSALDEMPR": "15/01/2025", "MESANOSALDEMPR": "01/2025",
                         "CDCONTCTBL": "1.1.01", "VRSALDEMPR": v, "TIPOSALD": "C"})
write("value_rules", simple({
    "GetIdContrib": [{"rows": [ID]}],
    "GetDadosCont": [{"rows": [CONT]}],
    "getsaldmens": [{"rows": rules_months}],
    "GetSaldAntEnc": [{"match": ["01", "_1.1.01_", "", "45657"],
                       "rows": [{"VRSALDEMPR": "1.234,56", "IDSALDOFIN": "D"}]},
                      {"match": ["01", "T", "T", "31/12/2025"],
                       "rows": [{"CDCONTCTBL": "4.1", "VRSALDEMPR": "-300,00",
                                 "IDSALDOFIN": "D"}]}],
    "getcreddeb": [{"match": ["01", "01/01/2025", "31/01/2025", "", "T", "1.1.01"],
                    "rows": [{"VALOR": 200}]},
                   {"match": ["01", "01/01/2025", "31/01/2025", "T", "", "1.1.01"],
                    "rows": [{"VALOR": 1e-7}]}],
    "GetPlanContas": [{"rows": [
        {"IND_NAT": n, "IDTIPOCONT": "A", "CDNVCONTCTBL": "1", "CDCONTCTBL": str(i),
         "CDCONTANTE": "", "NMCONTCTBL": "N" + n}
        for i, n in enumerate(["1", "5", "0", "6", "A", "", "42"])]}],
    "GetCentrCust": [{"rows": [{"DTATUALIZ": "31/12/2024", "CDCENTCUST": "01",
                                "NMCENTCUST": "Centro"}]}],
    "GetLancCont": [{"rows": [{"NRLANCCONT": "7", "DTLANCCONT": "05/01/2025",
                               "CDCONTCTBL": "1.1.01", "CDDOCUCONT": "D1",
                               "DSHISTLANC": "Pago", "VRLANCAMENT": "-1.234,56",
                               "NRSEQLANC": "1", "IDNATLANC": "C"}]}],
}, {"exit": 0, "calls": 8 + 3 * 7 + 1},
    args=[a if a != "31/12/2025" or i != 7 else "15/06/2025"
          for i, a in enumerate(BASE)] + ["--centralizacao", "1", "--finalidade", "61"]))

# Separators and line breaks inside values become spaces and are reported.
write("separators", simple({
    "GetIdContrib": [{"rows": [dict(ID, NMRAZSOCEMPR="Empresa|Dois")]}],
    "GetLancCont": [{"rows": [{"NRLANCCONT": "1", "DTLANCCONT": "01012025", "CDCONTCTBL": "1",
                               "DSHISTLANC": "linha um\r\nlinha|dois", "VRLANCAMENT": "10",
                               "NRSEQLANC": "1", "IDNATLANC": "D"}]}]},
    {"exit": 0, "stdoutContains": ["ocorrências: 0000 linha 1 campo 2; I200 linha 10 campo 11",
                                   "gravados com espaço: 2."]}))

# Accented text in Windows-1252; a character without a byte there becomes "?".
write("accents", simple({
    "GetIdContrib": [{"rows": [dict(ID, NMRAZSOCEMPR="Açúcar – São João € Ltda")]}],
    "GetDadosCont": [{"rows": [dict(CONT, DSLOGRADOURO="Praça da Sé → 1")]}]},
    {"exit": 0, "stdoutContains": ["0050 linha 3 campo 9"]}))

# A server failure in the middle leaves the destination as it was.
write("server_failure", simple({
    "GetLancCont": [{"rows": [{"NRLANCCONT": str(k), "NRSEQLANC": "1"} for k in range(3)]}],
    "GetCcLanc": [{"call": 2, "error": {"code": 7, "message": "Falha no banco de dados."}}]},
    {"exit": 2, "preexisting": "conteúdo anterior\r\n", "stderrContains": ["Falha no banco"],
     "calls": 7 + 2}))
