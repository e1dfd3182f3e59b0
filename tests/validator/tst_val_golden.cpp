// The generator's golden files, read as a user would check them: every file is
// sound in its format, order and counts; the cases built on deliberately
// inconsistent server data are reported as inconsistent.
#include "validator/checker.h"
#include "validator/output.h"
#include <QDir>
#include <QTest>

using namespace validator;

class ValGolden : public QObject {
    Q_OBJECT
private slots:
    void goldenFiles_data();
    void goldenFiles();
};

void ValGolden::goldenFiles_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("inconsistency"); // part of an expected error; empty: none expected
    // What the scripted data of each case makes wrong on purpose.
    const QHash<QString, QString> known = {
        {QStringLiteral("accents"), QString()},
        {QStringLiteral("example"), QStringLiteral("mas os I200 da conta")},
        {QStringLiteral("one_account"), QStringLiteral("data obrigatória vazia")},
        {QStringLiteral("placeholders"), QStringLiteral("data obrigatória vazia")},
        {QStringLiteral("separators"), QStringLiteral("não consta do plano de contas")},
        {QStringLiteral("value_rules"), QStringLiteral("código \"42\" inválido")},
    };
    const QDir golden(qEnvironmentVariable("GERARQPREV_SOURCE_DIR") +
                      QStringLiteral("/tests/generator/golden"));
    const QStringList cases = golden.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& c : cases) {
        const QString path = golden.filePath(c + QStringLiteral("/expected.txt"));
        if (QFile::exists(path) && known.contains(c))
            QTest::newRow(qPrintable(c)) << path << known.value(c);
    }
    if (cases.isEmpty())
        QSKIP("no golden files of the generator in this tree");
}

void ValGolden::goldenFiles() {
    QFETCH(QString, path);
    QFETCH(QString, inconsistency);
    Report r;
    QString ioError;
    QVERIFY2(checkFile(path, r, &ioError), qPrintable(ioError));
    QStringList structural, all;
    for (const Finding& f : r.errors()) {
        all << findingText(f);
        // Whole-line findings (format, order, field count) and count findings
        // say the generator wrote a malformed file, whatever its data.
        if (f.field == 0 || f.reason.startsWith(QStringLiteral("declara")))
            structural << findingText(f);
    }
    QVERIFY2(structural.isEmpty(), qPrintable(structural.join(QLatin1Char('\n'))));
    if (inconsistency.isEmpty())
        QVERIFY2(r.errorCount() == 0, qPrintable(all.join(QLatin1Char('\n'))));
    else
        QVERIFY2(all.filter(inconsistency).size() > 0, qPrintable(all.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(ValGolden)
#include "tst_val_golden.moc"
