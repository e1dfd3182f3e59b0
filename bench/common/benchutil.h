#pragma once
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class QElapsedTimer;
class QProcess;

// What every bench sets up the same way: its command line, the demo
// database, the server process on loopback, the clock and the memory figures.
namespace bench {

// The benches' command line: [POSTINGS] [--banco PATH]. A word named in
// `switches` is a switch, one named in `valued` takes the next word as its
// value; any other word is the number of postings (0 when it is not one).
struct Options {
    int postings = 0;
    QString database;
    QSet<QString> switches;
    QHash<QString, QString> values;
};
Options options(const QStringList& args, int postings, const QStringList& switches = {},
                const QStringList& valued = {});

// A value of /proc/<pid>/status in kB (VmHWM: peak resident; VmRSS: now);
// pid 0 is this process. -1 when it cannot be read.
qint64 procStatusKb(const char* key, qint64 pid = 0);
inline qint64 peakKb(qint64 pid = 0) {
    return procStatusKb("VmHWM", pid);
}

// Seconds since the timer (re)started.
double seconds(const QElapsedTimer& t);

// A program built beside this one.
QString beside(const char* program);

// A loopback TCP port nobody listens on just now.
quint16 freePort();

// The demo company's database at path, made by `gerarqprev-server demo` when
// the file is not there yet, so that none of its cost counts in this
// process. The seconds it took (0 when it was there); negative, with a
// message on stderr, when it could not be made.
double ensureDemo(const QString& path, int postings);

// Starts gerarqprev-server on the database, listening on loopback at port and
// logging to log, with `extra` arguments after those; its errors go to ours.
void startServer(QProcess& srv, const QString& database, quint16 port, const QString& log,
                 const QStringList& extra = {});
// Waits up to 5 s for a server to accept connections on loopback at port.
bool waitForServer(quint16 port);

} // namespace bench
