// Calls that follow one another read one snapshot, and only for as long as
// they keep coming: a write by another connection shows once the snapshot
// ends, is renewed, or the client pauses.
#include "server/localserver.h"
#include "server/readsnapshot.h"
#include "server/socketserver.h"
#include "suite/core/config.h"
#include "suite/net/netconnection.h"
#include "testdb.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <memory>

using suite::RemoteArg;
using Args = QList<RemoteArg>;

class TestSnapshot : public QObject {
    Q_OBJECT
    const QString conn = QStringLiteral("srv-snapshot");
    QSqlDatabase writer;

    void rename(const QString& name) {
        QSqlQuery q(writer);
        QVERIFY(
            q.prepare(QStringLiteral("UPDATE EMPRESA SET NMRAZSOCEMPR = ? WHERE CDEMPRESA = ?")));
        q.addBindValue(name);
        q.addBindValue(QStringLiteral("01"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    static QString nameVia(suite::RemoteServer& srv) {
        Args a{RemoteArg::text("01"), RemoteArg::date(QDate(2025, 1, 1)),
               RemoteArg::date(QDate(2025, 12, 31))};
        const suite::RemoteResult r = srv.call(QStringLiteral("GetIdContrib"), a);
        return r.ok() ? r.packet.rows.value(0, 0).toString()
                      : QStringLiteral("falha: ") + r.message;
    }
    static QString nameVia(QSqlDatabase& db) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT NMRAZSOCEMPR FROM EMPRESA WHERE CDEMPRESA = '01'"));
        return q.next() ? q.value(0).toString() : QString();
    }

private slots:
    void initTestCase() {
        suite::config();
        writer = srvtest::openFresh(conn);
        srvtest::buildFixture(writer);
        if (writer.driverName() != QLatin1String("QSQLITE"))
            QSKIP("snapshots are SQLite's");
    }
    void init() { rename(QStringLiteral("Primeiro Nome")); }
    void cleanupTestCase() {
        writer = QSqlDatabase();
        srvtest::dropAll(conn);
    }

    void callsInARowReadOneSnapshot() {
        server::LocalServer srv(srvtest::urlOf(conn), QStringLiteral("snap-a"));
        QCOMPARE(nameVia(srv), QStringLiteral("Primeiro Nome"));
        QVERIFY(srv.inSnapshot());
        rename(QStringLiteral("Segundo Nome"));
        QCOMPARE(nameVia(srv), QStringLiteral("Primeiro Nome"));
        srv.endSnapshot();
        QVERIFY(!srv.inSnapshot());
        QCOMPARE(nameVia(srv), QStringLiteral("Segundo Nome"));
    }

    // Writers are never held up by a reader's snapshot.
    void aHeldSnapshotBlocksNoWriter() {
        server::LocalServer srv(srvtest::urlOf(conn), QStringLiteral("snap-b"));
        nameVia(srv);
        QVERIFY(srv.inSnapshot());
        rename(QStringLiteral("Outro Nome"));
        QCOMPARE(nameVia(writer), QStringLiteral("Outro Nome"));
    }

    void anOldSnapshotIsRenewed() {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "snap-c");
        db.setDatabaseName(srvtest::urlOf(conn));
        QVERIFY(db.open());
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode = WAL"));
        {
            server::ReadSnapshot never(db, -1); // every entry is "too old"
            QVERIFY(never.usable());
            never.enter();
            QCOMPARE(nameVia(db), QStringLiteral("Primeiro Nome"));
            rename(QStringLiteral("Renovado"));
            never.enter();
            QCOMPARE(nameVia(db), QStringLiteral("Renovado"));
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("snap-c");
    }

    // A connection borrowed from a caller who may write through it, or one
    // without WAL, never gets a snapshot.
    void noSnapshotWhereWritesCouldBeCaught() {
        {
            server::LocalServer borrowed(writer);
            nameVia(borrowed);
            QVERIFY(!borrowed.inSnapshot());
        }
        QSqlDatabase mem = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "snap-mem");
        mem.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(mem.open());
        QVERIFY(!server::ReadSnapshot(mem).usable());
        mem = QSqlDatabase();
        QSqlDatabase::removeDatabase("snap-mem");
    }

    // Over a socket the snapshot ends when the client pauses, so a client
    // that calls now and then always reads the latest data.
    void aPausingClientSeesNewData() {
        server::SocketServerOptions o;
        o.databaseUrl = srvtest::urlOf(conn);
        o.port = 0;
        server::SocketServer srv(o);
        QString why;
        QVERIFY2(srv.start(why), qPrintable(why));
        suite::TNetConnection c(QStringLiteral("KLT40500.rdmGerArqPrev"));
        c.SetHost(QStringLiteral("127.0.0.1"));
        c.SetPort(srv.port());
        c.SetSocketPath(QString());
        c.SetToken(QString());
        QCOMPARE(nameVia(c.AppServer()), QStringLiteral("Primeiro Nome"));
        rename(QStringLiteral("Depois da Pausa"));
        QTRY_COMPARE_WITH_TIMEOUT(nameVia(c.AppServer()), QStringLiteral("Depois da Pausa"), 5000);
    }
};

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
