// The loader of ECD books: what reaches the database and the generated file,
// the same books whatever the order of import, and every refusal leaving
// the database as it was. Runs on SQLite, and on PostgreSQL in the _pg
// variant when GERARQPREV_TEST_PG_URL is set.
#include "../server/testdb.h"
#include "cli/gerar.h"
#include "db/dbgeral.h"
#include "ecdbook.h"
#include "importer/chartpicture.h"
#include "importer/loader.h"
#include "importer/sqlbatch.h"
#include "server/localserver.h"
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace ecdtest;
using importer::Loader;
using importer::LoadReport;

namespace {

const QDate kJan1(2025, 1, 1), kJun30(2025, 6, 30), kJul1(2025, 7, 1), kDec31(2025, 12, 31);

// The test company's year as two half-year books whose entry numbers both
// start at 000001, closing at 30/06 and 31/12; S1 substitutes H1 with one
// history and one number changed.
struct Year {
    Book h1, h2, s1;
    explicit Year(int perMonth) {
        h1 = book("h1.txt", kJan1, kJun30, openingBalances(), yearEntries(kJan1, kJun30, perMonth),
                  {kJun30});
        h2 = book("h2.txt", kJul1, kDec31, h1.finalBalances(), yearEntries(kJul1, kDec31, perMonth),
                  {kDec31});
        s1 = h1;
        s1.file = "h1-substituto.txt";
        s1.finality = 1;
        s1.entries[1].posts[0].history = "histórico corrigido no livro substituto";
        s1.entries[2].number = "000002-A";
    }
    const Book& named(const QString& id) const { return id == "H1" ? h1 : id == "H2" ? h2 : s1; }
};

QString text(const QVariant& v) {
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime)
        return v.toDate().toString(Qt::ISODate);
    return v.toString();
}

// Every row of the tables the import writes, as sorted text.
QStringList snapshot(QSqlDatabase& db) {
    QStringList out;
    for (const char* table : {"EMPRESA", "CONTADOR", "CONTCTBL", "CENTCUST", "PICTURE", "SALDINIC",
                              "LANCCONT", "PARTLANC", "PARTCCUS", "SALDDIA", "SALDMES"}) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT * FROM %1").arg(QLatin1String(table))))
            return {QStringLiteral("falhou: %1").arg(QLatin1String(table))};
        QStringList rows;
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i)
                cells << text(q.value(i));
            rows << QLatin1String(table) + QLatin1Char('|') + cells.join(QLatin1Char('|'));
        }
        rows.sort();
        out += rows;
    }
    return out;
}

QString findingsText(const LoadReport& r) {
    QStringList lines;
    for (const importer::Finding& f : r.findings)
        lines << QStringLiteral("%1:%2: %3").arg(f.place.file).arg(f.place.line).arg(f.text);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n') + r.databaseError;
}

} // namespace

class TstLoader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void fullImportReachesTheFile_data();
    void fullImportReachesTheFile();
    void sameBooksWhateverTheOrder_data();
    void sameBooksWhateverTheOrder();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void simulationChangesNothing();
    void companyAndAccountant_data();
    void companyAndAccountant();
    void serverFindsEntriesByBookNumber_data();
    void serverFindsEntriesByBookNumber();
    void upgradeWidensAndKeeps();
    void levelPicture_data();
    void levelPicture();
    void bulkRowsComeBackAsWritten_data();
    void bulkRowsComeBackAsWritten();
    void bulkRefusalIsADatabaseError();
    void postingKeysComeBackAsTheyWere();

private:
    QSqlDatabase fresh();
    LoadReport load(QSqlDatabase& db, const QList<const Book*>& books,
                    const QString& company = "01", bool simulate = false);
    QByteArray generate();

    QTemporaryDir dir_;
    QString name_;
    int serial_ = 0;
    // The full import's generated file and database, made once.
    QByteArray fullFile_;
    QStringList pictures_;
    LoadReport fullReport_;
};

void TstLoader::initTestCase() {
    const QString why = srvtest::unavailable();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    QVERIFY(dir_.isValid());
}

void TstLoader::cleanup() {
    if (!name_.isEmpty())
        srvtest::dropAll(name_);
    name_.clear();
}

QSqlDatabase TstLoader::fresh() {
    if (!name_.isEmpty())
        srvtest::dropAll(name_);
    name_ = QStringLiteral("loader%1").arg(++serial_);
    return srvtest::openFresh(name_);
}

LoadReport TstLoader::load(QSqlDatabase& db, const QList<const Book*>& books,
                           const QString& company, bool simulate) {
    try {
        Loader loader(db, {company, simulate});
        for (const Book* b : books)
            b->feed(loader);
        return loader.finish();
    } catch (const importer::DatabaseError& e) {
        LoadReport r;
        r.outcome = LoadReport::Outcome::DatabaseError;
        r.databaseError = QString::fromUtf8(e.what());
        return r;
    }
}

QByteArray TstLoader::generate() {
    const QString dest = dir_.filePath(QStringLiteral("manad-%1.txt").arg(++serial_));
    QString out, err;
    QTextStream o(&out), e(&err);
    const int status = cli::runMain({"gerar", "--banco", srvtest::urlOf(name_), "--saida", dest,
                                     "--empresa", "01", "--inicio", "01/01/2025", "--fim",
                                     "31/12/2025", "--apuracao", "31/12/2025", "--silencioso"},
                                    o, e);
    o.flush();
    e.flush();
    if (status != 0) {
        qWarning("%s", qPrintable(out + err));
        return {};
    }
    QFile f(dest);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TstLoader::fullImportReachesTheFile_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("needle");
    QTest::newRow("I050: long dotted code, long name with accents")
        << "I050"
        << "|A|3|" + kCash + "|1.01|Caixa geral da matriz em Curitiba - movimento diário";
    QTest::newRow("I100: cost centre code longer than 4")
        << "I100"
        << "|" + kCentreA + "|Administração e finanças";
    QTest::newRow("I150: monthly balance of a long code") << "I150"
                                                          << "I150|" + kCash + "|012025|";
    QTest::newRow("I200: entry number with leading zeros, standard history, cost centre")
        << "I200"
        << "|" + kExpenses + "|" + kCentreA + "||" // then value, side, document, number
        ;
    QTest::newRow("I200: standard history then the posting's own")
        << "I200"
        << "|000004|N|Pagamento conforme nota fiscal nº 4 de material de escritório";
    QTest::newRow("I200: a number another book repeats keeps its form with a suffix")
        << "I200"
        << "|000001-2|N|";
    QTest::newRow("I250: result account before the closing") << "I250"
                                                             << "|" + kSales + "|";
}

void TstLoader::fullImportReachesTheFile() {
    QFETCH(QString, type);
    QFETCH(QString, needle);
    if (fullFile_.isEmpty()) {
        // 150 entries a month: the postings of a half year cross a batch.
        const Year year(150);
        QSqlDatabase db = fresh();
        fullReport_ = load(db, {&year.h1, &year.h2});
        QVERIFY2(fullReport_.outcome == LoadReport::Outcome::Imported,
                 qPrintable(findingsText(fullReport_)));
        QCOMPARE(fullReport_.books.size(), 2);
        QCOMPARE(fullReport_.books[0].entries, qint64(year.h1.entries.size()));
        qint64 postings = 0;
        for (const Ent& e : year.h1.entries)
            postings += e.posts.size();
        QCOMPARE(fullReport_.books[0].postings, postings);
        QVERIFY(postings > 2000);
        QVERIFY(fullReport_.books[1].balancesChecked > 0);
        QVERIFY(fullReport_.books[1].resultsChecked > 0);
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT DSPICTURE FROM PICTURE ORDER BY IDTIPOPICT"));
        while (q.next())
            pictures_ << q.value(0).toString();
        fullFile_ = generate();
        QVERIFY(!fullFile_.isEmpty());
    }
    QCOMPARE(pictures_, QStringList({"9.99.999999999999999999", "9.99.999999999999999999;1;_"}));
    const QString file = QString::fromLatin1(fullFile_);
    bool found = false;
    for (const QString& line : file.split(QStringLiteral("\r\n")))
        if (line.startsWith(type + QLatin1Char('|')) && line.contains(needle))
            found = true;
    QVERIFY2(found, qPrintable(needle));
}

void TstLoader::sameBooksWhateverTheOrder_data() {
    // Imports separated by ";", books of one import joined by "+".
    QTest::addColumn<QString>("imports");
    QTest::addColumn<QString>("reference");
    QTest::newRow("halves in reverse order") << "H2;H1"
                                             << "H1;H2";
    QTest::newRow("halves in one import") << "H1+H2"
                                          << "H1;H2";
    QTest::newRow("halves in one import, reversed") << "H2+H1"
                                                    << "H1;H2";
    QTest::newRow("first half imported again") << "H1;H2;H1"
                                               << "H1;H2";
    QTest::newRow("the whole year imported again") << "H1;H2;H2+H1"
                                                   << "H1;H2";
    QTest::newRow("substitute after the original") << "H1;H2;S1"
                                                   << "S1;H2";
    QTest::newRow("substitute in the same import") << "H1+H2+S1"
                                                   << "S1;H2";
}

void TstLoader::sameBooksWhateverTheOrder() {
    QFETCH(QString, imports);
    QFETCH(QString, reference);
    const Year year(12);
    auto run = [&](const QString& plan) {
        QSqlDatabase db = fresh();
        for (const QString& one : plan.split(QLatin1Char(';'))) {
            QList<const Book*> books;
            for (const QString& id : one.split(QLatin1Char('+')))
                books << &year.named(id);
            const LoadReport r = load(db, books);
            if (r.outcome != LoadReport::Outcome::Imported) {
                qWarning("%s: %s", qPrintable(one), qPrintable(findingsText(r)));
                return QByteArray();
            }
        }
        return generate();
    };
    const QByteArray expected = run(reference);
    QVERIFY(!expected.isEmpty());
    const QByteArray got = run(imports);
    QVERIFY(!got.isEmpty());
    if (got != expected) {
        const QList<QByteArray> a = expected.split('\n'), b = got.split('\n');
        for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i)
            if (a[i] != b[i])
                QFAIL(qPrintable(QStringLiteral("linha %1: esperada %2, gerada %3")
                                     .arg(i + 1)
                                     .arg(QString::fromLatin1(a[i]), QString::fromLatin1(b[i]))));
        QCOMPARE(b.size(), a.size());
    }
}

void TstLoader::refusalsChangeNothing_data() {
    QTest::addColumn<int>("scenario");
    QTest::addColumn<QString>("message");
    QTest::newRow("company code holding another CNPJ") << 0 << "já está cadastrada com o CNPJ";
    QTest::newRow("second company's chart conflicts") << 1 << "no plano deste banco tem natureza";
    QTest::newRow("an I155 the postings do not give") << 2 << "Conferência com o banco";
    QTest::newRow("later book starting from other balances") << 3 << "saldos iniciais do livro";
    QTest::newRow("earlier book not ending where the stored begin")
        << 4 << "livros seguintes já importados";
    QTest::newRow("an entry number twice in the book") << 5 << "mais de uma vez no livro";
    QTest::newRow("an entry outside the book's period") << 6 << "fora do período do livro";
    QTest::newRow("a summarised journal") << 7 << "só o Diário completo (G)";
}

void TstLoader::refusalsChangeNothing() {
    QFETCH(int, scenario);
    QFETCH(QString, message);
    const Year year(6);
    QSqlDatabase db = fresh();
    Book bad;
    QString company = "01";
    switch (scenario) {
    case 0:
        bad = year.h2;
        bad.cnpj = "33444555000181";
        break;
    case 1:
        bad = year.h1;
        bad.cnpj = "33444555000181";
        bad.accounts[1].nature = "02";
        company = "02";
        break;
    case 2:
        bad = year.h2;
        bad.spoilAccount = kBank;
        bad.spoilMonth = QDate(2025, 9, 1);
        bad.spoilBy = 100;
        break;
    case 3:
        bad = year.h2;
        bad.initial[{kCash, {}}] += 5000;
        bad.initial[{kCapital, {}}] -= 5000;
        break;
    case 4: {
        // H2 alone is stored; this H1 has one more expense than the one H2
        // continues from.
        bad = book("h1-outro.txt", kJan1, kJun30, openingBalances(),
                   yearEntries(kJan1, kJun30, 6) +
                       QList<Ent>{{"099999",
                                   QDate(2025, 6, 10),
                                   {{kExpenses, kCentreA, 12345, 'D', {}, {}, "extra"},
                                    {kCash, {}, 12345, 'C', {}, {}, "extra"}}}},
                   {kJun30});
        break;
    }
    case 5:
        bad = year.h2;
        bad.entries[3].number = bad.entries[0].number;
        break;
    case 6:
        bad = year.h2;
        bad.entries[3].date = QDate(2026, 1, 5);
        break;
    default:
        bad = year.h2;
        bad.kind = "R";
        break;
    }
    // What is stored first: H1 (H2 for the earlier-book case); nothing for
    // a book refused on its own.
    if (scenario == 4) {
        QCOMPARE(load(db, {&year.h2}).outcome, LoadReport::Outcome::Imported);
    } else if (scenario != 2) {
        const LoadReport first = load(db, {&year.h1});
        QVERIFY2(first.outcome == LoadReport::Outcome::Imported, qPrintable(findingsText(first)));
    }
    const QStringList before = snapshot(db);
    const LoadReport r = load(db, {&bad}, company);
    QCOMPARE(r.outcome, LoadReport::Outcome::Refused);
    QVERIFY2(findingsText(r).contains(message), qPrintable(findingsText(r)));
    QCOMPARE(snapshot(db), before);
}

void TstLoader::simulationChangesNothing() {
    const Year year(6);
    QSqlDatabase db = fresh();
    const QStringList before = snapshot(db);
    const LoadReport r = load(db, {&year.h1, &year.h2}, "01", true);
    QVERIFY2(r.outcome == LoadReport::Outcome::Simulated, qPrintable(findingsText(r)));
    QCOMPARE(r.books.size(), 2);
    QCOMPARE(r.books[1].months, 6);
    QVERIFY(r.books[0].balancesChecked > 0);
    QCOMPARE(snapshot(db), before);
}

void TstLoader::companyAndAccountant_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    QTest::newRow("company from 0000 and I030")
        << "SELECT NMRAZSOCEMPR, NRINSJUREMPR, SGESTADO, NRINSCESTA, CDMUNICIPIO, NRREGJUNCOM"
           " FROM EMPRESA WHERE CDEMPRESA = '01'"
        << "Indústria e Comércio de Máquinas Agrícolas Paraná S.A.|11222333000181|PR|9012345678|"
           "4106902|41300012345";
    QTest::newRow("a short name of its own is kept")
        << "SELECT NMEMPRESA FROM EMPRESA WHERE CDEMPRESA = '01'"
        << "Máquinas Paraná";
    QTest::newRow("accountant from J930 900")
        << "SELECT NMCONTADOR, NRCPFRESPONS, NRCRCCONT2, DSENDINTERN, NRTELCONTATO FROM CONTADOR"
        << "Márcia Conceição de Araújo Figueiredo|52998224725|PR-012345/O-7|"
           "marcia@contabil.example|4133334444";
    QTest::newRow("what the ECD does not carry is kept")
        << "SELECT NRINSJURCONT, NRCEP, DSLOGRADOURO FROM CONTADOR"
        << "44555666000199|80010-000|Rua XV de Novembro, 100";
    QTest::newRow("opening balances at the day before the earliest book")
        << "SELECT DTSALDINIC, VRSALDINIC FROM SALDINIC WHERE CDCONTCTBL = '" + kBank + "'"
        << "2024-12-31|25000000";
}

void TstLoader::companyAndAccountant() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    const Year year(2);
    QSqlDatabase db = fresh();
    QSqlQuery q(db);
    // Stored before the import, as the screen's users would have them.
    QVERIFY(q.exec("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR, NRINSJUREMPR)"
                   " VALUES ('01', 'Máquinas Paraná', 'Razão antiga', '11.222.333/0001-81')"));
    QVERIFY(q.exec("INSERT INTO CONTADOR (CDEMPRESA, NMCONTADOR, NRINSJURCONT, NRCEP,"
                   " DSLOGRADOURO, DSENDINTERN) VALUES ('01', 'Antigo', '44555666000199',"
                   " '80010-000', 'Rua XV de Novembro, 100', 'antigo@example.com')"));
    const LoadReport r = load(db, {&year.h2, &year.h1});
    QVERIFY2(r.outcome == LoadReport::Outcome::Imported, qPrintable(findingsText(r)));
    QVERIFY2(q.exec(sql), qPrintable(sql));
    QVERIFY(q.next());
    QStringList cells;
    for (int i = 0; i < q.record().count(); ++i)
        cells << text(q.value(i));
    QCOMPARE(cells.join(QLatin1Char('|')), expected);
}

void TstLoader::serverFindsEntriesByBookNumber_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("sequence");
    QTest::addColumn<QStringList>("centres");
    QTest::addColumn<int>("error");
    const int none = int(suite::RemoteError::None);
    QTest::newRow("a book's number with leading zeros")
        << "000004" << 1 << QStringList{kCentreA} << none;
    QTest::newRow("the same number in the later book, with its suffix")
        << "000004-2" << 2 << QStringList{kCentreB} << none;
    QTest::newRow("a posting without cost centre") << "000004" << 3 << QStringList{} << none;
    QTest::newRow("a number no book has")
        << "000999-9" << 1 << QStringList{} << int(suite::RemoteError::BadArguments);
}

void TstLoader::serverFindsEntriesByBookNumber() {
    QFETCH(QString, entry);
    QFETCH(int, sequence);
    QFETCH(QStringList, centres);
    QFETCH(int, error);
    const Year year(2);
    QSqlDatabase db = fresh();
    const LoadReport r = load(db, {&year.h1, &year.h2});
    QVERIFY2(r.outcome == LoadReport::Outcome::Imported, qPrintable(findingsText(r)));
    QVERIFY(r.renumbered > 0);
    server::LocalServer srv(db);
    QList<suite::RemoteArg> args{suite::RemoteArg::text("01"), suite::RemoteArg::text(entry),
                                 suite::RemoteArg::text(QString::number(sequence))};
    const suite::RemoteResult got = srv.call("GetCcLanc", args);
    QCOMPARE(int(got.error), error);
    QStringList codes;
    for (const QVariantList& row : got.packet.rows)
        codes << row[0].toString();
    QCOMPARE(codes, centres);
    // The journal shows the same numbers.
    args = {suite::RemoteArg::text("01"), suite::RemoteArg::date(kJan1),
            suite::RemoteArg::date(kDec31)};
    const suite::RemoteResult journal = srv.call("GetLancCont", args);
    QVERIFY(journal.ok());
    QStringList numbers;
    for (const QVariantList& row : journal.packet.rows)
        numbers << row[0].toString();
    QVERIFY(error != int(suite::RemoteError::None) || numbers.contains(entry));
}

void TstLoader::upgradeWidensAndKeeps() {
    if (!name_.isEmpty())
        srvtest::dropAll(name_);
    name_ = QStringLiteral("loader%1").arg(++serial_);
    QSqlDatabase db = srvtest::openFresh(name_, 3);
    QSqlQuery q(db);
    QVERIFY(
        q.exec("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR) VALUES ('01', 'A', 'A')"));
    QVERIFY(q.exec("INSERT INTO CONTCTBL (CDCONTCTBL, NMCONTCTBL, CDNVCONTCTBL, IDTIPOCONT,"
                   " IDNATCONT, DTATUALIZ) VALUES ('1', 'ATIVO', 1, 'A', '1', '2025-01-01')"));
    QVERIFY(q.exec("INSERT INTO LANCCONT (CDEMPRESA, NRLANCCONT, DTLANCCONT) VALUES"
                   " ('01', 7, '2025-01-02')"));
    QVERIFY(q.exec("INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC, DTLANCCONT,"
                   " CDCONTCTBL, VRLANCAMENT, IDNATLANC) VALUES ('01', 7, 1, '2025-01-02', '1',"
                   " 500, 'D')"));
    db::applyMigrations(db);
    // The posting trigger is back after the widening: a new posting counts.
    const QString code = QStringLiteral("1.01.0000000000000000000000000001");
    QVERIFY2(q.exec("INSERT INTO CONTCTBL (CDCONTCTBL, NMCONTCTBL, CDNVCONTCTBL, IDTIPOCONT,"
                    " IDNATCONT, DTATUALIZ) VALUES ('" +
                    code + "', '" + QString(60, u'N') + "', 2, 'A', '1', '2025-01-01')"),
             qPrintable(q.lastError().text()));
    QVERIFY(q.exec("INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC, DTLANCCONT,"
                   " CDCONTCTBL, VRLANCAMENT, IDNATLANC) VALUES ('01', 7, 2, '2025-01-02', '" +
                   code + "', 500, 'C')"));
    QVERIFY(q.exec("SELECT CDCONTCTBL, VRDEBITO, VRCREDITO FROM SALDDIA ORDER BY CDCONTCTBL"));
    QStringList rows;
    while (q.next())
        rows << text(q.value(0)) + "|" + text(q.value(1)) + "|" + text(q.value(2));
    QCOMPARE(rows, QStringList({"1|500|0", code + "|0|500"}));
    QVERIFY(q.exec("SELECT NRLANCEXT FROM LANCCONT"));
    QVERIFY(q.next());
    QVERIFY(q.value(0).isNull());
}

void TstLoader::levelPicture_data() {
    QTest::addColumn<QStringList>("codes"); // "code<superior<level"
    QTest::addColumn<QString>("picture");
    QTest::newRow("dots") << QStringList{"1<<1",         "1.1<1<2", "1.1.01<1.1<3",
                                         "2.1.02<2.1<3", "2<<1",    "2.1<2<2"}
                          << "9.9.99";
    QTest::newRow("letters and other separators")
        << QStringList{"A<<1", "A-01<A<2", "A-01/X1<A-01<3"} << "X-99/XX";
    QTest::newRow("a level without separator") << QStringList{"1<<1", "101<1<2"} << "";
    QTest::newRow("two lengths in one level") << QStringList{"1<<1", "1.01<1<2", "1.001<1<2"} << "";
    QTest::newRow("a code not under its superior") << QStringList{"1<<1", "2.01<1<2"} << "";
    QTest::newRow("a missing level") << QStringList{"1<<1", "1.1.1<1.1<3"} << "";
}

void TstLoader::levelPicture() {
    QFETCH(QStringList, codes);
    QFETCH(QString, picture);
    QList<importer::CodeShape> shapes;
    for (const QString& c : codes) {
        const QStringList p = c.split(QLatin1Char('<'));
        shapes.append({p[0], p[1], p[2].toInt()});
    }
    QCOMPARE(importer::levelPicture(shapes), picture);
}

// The bulk writer (COPY text on PostgreSQL) must carry every character a
// book's text may hold, and tell a null from an empty or "\\N" text.
void TstLoader::bulkRowsComeBackAsWritten_data() {
    QTest::addColumn<QVariant>("text");
    QTest::newRow("tab, line feed and carriage return") << QVariant("a\tb\nc\rd");
    QTest::newRow("backslashes, one before N") << QVariant("NF 12\\34 \\N \\.");
    QTest::newRow("the end-of-data line") << QVariant("\\.");
    QTest::newRow("accents and symbols") << QVariant("Pagamento nº 4 — ção €");
    QTest::newRow("null") << QVariant(QMetaType(QMetaType::QString));
    QTest::newRow("the letters of a null") << QVariant("\\N");
}

void TstLoader::bulkRowsComeBackAsWritten() {
    QFETCH(QVariant, text);
    QSqlDatabase db = fresh();
    QSqlQuery q(db);
    QVERIFY(q.exec("CREATE TABLE BULKT (N BIGINT NOT NULL, T VARCHAR(200), D DATE)"));
    QVERIFY(db.transaction());
    {
        const auto rows = importer::makeRowWriter(db, "BULKT", {"N", "T", "D"}, 3);
        for (int n = 1; n <= 7; ++n) // two full statements and a short one on SQLite
            rows->add({qint64(n) * 10000000000LL, text, QDate(2025, 2, n)});
        rows->flush();
        QCOMPARE(rows->written(), 7);
    }
    QVERIFY(db.commit());
    QVERIFY(q.exec("SELECT N, T, D FROM BULKT ORDER BY N"));
    int n = 0;
    while (q.next()) {
        ++n;
        QCOMPARE(q.value(0).toLongLong(), qint64(n) * 10000000000LL);
        QCOMPARE(q.value(1).isNull(), text.isNull());
        QCOMPARE(q.value(1).toString(), text.toString());
        QCOMPARE(q.value(2).toDate(), QDate(2025, 2, n));
    }
    QCOMPARE(n, 7);
}

// A row the table refuses fails the import with the database's words, and
// the connection stays usable for the rollback.
void TstLoader::bulkRefusalIsADatabaseError() {
    QSqlDatabase db = fresh();
    QSqlQuery q(db);
    QVERIFY(q.exec("CREATE TABLE BULKT (N BIGINT NOT NULL PRIMARY KEY)"));
    QVERIFY(db.transaction());
    {
        const auto rows = importer::makeRowWriter(db, "BULKT", {"N"}, 2);
        QVERIFY_THROWS_EXCEPTION(importer::DatabaseError, [&] {
            for (const qint64 n : {1, 1, 2})
                rows->add({n});
            rows->flush();
        }());
    }
    QVERIFY(db.rollback());
    QVERIFY(q.exec("SELECT COUNT(*) FROM BULKT"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 0);
}

// A large load drops the foreign keys among the postings' tables and puts
// them back before the commit: they come back exactly as they were, and
// putting them back refuses rows that break them.
void TstLoader::postingKeysComeBackAsTheyWere() {
    QSqlDatabase db = fresh();
    if (!db::isPostgres(db))
        QSKIP("SQLite loads with its keys as they are");
    const QStringList tables{"LANCCONT", "PARTLANC", "PARTCCUS"};
    auto keys = [&] {
        QSqlQuery q(db);
        q.exec("SELECT conrelid::regclass::text, conname, pg_get_constraintdef(oid)"
               " FROM pg_constraint WHERE contype = 'f' ORDER BY 1, 2");
        QStringList out;
        while (q.next())
            out << q.value(0).toString() + ' ' + q.value(1).toString() + ' ' +
                       q.value(2).toString();
        return out;
    };
    const QStringList before = keys();
    QVERIFY(before.join('\n').contains("REFERENCES lanccont(cdempresa, nrlanccont)"));

    QVERIFY(db.transaction());
    QStringList restore = db::suspendForeignKeys(db, tables);
    QCOMPARE(restore.size(), 2); // postings to entries, cost centres to postings
    QVERIFY(keys().size() == before.size() - 2);
    db::restoreForeignKeys(db, restore);
    QVERIFY(db.commit());
    QCOMPARE(keys(), before);

    QVERIFY(db.transaction());
    restore = db::suspendForeignKeys(db, tables);
    QSqlQuery q(db);
    QVERIFY2(q.exec("INSERT INTO CONTCTBL (CDCONTCTBL, NMCONTCTBL, CDNVCONTCTBL, IDTIPOCONT,"
                    " IDNATCONT, DTATUALIZ) VALUES ('1', 'Ativo', 1, 'A', '1', DATE '2025-01-01')"),
             qPrintable(q.lastError().text()));
    // An entry's posting whose entry is not there.
    QVERIFY2(q.exec("INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC, DTLANCCONT,"
                    " CDCONTCTBL, VRLANCAMENT, IDNATLANC)"
                    " VALUES ('01', 999999, 1, DATE '2025-01-01', '1', 1, 'D')"),
             qPrintable(q.lastError().text()));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, db::restoreForeignKeys(db, restore));
    QVERIFY(db.rollback());
    QCOMPARE(keys(), before);
}

QTEST_GUILESS_MAIN(TstLoader)
#include "tst_loader.moc"
