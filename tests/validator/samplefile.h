#pragma once
#include <QByteArray>
#include <QList>
#include <map>

// A small consistent file of the kind the product writes: two months of an
// accounting year, four entries, balances that add up. Tests break one line
// of it and expect one finding.
namespace valtest {

inline QList<QByteArray> sampleBody() {
    return {
        "0000|EMPRESA DEMO LTDA|11222333000181||||SP|123456789|3550|12345678901||2|01012025|"
        "31122025|003|90|1",
        "0001|0",
        "0050|FULANO CONTADOR|11222333000181|11144477735|SP123456|01012025|31122025|01001000|"
        "RUA A|SALA 1||CENTRO|||1133334444|1133335555|contab@exemplo.com.br",
        "0100|SOFTWARE LTDA|ANALISTA|01012025|31122025|11222333000181|11144477735|1122223333|"
        "1133335555|www.exemplo.com.br",
        "I001|0",
        "I005|G",
        "I050|01012025|1|S|1|1||ATIVO",
        "I050|01012025|1|A|2|1.01|1|CAIXA",
        "I050|01012025|2|S|1|2||PASSIVO",
        "I050|01012025|2|A|2|2.01|2|FORNECEDORES",
        "I050|01012025|4|S|1|3||RESULTADO",
        "I050|01012025|4|A|2|3.01|3|RECEITAS",
        "I050|01012025|4|A|2|3.02|3|DESPESAS",
        "I100|01012025|CC1|ADMINISTRA\xC7\xC3O",
        "I150|1.01|012025|1000,00|D|300|400|900|D",
        "I150|2.01|012025|800|C|200|0|600|C",
        "I150|3.01|012025|0|C|0|300|300|C",
        "I150|3.02|012025|0|C|200|0|200|D",
        "I150|1.01|022025|900|D|0|50,5|849,5|D",
        "I150|3.02|022025|200|D|50,5|0|250,5|D",
        "I200|05012025|1.01|||300|D|NF1|1|N|VENDA A VISTA",
        "I200|05012025|3.01|||300|C|NF1|1|N|VENDA A VISTA",
        "I200|10012025|2.01|||200|D|DUP7|2|N|PAGTO FORNECEDOR",
        "I200|10012025|1.01|||200|C|DUP7|2|N|PAGTO FORNECEDOR",
        "I200|15012025|3.02|CC1||200|D|RC3|3|N|DESPESA",
        "I200|15012025|1.01|||200|C|RC3|3|N|DESPESA",
        "I200|03022025|3.02|CC1||50,5|D|RC4|4|N|DESPESA",
        "I200|03022025|1.01|||50,5|C|RC4|4|N|DESPESA",
        "I250|01122025|3.01|300|C",
        "I250|01122025|3.02|250,5|D",
    };
}

// Adds the closing lines of blocks 0 and I and the whole of block 9, with
// counts that match the body.
inline QList<QByteArray> withCounts(const QList<QByteArray>& body) {
    static const char* order[] = {"0000", "0001", "0050", "0100", "0990", "I001",
                                  "I005", "I050", "I100", "I150", "I200", "I250",
                                  "I990", "9001", "9900", "9990", "9999"};
    QList<QByteArray> lines;
    qsizetype block0 = 0, blockI = 0;
    for (const QByteArray& l : body) {
        if (l.startsWith('0'))
            ++block0;
        else
            ++blockI;
    }
    for (const QByteArray& l : body)
        if (l.startsWith('0'))
            lines << l;
    lines << "0990|" + QByteArray::number(block0 + 1);
    for (const QByteArray& l : body)
        if (!l.startsWith('0'))
            lines << l;
    lines << "I990|" + QByteArray::number(blockI + 1);
    lines << "9001|0";
    std::map<QByteArray, qsizetype> perType;
    for (const QByteArray& l : lines)
        ++perType[l.left(4)];
    for (const char* t : order) {
        qsizetype n = perType[t];
        if (QByteArray(t) == "9001" || QByteArray(t) == "9990" || QByteArray(t) == "9999")
            n = 1;
        if (QByteArray(t) == "9900")
            n = 17;
        lines << "9900|" + QByteArray(t) + "|" + QByteArray::number(n);
    }
    lines << "9990|20";
    lines << "9999|" + QByteArray::number(lines.size() + 1);
    return lines;
}

inline QByteArray joined(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

inline QByteArray sampleFile() {
    return joined(withCounts(sampleBody()));
}

} // namespace valtest
