// Byte-exact golden files: each folder under golden/ holds case.json (the
// command line's arguments, the server's scripted answers, what to expect)
// and expected.txt, the file's bytes. GERARQPREV_UPDATE_GOLDEN=1 rewrites
// expected.txt from the output, to be reviewed before it is committed.
#include "cli/gerar.h"
#include "scriptedserver.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString goldenDir() {
    return qEnvironmentVariable("GERARQPREV_SOURCE_DIR") + "/tests/generator/golden";
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The first line where two files part, for a readable failure.
QString firstDifference(const QByteArray& got, const QByteArray& want) {
    const QList<QByteArray> g = got.split('\n');
    const QList<QByteArray> w = want.split('\n');
    for (qsizetype i = 0; i < qMax(g.size(), w.size()); ++i) {
        const QByteArray a = i < g.size() ? g[i] : "<fim>";
        const QByteArray b = i < w.size() ? w[i] : "<fim>";
        if (a != b)
            // One pass: the encoded lines hold "%" signs of their own.
            return QString("linha %1:\n  obtido:   %2\n  esperado: %3")
                .arg(QString::number(i + 1),
                     QString::fromLatin1(a.toPercentEncoding(" |,;:/()&@-_.")),
                     QString::fromLatin1(b.toPercentEncoding(" |,;:/()&@-_.")));
    }
    return {};
}

QStringList toStrings(const QJsonArray& a) {
    QStringList s;
    for (const auto& v : a)
        s << v.toString();
    return s;
}
} // namespace

class TstGolden : public QObject {
    Q_OBJECT
private slots:
    void golden_data();
    void golden();
};

void TstGolden::golden_data() {
    QTest::addColumn<QString>("folder");
    const QDir dir(goldenDir());
    const QStringList cases = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!cases.isEmpty());
    for (const QString& c : cases)
        QTest::newRow(qPrintable(c)) << dir.filePath(c);
}

void TstGolden::golden() {
    QFETCH(QString, folder);
    const QJsonObject c = QJsonDocument::fromJson(readAll(folder + "/case.json")).object();
    QVERIFY2(!c.isEmpty(), "case.json unreadable");
    const QJsonObject expect = c.value("expect").toObject();

    QTemporaryDir tmp;
    const QString dest = tmp.filePath("MANAD.txt");
    const QByteArray before = expect.value("preexisting").toString().toUtf8();
    if (expect.contains("preexisting")) {
        QFile f(dest);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
    }

    ScriptedServer server(c.value("answers").toObject());
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    cli::Injected inj;
    inj.server = &server;
    inj.companyExists = [](const QString& code) { return code == "01"; };
    const QStringList args = toStrings(c.value("args").toArray()) + QStringList{"--saida", dest};
    const int status = cli::runGerar(args, out, err, inj);
    out.flush();
    err.flush();

    QVERIFY2(status == expect.value("exit").toInt(),
             qPrintable(QString("exit %1\n%2").arg(status).arg(errText)));
    for (const QString& s : toStrings(expect.value("stdoutContains").toArray()))
        QVERIFY2(outText.contains(s), qPrintable(outText));
    for (const QString& s : toStrings(expect.value("stderrContains").toArray()))
        QVERIFY2(errText.contains(s), qPrintable(errText));
    if (expect.contains("calls"))
        QVERIFY2(server.trace.size() == expect.value("calls").toInt(),
                 qPrintable(QString::number(server.trace.size())));

    const QByteArray got = readAll(dest);
    if (status != 0) {
        // A stopped run leaves the destination as it was and no temporary file.
        QCOMPARE(got, before);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(),
                 expect.contains("preexisting") ? 1 : 0);
        return;
    }
    // Declared lines must be there whatever the golden file says.
    const QJsonObject lines = expect.value("lines").toObject();
    for (auto it = lines.begin(); it != lines.end(); ++it)
        QVERIFY2(got.contains("\r\n" + it.value().toString().toLatin1() + "\r\n"),
                 qPrintable(it.value().toString()));
    QVERIFY(got.endsWith("\r\n"));
    QVERIFY(!got.contains("\r\r") && got.count('\n') == got.count("\r\n"));

    const QString expectedPath = folder + "/expected.txt";
    if (qEnvironmentVariableIntValue("GERARQPREV_UPDATE_GOLDEN") == 1) {
        QFile f(expectedPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(got);
        QSKIP("expected.txt rewritten");
    }
    const QByteArray want = readAll(expectedPath);
    QVERIFY2(got == want, qPrintable(firstDifference(got, want)));
}

QTEST_GUILESS_MAIN(TstGolden)
#include "tst_golden.moc"
