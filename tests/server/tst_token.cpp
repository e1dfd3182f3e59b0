// The token kept out of the process list (a file), guesses slowed down per
// address, and client text that cannot forge lines in the server's log.
#include "db/dbgeral.h"
#include "server/logtext.h"
#include "server/socketserver.h"
#include "server/tokenthrottle.h"
#include "suite/core/tokenfile.h"
#include "suite/net/netconnection.h"
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QtTest>

class TestToken : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    // script: "address@ms" failures in order; delays: what each is told to wait.
    void throttle_data() {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QList<int>>("delays");
        QTest::newRow("first wrong token") << QStringList{"a@0"} << QList<int>{100};
        QTest::newRow("doubles up to the bound")
            << QStringList{"a@0", "a@1", "a@2", "a@3", "a@4", "a@5", "a@6", "a@7"}
            << QList<int>{100, 200, 400, 800, 1600, 3200, 5000, 5000};
        QTest::newRow("addresses apart")
            << QStringList{"a@0", "a@0", "b@0", "a@0"} << QList<int>{100, 200, 100, 400};
        QTest::newRow("forgotten after ten quiet minutes")
            << QStringList{"a@0", "a@1000", "a@601000", "a@601001"}
            << QList<int>{100, 200, 100, 200};
        QTest::newRow("kept while failures go on")
            << QStringList{"a@0", "a@500000", "a@1000000"} << QList<int>{100, 200, 400};
    }
    void throttle() {
        QFETCH(QStringList, script);
        QFETCH(QList<int>, delays);
        qint64 now = 0;
        server::TokenThrottle t([&now] { return now; });
        QList<int> got;
        for (const QString& step : script) {
            now = step.section('@', 1).toLongLong();
            got << t.failed(step.section('@', 0, 0));
        }
        QCOMPARE(got, delays);
    }

    void logLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("logged");
        QTest::newRow("line feed") << "falha em Get\n2026-01-01 token aceito"
                                   << "falha em Get\\n2026-01-01 token aceito";
        QTest::newRow("carriage return and tab") << "a\rb\tc"
                                                 << "a\\rb\\tc";
        QTest::newRow("backslash kept apart from escapes") << "a\\nb"
                                                           << "a\\\\nb";
        QTest::newRow("terminal escape") << "x\x1b[2Jy"
                                         << "x\\x1b[2Jy";
        QTest::newRow("C1 next line") << QString("a") + QChar(0x85) + "b"
                                      << "a\\x85b";
        QTest::newRow("unicode line separator") << QString("a") + QChar(0x2028) + "b"
                                                << "a\\u{2028}b";
        QTest::newRow("accents untouched") << "conexão: saudação inválida"
                                           << "conexão: saudação inválida";
        QTest::newRow("cut when long") << QString(3000, u'x') << QString(2000, u'x') + "…";
    }
    void logLine() {
        QFETCH(QString, text);
        QFETCH(QString, logged);
        QCOMPARE(server::logLine(text), logged);
    }

    void tokenFile_data() {
        QTest::addColumn<QByteArray>("content"); // "-": no file
        QTest::addColumn<QString>("token");      // empty: refused
        QTest::addColumn<QString>("message");
        QTest::newRow("line with its end") << QByteArray("segredo\n") << "segredo"
                                           << "";
        QTest::newRow("blanks around") << QByteArray("  s3gr3d0 \r\n") << "s3gr3d0"
                                       << "";
        QTest::newRow("empty file") << QByteArray("\n") << ""
                                    << "está vazio";
        QTest::newRow("missing file") << QByteArray("-") << ""
                                      << "não foi possível ler";
        QTest::newRow("not a token") << QByteArray(100000, 'x') << ""
                                     << "grande demais";
    }
    void tokenFile() {
        QFETCH(QByteArray, content);
        QFETCH(QString, token);
        QFETCH(QString, message);
        const QString path = dir.filePath(QTest::currentDataTag());
        if (content != "-") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QString got = "antes", why;
        QCOMPARE(suite::readTokenFile(path, got, why), !token.isEmpty());
        QCOMPARE(got, token.isEmpty() ? QString("antes") : token);
        QVERIFY2(why.contains(message), qPrintable(why));
    }

    // Over the wire: wrong greetings are answered ever later, and a method
    // name with a line end stays on its own log line.
    void server() {
        const QString db = dir.filePath("token.db");
        {
            QSqlDatabase d = db::open(db, "token");
            db::applyMigrations(d);
        }
        QSqlDatabase::removeDatabase("token");
        QStringList log;
        QMutex logMutex;
        server::SocketServerOptions opt;
        opt.databaseUrl = db;
        opt.port = 0;
        opt.token = "segredo";
        opt.log = [&](const QString& line) {
            QMutexLocker lock(&logMutex);
            log << line;
        };
        server::SocketServer srv(opt);
        QString why;
        QVERIFY2(srv.start(why), qPrintable(why));

        const auto call = [&](const QString& token, const QString& method) {
            suite::TNetConnection net("KLT40500.rdmGerArqPrev");
            net.SetHost("127.0.0.1");
            net.SetPort(srv.port());
            net.SetToken(token);
            net.SetTimeoutMs(20000);
            QList<suite::RemoteArg> none;
            return net.AppServer().call(method, none);
        };
        // The client reports a refused greeting as a failed connection.
        const auto refused = [&] {
            const suite::RemoteResult r = call("errado", "GetCentrCust");
            return r.error == suite::RemoteError::Transport &&
                   (r.message + r.detail).contains("token inválido");
        };
        QVERIFY(refused());
        QVERIFY(refused());
        QElapsedTimer third;
        third.start();
        QVERIFY(refused());
        QVERIFY(third.elapsed() >= 400); // the third failure's delay
        // The right token is never held up.
        QVERIFY(call("segredo", "GetCentrCust").ok());

        QCOMPARE(call("segredo", "Nada\nescutando em 6.6.6.6:1").error,
                 suite::RemoteError::UnknownMethod);
        srv.stop();
        QMutexLocker lock(&logMutex);
        for (const QString& line : log)
            QVERIFY2(!line.contains('\n') && !line.startsWith("escutando em 6"), qPrintable(line));
        QVERIFY(log.join('|').contains("Nada\\nescutando em 6.6.6.6:1"));
    }
};

QTEST_GUILESS_MAIN(TestToken)
#include "tst_token.moc"
