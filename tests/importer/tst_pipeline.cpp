// The reader and the content checks together, on the hand-written book and
// on generated ones: what one writes, the other must read clean.
#include "importer/bookchecks.h"
#include "importer/ecdbookwriter.h"
#include "importer/ecdreader.h"
#include <QTemporaryDir>
#include <QtTest>

using namespace importer;

namespace {
QString findingsText(const BookChecks& c) {
    QStringList out;
    for (const Finding& f : c.findings())
        out << QStringLiteral("%1:%2:%3 %4")
                   .arg(f.place.file)
                   .arg(f.place.line)
                   .arg(f.place.field)
                   .arg(f.text);
    return out.join(QLatin1Char('\n'));
}
} // namespace

class TestPipeline : public QObject {
    Q_OBJECT
private slots:
    void handWrittenBookReadsClean() {
        const QString path =
            qEnvironmentVariable("GERARQPREV_SOURCE_DIR") + "/tests/importer/books/minimal.txt";
        EcdReader reader(path);
        BookChecks checks;
        reader.read(checks);
        QVERIFY2(checks.findings().isEmpty(), qPrintable(findingsText(checks)));
        QCOMPARE(reader.encodingName(), QStringLiteral("ISO-8859-1"));
    }

    void generatedBooksReadClean_data() {
        QTest::addColumn<int>("months"); // per book
        QTest::newRow("a year in one book") << 12;
        QTest::newRow("a year in two half-year books") << 6;
    }
    void generatedBooksReadClean() {
        QFETCH(int, months);
        LedgerPlan plan;
        plan.postings = 3000;
        plan.analyticAccounts = 80;
        EcdLedger ledger(plan);
        QTemporaryDir dir;
        const QStringList books = ledger.writeSplit(dir.path(), QStringLiteral("livro"), months);
        QCOMPARE(books.size(), 12 / months);
        for (const QString& book : books) {
            EcdReader reader(book);
            BookChecks checks;
            reader.read(checks);
            QVERIFY2(!checks.hasErrors(), qPrintable(findingsText(checks)));
            QCOMPARE(checks.kind(), QStringLiteral("G"));
        }
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
