// bench_server [POSTINGS]: loopback round trip of a bare socket, then the
// time of each remote method through the real client against a
// gerarqprev-server process over a demo ledger, and that server's peak memory.
#include "bench/common/benchutil.h"
#include "bench/common/rawrtt.h"
#include "db/dbgeral.h"
#include "server/demo.h"
#include "suite/core/config.h"
#include "suite/net/netconnection.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <thread>

using suite::RemoteArg;
using Args = QList<RemoteArg>;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int postings = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.db"));
    QElapsedTimer t;
    {
        QSqlDatabase db = db::open(path, QStringLiteral("bench"));
        db::applyMigrations(db);
        t.start();
        server::makeDemo(db, postings);
        std::printf("demo ledger: %d postings requested, built in %.2f s\n", postings,
                    bench::seconds(t));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));

    const int spinUs = suite::config().spinUs; // resolved when loaded
    const double rtt = bench::rawRoundTripMedianUs(5, 5000);
    std::printf("raw loopback round trip: %.1f us (median of 5)\n", rtt);
    if (spinUs > 0)
        std::printf("the same, spinning %d us before blocking as the channel does: %.1f us\n",
                    spinUs, bench::rawRoundTripMedianUs(5, 5000, 64, spinUs));

    const quint16 port = bench::freePort();
    QProcess srv;
    bench::startServer(srv, path, port, dir.filePath(QStringLiteral("server.log")),
                       {QStringLiteral("--token"), QString()});
    if (!srv.waitForStarted(5000)) {
        std::printf("cannot start gerarqprev-server: %s\n", qPrintable(srv.errorString()));
        return 1;
    }
    suite::TNetConnection net(QStringLiteral("KLT40500.rdmGerArqPrev"));
    net.SetHost(QStringLiteral("127.0.0.1"));
    net.SetPort(port);
    net.SetSocketPath(QString());
    net.SetToken(QString());
    net.SetTimeoutMs(600000);
    for (int i = 0; i < 50 && !net.Connected(); ++i) {
        QThread::msleep(100);
        net.SetConnected(true);
    }
    if (!net.Connected()) {
        std::printf("cannot connect to the server\n");
        return 1;
    }

    const RemoteArg co = RemoteArg::text("01");
    const RemoteArg y0 = RemoteArg::date(QDate(2025, 1, 1)),
                    y1 = RemoteArg::date(QDate(2025, 12, 31));
    const RemoteArg m0 = RemoteArg::date(QDate(2025, 6, 1)),
                    m1 = RemoteArg::date(QDate(2025, 6, 30));
    struct Case {
        const char* label;
        const char* method;
        Args args;
        int repeat;
    };
    const QList<Case> cases = {
        {"getsaldmens (year)", "getsaldmens", {co, y0, y1}, 3},
        {"GetLancCont (year)", "GetLancCont", {co, y0, y1}, 1},
        {"GetIdContrib", "GetIdContrib", {co, y0, y1}, 200},
        {"GetDadosCont", "GetDadosCont", {co}, 200},
        {"GetDadosTecEmpr", "GetDadosTecEmpr", {co}, 200},
        {"GetPlanContas", "GetPlanContas", {}, 50},
        {"GetCentrCust", "GetCentrCust", {}, 200},
        {"GetSaldAntEnc (one account)",
         "GetSaldAntEnc",
         {co, RemoteArg::text("_1.1.01.002.0001_"), RemoteArg::text(""), RemoteArg::real(45807.0)},
         5000},
        {"GetSaldAntEnc (\"T\")",
         "GetSaldAntEnc",
         {co, RemoteArg::textRef("T"), RemoteArg::textRef("T"), y1},
         5},
        {"getcreddeb",
         "getcreddeb",
         {co, m0, m1, RemoteArg::text(""), RemoteArg::text("T"),
          RemoteArg::text("1.1.01.002.0001")},
         5000},
        {"GetCcLanc", "GetCcLanc", {co, RemoteArg::text("10"), RemoteArg::text("1")}, 5000},
    };
    std::printf("%-30s %8s %12s %10s %10s\n", "method", "calls", "ms/call", "x RTT", "rows");
    for (const Case& c : cases) {
        qsizetype rows = 0;
        t.restart();
        for (int i = 0; i < c.repeat; ++i) {
            Args a = c.args;
            const suite::RemoteResult r = net.AppServer().call(QString::fromLatin1(c.method), a);
            if (!r.ok()) {
                std::printf("%s failed: %s\n", c.method, qPrintable(r.message));
                return 1;
            }
            rows = r.packet.rows.size();
        }
        const double ms = bench::seconds(t) * 1000.0 / c.repeat;
        std::printf("%-30s %8d %12.3f %10.1f %10lld\n", c.label, c.repeat, ms, ms * 1000.0 / rtt,
                    static_cast<long long>(rows));
    }
    std::printf("server peak memory (VmHWM): %lld kB\n",
                static_cast<long long>(bench::peakKb(srv.processId())));
    net.SetConnected(false);
    srv.terminate();
    srv.waitForFinished(10000);
    return 0;
}
