#include "benchutil.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <cstdio>

namespace bench {

Options options(const QStringList& args, int postings, const QStringList& switches,
                const QStringList& valued) {
    Options o;
    o.postings = postings;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--banco") && i + 1 < args.size()) {
            o.database = args[++i];
        } else if (switches.contains(args[i])) {
            o.switches.insert(args[i]);
        } else if (valued.contains(args[i]) && i + 1 < args.size()) {
            o.values.insert(args[i], args[i + 1]);
            ++i;
        } else {
            o.postings = args[i].toInt();
        }
    }
    return o;
}

qint64 procStatusKb(const char* key, qint64 pid) {
    QFile f(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid)
                    : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray k = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(k))
            return line.mid(k.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

double seconds(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

QString beside(const char* program) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(program);
}

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

double ensureDemo(const QString& path, int postings) {
    if (QFileInfo::exists(path))
        return 0;
    QElapsedTimer t;
    t.start();
    const int rc = QProcess::execute(beside("gerarqprev-server"),
                                     {QStringLiteral("demo"), QStringLiteral("--banco"), path,
                                      QStringLiteral("--lancamentos"), QString::number(postings)});
    if (rc != 0) {
        std::fprintf(stderr, "a base de demonstração não foi criada (%d)\n", rc);
        return -1;
    }
    return seconds(t);
}

void startServer(QProcess& srv, const QString& database, quint16 port, const QString& log,
                 const QStringList& extra) {
    srv.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    srv.start(beside("gerarqprev-server"),
              QStringList{QStringLiteral("--banco"), database, QStringLiteral("--escuta"),
                          QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--log"), log} +
                  extra);
}

bool waitForServer(quint16 port) {
    for (int i = 0; i < 100; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace bench
