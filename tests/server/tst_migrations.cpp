// Migrations when several programs start on one database at once, and once
// per process afterwards.
#include "db/dbgeral.h"
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

bool usePg() {
    return qEnvironmentVariable("GERARQPREV_TEST_BACKEND") == QLatin1String("pg");
}

// A PostgreSQL schema nobody has migrated yet.
QString freshPgUrl(const QString& schema) {
    const QString admin = qEnvironmentVariable("GERARQPREV_TEST_PG_URL");
    {
        QSqlDatabase a = db::open(admin, "mig-admin");
        QSqlQuery q(a);
        q.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
        q.exec(QStringLiteral("CREATE SCHEMA %1").arg(schema));
        a.close();
    }
    QSqlDatabase::removeDatabase("mig-admin");
    return admin + (admin.contains('?') ? "&schema=" : "?schema=") + schema;
}

QList<int> versions(const QString& url) {
    QList<int> v;
    {
        QSqlDatabase d = db::open(url, "mig-read");
        QSqlQuery q(d);
        q.exec("SELECT NRVERSAO FROM SCHEMA_VERSION ORDER BY NRVERSAO");
        while (q.next())
            v << q.value(0).toInt();
        d.close();
    }
    QSqlDatabase::removeDatabase("mig-read");
    return v;
}

} // namespace

class TestMigrations : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() {
        if (usePg() && qEnvironmentVariable("GERARQPREV_TEST_PG_URL").isEmpty())
            QSKIP("GERARQPREV_TEST_PG_URL is not set");
        QVERIFY(dir.isValid());
    }

    void startingTogether_data() {
        QTest::addColumn<int>("processes");
        QTest::newRow("two") << 2;
        QTest::newRow("four") << 4;
    }
    void startingTogether() {
        QFETCH(int, processes);
        const QString name =
            QStringLiteral("race%1_%2").arg(processes).arg(QCoreApplication::applicationPid());
        const QString url = usePg() ? freshPgUrl(name) : dir.filePath(name + ".db");
        // Far enough ahead for every process to have opened its connection.
        const qint64 start = QDateTime::currentMSecsSinceEpoch() + 1500;
        std::vector<std::unique_ptr<QProcess>> all;
        for (int i = 0; i < processes; ++i) {
            all.push_back(std::make_unique<QProcess>());
            all.back()->start(QStringLiteral(GERARQPREV_MIGRATE_HELPER),
                              {url, QString::number(start)});
        }
        QList<int> expected;
        for (int v = 1; v <= db::schemaVersion(); ++v)
            expected << v;
        for (auto& p : all) {
            QVERIFY(p->waitForFinished(60000));
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0,
                     p->readAllStandardError().constData());
        }
        QCOMPARE(versions(url), expected);
    }

    // A process that has brought a database up to date does not touch it
    // again: not even a writer holding the lock holds it up.
    void oncePerProcess() {
        if (usePg())
            QSKIP("the write lock held here is SQLite's");
        const QString path = dir.filePath("once.db");
        {
            QSqlDatabase a = db::open(path, "once-a");
            db::applyMigrations(a);
            QSqlDatabase b = db::open(path, "once-b");
            QSqlQuery w(b);
            QVERIFY2(w.exec("BEGIN IMMEDIATE"), qPrintable(w.lastError().text()));
            QSqlDatabase c = db::open(path, "once-c");
            db::applyMigrations(c); // would wait for the lock and fail
            QVERIFY(w.exec("ROLLBACK"));
            a.close();
            b.close();
            c.close();
        }
        for (const char* n : {"once-a", "once-b", "once-c"})
            QSqlDatabase::removeDatabase(n);
    }

    // A database made again under a name the process migrated before is new.
    void sameNameAgain() {
        if (usePg())
            QSKIP("a file of its own");
        const QString path = dir.filePath("again.db");
        for (int round = 0; round < 2; ++round) {
            {
                QSqlDatabase d = db::open(path, "again");
                db::applyMigrations(d);
                QSqlQuery q(d);
                QVERIFY2(q.exec("SELECT COUNT(*) FROM EMPRESA"), qPrintable(q.lastError().text()));
                d.close();
            }
            QSqlDatabase::removeDatabase("again");
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(path + suffix);
        }
    }
};

QTEST_GUILESS_MAIN(TestMigrations)
#include "tst_migrations.moc"
