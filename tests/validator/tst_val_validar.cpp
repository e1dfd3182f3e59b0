#include "samplefile.h"
#include "validator/validar.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using validator::runValidar;

class ValValidar : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void reportText();
    void json();

private:
    QString write(const QString& name, const QByteArray& bytes);
    int run(const QStringList& args, QString* out = nullptr, QString* err = nullptr);
    QTemporaryDir dir_;
    QString good_, bad_;
};

QString ValValidar::write(const QString& name, const QByteArray& bytes) {
    QString path = dir_.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

int ValValidar::run(const QStringList& args, QString* out, QString* err) {
    QString o, e;
    QTextStream os(&o), es(&e);
    const int status = runValidar(args, os, es);
    if (out)
        *out = o;
    if (err)
        *err = e;
    return status;
}

void ValValidar::initTestCase() {
    QVERIFY(dir_.isValid());
    good_ = write(QStringLiteral("good.txt"), valtest::sampleFile());
    QByteArray bad = valtest::sampleFile();
    bad.replace("I250|01122025|3.01|300|C", "I250|01122025|1.01|300|C");
    bad_ = write(QStringLiteral("bad.txt"), bad);
}

void ValValidar::exitStatus_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addRow("clean file") << QStringList{"@good"} << 0;
    QTest::addRow("clean file, json") << QStringList{"--json", "@good"} << 0;
    QTest::addRow("file with errors") << QStringList{"@bad"} << 1;
    QTest::addRow("clean and with errors") << QStringList{"@good", "@bad"} << 1;
    QTest::addRow("missing file") << QStringList{"@missing"} << 2;
    QTest::addRow("errors and missing") << QStringList{"@bad", "@missing"} << 2;
    QTest::addRow("no file") << QStringList{} << 2;
    QTest::addRow("only --json") << QStringList{"--json"} << 2;
    QTest::addRow("unknown option") << QStringList{"--todos", "@good"} << 2;
}

void ValValidar::exitStatus() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    for (QString& a : args) {
        if (a == QLatin1String("@good"))
            a = good_;
        else if (a == QLatin1String("@bad"))
            a = bad_;
        else if (a == QLatin1String("@missing"))
            a = dir_.filePath(QStringLiteral("missing.txt"));
    }
    QString err;
    QCOMPARE(run(args, nullptr, &err), status);
    QCOMPARE(err.isEmpty(), status != 2);
}

void ValValidar::reportText() {
    QString out;
    QCOMPARE(run({bad_}, &out), 1);
    QVERIFY2(out.contains(QStringLiteral("  linha 30, registro I250, campo 3: conta 1.01 não é "
                                         "conta de resultado (natureza 4)\n")),
             qPrintable(out));
    QVERIFY(out.contains(QStringLiteral("Erros: 1\n")));
    QVERIFY(out.contains(QStringLiteral("Avisos: 0\n")));
    // Summary row of the type with the error, and the total.
    QVERIFY(out.contains(QRegularExpression(QStringLiteral("\\n  I250 +2 +1 +0\\n"))));
    QVERIFY(out.contains(QRegularExpression(QStringLiteral("\\n  Total +52 +1 +0\\n"))));
    QVERIFY(out.endsWith(QStringLiteral("Resultado: arquivo com erros.\n")));

    QCOMPARE(run({good_}, &out), 0);
    QVERIFY(out.contains(QStringLiteral("Erros: 0\n")));
    QVERIFY(out.endsWith(QStringLiteral("Resultado: sem erros.\n")));
}

void ValValidar::json() {
    QString out;
    QCOMPARE(run({QStringLiteral("--json"), good_, bad_}, &out), 1);
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(out.toUtf8(), &pe);
    QCOMPARE(pe.error, QJsonParseError::NoError);
    const QJsonObject root = doc.object();
    QCOMPARE(root.value(QStringLiteral("status")).toInt(), 1);
    const QJsonArray files = root.value(QStringLiteral("files")).toArray();
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0].toObject().value(QStringLiteral("errorCount")).toInt(), 0);
    const QJsonObject bad = files[1].toObject();
    QCOMPARE(bad.value(QStringLiteral("file")).toString(), bad_);
    QCOMPARE(bad.value(QStringLiteral("lines")).toInt(), 52);
    const QJsonObject e = bad.value(QStringLiteral("errors")).toArray().at(0).toObject();
    QCOMPARE(e.value(QStringLiteral("line")).toInt(), 30);
    QCOMPARE(e.value(QStringLiteral("record")).toString(), QStringLiteral("I250"));
    QCOMPARE(e.value(QStringLiteral("field")).toInt(), 3);
    QVERIFY(e.value(QStringLiteral("reason")).toString().contains(QStringLiteral("natureza 4")));
    const QJsonArray summary = bad.value(QStringLiteral("summary")).toArray();
    QCOMPARE(summary.size(), 17);
    QCOMPARE(summary.at(0).toObject().value(QStringLiteral("record")).toString(),
             QStringLiteral("0000"));
}

QTEST_GUILESS_MAIN(ValValidar)
#include "tst_val_validar.moc"
