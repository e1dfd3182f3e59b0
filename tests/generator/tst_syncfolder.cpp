// The folder sync after the rename that puts the file in place: a folder
// syncs; what is not a folder is an error with the system's reason.
#include "generator/syncfolder.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstSyncFolder : public QObject {
    Q_OBJECT
private slots:
    void folders_data() {
        QTest::addColumn<QString>("name"); // inside a temporary folder; "/" as is
        QTest::addColumn<bool>("ok");
        QTest::newRow("the destination's folder") << "." << true;
        QTest::newRow("the root") << "/" << true;
        QTest::newRow("missing folder") << "nada" << false;
        QTest::newRow("a file, not a folder") << "arquivo.txt" << false;
    }
    void folders() {
        QFETCH(QString, name);
        QFETCH(bool, ok);
        QTemporaryDir tmp;
        QFile f(tmp.filePath("arquivo.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString folder = name == "/" ? name : tmp.filePath(name);
        QString why;
        QCOMPARE(gen::syncFolder(folder, why), ok);
        QCOMPARE(why.isEmpty(), ok);
    }
};

QTEST_GUILESS_MAIN(TstSyncFolder)
#include "tst_syncfolder.moc"
