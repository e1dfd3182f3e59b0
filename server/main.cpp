// gerarqprev-server: the application server on TCP and optionally a Unix
// socket; `gerarqprev-server demo` fills a database with the demonstration
// company.
#include "db/dbgeral.h"
#include "server/demo.h"
#include "server/socketserver.h"
#include "suite/core/config.h"
#include "suite/core/tokenfile.h"
#include "suite/data/dbdefault.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QSqlQuery>
#include <QTextStream>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t gStop = 0;
extern "C" void onSignal(int) {
    gStop = 1;
}

const char* kUsage =
    "uso: gerarqprev-server [--banco URL] [--escuta HOST:PORTA] [--socket CAMINHO]\n"
    "                        [--token-arquivo ARQUIVO] [--log ARQUIVO]\n"
    "     gerarqprev-server demo --banco CAMINHO [--lancamentos N]\n";

QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

// "--name value" pairs; false with a message for anything else.
bool parse(const QStringList& args, const QStringList& known, QHash<QString, QString>& out) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (!known.contains(args[i]) || i + 1 >= args.size()) {
            err() << "gerarqprev-server: opção inválida ou sem valor: " << args[i] << "\n"
                  << kUsage;
            err().flush();
            return false;
        }
        out.insert(args[i], args[i + 1]);
        ++i;
    }
    return true;
}

int runDemo(const QStringList& args) {
    QHash<QString, QString> o;
    if (!parse(args, {"--banco", "--lancamentos"}, o))
        return 2;
    if (!o.contains("--banco")) {
        err() << "gerarqprev-server demo: --banco é obrigatório\n";
        return 2;
    }
    bool ok = true;
    const int n = o.contains("--lancamentos") ? o.value("--lancamentos").toInt(&ok) : 0;
    if (!ok || n < 0) {
        err() << "gerarqprev-server demo: --lancamentos deve ser um número positivo\n";
        return 2;
    }
    const QString name = QStringLiteral("gerarqprev-demo");
    int rc = 0;
    try {
        QSqlDatabase db = db::open(o.value("--banco"), name);
        db::applyMigrations(db);
        server::makeDemo(db, n);
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT COUNT(*) FROM PARTLANC"));
        q.next();
        QTextStream(stdout) << "empresa 01 criada com " << q.value(0).toLongLong() << " partidas\n";
        q.finish();
        db.close();
    } catch (const std::exception& e) {
        err() << "erro: " << QString::fromUtf8(e.what()) << "\n";
        rc = 1;
    }
    QSqlDatabase::removeDatabase(name);
    return rc;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    suite::installDatabaseDefault();
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && (args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h"))) {
        QTextStream(stdout) << kUsage;
        return 0;
    }
    if (!args.isEmpty() && args[0] == QLatin1String("demo"))
        return runDemo(args.mid(1));

    QHash<QString, QString> o;
    if (!parse(args, {"--banco", "--escuta", "--socket", "--token", "--token-arquivo", "--log"}, o))
        return 2;
    const suite::Config& c = suite::config();
    server::SocketServerOptions opt;
    opt.databaseUrl = o.value("--banco", c.database);
    opt.host = c.host;
    opt.port = c.port;
    if (o.contains("--escuta")) {
        const QString v = o.value("--escuta");
        const qsizetype colon = v.lastIndexOf(QLatin1Char(':'));
        bool ok = colon > 0;
        const int port = ok ? v.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || port <= 0 || port > 65535) {
            err() << "gerarqprev-server: --escuta espera HOST:PORTA\n";
            return 2;
        }
        opt.host = v.left(colon);
        opt.port = port;
    }
    opt.unixSocket = o.value("--socket", c.unixSocket);
    opt.token = o.value("--token", c.token);
    if (o.contains("--token") && o.contains("--token-arquivo")) {
        err() << "gerarqprev-server: use --token-arquivo ou --token, não ambos\n";
        return 2;
    }
    if (o.contains("--token-arquivo")) {
        QString why;
        if (!suite::readTokenFile(o.value("--token-arquivo"), opt.token, why)) {
            err() << "gerarqprev-server: " << why << "\n";
            return 2;
        }
    }
    opt.spinUs = c.spinUs;

    QFile logFile;
    QMutex logMutex;
    if (o.contains("--log")) {
        logFile.setFileName(o.value("--log"));
        if (!logFile.open(QIODevice::Append | QIODevice::Text)) {
            err() << "gerarqprev-server: não foi possível abrir o log " << logFile.fileName()
                  << "\n";
            return 2;
        }
    } else {
        logFile.open(stderr, QIODevice::WriteOnly | QIODevice::Text);
    }
    opt.log = [&](const QString& line) {
        QMutexLocker lock(&logMutex);
        logFile.write(
            (QDateTime::currentDateTime().toString(Qt::ISODate) + u' ' + line + u'\n').toUtf8());
        logFile.flush();
    };

    if (o.contains("--token"))
        opt.log(QStringLiteral("aviso: --token fica visível na lista de processos; prefira "
                               "--token-arquivo, servidor/token ou GERARQPREV_TOKEN"));

    // Fail at once on a database that cannot be opened or migrated, rather
    // than at the first client.
    try {
        QSqlDatabase db = db::open(opt.databaseUrl, QStringLiteral("gerarqprev-srv-check"));
        db::applyMigrations(db);
        db.close();
    } catch (const std::exception& e) {
        QSqlDatabase::removeDatabase(QStringLiteral("gerarqprev-srv-check"));
        err() << "erro: " << QString::fromUtf8(e.what()) << "\n";
        return 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("gerarqprev-srv-check"));

    server::SocketServer srv(opt);
    QString why;
    if (!srv.start(why)) {
        err() << "erro: " << why << "\n";
        return 1;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (gStop)
            app.quit();
    });
    poll.start(200);
    app.exec();
    opt.log(QStringLiteral("encerrando"));
    srv.stop();
    opt.log(QStringLiteral("encerrado"));
    return 0;
}
