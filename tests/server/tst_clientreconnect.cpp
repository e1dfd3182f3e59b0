// The client's connection after the server closed it while the client was
// idle (a server restart): the next call connects again unseen; inside a
// run's consistent read the loss is still a failure.
#include "server/socketserver.h"
#include "suite/core/config.h"
#include "suite/net/netconnection.h"
#include "testdb.h"
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using suite::RemoteArg;
using suite::RemoteError;

class TstReconnect : public QObject {
    Q_OBJECT
    const QString conn = QStringLiteral("srv-reconnect");
    QTemporaryDir dir;
    std::unique_ptr<server::SocketServer> srv;

    void startServer() {
        server::SocketServerOptions o;
        o.databaseUrl = srvtest::urlOf(conn);
        o.tcp = false;
        o.unixSocket = dir.filePath(QStringLiteral("srv.sock"));
        srv = std::make_unique<server::SocketServer>(o);
        QString why;
        QVERIFY2(srv->start(why), qPrintable(why));
    }
    // The server goes away, closing every connection, and comes back.
    void restartServer() {
        srv.reset();
        startServer();
        QTest::qWait(suite::TNetConnection::kIdleCheckMs + 100); // the client idles
    }
    static suite::RemoteResult company(suite::TNetConnection& c) {
        QList<RemoteArg> a{RemoteArg::text(QStringLiteral("01"))};
        return c.AppServer().call(QStringLiteral("GetDadosTecEmpr"), a);
    }

private slots:
    void initTestCase() {
        if (const QString why = srvtest::unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        suite::config();
        QSqlDatabase db = srvtest::openFresh(conn);
        srvtest::buildFixture(db);
        startServer();
    }
    void cleanupTestCase() {
        srv.reset();
        srvtest::dropAll(conn);
    }

    void idleConnectionClosedByTheServer() {
        suite::TNetConnection c;
        c.SetSocketPath(dir.filePath(QStringLiteral("srv.sock")));
        c.SetTimeoutMs(5000);
        QVERIFY(company(c).ok());
        restartServer();
        const suite::RemoteResult r = company(c);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QVERIFY(c.Connected());
    }

    // What the user reads names the server and the service, in Portuguese;
    // the method and the system's words are the detail.
    void noServerInTheUsersTerms() {
        suite::TNetConnection c;
        c.SetSocketPath(dir.filePath(QStringLiteral("ninguem.sock")));
        c.SetTimeoutMs(2000);
        const suite::RemoteResult r = company(c);
        QCOMPARE(r.error, RemoteError::Transport);
        QCOMPARE(r.message, "O servidor de aplicação em " + dir.filePath("ninguem.sock") +
                                " não está respondendo. Verifique se o serviço "
                                "gerarqprev-server está ativo.");
        QVERIFY2(r.detail.startsWith("GetDadosTecEmpr: "), qPrintable(r.detail));
    }

    void lostDuringARunStillFails() {
        suite::TNetConnection c;
        c.SetSocketPath(dir.filePath(QStringLiteral("srv.sock")));
        c.SetTimeoutMs(5000);
        QVERIFY(c.AppServer().beginReadSnapshot().ok());
        QVERIFY(company(c).ok());
        restartServer();
        const suite::RemoteResult lost = company(c);
        QCOMPARE(lost.error, RemoteError::Transport);
        QVERIFY2(lost.message.startsWith("A conexão com o servidor de aplicação em "),
                 qPrintable(lost.message));
        QVERIFY(lost.detail.contains("GetDadosTecEmpr"));
        c.AppServer().endReadSnapshot();
        // The run is over: the next one starts on a new connection.
        QVERIFY(company(c).ok());
    }
};

QTEST_MAIN(TstReconnect)
#include "tst_clientreconnect.moc"
