// The command line over the in-process server: `demo` makes the database and
// writes the demo company's file; `gerar --banco` checks the company in it.
#include "cli/gerar.h"
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
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

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TstDemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void demoWritesTheYear();
    void demoAgainGivesTheSameBytes();
    void gerar_data();
    void gerar();

private:
    QTemporaryDir dir_;
    QString oldCwd_;
    QString db_;
};

void TstDemo::initTestCase() {
    QVERIFY(dir_.isValid());
    oldCwd_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_.path()));
    db_ = dir_.filePath("dados/demo.db");
}

void TstDemo::cleanupTestCase() {
    QDir::setCurrent(oldCwd_);
}

void TstDemo::demoWritesTheYear() {
    const Result r = run({"demo", "--banco", db_});
    QVERIFY2(r.status == cli::ExitOk, qPrintable(r.err));
    QVERIFY(QFile::exists(db_));
    const QString path = dir_.filePath("MANAD_01_2025.txt");
    QVERIFY2(r.out.contains(path + "\n"), qPrintable(r.out));

    const QByteArray file = readAll(path);
    const QList<QByteArray> lines = file.chopped(2).split('\n');
    QCOMPARE(file.count("\r\n"), lines.size());
    QVERIFY(file.startsWith("0000|"));
    QCOMPARE(lines.last(), "9999|" + QByteArray::number(lines.size()));
    // The printed counts are the file's.
    const QRegularExpression i200(QStringLiteral("\\n  I200 (\\d+)\\n"));
    const auto m = i200.match(r.out);
    QVERIFY2(m.hasMatch(), qPrintable(r.out));
    QCOMPARE(m.captured(1).toInt(), int(file.count("\r\nI200|")));
    QVERIFY(m.captured(1).toInt() > 100);
    QVERIFY(r.out.contains("linhas: " + QString::number(lines.size())));
}

void TstDemo::demoAgainGivesTheSameBytes() {
    const QString path = dir_.filePath("MANAD_01_2025.txt");
    const QByteArray first = readAll(path);
    QVERIFY(!first.isEmpty());
    const Result r = run({"demo", "--banco", db_, "--silencioso"});
    QVERIFY2(r.status == cli::ExitOk, qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QVERIFY(readAll(path) == first);
}

void TstDemo::gerar_data() {
    QTest::addColumn<QString>("company");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("demo company") << "01" << int(cli::ExitOk) << "Arquivo gerado com sucesso.";
    QTest::newRow("company not in the database")
        << "09" << int(cli::ExitCheck) << "Empresa não cadastrada.";
}

void TstDemo::gerar() {
    QFETCH(QString, company);
    QFETCH(int, status);
    QFETCH(QString, message);
    QVERIFY(QFile::exists(db_));
    const QString dest = dir_.filePath("gerar-" + company + ".txt");
    const Result r =
        run({"gerar", "--banco", db_, "--saida", dest, "--empresa", company, "--inicio",
             "01/03/2025", "--fim", "31/03/2025", "--apuracao", "31/03/2025"});
    QVERIFY2(r.status == status, qPrintable(r.err));
    QVERIFY2((r.out + r.err).contains(message), qPrintable(r.out + r.err));
    QCOMPARE(QFile::exists(dest), status == cli::ExitOk);
}

QTEST_GUILESS_MAIN(TstDemo)
#include "tst_demo.moc"
