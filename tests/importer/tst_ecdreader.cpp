// The reader of ECD books: typed values, encodings, line ends, the form
// findings with their line and field, and the small valid book under books/.
#include "importer/ecdreader.h"
#include <QHash>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

using namespace importer;

namespace {

// Everything a read hands over, kept.
struct Collected : EcdHandler {
    QList<Opening> openings;
    QList<BookKind> kinds;
    QList<OpeningTerm> terms;
    QList<Account> accounts;
    QList<History> histories;
    QList<CostCentre> costCentres;
    QList<BalancePeriod> periods;
    QList<QPair<int, Balance>> balances; // index of its period
    QList<Entry> entries;
    QList<QPair<int, Posting>> postings; // index of its entry
    QList<ResultDate> resultDates;
    QList<QPair<int, ResultBalance>> resultBalances;
    QList<Signatory> signatories;
    QList<Finding> findings;
    bool ended = false;

    void opening(const Opening& o, const Place&) override { openings << o; }
    void bookKind(const BookKind& k, const Place&) override { kinds << k; }
    void openingTerm(const OpeningTerm& t, const Place&) override { terms << t; }
    void account(const Account& a, const Place&) override { accounts << a; }
    void history(const History& h, const Place&) override { histories << h; }
    void costCentre(const CostCentre& c, const Place&) override { costCentres << c; }
    void balancePeriod(const BalancePeriod& p, const Place&) override { periods << p; }
    void balance(const Balance& b, const Place&) override {
        balances << qMakePair(int(periods.size()) - 1, b);
    }
    void entry(const Entry& e, const Place&) override { entries << e; }
    void posting(const Posting& p, const Place&) override {
        postings << qMakePair(int(entries.size()) - 1, p);
    }
    void resultDate(const ResultDate& d, const Place&) override { resultDates << d; }
    void resultBalance(const ResultBalance& b, const Place&) override {
        resultBalances << qMakePair(int(resultDates.size()) - 1, b);
    }
    void signatory(const Signatory& s, const Place&) override { signatories << s; }
    void finding(const Finding& f) override { findings << f; }
    void endOfFile(const Place&) override { ended = true; }

    QStringList errors() const {
        QStringList out;
        for (const Finding& f : findings)
            if (f.severity == Finding::Severity::Error)
                out << QStringLiteral("%1:%2: %3").arg(f.place.line).arg(f.place.field).arg(f.text);
        return out;
    }
};

QString typeOf(const QString& line) {
    return line.startsWith(QLatin1Char('|')) ? line.section(QLatin1Char('|'), 1, 1) : QString();
}

// Block 9 added to a body so that its counts are right.
QStringList withControl(QStringList lines) {
    QStringList order;
    QHash<QString, int> count;
    for (const QString& l : lines) {
        const QString t = typeOf(l);
        if (t.isEmpty())
            continue;
        if (!count.contains(t))
            order << t;
        ++count[t];
    }
    order << QStringLiteral("9001") << QStringLiteral("9900") << QStringLiteral("9990")
          << QStringLiteral("9999");
    count[QStringLiteral("9001")] = count[QStringLiteral("9990")] = count[QStringLiteral("9999")] =
        1;
    count[QStringLiteral("9900")] = int(order.size());
    lines << QStringLiteral("|9001|0|");
    for (const QString& t : order)
        lines << QStringLiteral("|9900|%1|%2|").arg(t).arg(count[t]);
    lines << QStringLiteral("|9990|%1|").arg(order.size() + 3);
    lines << QStringLiteral("|9999|%1|").arg(lines.size() + 1);
    return lines;
}

const QString kName = QStringLiteral("CALÇADOS SÃO JOÃO “PÉ-DE-MEIA” – FILIAL €");

// A small body whose lines the finding cases change one at a time.
QStringList baseBody() {
    return {
        QStringLiteral("|0000|LECD|01012024|31012024|EMPRESA TESTE LTDA|11222333000181|SP|"
                       "110042490114|3550308||||0|0||0|0||N|N|0|0||"),               // 1
        QStringLiteral("|I010|G|9.00|"),                                             // 2
        QStringLiteral("|I050|01012024|01|A|1|1.01||CAIXA|"),                        // 3
        QStringLiteral("|I150|01012024|31012024|"),                                  // 4
        QStringLiteral("|I155|1.01||0,00|D|100,00|0,00|100,00|D|"),                  // 5
        QStringLiteral("|I200|000001|10012024|100,00|N||"),                          // 6
        QStringLiteral("|I250|1.01||100,00|D|||VENDA||"),                            // 7
        QStringLiteral("|I250|4.01||100,00|C|||VENDA||"),                            // 8
        QStringLiteral("|I350|31012024|"),                                           // 9
        QStringLiteral("|I355|4.01||100,00|C|"),                                     // 10
        QStringLiteral("|J930|FULANO DE TAL|11144477735|Contador|900|1SP000001O1|"), // 11
    };
}

// The line cut after its n-th field.
QString firstFields(const QString& line, int n) {
    return line.section(QLatin1Char('|'), 0, n) + QLatin1Char('|');
}

QStringList replacedAt(int line, const QString& text) {
    QStringList b = baseBody();
    b[line - 1] = text;
    return b;
}

QStringList insertedAfter(int line, const QString& text) {
    QStringList b = baseBody();
    b.insert(line, text);
    return b;
}

enum class Enc { Latin1, Utf8, Cp1252 };

// Windows-1252 for the few signs the tests use, else ISO 8859-1.
QByteArray toCp1252(const QString& s) {
    static const QHash<char16_t, char> signs = {
        {u'€', '\x80'}, {u'“', '\x93'}, {u'”', '\x94'}, {u'–', '\x96'}, {u'…', '\x85'}};
    QByteArray out;
    for (QChar c : s)
        out += signs.value(c.unicode(), char(c.unicode()));
    return out;
}

QByteArray encoded(const QStringList& lines, Enc enc, bool crlf) {
    const QString text = lines.join(crlf ? QStringLiteral("\r\n") : QStringLiteral("\n")) +
                         (crlf ? QStringLiteral("\r\n") : QStringLiteral("\n"));
    switch (enc) {
    case Enc::Utf8:
        return text.toUtf8();
    case Enc::Cp1252:
        return toCp1252(text);
    case Enc::Latin1:
        break;
    }
    return text.toLatin1();
}

QString booksDir() {
    return qEnvironmentVariable("GERARQPREV_SOURCE_DIR") + QStringLiteral("/tests/importer/books");
}

} // namespace

class TstEcdReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void encodings_data();
    void encodings();
    void findings_data();
    void findings();
    void amounts_data();
    void amounts();
    void controlCounts_data();
    void controlCounts();
    void fieldCountsByVersion_data();
    void fieldCountsByVersion();
    void minimalBookValues();
    void minimalBookAddsUp();
    void readPastAndLongLines();
    void progressAndErrors();

private:
    // Writes the bytes to a file and reads it.
    QString write(const QByteArray& bytes);
    QString write(const QStringList& lines) { return write(encoded(lines, Enc::Latin1, true)); }
    QTemporaryDir m_dir;
    int m_files = 0;
};

void TstEcdReader::initTestCase() {
    QVERIFY(m_dir.isValid());
}

QString TstEcdReader::write(const QByteArray& bytes) {
    QString path = m_dir.filePath(QStringLiteral("livro%1.txt").arg(++m_files));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TstEcdReader::encodings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("name");

    const auto named = [](const QString& name) {
        QStringList b = baseBody();
        b[0].replace(QStringLiteral("EMPRESA TESTE LTDA"), name);
        return withControl(b);
    };
    const QString latin = QStringLiteral("CALÇADOS SÃO JOÃO À VISTA");
    QTest::newRow("Latin-1, CR LF")
        << encoded(named(latin), Enc::Latin1, true) << "ISO-8859-1" << latin;
    QTest::newRow("Latin-1, LF") << encoded(named(latin), Enc::Latin1, false) << "ISO-8859-1"
                                 << latin;
    QTest::newRow("UTF-8, LF") << encoded(named(kName), Enc::Utf8, false) << "UTF-8" << kName;
    QTest::newRow("UTF-8 with a byte-order mark")
        << QByteArray("\xEF\xBB\xBF") + encoded(named(kName), Enc::Utf8, true) << "UTF-8" << kName;
    QTest::newRow("Windows-1252, CR LF")
        << encoded(named(kName), Enc::Cp1252, true) << "Windows-1252" << kName;
    const QString ascii = QStringLiteral("EMPRESA SEM ACENTOS");
    QTest::newRow("plain ASCII") << encoded(named(ascii), Enc::Utf8, true) << "ISO-8859-1" << ascii;
    // UTF-8 until a Latin-1 byte near the end: the whole file is Latin-1.
    // (Lower-case letters: their UTF-8 bytes stay clear of 0x80..0x9F.)
    const QString lower = QStringLiteral("Padaria Pão de Açúcar e Café");
    QByteArray late = encoded(named(lower), Enc::Utf8, true);
    late.replace("|J930|FULANO", "|J930|FULANO \xC9");
    QTest::newRow("UTF-8 spoilt by a late Latin-1 byte")
        << late << "ISO-8859-1" << QString::fromLatin1(lower.toUtf8());
}

void TstEcdReader::encodings() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, encoding);
    QFETCH(QString, name);
    EcdReader reader(write(bytes));
    Collected c;
    reader.read(c);
    QVERIFY2(c.errors().isEmpty(), qPrintable(c.errors().join(QLatin1Char('\n'))));
    QCOMPARE(reader.encodingName(), encoding);
    QCOMPARE(c.openings.size(), 1);
    QCOMPARE(c.openings[0].name, name);
    QCOMPARE(c.postings[0].second.history, QStringLiteral("VENDA"));
}

void TstEcdReader::findings_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<qint64>("line");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");

    const auto row = [](const char* name, const QStringList& body, qint64 line, int field,
                        const char* text) {
        QTest::newRow(name) << withControl(body) << line << field << QString::fromUtf8(text);
    };
    row("unknown record type", insertedAfter(3, QStringLiteral("|I999|X|")), 4, 1,
        "tipo de registro desconhecido \"I999\"");
    row("line without its first bar",
        replacedAt(3, QStringLiteral("I050|01012024|01|A|1|1.01||CAIXA|")), 3, 0,
        "começar e terminar");
    row("line without its last bar",
        replacedAt(3, QStringLiteral("|I050|01012024|01|A|1|1.01||CAIXA")), 3, 0,
        "começar e terminar");
    row("empty line", insertedAfter(3, QString()), 4, 0, "linha vazia");
    row("I250 with a field too few", replacedAt(7, QStringLiteral("|I250|1.01||100,00|D|||VENDA|")),
        7, 0, "o registro I250 tem 8 campos; na versão 9.00 do leiaute são 9");
    row("I250 with a field too many",
        replacedAt(7, QStringLiteral("|I250|1.01||100,00|D|||VENDA|||")), 7, 0, "tem 10 campos");
    row("version 9 0000 ending at field 20", replacedAt(1, firstFields(baseBody()[0], 20)), 1, 0,
        "o registro 0000 tem 20 campos; na versão 9.00 do leiaute são 23");
    row("date that does not exist", replacedAt(6, QStringLiteral("|I200|1|30022024|100,00|N||")), 6,
        3, "DT_LCTO: data inválida \"30022024\"");
    row("date in another form", replacedAt(6, QStringLiteral("|I200|1|2024-01-10|100,00|N||")), 6,
        3, "DT_LCTO: data inválida");
    row("required date empty", replacedAt(4, QStringLiteral("|I150||31012024|")), 4, 2,
        "DT_INI: campo obrigatório vazio");
    row("period ending before it starts", replacedAt(4, QStringLiteral("|I150|01022024|31012024|")),
        4, 3, "termina antes de começar");
    row("side neither D nor C", replacedAt(7, QStringLiteral("|I250|1.01||100,00|X|||VENDA||")), 7,
        5, "IND_DC: indicador \"X\" inválido");
    row("balance side missing",
        replacedAt(5, QStringLiteral("|I155|1.01||0,00|D|100,00|0,00|100,00||")), 5, 9,
        "IND_DC_FIN: falta o indicador");
    row("level not a number", replacedAt(3, QStringLiteral("|I050|01012024|01|A|um|1.01||CAIXA|")),
        3, 5, "NIVEL: número inteiro inválido \"um\"");
    row("level zero", replacedAt(3, QStringLiteral("|I050|01012024|01|A|0|1.01||CAIXA|")), 3, 5,
        "NIVEL: o nível começa em 1");
    row("nature not in the layout",
        replacedAt(3, QStringLiteral("|I050|01012024|06|A|1|1.01||CAIXA|")), 3, 3,
        "COD_NAT: valor \"06\" inválido (aceitos: 01, 02, 03, 04, 05, 09)");
    row("entry kind not in the layout",
        replacedAt(6, QStringLiteral("|I200|1|10012024|100,00|Y||")), 6, 5,
        "IND_LCTO: valor \"Y\"");
    row("extemporaneous entry without its date",
        replacedAt(6, QStringLiteral("|I200|1|10012024|100,00|X||")), 6, 6, "DT_LCTO_EXT");
    row("CNPJ a digit short",
        replacedAt(1, baseBody()[0].replace(QStringLiteral("11222333000181"),
                                            QStringLiteral("1122233300018"))),
        1, 6, "CNPJ: \"1122233300018\" deve ter 14 algarismos");
    row("unreadable layout version", replacedAt(2, QStringLiteral("|I010|G|nove|")), 2, 3,
        "COD_VER_LC");
    row("I250 after a balance, outside any entry",
        insertedAfter(5, QStringLiteral("|I250|1.01||1,00|D|||X||")), 6, 1,
        "registro I250 fora de um I200");
    row("I155 among the postings", insertedAfter(7, QStringLiteral("|I155|1.01||0|D|0|0|0|D|")), 8,
        1, "registro I155 fora de um I150");
    row("I157 right under I150", insertedAfter(4, QStringLiteral("|I157|0.99||1,00|D|")), 5, 1,
        "registro I157 fora de um I155");
    row("I355 without its I350", replacedAt(9, QStringLiteral("|I990|10|")), 10, 1,
        "registro I355 fora de um I350");
    row("0000 not the first line", insertedAfter(0, QStringLiteral("|0001|0|")), 1, 0,
        "deve começar pelo registro 0000");
    row("0000 twice", insertedAfter(1, baseBody()[0]), 2, 1, "0000 repetido");
}

void TstEcdReader::findings() {
    QFETCH(QStringList, lines);
    QFETCH(qint64, line);
    QFETCH(int, field);
    QFETCH(QString, text);
    Collected c;
    EcdReader reader(write(lines));
    reader.read(c);
    const QStringList errors = c.errors();
    QVERIFY2(errors.size() == 1, qPrintable(errors.join(QLatin1Char('\n'))));
    const Finding& f = c.findings.constFirst();
    QCOMPARE(f.place.file, reader.path());
    QCOMPARE(f.place.line, line);
    QCOMPARE(f.place.field, field);
    QVERIFY2(f.text.contains(text), qPrintable(f.text));
    QVERIFY(c.ended);
}

void TstEcdReader::amounts_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<qint64>("cents"); // -1: refused

    QTest::newRow("whole") << "100" << qint64(10000);
    QTest::newRow("one decimal") << "1,5" << qint64(150);
    QTest::newRow("two decimals") << "1,05" << qint64(105);
    QTest::newRow("zero") << "0,00" << qint64(0);
    QTest::newRow("leading zeros") << "0001234,56" << qint64(123456);
    QTest::newRow("sixteen digits") << "9999999999999999,99" << qint64(999999999999999999);
    QTest::newRow("thousands separator") << "1.000,00" << qint64(-1);
    QTest::newRow("decimal point") << "10.50" << qint64(-1);
    QTest::newRow("sign") << "-1,00" << qint64(-1);
    QTest::newRow("three decimals") << "1,234" << qint64(-1);
    QTest::newRow("comma without decimals") << "1," << qint64(-1);
    QTest::newRow("decimals without units") << ",50" << qint64(-1);
    QTest::newRow("space") << "1 000,00" << qint64(-1);
    QTest::newRow("too large for cents") << "12345678901234567,00" << qint64(-1);
    QTest::newRow("empty") << "" << qint64(-1);
}

void TstEcdReader::amounts() {
    QFETCH(QString, amount);
    QFETCH(qint64, cents);
    Collected c;
    EcdReader reader(write(
        withControl(replacedAt(7, QStringLiteral("|I250|1.01||%1|D|||VENDA||").arg(amount)))));
    reader.read(c);
    if (cents < 0) {
        QCOMPARE(c.errors().size(), 1);
        QCOMPARE(c.findings[0].place.line, qint64(7));
        QCOMPARE(c.findings[0].place.field, 4);
        QVERIFY(c.findings[0].text.startsWith(QStringLiteral("VL_DC: ")));
        QCOMPARE(c.postings.size(), 1); // the faulty one is not handed over
    } else {
        QVERIFY2(c.errors().isEmpty(), qPrintable(c.errors().join(QLatin1Char('\n'))));
        QCOMPARE(c.postings[0].second.value, cents);
    }
}

void TstEcdReader::controlCounts_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected"); // "line:field: start of the text"

    const QStringList good = withControl(baseBody());
    const auto at = [&good](const QString& start) {
        for (qsizetype i = 0; i < good.size(); ++i)
            if (good[i].startsWith(start))
                return int(i);
        qFatal("no line %s", qPrintable(start));
        return -1;
    };
    const int i250 = at(QStringLiteral("|9900|I250|"));
    const int last = int(good.size());

    QStringList l = good;
    l[i250] = QStringLiteral("|9900|I250|3|");
    QTest::newRow("9900 count of I250 wrong")
        << l
        << QStringList{QStringLiteral("%1:3: QTD_REG_BLC: o 9900 declara 3 linhas do "
                                      "registro I250, mas o arquivo tem 2")
                           .arg(i250 + 1)};
    l = good;
    l[last - 1] = QStringLiteral("|9999|%1|").arg(last + 1);
    QTest::newRow("9999 count wrong")
        << l
        << QStringList{QStringLiteral("%1:2: QTD_LIN: o 9999 declara %2 linhas, mas o "
                                      "arquivo tem %1")
                           .arg(last)
                           .arg(last + 1)};
    l = good;
    l.removeAt(i250);
    l[last - 2] = QStringLiteral("|9999|%1|").arg(last - 1);
    QTest::newRow("no 9900 for I250")
        << l
        << QStringList{
               QStringLiteral("%1:3: QTD_REG_BLC: o 9900 declara %2 linhas do registro 9900")
                   .arg(at(QStringLiteral("|9900|9900|")))
                   .arg(l.filter(QStringLiteral("|9900|")).size() + 1),
               QStringLiteral("7:1: o registro I250 (2 linhas) não tem sua contagem no 9900")};
    l = good;
    l.removeLast();
    QTest::newRow("no 9999")
        << l
        << QStringList{
               QStringLiteral("%1:0: o arquivo termina sem o registro 9999").arg(last - 1),
               QStringLiteral("%1:3: QTD_REG_BLC: o 9900 declara 1 linhas do registro 9999, "
                              "mas o arquivo tem 0")
                   .arg(at(QStringLiteral("|9900|9999|")) + 1)};
    l = withControl(baseBody().mid(1));
    QTest::newRow("no 0000") << l
                             << QStringList{QStringLiteral(
                                    "1:0: o arquivo deve começar pelo registro 0000")};
    l = good;
    l << QStringLiteral("|I200|000002|10012024|1,00|N||");
    QTest::newRow("records after the 9999")
        << l << QStringList{QStringLiteral("%1:0: há registros depois do 9999").arg(last + 1)};
    QTest::newRow("empty file") << QStringList()
                                << QStringList{QStringLiteral("0:0: o arquivo está vazio")};
}

void TstEcdReader::controlCounts() {
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    Collected c;
    EcdReader reader(write(lines.isEmpty() ? QByteArray() : encoded(lines, Enc::Latin1, true)));
    reader.read(c);
    const QStringList errors = c.errors();
    QVERIFY2(errors.size() == expected.size(), qPrintable(errors.join(QLatin1Char('\n'))));
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(errors[i].startsWith(expected[i]),
                 qPrintable(errors[i] + QStringLiteral("\n  expected: ") + expected[i]));
}

void TstEcdReader::fieldCountsByVersion_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("errors");

    QStringList b = baseBody();
    b[0] = firstFields(b[0], 20);
    b[1] = QStringLiteral("|I010|G|7.00|");
    QTest::newRow("version 7: 0000 ends at field 20") << b << 0;
    b[5] = QStringLiteral("|I200|000001|10012024|100,00|N|");
    QTest::newRow("version 7: I200 ends at IND_LCTO") << b << 0;
    b[1] = QStringLiteral("|I010|G|9.00|");
    QTest::newRow("version 9: both too short") << b << 2;
    b = baseBody();
    b[10] = QStringLiteral("|J930|FULANO|11144477735|Contador|900|1SP000001O1|");
    QTest::newRow("J930 ending at field 6") << b << 0;
    b[10] = QStringLiteral("|J930|FULANO|11144477735|Contador|900|");
    QTest::newRow("J930 without its CRC field") << b << 1;
    b = baseBody();
    b[1] = QStringLiteral("|I010|G|10.00|");
    b[6] = QStringLiteral("|I250|1.01||100,00|D|||VENDA||NOVO|");
    QTest::newRow("newer version: later fields ignored") << b << 0;
}

void TstEcdReader::fieldCountsByVersion() {
    QFETCH(QStringList, lines);
    QFETCH(int, errors);
    Collected c;
    EcdReader reader(write(withControl(lines)));
    reader.read(c);
    QVERIFY2(c.errors().size() == errors, qPrintable(c.errors().join(QLatin1Char('\n'))));
}

void TstEcdReader::minimalBookValues() {
    Collected c;
    EcdReader reader(booksDir() + QStringLiteral("/minimal.txt"));
    reader.read(c);
    QVERIFY2(c.findings.isEmpty(), qPrintable(c.errors().join(QLatin1Char('\n'))));
    QCOMPARE(reader.encodingName(), QStringLiteral("ISO-8859-1"));
    QCOMPARE(reader.version(), QStringLiteral("9.00"));
    QCOMPARE(reader.lines(), qint64(108));
    QCOMPARE(reader.count(QStringLiteral("I250")), qint64(16));
    QCOMPARE(reader.count(QStringLiteral("I051")), qint64(2));

    const Opening& o = c.openings.at(0);
    QCOMPARE(o.name, QStringLiteral("INDÚSTRIA DE CALÇADOS SÃO JOÃO LTDA"));
    QCOMPARE(o.cnpj, QStringLiteral("11222333000181"));
    QCOMPARE(o.municipality, QStringLiteral("3550308"));
    QCOMPARE(o.start, QDate(2024, 1, 1));
    QCOMPARE(o.end, QDate(2024, 2, 29));
    QVERIFY(o.hasNire);
    QCOMPARE(o.identMf, QStringLiteral("N"));
    QCOMPARE(c.kinds.at(0).kind, QStringLiteral("G"));
    QCOMPARE(c.terms.at(0).nire, QStringLiteral("35212345678"));

    const Account& caixa = c.accounts.at(2);
    QCOMPARE(caixa.code, QStringLiteral("1.01.01.001.0000000001"));
    QCOMPARE(caixa.superior, QStringLiteral("1.01.01.001"));
    QCOMPARE(caixa.name, QStringLiteral("CAIXA GERAL DA MATRIZ EM SÃO JOÃO DA BOA VISTA"));
    QCOMPARE(caixa.level, 3);
    QCOMPARE(caixa.type, QLatin1Char('A'));
    QCOMPARE(caixa.nature, QStringLiteral("01"));
    QCOMPARE(c.costCentres.at(1).code, QStringLiteral("PROD-0001"));
    QCOMPARE(c.histories.at(1).text, QStringLiteral("PAGAMENTO DE SALÁRIOS DO MÊS"));

    // Receita in February: 1.500,00 C to zero after the closing.
    const Balance& receita = c.balances.at(12).second;
    QCOMPARE(receita.account, QStringLiteral("4.01.01.001.0000000001"));
    QCOMPARE(receita.initial, qint64(-150000));
    QCOMPARE(receita.debits, qint64(475075));
    QCOMPARE(receita.credits, qint64(325075));
    QCOMPARE(receita.final, qint64(0));

    const Entry& closing = c.entries.last();
    QCOMPARE(closing.number, QStringLiteral("000006"));
    QCOMPARE(closing.kind, QLatin1Char('E'));
    QCOMPARE(closing.date, QDate(2024, 2, 29));
    const Posting& p = c.postings.at(0).second;
    QCOMPARE(p.document, QStringLiteral("NF 1234"));
    QCOMPARE(p.historyCode, QStringLiteral("001"));
    QCOMPARE(p.history, QStringLiteral("NF 1234 CLIENTE JOSÉ"));
    QCOMPARE(c.resultBalances.at(1).second.value, qint64(170000));

    const Signatory& accountant = c.signatories.at(1);
    QCOMPARE(accountant.code, QStringLiteral("900"));
    QCOMPARE(accountant.name, QStringLiteral("MARIA JOSÉ DA CONCEIÇÃO"));
    QCOMPARE(accountant.crc, QStringLiteral("1SP123456O9"));
    QCOMPARE(accountant.ufCrc, QStringLiteral("SP"));
}

// The book other tests rely on is consistent: entries balance, each I155
// equals its postings and its initial balance plus movement, the months
// follow each other, and the I355 are the result balances before closing.
void TstEcdReader::minimalBookAddsUp() {
    Collected c;
    EcdReader reader(booksDir() + QStringLiteral("/minimal.txt"));
    reader.read(c);
    QVERIFY(c.findings.isEmpty());

    using Key = QPair<QString, QString>;                             // account, cost centre
    QList<QMap<Key, QPair<qint64, qint64>>> moved(c.periods.size()); // debits, credits
    QMap<Key, qint64> beforeClosing;
    for (int e = 0; e < c.entries.size(); ++e) {
        const Entry& entry = c.entries[e];
        qint64 debits = 0, credits = 0;
        for (const auto& [of, p] : c.postings) {
            if (of != e)
                continue;
            const bool debit = p.side == QLatin1Char('D');
            (debit ? debits : credits) += p.value;
            int month = 0;
            while (month < c.periods.size() && c.periods[month].end < entry.date)
                ++month;
            QVERIFY(month < c.periods.size() && c.periods[month].start <= entry.date);
            auto& m = moved[month][Key(p.account, p.costCentre)];
            (debit ? m.first : m.second) += p.value;
            if (entry.kind != QLatin1Char('E') && entry.date <= c.resultDates.at(0).date)
                beforeClosing[Key(p.account, p.costCentre)] += debit ? p.value : -p.value;
        }
        QCOMPARE(debits, entry.total);
        QCOMPARE(credits, entry.total);
    }

    QMap<Key, qint64> balance; // after the months read so far
    for (int month = 0; month < c.periods.size(); ++month) {
        QMap<Key, QPair<qint64, qint64>> unexplained = moved[month];
        for (const auto& [of, b] : c.balances) {
            if (of != month)
                continue;
            const Key k(b.account, b.costCentre);
            const auto m = unexplained.take(k);
            QCOMPARE(b.debits, m.first);
            QCOMPARE(b.credits, m.second);
            QCOMPARE(b.final, b.initial + b.debits - b.credits);
            if (month > 0)
                QCOMPARE(b.initial, balance.value(k));
            balance[k] = b.final;
        }
        QVERIFY2(unexplained.isEmpty(),
                 qPrintable(unexplained.isEmpty() ? QString() : unexplained.firstKey().first));
    }
    qint64 total = 0;
    for (qint64 v : std::as_const(balance))
        total += v;
    QCOMPARE(total, qint64(0));

    QCOMPARE(c.resultDates.size(), 1);
    QCOMPARE(c.resultBalances.size(), 3);
    for (const auto& [of, b] : c.balances)
        if (of == 0)
            beforeClosing[Key(b.account, b.costCentre)] += b.initial;
    for (const auto& [of, r] : c.resultBalances)
        QCOMPARE(r.value, beforeClosing.value(Key(r.account, r.costCentre)));
}

void TstEcdReader::readPastAndLongLines() {
    // Records the import does not use, one line far longer than a read
    // chunk, and enough lines that others straddle chunk boundaries.
    QStringList b = baseBody();
    b.insert(1, QStringLiteral("|0007|00||"));
    b.insert(2, QStringLiteral("|0150|P1|FORNECEDOR|105|11222333000181||||||||"));
    b.insert(5, QStringLiteral("|I051||1.01.01.01|"));
    b.insert(6, QStringLiteral("|I052||01|"));
    const QString rtf = QStringLiteral("A").repeated(3 << 20);
    QStringList tail = {QStringLiteral("|J001|0|"),
                        QStringLiteral("|J100|1|T|1||A|ATIVO|0,00|D|"
                                       "0,00|D||"),
                        QStringLiteral("|J800|RTF|NOTAS|%1|").arg(rtf), QStringLiteral("|K001|1|"),
                        QStringLiteral("|C001|1|")};
    for (int i = 0; i < 40000; ++i)
        tail << QStringLiteral("|J150|%1|4|T|1||RESULTADO %1|0,00|D|0,00|D|R||").arg(i);
    b += tail;
    Collected c;
    EcdReader reader(write(withControl(b)));
    reader.read(c);
    QVERIFY2(c.findings.isEmpty(), qPrintable(c.errors().join(QLatin1Char('\n'))));
    QCOMPARE(reader.count(QStringLiteral("J150")), qint64(40000));
    QCOMPARE(reader.count(QStringLiteral("J800")), qint64(1));
    QCOMPARE(reader.count(QStringLiteral("I052")), qint64(1));
    QCOMPARE(c.signatories.size(), 1);
}

void TstEcdReader::progressAndErrors() {
    QList<ReadProgress> seen;
    EcdReader reader(booksDir() + QStringLiteral("/minimal.txt"));
    reader.setProgress([&seen](const ReadProgress& p) { seen << p; }, 25);
    Collected c;
    reader.read(c);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.first().stage, ReadProgress::Stage::Encoding);
    const ReadProgress& end = seen.last();
    QCOMPARE(end.stage, ReadProgress::Stage::Records);
    QCOMPARE(end.line, qint64(108));
    QCOMPARE(end.bytesRead, end.totalBytes);
    qint64 records = 0, previous = 0;
    for (const ReadProgress& p : seen)
        if (p.stage == ReadProgress::Stage::Records) {
            QVERIFY(p.line >= previous && p.bytesRead <= p.totalBytes);
            previous = p.line;
            ++records;
        }
    QCOMPARE(records, qint64(108 / 25 + 1));

    // A signature after the 9999 is not part of the book.
    QByteArray signed_ = encoded(withControl(baseBody()), Enc::Latin1, true);
    signed_ += QByteArray("SBR\x00\x9F\xFF\n\x80\x81", 10);
    EcdReader withSignature(write(signed_));
    Collected s;
    withSignature.read(s);
    QVERIFY2(s.findings.isEmpty(), qPrintable(s.errors().join(QLatin1Char('\n'))));
    QCOMPARE(withSignature.encodingName(), QStringLiteral("ISO-8859-1"));

    const QString missing = m_dir.filePath(QStringLiteral("não-existe.txt"));
    try {
        EcdReader(missing).read(c);
        QFAIL("a missing file must throw");
    } catch (const std::runtime_error& e) {
        QVERIFY(QString::fromUtf8(e.what()).contains(missing));
    }
}

QTEST_GUILESS_MAIN(TstEcdReader)
#include "tst_ecdreader.moc"
