// The folder part of a destination, and the folder sync after the rename
// that puts the file in place: a folder syncs; what is not a folder is an
// error with the system's reason.
#include "generator/destination.h"
#include "generator/syncfolder.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TstSyncFolder : public QObject {
    Q_OBJECT
private slots:
    void folderOf_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::newRow("file in folder") << "/home/ana/saida.txt"
                                        << "/home/ana";
        QTest::newRow("file in root") << "/saida.txt"
                                      << "/";
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("trailing slash") << "/home/ana/"
                                        << "/home/ana";
        QTest::newRow("double slash keeps it") << "/home//saida.txt"
                                               << "/home//";
        QTest::newRow("relative") << "sub/saida.txt"
                                  << "sub";
        QTest::newRow("bare name") << "saida.txt"
                                   << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void folderOf() {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QCOMPARE(gen::folderOf(path), folder);
    }
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
