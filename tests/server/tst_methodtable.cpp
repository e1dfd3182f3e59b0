// docs/protocol.md's method table is the declaration's, as written by
// remote::markdownTable(). Run with GERARQPREV_WRITE_DOCS=1 to rewrite it.
#include "interfaces/remotemethods.h"
#include <QFile>
#include <QtTest>

namespace {
const QString kBegin =
    QStringLiteral("<!-- methods table: written from interfaces/remotemethods.cpp -->\n");
const QString kEnd = QStringLiteral("<!-- end of methods table -->\n");
} // namespace

class TestMethodTable : public QObject {
    Q_OBJECT
private slots:
    void docsShowTheDeclaration() {
        QFile f(qEnvironmentVariable("GERARQPREV_SOURCE_DIR") +
                QStringLiteral("/docs/protocol.md"));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        const QString doc = QString::fromUtf8(f.readAll());
        f.close();
        const qsizetype begin = doc.indexOf(kBegin);
        const qsizetype end = doc.indexOf(kEnd);
        QVERIFY2(begin >= 0 && end > begin, "markers of the methods table missing");
        const qsizetype from = begin + kBegin.size();
        const QString want = remote::markdownTable();
        if (qEnvironmentVariableIntValue("GERARQPREV_WRITE_DOCS") == 1) {
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write((doc.left(from) + want + doc.mid(end)).toUtf8());
            return;
        }
        QCOMPARE(doc.mid(from, end - from), want);
    }
};

QTEST_GUILESS_MAIN(TestMethodTable)
#include "tst_methodtable.moc"
