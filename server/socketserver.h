#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace server {

struct SocketServerOptions {
    QString databaseUrl;                        // db::open url; empty: the configured one
    QString host = QStringLiteral("127.0.0.1"); // TCP address to listen on
    int port = 21150;                           // 0: any free port (see port())
    bool tcp = true;                            // false: the Unix socket only
    QString unixSocket;                         // optional Unix socket path
    QString token;                              // empty: no authentication
    int helloTimeoutMs = 10000;                 // a client must greet within this
    // A generation run's consistent read is ended when its connection sends
    // nothing for this long; the run's next call then fails.
    int runIdleMs = 60000;
    // Connections served at once; one more is answered with an error and
    // closed (docs/protocol.md).
    int maxConnections = 64;
    // A frame whose first byte has come must be whole within this.
    int frameDeadlineMs = 30000;
    // A greeted connection that sends nothing for this long is closed; the
    // client connects again for its next call.
    int idleCloseMs = 15 * 60 * 1000;
    int partBytes = 1 << 20; // a long reply goes in parts of about this much row data
    // After a reply a connection's thread polls this long for the next
    // request before it blocks; -1: the machine's default, 0: never. At most
    // one thread fewer than the cores spins at a time.
    int spinUs = -1;
    // One line per connection and per failed call; called from any thread.
    std::function<void(const QString&)> log;
};

// The application server on sockets: one thread and one database connection
// per client connection, so a slow client or a long call holds up nobody
// else. Frames and messages as in docs/protocol.md.
class SocketServer : public QObject {
    Q_OBJECT
public:
    explicit SocketServer(SocketServerOptions options, QObject* parent = nullptr);
    ~SocketServer() override; // stops

    // Starts listening; false with error set when an address cannot be used.
    bool start(QString& error);
    // Stops listening, ends every connection (each finishes the call it is
    // running) and waits for their threads.
    void stop();

    quint16 port() const;
    int connections() const; // open right now

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

} // namespace server
