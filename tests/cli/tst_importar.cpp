// The command line's importar and cadastro: statuses, and that a refused or
// simulated import leaves the database as it was.
#include "cli/gerar.h"
#include "cli/importar.h"
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray minimalBook() {
    QFile f(qEnvironmentVariable("GERARQPREV_SOURCE_DIR") + "/tests/importer/books/minimal.txt");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Result {
    int status;
    QString out, err;
};

Result run(const QStringList& args) {
    Result r;
    QTextStream out(&r.out), err(&r.err);
    r.status = cli::runMain(args, out, err);
    out.flush();
    err.flush();
    return r;
}

// Rows of a table, through a connection of the test's own.
int rows(const QString& dbPath, const QString& table) {
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "count");
        db.setDatabaseName(dbPath);
        if (db.open()) {
            QSqlQuery q(db);
            // The table names are the test's own constants.
            if (q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)) && q.next())
                n = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

} // namespace

class TstImportar : public QObject {
    Q_OBJECT
private slots:
    void statuses_data();
    void statuses();
    void cadastroFillsWhatTheBooksLack();
};

void TstImportar::statuses_data() {
    QTest::addColumn<QStringList>("args"); // BOOK, OTHER and DB are put in place
    QTest::addColumn<QByteArray>("other"); // a second book's content
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("companies"); // after the run
    const QByteArray book = minimalBook();
    QByteArray wrongBalance = book;
    wrongBalance.replace("|I155|1.01.01.001.0000000001||10000,00|D|1500,00|",
                         "|I155|1.01.01.001.0000000001||10000,00|D|1600,00|");
    QByteArray otherCompany = book;
    otherCompany.replace("|11222333000181|", "|11444777000161|");
    const QStringList base{"importar", "ecd", "--empresa", "7", "--banco", "DB"};
    QTest::newRow("a book imported") << base + QStringList{"BOOK"} << QByteArray()
                                     << int(cli::ImportOk) << "Importação concluída" << 1;
    QTest::newRow("the same book twice") << base + QStringList{"BOOK", "BOOK"} << QByteArray()
                                         << int(cli::ImportOk) << "Importação concluída" << 1;
    QTest::newRow("a simulation changes nothing")
        << base + QStringList{"--simular", "BOOK"} << QByteArray() << int(cli::ImportOk)
        << "nada foi alterado" << 0;
    QTest::newRow("an I155 that disagrees with its postings")
        << base + QStringList{"OTHER"} << wrongBalance << int(cli::ImportRefused) << "I155" << 0;
    QTest::newRow("two companies' books")
        << base + QStringList{"BOOK", "OTHER"} << otherCompany << int(cli::ImportRefused)
        << "uma empresa de cada vez" << 0;
    QTest::newRow("no source format")
        << QStringList{"importar", "--empresa", "7", "BOOK"} << QByteArray()
        << int(cli::ImportUsage) << "importar ecd" << -1;
    QTest::newRow("no files") << base << QByteArray() << int(cli::ImportUsage)
                              << "informe os arquivos" << -1;
    QTest::newRow("a missing file") << base + QStringList{"nenhum.txt"} << QByteArray()
                                    << int(cli::ImportUsage) << "nenhum.txt" << -1;
    QTest::newRow("no company") << QStringList{"importar", "ecd", "--banco", "DB", "BOOK"}
                                << QByteArray() << int(cli::ImportUsage) << "--empresa" << -1;
    QTest::newRow("company of three characters")
        << QStringList{"importar", "ecd", "--empresa", "007", "--banco", "DB", "BOOK"}
        << QByteArray() << int(cli::ImportUsage) << "--empresa" << -1;
}

void TstImportar::statuses() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, other);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(int, companies);
    QTemporaryDir tmp;
    QFile book(tmp.filePath("livro.txt")), second(tmp.filePath("outro.txt"));
    QVERIFY(book.open(QIODevice::WriteOnly) && book.write(minimalBook()) > 0);
    book.close();
    QVERIFY(second.open(QIODevice::WriteOnly));
    second.write(other);
    second.close();
    const QString db = tmp.filePath("livros.db");
    args.replaceInStrings(QRegularExpression("^BOOK$"), book.fileName());
    args.replaceInStrings(QRegularExpression("^OTHER$"), second.fileName());
    args.replaceInStrings(QRegularExpression("^DB$"), db);
    const Result r = run(args);
    QVERIFY2(r.status == status, qPrintable(r.out + r.err));
    QVERIFY2((r.out + r.err).contains(message), qPrintable(r.out + r.err));
    if (companies >= 0)
        QCOMPARE(rows(db, "EMPRESA"), companies);
    if (companies == 0)
        QCOMPARE(rows(db, "LANCCONT"), 0);
}

void TstImportar::cadastroFillsWhatTheBooksLack() {
    QTemporaryDir tmp;
    const QString db = tmp.filePath("livros.db");
    QFile book(tmp.filePath("livro.txt"));
    QVERIFY(book.open(QIODevice::WriteOnly) && book.write(minimalBook()) > 0);
    book.close();
    QCOMPARE(run({"cadastro", "--empresa", "7", "--banco", db}).status, int(cli::ImportRefused));
    QCOMPARE(run({"importar", "ecd", "--empresa", "7", "--banco", db, book.fileName()}).status,
             int(cli::ImportOk));
    // A new supplier needs its name; a bad CNPJ is refused; nothing is kept.
    QCOMPARE(
        run({"cadastro", "--empresa", "7", "--banco", db, "--tecnologia-cnpj", "11222333000181"})
            .status,
        int(cli::ImportRefused));
    QCOMPARE(
        run({"cadastro", "--empresa", "7", "--banco", db, "--escritorio-cnpj", "11222333000100"})
            .status,
        int(cli::ImportRefused));
    QCOMPARE(rows(db, "TECEMPR"), 0);
    const Result set = run({"cadastro", "--empresa", "7", "--banco", db, "--tecnologia-nome",
                            "Sistemas Contábeis Ltda", "--tecnologia-cnpj", "11.222.333/0001-81",
                            "--escritorio-cnpj", "11444777000161", "--cep", "01001-000"});
    QVERIFY2(set.status == cli::ImportOk, qPrintable(set.err));
    const Result shown = run({"cadastro", "--empresa", "7", "--banco", db});
    QCOMPARE(shown.status, int(cli::ImportOk));
    QVERIFY(
        shown.out.contains("Fornecedor do sistema (--tecnologia-nome): Sistemas Contábeis Ltda"));
    QVERIFY(shown.out.contains("CNPJ do fornecedor (--tecnologia-cnpj): 11222333000181"));
    QVERIFY(shown.out.contains("CNPJ do escritório (--escritorio-cnpj): 11444777000161"));
    QVERIFY(shown.out.contains("CEP (--cep): 01001-000"));
    // The accountant's name from the book is kept.
    QVERIFY(shown.out.contains("Nome do contador (--contador-nome): MARIA"));
}

QTEST_GUILESS_MAIN(TstImportar)
#include "tst_importar.moc"
