// bench_generate [POSTINGS] [--banco PATH] [--sem-espera]
//
// Generates the demo company's file for its year through the socket server
// on loopback, the way the screen does, and prints: wall time, remote calls,
// time per call, the raw loopback round trip of a small message, their ratio,
// and the client's peak resident memory. The server runs as its own process
// (gerarqprev-server beside this program), so the memory is the client's.
// The same run through the in-process server follows, for comparison.
// --sem-espera turns off the channel's spinning before a blocking read on
// both ends, to show what it is worth.
#include "bench/common/benchutil.h"
#include "bench/common/rawrtt.h"
#include "cli/gerar.h"
#include "server/localserver.h"
#include "suite/core/config.h"
#include "suite/net/netconnection.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <atomic>
#include <cstdio>

namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

// Counts the calls that go through.
class Counting final : public suite::RemoteServer {
public:
    explicit Counting(suite::RemoteServer& inner) : inner_(inner) {}
    suite::RemoteResult call(const QString& method, QList<suite::RemoteArg>& args) override {
        ++calls;
        return inner_.call(method, args);
    }
    qint64 calls = 0;

private:
    suite::RemoteServer& inner_;
};

const QStringList kRun = {"--empresa",       "01",         "--inicio",     "01/01/2025",
                          "--fim",           "31/12/2025", "--apuracao",   "31/12/2025",
                          "--contab-inicio", "01/01/2025", "--contab-fim", "31/12/2025",
                          "--info-inicio",   "01/01/2025", "--info-fim",   "31/12/2025",
                          "--cargo",         "Contador",   "--substituir", "--silencioso"};

struct Timed {
    int status = -1;
    double seconds = 0;
    qint64 calls = 0;
    qint64 bytes = 0;
    QString err;
};

Timed generate(suite::RemoteServer& server, const QString& dest) {
    Counting counting(server);
    cli::Injected inj;
    inj.server = &counting;
    inj.companyExists = [](const QString&) { return true; };
    QString o, e;
    QTextStream os(&o), es(&e);
    Timed r;
    QElapsedTimer t;
    t.start();
    r.status = cli::runGerar(kRun + QStringList{"--saida", dest}, os, es, inj);
    r.seconds = bench::seconds(t);
    r.calls = counting.calls;
    r.bytes = QFileInfo(dest).size();
    es.flush();
    r.err = e;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bench::Options o =
        bench::options(app.arguments().mid(1), 20000, {QStringLiteral("--sem-espera")});
    const int postings = o.postings;
    QString dbPath = o.database;
    const bool noSpin = o.switches.contains(QStringLiteral("--sem-espera"));
    if (postings <= 0) {
        std::fprintf(stderr,
                     "uso: bench_generate [LANÇAMENTOS] [--banco CAMINHO] [--sem-espera]\n");
        return 2;
    }

    QTemporaryDir tmp;
    if (dbPath.isEmpty())
        dbPath = tmp.filePath("demo.db");
    const double made = bench::ensureDemo(dbPath, postings);
    if (made < 0)
        return 1;
    if (made > 0)
        out() << "base: " << dbPath << " criada em " << made << " s\n";

    if (noSpin) {
        qputenv("GERARQPREV_SPIN_US", "0"); // the server started below reads it too
        suite::Config c = suite::config();
        c.spinUs = 0;
        suite::setConfig(c);
    }
    const int spinUs = suite::config().spinUs; // resolved when loaded
    // Measured before and after the run, so that a busy moment weighs less.
    const double rttBefore = bench::rawRoundTripMedianUs(5, 5000);
    const qint64 baseKb = bench::peakKb();

    const quint16 port = bench::freePort();
    QProcess srv;
    bench::startServer(srv, dbPath, port, tmp.filePath("servidor.log"));
    if (!srv.waitForStarted(5000)) {
        std::fprintf(stderr, "o servidor não iniciou\n");
        return 1;
    }

    Timed net;
    {
        suite::TNetConnection conn(QStringLiteral("KLT40500.rdmGerArqPrev"));
        conn.SetHost(QStringLiteral("127.0.0.1"));
        conn.SetPort(port);
        conn.SetTimeoutMs(60000);
        conn.ThrowException = false;
        for (int i = 0; i < 100 && !conn.Connected(); ++i) {
            conn.SetConnected(true);
            if (!conn.Connected())
                QThread::msleep(50);
        }
        if (!conn.Connected()) {
            std::fprintf(stderr, "sem conexão com o servidor na porta %d\n", port);
            srv.kill();
            srv.waitForFinished();
            return 1;
        }
        net = generate(conn.AppServer(), tmp.filePath("rede.txt"));
    }
    const qint64 afterKb = bench::procStatusKb("VmRSS");
    const qint64 clientKb = bench::peakKb();
    srv.terminate();
    srv.waitForFinished(10000);
    if (net.status != 0) {
        std::fprintf(stderr, "a geração falhou (%d): %s\n", net.status, qPrintable(net.err));
        return 1;
    }

    Timed local;
    {
        server::LocalServer inProcess(dbPath, QStringLiteral("bench-local"));
        local = generate(inProcess, tmp.filePath("local.txt"));
    }
    const bool same = [&] {
        QFile a(tmp.filePath("rede.txt")), b(tmp.filePath("local.txt"));
        return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) &&
               a.readAll() == b.readAll();
    }();

    const double rtt = (rttBefore + bench::rawRoundTripMedianUs(5, 5000)) / 2.0;
    const double rttSpin = spinUs > 0 ? bench::rawRoundTripMedianUs(5, 5000, 64, spinUs) : rtt;
    const double perCallUs = net.seconds * 1e6 / double(net.calls);
    out() << "lançamentos pedidos:        " << postings << "\n"
          << "arquivo:                    " << net.bytes << " bytes\n"
          << "tempo (socket, loopback):   " << net.seconds << " s\n"
          << "chamadas remotas:           " << net.calls << "\n"
          << "tempo por chamada:          " << perCallUs << " us\n"
          << "ida e volta TCP pura:       " << rtt << " us\n"
          << "razão chamada / ida e volta: " << perCallUs / rtt << "\n"
          << "espera ativa antes de ler:  " << spinUs
          << " us (ida e volta pura com ela: " << rttSpin << " us)\n"
          << "memória de pico do cliente: " << clientKb / 1024.0 << " MB (antes da geração "
          << baseKb / 1024.0 << " MB, ao fim " << afterKb / 1024.0 << " MB)\n"
          << "tempo (no processo):        " << local.seconds << " s, "
          << local.seconds * 1e6 / double(local.calls) << " us por chamada\n"
          << "mesmos bytes nos dois:      " << (same ? "sim" : "NÃO") << "\n";
    out().flush();
    return same ? 0 : 1;
}
