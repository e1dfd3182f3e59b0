// bench_concurrent [POSTINGS] [--banco PATH]
//
// Several generation runs at once against one server process, the way
// several users of one installation work: 1, 2 and 4 command-line runs in
// parallel, each a process of its own, first with the channel's polling
// before a blocking read (the default) and then without it. Prints the
// wall time of each batch and compares it with N times one run without
// polling: polling must never make a batch slower than that.
#include "bench/common/benchutil.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using bench::beside;

// Starts the server with the given polling; waits until it answers.
std::unique_ptr<QProcess> startServer(const QString& db, quint16 port, const QString& spinUs,
                                      const QString& log) {
    auto srv = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GERARQPREV_SPIN_US"), spinUs);
    srv->setProcessEnvironment(env);
    bench::startServer(*srv, db, port, log);
    if (!srv->waitForStarted(5000) || !bench::waitForServer(port))
        return nullptr;
    return srv;
}

// N runs at once; the wall time until the last ends, or a negative number
// when one failed.
double batch(int n, quint16 port, const QString& spinUs, const QTemporaryDir& tmp) {
    std::vector<std::unique_ptr<QProcess>> runs;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GERARQPREV_SPIN_US"), spinUs);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(beside("gerarqprev"),
                 {"gerar", "--servidor", QStringLiteral("127.0.0.1:%1").arg(port), "--empresa",
                  "01", "--inicio", "01/01/2025", "--fim", "31/12/2025", "--apuracao", "31/12/2025",
                  "--substituir", "--silencioso", "--saida",
                  tmp.filePath(QStringLiteral("run-%1.txt").arg(i))});
        runs.push_back(std::move(p));
    }
    bool ok = true;
    for (auto& p : runs) {
        // False when it had already ended: its status tells.
        p->waitForFinished(-1);
        ok = p->state() == QProcess::NotRunning && p->exitStatus() == QProcess::NormalExit &&
             p->exitCode() == 0 && ok;
    }
    return ok ? bench::seconds(t) : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bench::Options o = bench::options(app.arguments().mid(1), 20000);
    const int postings = o.postings;
    QString db = o.database;
    if (postings <= 0) {
        std::fprintf(stderr, "uso: bench_concurrent [LANÇAMENTOS] [--banco CAMINHO]\n");
        return 2;
    }
    QTemporaryDir tmp;
    if (db.isEmpty())
        db = tmp.filePath(QStringLiteral("demo.db"));
    if (bench::ensureDemo(db, postings) < 0)
        return 1;

    QTextStream out(stdout);
    out << "lançamentos: " << postings << ", núcleos: " << QThread::idealThreadCount() << "\n";
    double single[2] = {0, 0}; // one run: polling, no polling
    double times[2][3] = {};
    const int counts[3] = {1, 2, 4};
    const QString spins[2] = {QStringLiteral("-1"), QStringLiteral("0")};
    for (int s = 0; s < 2; ++s) {
        const quint16 port = bench::freePort();
        auto srv = startServer(db, port, spins[s], tmp.filePath(QStringLiteral("srv.log")));
        if (!srv) {
            std::fprintf(stderr, "o servidor não iniciou\n");
            return 1;
        }
        batch(1, port, spins[s], tmp); // warm the caches
        for (int k = 0; k < 3; ++k) {
            times[s][k] = batch(counts[k], port, spins[s], tmp);
            if (times[s][k] < 0) {
                std::fprintf(stderr, "uma geração falhou (%d ao mesmo tempo)\n", counts[k]);
                return 1;
            }
        }
        single[s] = times[s][0];
        srv->terminate();
        srv->waitForFinished(10000);
    }
    out << "gerações | com espera ativa (s) | sem espera ativa (s) | N x uma sem espera (s) | "
           "razão com / limite\n";
    bool within = true;
    for (int k = 0; k < 3; ++k) {
        const double limit = counts[k] * single[1];
        within = within && times[0][k] <= limit * 1.05;
        out << counts[k] << " | " << times[0][k] << " | " << times[1][k] << " | " << limit << " | "
            << times[0][k] / limit << "\n";
    }
    out << "uma geração com espera ativa / sem: " << single[0] / single[1] << "\n"
        << "dentro do limite: " << (within ? "sim" : "NÃO") << "\n";
    return 0;
}
