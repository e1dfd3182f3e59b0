// The socket server end to end: real connections, several at once, hostile
// input, wrong tokens, lost connections.
#include "server/localserver.h"
#include "server/socketserver.h"
#include "suite/core/config.h"
#include "suite/net/netconnection.h"
#include "suite/net/protocol.h"
#include "testdb.h"
#include "tests/rawchannel.h"
#include <QCborArray>
#include <QCborMap>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <memory>
#include <sys/socket.h>
#include <thread>

using suite::RemoteArg;
using suite::RemoteError;
using Args = QList<RemoteArg>;
namespace proto = suite::proto;

namespace {
const QString kToken = QStringLiteral("segredo");

Args period() {
    return {RemoteArg::text("01"), RemoteArg::date(QDate(2025, 1, 1)),
            RemoteArg::date(QDate(2025, 12, 31))};
}

// A raw client that speaks frames by hand.
struct Raw {
    proto::FrameChannel ch;
    bool connect(quint16 port) {
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), port);
        return s.waitForConnected(5000) && attachSocket(ch, s);
    }
    bool send(const QByteArray& payload) { return ch.write(payload, 5000); }
    // Bytes as they are, not made a frame.
    bool sendRaw(const QByteArray& bytes) {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::send(ch.descriptor(), bytes.constData() + at,
                                     static_cast<size_t>(bytes.size() - at), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    }
    bool receive(QByteArray& payload) { return ch.read(payload, 5000) == proto::IoStatus::Ok; }
    bool closedByServer() { return closedByPeer(ch); }
    bool greet(const QString& token) {
        proto::Hello h;
        h.token = token;
        QByteArray p;
        return send(proto::encodeHello(h)) && receive(p) && proto::decodeWelcome(p).ok();
    }
    suite::RemoteResult reply() {
        QByteArray p;
        if (!receive(p))
            return suite::RemoteResult::failure(RemoteError::Transport, "no reply");
        quint64 id = 0;
        suite::RemoteResult r;
        QString err;
        if (!proto::decodeReply(p, id, r, err))
            return suite::RemoteResult::failure(RemoteError::Internal, err);
        return r;
    }
};
} // namespace

class TestSocket : public QObject {
    Q_OBJECT
    const QString conn = QStringLiteral("srv-socket");
    std::unique_ptr<server::SocketServer> srv;
    std::unique_ptr<server::LocalServer> local;
    QTemporaryDir dir;
    QStringList logLines;
    QMutex logMutex;

    std::unique_ptr<suite::TNetConnection> client(const QString& token = kToken) {
        auto c = std::make_unique<suite::TNetConnection>(QStringLiteral("KLT40500.rdmGerArqPrev"));
        c->SetHost(QStringLiteral("127.0.0.1"));
        c->SetPort(srv->port());
        c->SetSocketPath(QString());
        c->SetToken(token);
        c->SetTimeoutMs(10000);
        return c;
    }

private slots:
    void initTestCase() {
        suite::config(); // loaded once, before any thread reads it
        QSqlDatabase db = srvtest::openFresh(conn);
        srvtest::buildFixture(db);
        local = std::make_unique<server::LocalServer>(db);
        server::SocketServerOptions o;
        o.databaseUrl = srvtest::urlOf(conn);
        o.port = 0;
        o.token = kToken;
        o.unixSocket = dir.filePath(QStringLiteral("srv.sock"));
        o.helloTimeoutMs = 3000;
        o.log = [this](const QString& l) {
            QMutexLocker lock(&logMutex);
            logLines << l;
        };
        srv = std::make_unique<server::SocketServer>(o);
        QString why;
        QVERIFY2(srv->start(why), qPrintable(why));
        QVERIFY(srv->port() != 0);
    }
    void cleanupTestCase() {
        srv.reset();
        local.reset();
        srvtest::dropAll(conn);
    }

    void tcpAnswersAsInProcess() {
        auto c = client();
        c->SetConnected(true);
        QVERIFY(c->Connected());
        Args a = period(), b = period();
        const suite::RemoteResult wire = c->AppServer().call(QStringLiteral("GetLancCont"), a);
        QVERIFY2(wire.ok(), qPrintable(wire.message));
        QCOMPARE(wire.packet, local->call(QStringLiteral("GetLancCont"), b).packet);
        Args s = period(), s2 = period();
        const suite::RemoteResult saldo = c->AppServer().call(QStringLiteral("getsaldmens"), s);
        QCOMPARE(saldo.packet, local->call(QStringLiteral("getsaldmens"), s2).packet);
    }

    void unixSocketAnswers() {
        suite::TNetConnection c;
        c.SetSocketPath(dir.filePath(QStringLiteral("srv.sock")));
        c.SetToken(kToken);
        Args a{RemoteArg::text("01")};
        const suite::RemoteResult r = c.AppServer().call(QStringLiteral("GetDadosTecEmpr"), a);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.packet.rows.size(), 1);
    }

    void byReferenceTextsTravelBack() {
        auto c = client();
        Args a{RemoteArg::text("01"), RemoteArg::textRef("4.1.01"), RemoteArg::textRef("T"),
               RemoteArg::date(QDate(2025, 12, 31))};
        const suite::RemoteResult r = c->AppServer().call(QStringLiteral("GetSaldAntEnc"), a);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.byRef, (QStringList{"4.1.01", "T"}));
        QCOMPARE(a[1].value.toString(), QStringLiteral("4.1.01"));
    }

    void serverErrorsReachTheClient() {
        auto c = client();
        Args a{RemoteArg::text("ZZ")};
        QCOMPARE(c->AppServer().call(QStringLiteral("GetDadosCont"), a).error,
                 RemoteError::NotFound);
        Args none;
        QCOMPARE(c->AppServer().call(QStringLiteral("Nada"), none).error,
                 RemoteError::UnknownMethod);
        // Same connection, still serving.
        Args ok{RemoteArg::text("01")};
        QVERIFY(c->AppServer().call(QStringLiteral("GetDadosCont"), ok).ok());
    }

    void severalClientsAtOnce() {
        Args ref{RemoteArg::text("01"),
                 RemoteArg::date(QDate(2025, 1, 1)),
                 RemoteArg::date(QDate(2025, 1, 31)),
                 RemoteArg::text(""),
                 RemoteArg::text("T"),
                 RemoteArg::text("1.1.01")};
        const suite::DataPacket expected = local->call(QStringLiteral("getcreddeb"), ref).packet;
        const quint16 port = srv->port();
        std::atomic<int> good{0};
        std::vector<std::thread> threads;
        threads.reserve(4);
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, port] {
                suite::TNetConnection c;
                c.SetHost(QStringLiteral("127.0.0.1"));
                c.SetPort(port);
                c.SetSocketPath(QString());
                c.SetToken(kToken);
                for (int i = 0; i < 50; ++i) {
                    Args a = ref;
                    const suite::RemoteResult r =
                        c.AppServer().call(QStringLiteral("getcreddeb"), a);
                    if (r.ok() && r.packet == expected)
                        ++good;
                }
            });
        for (std::thread& t : threads)
            t.join();
        QCOMPARE(good.load(), 200);
    }

    void aStalledClientDoesNotBlockOthers() {
        Raw half; // greets, then sends half a request and stops
        QVERIFY(half.connect(srv->port()));
        QVERIFY(half.greet(kToken));
        const QByteArray req = proto::frame(proto::encodeRequest({1, "GetPlanContas", {}}));
        QVERIFY(half.sendRaw(req.left(req.size() / 2)));
        Raw silent; // never greets
        QVERIFY(silent.connect(srv->port()));
        auto c = client();
        Args none;
        QVERIFY(c->AppServer().call(QStringLiteral("GetPlanContas"), none).ok());
        // The stalled one is still served once it finishes its request.
        QVERIFY(half.sendRaw(req.mid(req.size() / 2)));
        QVERIFY(half.reply().ok());
    }

    // A cap on connections, a deadline for a frame in transit and an idle
    // limit: none of them lets a client hold the server's threads forever.
    void limitsEndConnections() {
        server::SocketServerOptions o;
        o.databaseUrl = srvtest::urlOf(conn);
        o.port = 0;
        o.maxConnections = 2;
        o.frameDeadlineMs = 200;
        o.idleCloseMs = 400;
        server::SocketServer limited(o);
        QString why;
        QVERIFY2(limited.start(why), qPrintable(why));

        Raw first, second, third;
        QVERIFY(first.connect(limited.port()) && first.greet(QString()));
        QVERIFY(second.connect(limited.port()) && second.greet(QString()));
        QVERIFY(third.connect(limited.port()));
        QVERIFY(third.send(proto::encodeHello(proto::Hello{})));
        QByteArray p;
        QVERIFY(third.receive(p));
        const suite::RemoteResult busy = proto::decodeWelcome(p);
        QVERIFY(!busy.ok());
        QVERIFY2(busy.message.contains(QStringLiteral("ocupado")), qPrintable(busy.message));

        // Half a frame, then nothing: cut at the frame deadline.
        QVERIFY(first.sendRaw(QByteArray("\x00\x00", 2)));
        QVERIFY(first.closedByServer());
        // Nothing at all: closed once idle.
        QVERIFY(second.closedByServer());

        // Their places are free again.
        bool greeted = false;
        for (int i = 0; i < 50 && !greeted; ++i) {
            Raw again;
            greeted = again.connect(limited.port()) && again.greet(QString());
            if (!greeted)
                QTest::qWait(50);
        }
        QVERIFY(greeted);
    }

    void wrongTokenIsRefused() {
        auto c = client(QStringLiteral("errado"));
        c->ThrowException = true;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, c->SetConnected(true));
        QVERIFY(!c->Connected());
        c->ThrowException = false;
        c->SetConnected(true); // silent
        QVERIFY(!c->Connected());
        Args none;
        const suite::RemoteResult r = c->AppServer().call(QStringLiteral("GetPlanContas"), none);
        QCOMPARE(r.error, RemoteError::Transport);
        QVERIFY(r.message.contains(QStringLiteral("127.0.0.1:%1").arg(srv->port())));

        Raw raw;
        QVERIFY(raw.connect(srv->port()));
        proto::Hello h;
        h.token = QStringLiteral("errado");
        QByteArray p;
        QVERIFY(raw.send(proto::encodeHello(h)));
        QVERIFY(raw.receive(p));
        QCOMPARE(proto::decodeWelcome(p).error, RemoteError::Unauthorized);
        // and the connection is closed: nothing more is read from it.
        QVERIFY(raw.closedByServer());
    }

    // Long replies come in parts to clients that ask for them, whole to the
    // others, and either way the same rows arrive in the same order.
    void longRepliesInParts() {
        server::SocketServerOptions o;
        o.databaseUrl = srvtest::urlOf(conn);
        o.port = 0;
        o.tcp = true;
        o.partBytes = 300; // a few postings a part
        server::SocketServer small(o);
        QString why;
        QVERIFY2(small.start(why), qPrintable(why));

        Args b = period();
        const suite::RemoteResult expected = local->call(QStringLiteral("GetLancCont"), b);
        QVERIFY(expected.packet.rows.size() > 4);

        suite::TNetConnection c(QStringLiteral("KLT40500.rdmGerArqPrev"));
        c.SetHost(QStringLiteral("127.0.0.1"));
        c.SetPort(small.port());
        c.SetSocketPath(QString());
        c.SetToken(QString());
        Args a = period();
        const suite::RemoteResult wire = c.AppServer().call(QStringLiteral("GetLancCont"), a);
        QVERIFY2(wire.ok(), qPrintable(wire.message));
        QCOMPARE(wire.packet, expected.packet);
        // The connection stays in step for the next call.
        Args none;
        QCOMPARE(c.AppServer().call(QStringLiteral("GetCentrCust"), none).packet.rows.size(), 2);

        for (const bool parts : {true, false}) {
            Raw raw;
            QVERIFY(raw.connect(small.port()));
            proto::Hello h;
            h.parts = parts;
            QByteArray p;
            QVERIFY(raw.send(proto::encodeHello(h)) && raw.receive(p));
            QVERIFY(proto::decodeWelcome(p).ok());
            QVERIFY(raw.send(proto::encodeRequest({9, "GetLancCont", period()})));
            int seen = 0;
            suite::RemoteResult last;
            do {
                last = raw.reply();
                QVERIFY2(last.ok(), qPrintable(last.message));
                seen += last.part ? 1 : 0;
            } while (last.part);
            QCOMPARE(last.parts, seen);
            if (parts)
                QVERIFY(seen > 1);
            else
                QCOMPARE(last.packet, expected.packet);
        }
    }

    void malformedRequestsGetErrorsAndServingGoesOn_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("code");
        QTest::newRow("garbage") << QByteArray("\xff\xfe garbage", 10)
                                 << static_cast<int>(RemoteError::BadFrame);
        QTest::newRow("boolean argument")
            << QCborMap{{QStringLiteral("id"), 5},
                        {QStringLiteral("method"), QStringLiteral("GetDadosCont")},
                        {QStringLiteral("args"), QCborArray{true}}}
                   .toCborValue()
                   .toCbor()
            << static_cast<int>(RemoteError::BadArguments);
        QTest::newRow("wrong argument count") << proto::encodeRequest({6, "GetDadosCont", {}})
                                              << static_cast<int>(RemoteError::BadArguments);
    }
    void malformedRequestsGetErrorsAndServingGoesOn() {
        QFETCH(QByteArray, payload);
        QFETCH(int, code);
        Raw raw;
        QVERIFY(raw.connect(srv->port()));
        QVERIFY(raw.greet(kToken));
        QVERIFY(raw.send(payload));
        QCOMPARE(static_cast<int>(raw.reply().error), code);
        QVERIFY(raw.send(proto::encodeRequest({7, "GetCentrCust", {}})));
        const suite::RemoteResult r = raw.reply();
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(r.packet.rows.size(), 2);
    }

    void oversizeFrameIsRefusedAndTheServerGoesOn() {
        Raw raw;
        QVERIFY(raw.connect(srv->port()));
        QVERIFY(raw.greet(kToken));
        QVERIFY(raw.sendRaw(QByteArray::fromHex("7fffffff") + QByteArray(64, 'x')));
        QCOMPARE(raw.reply().error, RemoteError::BadFrame);
        QVERIFY(raw.closedByServer());
        auto c = client();
        Args none;
        QVERIFY(c->AppServer().call(QStringLiteral("GetCentrCust"), none).ok());
    }

    void failedConnectIsSilentAndCallsNameTheAddress() {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        suite::TNetConnection c;
        c.SetHost(QStringLiteral("127.0.0.1"));
        c.SetPort(port);
        c.SetSocketPath(QString());
        c.SetTimeoutMs(2000);
        c.SetConnected(true);
        QVERIFY(!c.Connected());
        Args none;
        const suite::RemoteResult r = c.AppServer().call(QStringLiteral("GetPlanContas"), none);
        QCOMPARE(r.error, RemoteError::Transport);
        QVERIFY2(r.message.contains(QStringLiteral("127.0.0.1:%1").arg(port)),
                 qPrintable(r.message));
    }

    void connectionLostMidCallIsAnError() {
        // A server that greets, takes one request and hangs up.
        QTcpServer fake;
        QVERIFY(fake.listen(QHostAddress::LocalHost, 0));
        const quint16 port = fake.serverPort();
        suite::TNetConnection c;
        c.SetHost(QStringLiteral("127.0.0.1"));
        c.SetPort(port);
        c.SetSocketPath(QString());
        c.SetTimeoutMs(5000);
        std::atomic<bool> done{false};
        suite::RemoteResult r;
        std::thread caller([&] {
            Args none;
            r = c.AppServer().call(QStringLiteral("GetPlanContas"), none);
            done = true;
        });
        QVERIFY(fake.waitForNewConnection(5000));
        std::unique_ptr<QTcpSocket> s(fake.nextPendingConnection());
        proto::FrameChannel ch(proto::kMaxRequestFrame);
        QVERIFY(attachSocket(ch, *s));
        s.reset();
        QByteArray p;
        QCOMPARE(ch.read(p, 5000), proto::IoStatus::Ok);
        QVERIFY(ch.write(proto::encodeWelcome(), 5000));
        QCOMPARE(ch.read(p, 5000), proto::IoStatus::Ok);
        ch.close();
        caller.join();
        QVERIFY(done);
        QCOMPARE(r.error, RemoteError::Transport);
    }

    void logsOneLinePerConnectionAndFailedCall() {
        QMutexLocker lock(&logMutex);
        QVERIFY(std::any_of(logLines.begin(), logLines.end(), [](const QString& l) {
            return l.startsWith(QStringLiteral("conexão "));
        }));
        QVERIFY(std::any_of(logLines.begin(), logLines.end(), [](const QString& l) {
            return l.contains(QStringLiteral("falha em GetDadosCont"));
        }));
    }
};

QTEST_GUILESS_MAIN(TestSocket)
#include "tst_socket.moc"
