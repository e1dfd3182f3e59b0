// What the server refuses at start: a Unix socket path that is not free or
// stale (a file, a folder or a live server's socket are left alone), and a
// TCP address beyond the loopback without a token.
#include "db/dbgeral.h"
#include "server/socketserver.h"
#include "suite/net/netconnection.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::unique_ptr<server::SocketServer> serverOn(const QString& db, const QString& socket) {
    server::SocketServerOptions opt;
    opt.databaseUrl = db;
    opt.tcp = false;
    opt.unixSocket = socket;
    return std::make_unique<server::SocketServer>(opt);
}

// A socket file whose owner is gone, as a killed server leaves it.
bool makeStaleSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (static_cast<size_t>(name.size()) >= sizeof addr.sun_path)
        return false;
    memcpy(addr.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                    ::listen(fd, 1) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

bool answers(const QString& socket) {
    suite::TNetConnection net(QStringLiteral("KLT40500.rdmGerArqPrev"));
    net.SetSocketPath(socket);
    net.SetTimeoutMs(5000);
    QList<suite::RemoteArg> none;
    return net.AppServer().call(QStringLiteral("GetCentrCust"), none).ok();
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db;

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        db = dir.filePath("socketpath.db");
        {
            QSqlDatabase d = db::open(db, "socketpath");
            db::applyMigrations(d);
        }
        QSqlDatabase::removeDatabase("socketpath");
    }

    void paths_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QString>("message");
        QTest::newRow("free path") << "free" << true << "";
        QTest::newRow("stale socket of a dead server") << "stale" << true << "";
        QTest::newRow("plain file") << "file" << false << "não é um socket";
        QTest::newRow("folder") << "folder" << false << "não é um socket";
        QTest::newRow("link to a socket") << "link" << false << "não é um socket";
        QTest::newRow("socket of a live server") << "live" << false << "já há um servidor";
    }
    void paths() {
        QFETCH(QString, kind);
        QFETCH(bool, taken);
        QFETCH(QString, message);
        const QString path = dir.filePath(kind + ".sock");
        std::unique_ptr<server::SocketServer> first;
        if (kind == "stale") {
            QVERIFY(makeStaleSocket(path));
        } else if (kind == "file") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("dados");
        } else if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir(kind + ".sock"));
        } else if (kind == "link") {
            QVERIFY(makeStaleSocket(dir.filePath("target.sock")));
            QVERIFY(QFile::link(dir.filePath("target.sock"), path));
        } else if (kind == "live") {
            first = serverOn(db, path);
            QString why;
            QVERIFY2(first->start(why), qPrintable(why));
        }

        auto second = serverOn(db, path);
        QString why;
        QCOMPARE(second->start(why), taken);
        QVERIFY2(why.contains(message), qPrintable(why));
        if (taken) {
            QVERIFY(answers(path));
            second.reset();
            return;
        }
        // What was there is untouched.
        if (kind == "file") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("dados"));
        }
        if (kind == "folder")
            QVERIFY(QFileInfo(path).isDir());
        if (kind == "link")
            QVERIFY(QFileInfo(path).isSymLink());
        if (kind == "live")
            QVERIFY(answers(path));
    }

    void addresses_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("listening"); // the log's address; empty: refused
        QTest::newRow("loopback") << "127.0.0.1"
                                  << ""
                                  << "127.0.0.1";
        QTest::newRow("empty host is the loopback") << ""
                                                    << ""
                                                    << "127.0.0.1";
        QTest::newRow("localhost") << "localhost"
                                   << ""
                                   << "127.0.0.1";
        QTest::newRow("another loopback address") << "127.0.0.2"
                                                  << ""
                                                  << "127.0.0.2";
        QTest::newRow("every interface without token") << "*"
                                                       << ""
                                                       << "";
        QTest::newRow("any address without token") << "0.0.0.0"
                                                   << ""
                                                   << "";
        QTest::newRow("every interface with token") << "*"
                                                    << "segredo"
                                                    << "0.0.0.0";
        QTest::newRow("not an address") << "servidor.local"
                                        << "segredo"
                                        << "";
    }
    void addresses() {
        QFETCH(QString, host);
        QFETCH(QString, token);
        QFETCH(QString, listening);
        server::SocketServerOptions opt;
        opt.databaseUrl = db;
        opt.host = host;
        opt.port = 0;
        opt.token = token;
        QStringList log;
        opt.log = [&log](const QString& line) { log << line; };
        server::SocketServer srv(opt);
        QString why;
        QCOMPARE(srv.start(why), !listening.isEmpty());
        if (listening.isEmpty()) {
            QVERIFY(!why.isEmpty());
            if (token.isEmpty())
                QVERIFY2(why.contains("sem token"), qPrintable(why));
            QCOMPARE(srv.port(), quint16(0));
            return;
        }
        QCOMPARE(log.value(0), QString("escutando em %1:%2").arg(listening).arg(srv.port()));
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
