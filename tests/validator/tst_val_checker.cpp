#include "generator/records.h"
#include "samplefile.h"
#include "validator/checker.h"
#include "validator/output.h"
#include "validator/rules.h"
#include <QTest>

using namespace validator;
using valtest::joined;
using valtest::sampleBody;
using valtest::withCounts;

namespace {

// The sample with one body line replaced (to empty: removed); counts follow.
QByteArray replaced(const QByteArray& from, const QByteArray& to) {
    QList<QByteArray> body = sampleBody();
    const qsizetype i = body.indexOf(from);
    if (i < 0)
        qFatal("sample has no line %s", from.constData());
    if (to.isEmpty())
        body.removeAt(i);
    else
        body[i] = to;
    return joined(withCounts(body));
}

QByteArray inserted(const QByteArray& after, const QByteArray& line) {
    QList<QByteArray> body = sampleBody();
    const qsizetype i = body.indexOf(after);
    if (i < 0)
        qFatal("sample has no line %s", after.constData());
    body.insert(i + 1, line);
    return joined(withCounts(body));
}

// The finished sample with one line replaced: counts stay as they were.
QByteArray replacedFinal(const QByteArray& from, const QByteArray& to) {
    QList<QByteArray> lines = withCounts(sampleBody());
    const qsizetype i = lines.indexOf(from);
    if (i < 0)
        qFatal("sample has no line %s", from.constData());
    lines[i] = to;
    return joined(lines);
}

QList<QByteArray> placeholderBody() {
    QList<QByteArray> body = sampleBody().mid(0, 6);
    body << "I100|||"
         << "I150|||||||"
         << "I200|||||||||N|"
         << "I250||||";
    return body;
}

// Line number of the first line that starts with text; 0 for none.
qint64 lineOf(const QByteArray& file, const QByteArray& text) {
    if (text.isEmpty())
        return 0;
    const QList<QByteArray> lines = file.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(text))
            return i + 1;
    return -1;
}

QString dump(const QList<Finding>& list) {
    QStringList s;
    for (const Finding& f : list)
        s << findingText(f);
    return s.join(QLatin1Char('\n'));
}

} // namespace

class ValChecker : public QObject {
    Q_OBJECT
private slots:
    void sampleIsClean();
    void placeholdersAreAccepted();
    void datesNotTiedToThePeriod();
    void findings_data();
    void findings();
    void entriesSpreadThroughTheFile_data();
    void entriesSpreadThroughTheFile();
    void chunkingDoesNotMatter();
    void summaryCountsLinesPerType();
    void listsAreCappedButCountsAreNot();
    void recordsFollowTheDeclaration_data();
    void recordsFollowTheDeclaration();
};

void ValChecker::sampleIsClean() {
    const Report r = checkText(valtest::sampleFile());
    QVERIFY2(r.errorCount() == 0, qPrintable(dump(r.errors())));
    QVERIFY2(r.warningCount() == 0, qPrintable(dump(r.warnings())));
}

void ValChecker::placeholdersAreAccepted() {
    const Report r = checkText(joined(withCounts(placeholderBody())));
    QVERIFY2(r.errorCount() == 0, qPrintable(dump(r.errors())));
    // Four placeholder lines and the empty chart of accounts.
    QCOMPARE(r.warningCount(), 5);
}

void ValChecker::datesNotTiedToThePeriod() {
    // A cost centre's update date and the service periods of the accountant
    // and the supplier may lie anywhere.
    QList<QByteArray> body = sampleBody();
    body[2].replace("|01012025|31122025|", "|01012019|31122030|");
    body[3].replace("|01012025|31122025|", "|01012019|31122030|");
    body[13].replace("I100|01012025|", "I100|15032011|");
    const Report r = checkText(joined(withCounts(body)));
    QVERIFY2(r.errorCount() == 0, qPrintable(dump(r.errors())));
    QVERIFY2(r.warningCount() == 0, qPrintable(dump(r.warnings())));
}

void ValChecker::findings_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("severity"); // "E" or "W"
    QTest::addColumn<QByteArray>("at");    // start of the line reported; empty: the file
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("errors"); // errors in all; -1 when a break has knock-on effects

    const QByteArray good = valtest::sampleFile();
    QByteArray lfOnly = good;
    lfOnly.replace("0001|0\r\n", "0001|0\n");
    QByteArray noFinalCrLf = good;
    noFinalCrLf.chop(2);

    // Format
    QTest::addRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + good << "E"
                                     << QByteArray("\xEF") << QByteArray("0000") << 0 << "BOM" << 1;
    QTest::addRow("line ended by LF alone")
        << lfOnly << "E" << QByteArray("0001") << QByteArray("0001") << 0 << "só por LF" << 1;
    QTest::addRow("last line without CR LF")
        << noFinalCrLf << "E" << QByteArray("9999") << QByteArray("9999") << 0 << "sem CR LF" << 1;
    QTest::addRow("line after the trailer") << good + "9001|1\r\n"
                                            << "E" << QByteArray("9001|1") << QByteArray("9001")
                                            << 0 << "depois do registro 9999" << -1;
    QTest::addRow("empty line") << replacedFinal("I005|G", "") << "E" << QByteArray("\r")
                                << QByteArray("?") << 1 << "linha vazia" << -1;
    QTest::addRow("unknown record type")
        << replacedFinal("I005|G", "I006|G") << "E" << QByteArray("I006") << QByteArray("?") << 1
        << "desconhecido: \"I006\"" << -1;
    QTest::addRow("UTF-8 text") << replaced("I100|01012025|CC1|ADMINISTRA\xC7\xC3O",
                                            "I100|01012025|CC1|ADMINISTRA\xC3\x87\xC3\x83O")
                                << "E" << QByteArray("I100") << QByteArray("I100") << 4 << "UTF-8"
                                << 1;
    QTest::addRow("byte undefined in Windows-1252")
        << replaced("I050|01012025|1|S|1|1||ATIVO", "I050|01012025|1|S|1|1||ATIVO\x81") << "E"
        << QByteArray("I050|01012025|1|S") << QByteArray("I050") << 8 << "0x81" << 1;
    QTest::addRow("field count") << replaced("I250|01122025|3.01|300|C", "I250|01122025|3.01|300")
                                 << "E" << QByteArray("I250|01122025|3.01|300")
                                 << QByteArray("I250") << 0 << "4 campos; o registro I250 tem 5"
                                 << 1;
    QTest::addRow("pipe inside the history text")
        << replaced("I200|05012025|1.01|||300|D|NF1|1|N|VENDA A VISTA",
                    "I200|05012025|1.01|||300|D|NF1|1|N|VENDA A|VISTA")
        << "E" << QByteArray("I200|05012025|1.01") << QByteArray("I200") << 0
        << "dentro do último campo" << 1;
    QTest::addRow("record out of order") <<
        [] {
            QList<QByteArray> body = sampleBody();
            body.swapItemsAt(2, 3);
            return joined(withCounts(body));
        }() << "E" << QByteArray("0050") << QByteArray("0050")
                                         << 0 << "fora de ordem" << 1;
    QTest::addRow("block opened twice")
        << inserted("I005|G", "I001|1") << "E" << QByteArray("I001|1") << QByteArray("I001") << 0
        << "repetido" << 1;
    QTest::addRow("record missing") << replaced(sampleBody()[3], "") << "E" << QByteArray()
                                    << QByteArray("0100") << 0 << "ausente" << 1;

    // Counts
    QTest::addRow("0990 count") << replacedFinal("0990|5", "0990|6") << "E" << QByteArray("0990")
                                << QByteArray("0990") << 2 << "o bloco 0 tem 5" << 1;
    QTest::addRow("I990 count") << replacedFinal("I990|27", "I990|26") << "E" << QByteArray("I990")
                                << QByteArray("I990") << 2 << "o bloco I tem 27" << 1;
    QTest::addRow("9990 count") << replacedFinal("9990|20", "9990|19") << "E" << QByteArray("9990")
                                << QByteArray("9990") << 2 << "o bloco 9 tem 20" << 1;
    QTest::addRow("9999 count") << replacedFinal("9999|52", "9999|53") << "E" << QByteArray("9999")
                                << QByteArray("9999") << 2 << "o arquivo tem 52" << 1;
    QTest::addRow("9900 count") << replacedFinal("9900|I150|6", "9900|I150|7") << "E"
                                << QByteArray("9900|I150") << QByteArray("9900") << 3
                                << "declara 7 linhas do registro I150; o arquivo tem 6" << 1;
    QTest::addRow("9900 declares a chart that is not there") <<
        [] {
            QList<QByteArray> lines = withCounts(placeholderBody());
            lines[lines.indexOf("9900|I050|0")] = "9900|I050|1";
            return joined(lines);
        }() << "E" << QByteArray("9900|I050") << QByteArray("9900")
                                                             << 3 << "o arquivo tem 0" << 1;
    QTest::addRow("9900 missing for a type")
        << replacedFinal("9900|I100|1", "9900|I100X|1") << "E" << QByteArray() << QByteArray("9900")
        << 0 << "nenhum 9900" << -1;

    // Values: block 0
    QByteArray r0000 = sampleBody()[0];
    QTest::addRow("date not in the calendar")
        << replaced(r0000, QByteArray(r0000).replace("|01012025|", "|32012025|")) << "E"
        << QByteArray("0000") << QByteArray("0000") << 13 << "inexistente" << 1;
    QTest::addRow("period end before start")
        << replaced(r0000, QByteArray(r0000).replace("|01012025|", "|01012026|")) << "E"
        << QByteArray("0000") << QByteArray("0000") << 14 << "anterior" << 1;
    QTest::addRow("centralisation code")
        << replaced(r0000, QByteArray(r0000).replace("||2|", "||3|")) << "E" << QByteArray("0000")
        << QByteArray("0000") << 12 << "0, 1, 2" << 1;
    QTest::addRow("purpose code") << replaced(r0000, QByteArray(r0000).replace("|90|", "|63|"))
                                  << "E" << QByteArray("0000") << QByteArray("0000") << 16
                                  << "61, 62, 90" << 1;
    QTest::addRow("company CNPJ check digits")
        << replaced(r0000, QByteArray(r0000).replace("11222333000181", "11222333000182")) << "E"
        << QByteArray("0000") << QByteArray("0000") << 3 << "verificadores" << 1;
    QTest::addRow("company CNPJ with separators")
        << replaced(r0000, QByteArray(r0000).replace("11222333000181", "11.222.333/0001-81")) << "W"
        << QByteArray("0000") << QByteArray("0000") << 3 << "separadores" << 0;
    const QByteArray r0050 = sampleBody()[2];
    QTest::addRow("accountant CPF check digits")
        << replaced(r0050, QByteArray(r0050).replace("11144477735", "11144477734")) << "E"
        << QByteArray("0050") << QByteArray("0050") << 4 << "CPF" << 1;
    QTest::addRow("service period written with slashes")
        << replaced(r0050, QByteArray(r0050).replace("|01012025|", "|01/01/2025|")) << "W"
        << QByteArray("0050") << QByteArray("0050") << 6 << "separadores" << 0;
    const QByteArray r0100 = sampleBody()[3];
    QTest::addRow("supplier CNPJ length")
        << replaced(r0100, QByteArray(r0100).replace("11222333000181", "1122233300018")) << "E"
        << QByteArray("0100") << QByteArray("0100") << 6 << "14 dígitos" << 1;

    // Values and references: chart of accounts
    QTest::addRow("nature code") << replaced("I050|01012025|1|A|2|1.01|1|CAIXA",
                                             "I050|01012025|6|A|2|1.01|1|CAIXA")
                                 << "E" << QByteArray("I050|01012025|6") << QByteArray("I050") << 3
                                 << "1, 2, 3, 4, 5, 9" << 1;
    QTest::addRow("account type") << replaced("I050|01012025|1|A|2|1.01|1|CAIXA",
                                              "I050|01012025|1|X|2|1.01|1|CAIXA")
                                  << "E" << QByteArray("I050|01012025|1|X") << QByteArray("I050")
                                  << 4 << "S, A" << 1;
    QTest::addRow("chart date outside the period")
        << replaced("I050|01012025|1|S|1|1||ATIVO", "I050|01012024|1|S|1|1||ATIVO") << "E"
        << QByteArray("I050|01012024") << QByteArray("I050") << 2 << "fora do período" << 1;
    QTest::addRow("account declared twice")
        << inserted("I050|01012025|1|A|2|1.01|1|CAIXA", "I050|01012025|1|A|2|1.01|1|CAIXA 2") << "E"
        << QByteArray("I050|01012025|1|A|2|1.01|1|CAIXA 2") << QByteArray("I050") << 6 << "repetida"
        << 1;
    QTest::addRow("superior account missing") << replaced("I050|01012025|2|A|2|2.01|2|FORNECEDORES",
                                                          "I050|01012025|2|A|2|2.01|9|FORNECEDORES")
                                              << "E" << QByteArray("I050|01012025|2|A|2|2.01")
                                              << QByteArray("I050") << 7 << "não consta" << 1;
    QTest::addRow("superior account not one level up")
        << inserted("I050|01012025|1|A|2|1.01|1|CAIXA", "I050|01012025|1|A|3|1.02|1|BANCOS") << "E"
        << QByteArray("I050|01012025|1|A|3") << QByteArray("I050") << 7 << "esperado nível 2" << 1;
    QTest::addRow("level 2 without superior")
        << replaced("I050|01012025|1|A|2|1.01|1|CAIXA", "I050|01012025|1|A|2|1.01||CAIXA") << "E"
        << QByteArray("I050|01012025|1|A|2|1.01") << QByteArray("I050") << 7 << "sem conta superior"
        << 1;

    // Monthly balances
    QTest::addRow("balance of an account not in the chart")
        << inserted("I150|2.01|012025|800|C|200|0|600|C", "I150|1.09|012025|0|C|0|0|0|C") << "E"
        << QByteArray("I150|1.09") << QByteArray("I150") << 2 << "não consta do plano" << 1;
    QTest::addRow("balance of a synthetic account")
        << inserted("I150|2.01|012025|800|C|200|0|600|C", "I150|1|012025|0|C|0|0|0|C") << "E"
        << QByteArray("I150|1|") << QByteArray("I150") << 2 << "sintética" << 1;
    QTest::addRow("balance month outside the period")
        << inserted("I150|2.01|012025|800|C|200|0|600|C", "I150|2.01|012024|0|C|0|0|0|C") << "E"
        << QByteArray("I150|2.01|012024") << QByteArray("I150") << 3 << "fora do período" << 1;
    QTest::addRow("signed amount")
        << inserted("I150|2.01|012025|800|C|200|0|600|C", "I150|2.01|022025|-600|C|0|0|600|C")
        << "E" << QByteArray("I150|2.01|022025") << QByteArray("I150") << 4 << "sinal" << 1;
    QTest::addRow("balance indicator")
        << inserted("I150|2.01|012025|800|C|200|0|600|C", "I150|2.01|022025|600|X|0|0|600|C") << "E"
        << QByteArray("I150|2.01|022025") << QByteArray("I150") << 5 << "D, C" << 1;
    QTest::addRow("balance does not add up")
        << replaced("I150|1.01|012025|1000,00|D|300|400|900|D",
                    "I150|1.01|012025|1000,00|D|300|400|901|D")
        << "E" << QByteArray("I150|1.01|012025") << QByteArray("I150") << 8
        << "mas o saldo final é 901,00 D" << 1;
    QTest::addRow("balance sides add up across zero")
        << replaced("I150|2.01|012025|800|C|200|0|600|C", "I150|2.01|012025|800|C|1000|0|200|C")
        << "E" << QByteArray("I150|2.01|012025") << QByteArray("I150") << 8 << "= 200,00 D" << -1;
    QTest::addRow("balance twice for one month")
        << inserted("I150|2.01|012025|800|C|200|0|600|C", "I150|2.01|012025|800|C|200|0|600,00|C")
        << "E" << QByteArray("I150|2.01|012025|800|C|200|0|600,00|C") << QByteArray("I150") << 3
        << "segundo I150" << 1;
    QTest::addRow("debits differ from the postings")
        << replaced("I150|1.01|012025|1000,00|D|300|400|900|D",
                    "I150|1.01|012025|1000,00|D|301|400|901|D")
        << "E" << QByteArray("I150|1.01|012025") << QByteArray("I150") << 6 << "somam 300,00" << 1;
    QTest::addRow("credits differ from the postings")
        << replaced("I150|1.01|012025|1000,00|D|300|400|900|D",
                    "I150|1.01|012025|1000,00|D|300|399,99|900,01|D")
        << "E" << QByteArray("I150|1.01|012025") << QByteArray("I150") << 7 << "somam 400,00" << 1;

    // Journal entries
    QTest::addRow("posting outside the period")
        << replaced("I200|05012025|1.01|||300|D|NF1|1|N|VENDA A VISTA",
                    "I200|05012026|1.01|||300|D|NF1|1|N|VENDA A VISTA")
        << "E" << QByteArray("I200|05012026") << QByteArray("I200") << 2 << "fora do período" << -1;
    QTest::addRow("posting to an unknown cost centre")
        << replaced("I200|15012025|3.02|CC1||200|D|RC3|3|N|DESPESA",
                    "I200|15012025|3.02|CC9||200|D|RC3|3|N|DESPESA")
        << "E" << QByteArray("I200|15012025|3.02") << QByteArray("I200") << 4 << "CC9" << 1;
    QTest::addRow("posting indicator")
        << replaced("I200|15012025|3.02|CC1||200|D|RC3|3|N|DESPESA",
                    "I200|15012025|3.02|CC1||200|D|RC3|3|S|DESPESA")
        << "E" << QByteArray("I200|15012025|3.02") << QByteArray("I200") << 10 << "esperado N" << 1;
    QTest::addRow("posting nature")
        << replaced("I200|15012025|3.02|CC1||200|D|RC3|3|N|DESPESA",
                    "I200|15012025|3.02|CC1||200|X|RC3|3|N|DESPESA")
        << "E" << QByteArray("I200|15012025|3.02") << QByteArray("I200") << 7 << "D, C" << -1;
    QTest::addRow("posting to a synthetic account")
        << replaced("I200|15012025|3.02|CC1||200|D|RC3|3|N|DESPESA",
                    "I200|15012025|3|CC1||200|D|RC3|3|N|DESPESA")
        << "E" << QByteArray("I200|15012025|3|") << QByteArray("I200") << 3 << "sintética" << -1;
    QTest::addRow("entry does not balance")
        << replaced("I200|10012025|1.01|||200|C|DUP7|2|N|PAGTO FORNECEDOR",
                    "I200|10012025|1.01|||200|C|DUP7|5|N|PAGTO FORNECEDOR")
        << "E" << QByteArray("I200|10012025|2.01") << QByteArray("I200") << 9 << "lançamento 2"
        << 2;
    QTest::addRow("postings of a month without balance")
        << inserted("I200|03022025|1.01|||50,5|C|RC4|4|N|DESPESA",
                    "I200|20022025|2.01|||10|D|X|5|N|A")
        << "E" << QByteArray("I200|20022025") << QByteArray("I200") << 3 << "nenhum I150" << -1;
    QTest::addRow("second field 5 not empty")
        << replaced("I200|15012025|3.02|CC1||200|D|RC3|3|N|DESPESA",
                    "I200|15012025|3.02|CC1|X|200|D|RC3|3|N|DESPESA")
        << "W" << QByteArray("I200|15012025|3.02") << QByteArray("I200") << 5 << "vazio" << 0;

    // Result balances
    QTest::addRow("result balance of a balance-sheet account")
        << replaced("I250|01122025|3.01|300|C", "I250|01122025|1.01|300|C") << "E"
        << QByteArray("I250|01122025|1.01") << QByteArray("I250") << 3 << "natureza 4" << 1;
    QTest::addRow("result balance dated outside the period")
        << replaced("I250|01122025|3.01|300|C", "I250|01012026|3.01|300|C") << "W"
        << QByteArray("I250|01012026") << QByteArray("I250") << 2 << "fora do período" << 0;
}

void ValChecker::findings() {
    QFETCH(QByteArray, file);
    QFETCH(QString, severity);
    QFETCH(QByteArray, at);
    QFETCH(QByteArray, record);
    QFETCH(int, field);
    QFETCH(QString, reason);
    QFETCH(int, errors);

    const Report r = checkText(file);
    const qint64 line = lineOf(file, at);
    QVERIFY(line >= 0);
    const QList<Finding>& list = severity == QLatin1String("E") ? r.errors() : r.warnings();
    const bool found = std::any_of(list.cbegin(), list.cend(), [&](const Finding& f) {
        return f.line == line && f.record == record && f.field == field &&
               f.reason.contains(reason);
    });
    QVERIFY2(found,
             qPrintable(QStringLiteral("expected line %1, record %2, field %3: ...%4...; got:\n%5")
                            .arg(line)
                            .arg(QString::fromLatin1(record))
                            .arg(field)
                            .arg(reason, dump(list))));
    if (errors >= 0)
        QVERIFY2(r.errorCount() == errors, qPrintable(dump(r.errors())));
}

void ValChecker::entriesSpreadThroughTheFile_data() {
    QTest::addColumn<QList<QByteArray>>("extra"); // postings added at the end of the I200 lines
    QTest::addColumn<int>("unbalanced");
    // Entry 9 posts to 3.02 and 2.01 in February; the balances follow.
    QTest::addRow("balances only when all parts are in")
        << QList<QByteArray>{"I200|20022025|3.02|||10|D|X|9|N|A",
                             "I200|21022025|3.02|||5|D|X|4|N|B", "I200|21022025|2.01|||5|C|X|4|N|B",
                             "I200|22022025|2.01|||10|C|X|9|N|A"}
        << 0;
    QTest::addRow("balanced, then reopened and left open")
        << QList<QByteArray>{"I200|20022025|3.02|||10|D|X|9|N|A",
                             "I200|21022025|2.01|||10|C|X|9|N|A",
                             "I200|22022025|3.02|||5|D|X|9|N|A"}
        << 1;
    QTest::addRow("text entry numbers") << QList<QByteArray>{"I200|20022025|3.02|||10|D|X|A-9|N|A",
                                                             "I200|21022025|2.01|||10|C|X|A-9|N|A",
                                                             "I200|22022025|3.02|||5|D|X|009|N|A"}
                                        << 1;
}

void ValChecker::entriesSpreadThroughTheFile() {
    QFETCH(QList<QByteArray>, extra);
    QFETCH(int, unbalanced);
    // February balances of 3.02 and 2.01 take the extra postings in, so that
    // only the entry check can object.
    qint64 debits302 = 5050, credits201 = 0;
    for (const QByteArray& p : extra) {
        const QList<QByteArray> f = p.split('|');
        (f[2] == "3.02" ? debits302 : credits201) += f[5].toLongLong() * 100;
    }
    const auto amount = [](qint64 cents) { return rules::centsText(cents).toLatin1(); };
    QList<QByteArray> body = sampleBody();
    const qsizetype results = body.indexOf("I250|01122025|3.01|300|C");
    for (qsizetype i = 0; i < extra.size(); ++i)
        body.insert(results + i, extra[i]);
    const qsizetype feb302 = body.indexOf("I150|3.02|022025|200|D|50,5|0|250,5|D");
    body[feb302] =
        "I150|3.02|022025|200|D|" + amount(debits302) + "|0|" + amount(20000 + debits302) + "|D";
    body.insert(feb302 + 1, "I150|2.01|022025|600|C|0|" + amount(credits201) + "|" +
                                amount(60000 + credits201) + "|C");
    const Report r = checkText(joined(withCounts(body)));
    const auto entryErrors =
        std::count_if(r.errors().cbegin(), r.errors().cend(), [](const Finding& f) {
            return f.reason.contains(QStringLiteral("lançamento"));
        });
    QVERIFY2(r.errorCount() == unbalanced && entryErrors == unbalanced,
             qPrintable(dump(r.errors())));
}

void ValChecker::chunkingDoesNotMatter() {
    const QByteArray file = replaced("I150|1.01|012025|1000,00|D|300|400|900|D",
                                     "I150|1.01|012025|1000,00|D|301|400|900|D");
    const Report whole = checkText(file);
    QVERIFY(whole.errorCount() > 0);
    for (qsizetype size : {1, 2, 7, 4096}) {
        Report parts;
        FileChecker checker(parts);
        for (qsizetype i = 0; i < file.size(); i += size)
            checker.feed(QByteArrayView(file).sliced(i, qMin(size, file.size() - i)));
        checker.finish();
        parts.sort();
        QCOMPARE(dump(parts.errors()), dump(whole.errors()));
        QCOMPARE(parts.lines(), whole.lines());
    }
}

void ValChecker::summaryCountsLinesPerType() {
    const Report r = checkText(replaced("I250|01122025|3.01|300|C", "I250|01122025|1.01|300|C"));
    QCOMPARE(r.lines(), 52);
    QCOMPARE(r.byType().at("I050").lines, 7);
    QCOMPARE(r.byType().at("I200").lines, 8);
    QCOMPARE(r.byType().at("9900").lines, 17);
    QCOMPARE(r.byType().at("I250").errors, 1);
    QCOMPARE(r.byType().at("I200").errors, 0);
}

void ValChecker::listsAreCappedButCountsAreNot() {
    QByteArray file = valtest::sampleFile();
    file.replace("\r\n", "\n");
    Report r(10);
    FileChecker checker(r);
    checker.feed(file);
    checker.finish();
    QCOMPARE(r.errors().size(), 10);
    QCOMPARE(r.errorCount(), 52);
}

// The checker reads the records the generator writes from: their order and
// the fields of a full line.
void ValChecker::recordsFollowTheDeclaration_data() {
    QTest::addColumn<int>("type");
    for (int t = 0; t < records::TypeCount; ++t) {
        const auto& r = records::kRecords[static_cast<size_t>(t)];
        QTest::newRow(std::string(r.type).c_str()) << t;
    }
}

void ValChecker::recordsFollowTheDeclaration() {
    QFETCH(int, type);
    const records::Record& decl = records::kRecords[static_cast<size_t>(type)];
    const QByteArray name(decl.type.data(), static_cast<qsizetype>(decl.type.size()));
    QCOMPARE(recordTypes().value(type), name);

    const auto fieldCountErrors = [](const Report& r) {
        return std::count_if(r.errors().cbegin(), r.errors().cend(), [](const Finding& f) {
            return f.line == 1 && f.reason.contains(QLatin1String(" campos; o registro "));
        });
    };
    // A line of empty fields: as many as declared pass the count; one more
    // does not, and the message names the declared count.
    const QByteArray full = name + QByteArray(decl.fieldCount() - 1, '|');
    QCOMPARE(fieldCountErrors(checkText(full + "\r\n")), 0);
    const Report longer = checkText(full + "|\r\n");
    QCOMPARE(fieldCountErrors(longer), 1);
    QVERIFY2(dump(longer.errors())
                 .contains(QStringLiteral("%1 campos; o registro %2 tem %3")
                               .arg(decl.fieldCount() + 1)
                               .arg(QString::fromLatin1(name))
                               .arg(decl.fieldCount())),
             qPrintable(dump(longer.errors())));
}

QTEST_APPLESS_MAIN(ValChecker)
#include "tst_val_checker.moc"
