// A server connection outlives its database connection: after PostgreSQL
// drops it (a restart ends every backend the same way), the next call works
// on a new one; a run whose read was lost still fails.
#include "db/dbgeral.h"
#include "server/localserver.h"
#include "testdb.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using suite::RemoteArg;
using Args = QList<RemoteArg>;

namespace {
suite::RemoteResult contrib(suite::RemoteServer& srv) {
    Args a{RemoteArg::text("01"), RemoteArg::date(QDate(2025, 1, 1)),
           RemoteArg::date(QDate(2025, 12, 31))};
    return srv.call(QStringLiteral("GetIdContrib"), a);
}
} // namespace

class TestReconnect : public QObject {
    Q_OBJECT
    const QString conn = QStringLiteral("srv-reconnect");
    QSqlDatabase admin;

    // Ends the backend behind srv's connection, as a restart would.
    void cut(server::LocalServer& srv) {
        QSqlQuery pid(srv.database());
        QVERIFY(pid.exec(QStringLiteral("SELECT pg_backend_pid()")) && pid.next());
        const qint64 backend = pid.value(0).toLongLong();
        pid.finish();
        QSqlQuery q(admin);
        QVERIFY(q.prepare(QStringLiteral("SELECT pg_terminate_backend(?)")));
        q.addBindValue(backend);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }

private slots:
    void initTestCase() {
        if (const QString why = srvtest::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        admin = srvtest::openFresh(conn);
        if (!db::isPostgres(admin))
            QSKIP("a dropped connection is PostgreSQL's");
        srvtest::buildFixture(admin);
    }
    void cleanupTestCase() {
        admin = QSqlDatabase();
        srvtest::dropAll(conn);
    }

    void nextCallWorksAfterTheDatabaseDroppedIt() {
        server::LocalServer srv(srvtest::urlOf(conn), QStringLiteral("reconnect-a"));
        QVERIFY(contrib(srv).ok());
        for (int i = 0; i < 2; ++i) {
            cut(srv);
            const suite::RemoteResult r = contrib(srv);
            QVERIFY2(r.ok(), qPrintable(r.message));
        }
    }

    void runWhoseReadWasLostFailsThenRecovers() {
        server::LocalServer srv(srvtest::urlOf(conn), QStringLiteral("reconnect-b"));
        QVERIFY(srv.beginReadSnapshot().ok());
        QVERIFY(contrib(srv).ok());
        cut(srv);
        QVERIFY(!contrib(srv).ok());
        QVERIFY(!contrib(srv).ok());
        srv.endReadSnapshot();
        const suite::RemoteResult r = contrib(srv);
        QVERIFY2(r.ok(), qPrintable(r.message));
    }
};

QTEST_GUILESS_MAIN(TestReconnect)
#include "tst_reconnect.moc"
