#include "server/socketserver.h"
#include "server/listenaddress.h"
#include "server/localserver.h"
#include "server/logtext.h"
#include "server/socketpath.h"
#include "server/tokenthrottle.h"
#include "suite/net/framechannel.h"
#include "suite/net/protocol.h"
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLocalServer>
#include <QMutex>
#include <QTcpServer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <list>
#include <malloc.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>

namespace server {

using suite::RemoteError;
using suite::RemoteResult;
namespace proto = suite::proto;

namespace {

// Compares without stopping at the first difference, so the time taken does
// not tell how much of a guess was right.
bool sameToken(const QString& a, const QString& b) {
    const QByteArray x = a.toUtf8(), y = b.toUtf8();
    const QByteArray& z = x.size() == y.size() ? y : x;
    unsigned diff = x.size() == y.size() ? 0u : 1u;
    for (qsizetype i = 0; i < x.size(); ++i)
        diff |= static_cast<unsigned>(static_cast<unsigned char>(x[i]) ^
                                      static_cast<unsigned char>(z[i]));
    return diff == 0;
}

// "address:port" of a TCP peer, for the log.
QString peerOf(int fd) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return QStringLiteral("?");
    const QHostAddress host(reinterpret_cast<const sockaddr*>(&addr));
    quint16 port = 0;
    if (addr.ss_family == AF_INET)
        port = ntohs(reinterpret_cast<const sockaddr_in*>(&addr)->sin_port);
    else if (addr.ss_family == AF_INET6)
        port = ntohs(reinterpret_cast<const sockaddr_in6*>(&addr)->sin6_port);
    return QStringLiteral("%1:%2").arg(host.toString()).arg(port);
}

class Worker;

} // namespace

struct SocketServer::Impl {
    SocketServerOptions opt;
    std::unique_ptr<QTcpServer> tcp;
    std::unique_ptr<QLocalServer> local;
    // The listeners accept on a thread of their own, so the owner's thread
    // need not run an event loop (the tests call through it meanwhile).
    QThread acceptor;
    QObject* context = nullptr;
    std::atomic<quint16> boundPort{0};
    bool listen(QString& error);
    std::atomic<bool> stopping{false};
    std::atomic<int> open{0};
    // Database connection names are process-wide: unique across servers.
    static inline std::atomic<quint64> serial{0};
    proto::SpinGate spinners{std::max(1, QThread::idealThreadCount() - 1)};
    QMutex mutex;
    std::list<QThread*> workers;

    TokenThrottle throttle;

    // Every line goes out escaped: parts of it come from clients.
    void log(const QString& line) {
        if (opt.log)
            opt.log(logLine(line));
    }
    void spawn(qintptr descriptor, bool isLocal);
    void reap();
};

namespace {

// How long a connection's snapshot outlives its last call.
constexpr int kSnapshotIdleMs = 20;

// Sends a long result's rows as parts while the method still reads them, so
// the server holds one part, not the whole journal.
class PartSink final : public RowSink {
public:
    PartSink(proto::FrameChannel& ch, int bytes) : ch_(ch), bytes_(bytes) {}
    qsizetype partBytes() const override { return bytes_; }
    void begin(quint64 id) {
        id_ = id;
        parts_ = 0;
    }
    int parts() const { return parts_; }

    void take(const QList<suite::FieldDef>& fields, suite::RowSet& rows) override {
        RemoteResult part;
        part.part = true;
        part.packet.fields = fields;
        part.packet.rows = rows;
        rows.clear();
        if (!ch_.write(proto::encodeReply(id_, part), 60000))
            throw std::runtime_error("conexão perdida ao enviar parte da resposta");
        ++parts_;
    }

private:
    proto::FrameChannel& ch_;
    int bytes_;
    quint64 id_ = 0;
    int parts_ = 0;
};

class Worker : public QThread {
public:
    Worker(SocketServer::Impl& s, qintptr descriptor, bool isLocal)
        : srv_(s), descriptor_(descriptor), local_(isLocal) {}

protected:
    void run() override {
        ++srv_.open;
        QElapsedTimer clock;
        clock.start();
        // The listeners hand over bare descriptors (no Qt socket was made
        // for them): this thread alone reads, writes and closes it.
        proto::FrameChannel channel(proto::kMaxRequestFrame);
        channel.attach(static_cast<int>(descriptor_));
        channel.setSpin(srv_.opt.spinUs, &srv_.spinners);
        channel.setFrameDeadline(srv_.opt.frameDeadlineMs);
        const QString peer = local_ ? QStringLiteral("unix") : peerOf(channel.descriptor());
        const QString outcome = serve(channel, peer);
        srv_.log(QStringLiteral("conexão %1: %2 chamada(s), %3 falha(s), %4 ms, %5")
                     .arg(peer)
                     .arg(calls_)
                     .arg(failures_)
                     .arg(clock.elapsed())
                     .arg(outcome));
        channel.close();
        // The last connection gone: what its buffers and results took goes
        // back to the system, not only to this process's heap.
        if (--srv_.open == 0)
            ::malloc_trim(0);
    }

private:
    bool reply(proto::FrameChannel& ch, quint64 id, const RemoteResult& r) {
        QByteArray payload = proto::encodeReply(id, r);
        if (static_cast<quint64>(payload.size()) > proto::kMaxFrame)
            payload = proto::encodeReply(
                id,
                RemoteResult::failure(RemoteError::Internal,
                                      QStringLiteral("resposta maior que o limite do protocolo")));
        return ch.write(payload, 60000);
    }

    // Waits ms, or less when the server stops meanwhile.
    void pause(int ms) {
        QElapsedTimer waited;
        waited.start();
        while (!srv_.stopping && waited.elapsed() < ms)
            QThread::msleep(
                static_cast<unsigned long>(std::min<qint64>(50, ms - waited.elapsed())));
    }

    QString serve(proto::FrameChannel& ch, const QString& peer) {
        QByteArray payload;
        const std::function<bool()> stop = [this] { return srv_.stopping.load(); };
        proto::IoStatus st = ch.read(payload, srv_.opt.helloTimeoutMs, stop);
        if (st != proto::IoStatus::Ok)
            return QStringLiteral("sem saudação");
        proto::Hello hello;
        QString err;
        if (!proto::decodeHello(payload, hello, err)) {
            ch.write(proto::encodeWelcome(RemoteError::BadFrame, err), 5000);
            return QStringLiteral("saudação inválida: %1").arg(err);
        }
        if (hello.version != proto::kVersion) {
            ch.write(proto::encodeWelcome(
                         RemoteError::VersionMismatch,
                         QStringLiteral("versão de protocolo %1 não suportada (servidor: %2)")
                             .arg(hello.version)
                             .arg(proto::kVersion)),
                     5000);
            return QStringLiteral("versão %1 recusada").arg(hello.version);
        }
        if (!srv_.opt.token.isEmpty() && !sameToken(hello.token, srv_.opt.token)) {
            // Guesses from one address come ever slower; the port changes
            // with every connection, so it is left out.
            pause(srv_.throttle.failed(peer.left(peer.lastIndexOf(u':'))));
            ch.write(
                proto::encodeWelcome(RemoteError::Unauthorized, QStringLiteral("token inválido")),
                5000);
            return QStringLiteral("token recusado");
        }
        std::unique_ptr<LocalServer> methods;
        try {
            methods = std::make_unique<LocalServer>(
                srv_.opt.databaseUrl, QStringLiteral("gerarqprev-srv-%1").arg(++srv_.serial));
        } catch (const std::exception& e) {
            const QString why = QString::fromUtf8(e.what());
            ch.write(proto::encodeWelcome(RemoteError::Database, why), 5000);
            return QStringLiteral("banco indisponível: %1").arg(why);
        }
        if (!ch.write(proto::encodeWelcome(), 5000))
            return QStringLiteral("perdida na saudação");
        PartSink sink(ch, std::max(1, srv_.opt.partBytes));
        if (hello.parts)
            methods->setRowSink(&sink);

        for (;;) {
            // A client that pauses lets go of its snapshot, so that its next
            // call reads the latest data and a checkpoint is not held back. A
            // run's read waits much longer: the run is still going.
            const bool held = methods->inSnapshot();
            const int idle = !held              ? srv_.opt.idleCloseMs
                             : methods->inRun() ? srv_.opt.runIdleMs
                                                : kSnapshotIdleMs;
            st = ch.read(payload, idle, stop);
            if (st == proto::IoStatus::Timeout && ch.midFrame()) {
                ++failures_;
                return QStringLiteral("encerrada: quadro incompleto após %1 ms")
                    .arg(srv_.opt.frameDeadlineMs);
            }
            if (st == proto::IoStatus::Timeout && held) {
                methods->endSnapshot();
                continue;
            }
            if (st == proto::IoStatus::Timeout)
                return QStringLiteral("encerrada por inatividade");
            switch (st) {
            case proto::IoStatus::Ok:
                break;
            case proto::IoStatus::BadFrame:
                // The length cannot be trusted, so the stream cannot be
                // resynchronised: answer and close.
                ++failures_;
                reply(ch, 0,
                      RemoteResult::failure(
                          RemoteError::BadFrame,
                          QStringLiteral("quadro vazio ou maior que %1 bytes").arg(ch.maxFrame())));
                srv_.log(QStringLiteral("quadro inválido (vazio ou grande demais)"));
                return QStringLiteral("encerrada por quadro inválido");
            case proto::IoStatus::Stopped:
                return QStringLiteral("encerrada pelo servidor");
            default:
                return QStringLiteral("encerrada pelo cliente");
            }
            proto::Request req;
            const RemoteError bad = proto::decodeRequest(payload, req, err);
            ++calls_;
            RemoteResult r;
            if (bad != RemoteError::None) {
                r = RemoteResult::failure(bad, QStringLiteral("pedido inválido: %1").arg(err));
            } else {
                sink.begin(req.id);
                r = methods->call(req.method, req.args);
                if (r.ok())
                    r.parts = sink.parts();
            }
            if (!r.ok()) {
                ++failures_;
                srv_.log(QStringLiteral("falha em %1 (código %2): %3")
                             .arg(req.method.left(40).isEmpty() ? QStringLiteral("?")
                                                                : req.method.left(40))
                             .arg(static_cast<int>(r.error))
                             .arg(r.message));
            }
            if (!reply(ch, req.id, r))
                return QStringLiteral("perdida ao responder");
        }
    }

    SocketServer::Impl& srv_;
    qintptr descriptor_;
    bool local_;
    int calls_ = 0;
    int failures_ = 0;
};

class TcpListener : public QTcpServer {
public:
    explicit TcpListener(SocketServer::Impl& s) : srv_(s) {}

protected:
    void incomingConnection(qintptr descriptor) override { srv_.spawn(descriptor, false); }

private:
    SocketServer::Impl& srv_;
};

class LocalListener : public QLocalServer {
public:
    explicit LocalListener(SocketServer::Impl& s) : srv_(s) {}

protected:
    void incomingConnection(quintptr descriptor) override {
        srv_.spawn(static_cast<qintptr>(descriptor), true);
    }

private:
    SocketServer::Impl& srv_;
};

} // namespace

void SocketServer::Impl::spawn(qintptr descriptor, bool isLocal) {
    reap();
    {
        QMutexLocker lock(&mutex);
        if (static_cast<int>(workers.size()) >= std::max(1, opt.maxConnections)) {
            lock.unlock();
            // Told why at once, without a thread or a database connection:
            // the client reads this as the answer to its greeting.
            proto::FrameChannel ch(proto::kMaxRequestFrame);
            ch.attach(static_cast<int>(descriptor));
            ch.write(proto::encodeWelcome(
                         RemoteError::Internal,
                         QStringLiteral("servidor ocupado: %1 conexões abertas, o máximo; tente "
                                        "novamente em instantes")
                             .arg(opt.maxConnections)),
                     200);
            ch.close();
            log(QStringLiteral("conexão recusada: %1 conexões abertas, o máximo")
                    .arg(opt.maxConnections));
            return;
        }
    }
    auto* w = new Worker(*this, descriptor, isLocal);
    {
        QMutexLocker lock(&mutex);
        workers.push_back(w);
    }
    w->start();
}

void SocketServer::Impl::reap() {
    QMutexLocker lock(&mutex);
    for (auto it = workers.begin(); it != workers.end();) {
        if ((*it)->isFinished()) {
            (*it)->wait();
            delete *it;
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

SocketServer::SocketServer(SocketServerOptions options, QObject* parent)
    : QObject(parent), d(std::make_unique<Impl>()) {
    d->opt = std::move(options);
}

SocketServer::~SocketServer() {
    stop();
}

bool SocketServer::Impl::listen(QString& error) {
    // Before anything listens, so a refused path leaves nothing half started.
    if (!opt.unixSocket.isEmpty() && !claimSocketPath(opt.unixSocket, error))
        return false;
    if (opt.tcp) {
        QHostAddress address;
        if (!listenAddress(opt.host, !opt.token.isEmpty(), address, error))
            return false;
        tcp = std::make_unique<TcpListener>(*this);
        if (!tcp->listen(address, static_cast<quint16>(opt.port))) {
            error = QStringLiteral("não foi possível escutar em %1:%2: %3")
                        .arg(opt.host)
                        .arg(opt.port)
                        .arg(tcp->errorString());
            tcp.reset();
            return false;
        }
        boundPort = tcp->serverPort();
        log(QStringLiteral("escutando em %1:%2").arg(address.toString()).arg(tcp->serverPort()));
    }
    if (!opt.unixSocket.isEmpty()) {
        local = std::make_unique<LocalListener>(*this);
        local->setSocketOptions(QLocalServer::UserAccessOption);
        if (!local->listen(opt.unixSocket)) {
            error = QStringLiteral("não foi possível escutar em %1: %2")
                        .arg(opt.unixSocket, local->errorString());
            local.reset();
            tcp.reset();
            return false;
        }
        log(QStringLiteral("escutando em %1").arg(opt.unixSocket));
    }
    return true;
}

bool SocketServer::start(QString& error) {
    if (d->context)
        return true;
    d->stopping = false;
    d->acceptor.start();
    d->context = new QObject;
    d->context->moveToThread(&d->acceptor);
    bool ok = false;
    QMetaObject::invokeMethod(
        d->context, [&] { ok = d->listen(error); }, Qt::BlockingQueuedConnection);
    if (!ok)
        stop();
    return ok;
}

void SocketServer::stop() {
    if (d->context) {
        QMetaObject::invokeMethod(
            d->context,
            [this] {
                d->tcp.reset();
                d->local.reset();
            },
            Qt::BlockingQueuedConnection);
        d->context->deleteLater();
        d->context = nullptr;
        d->acceptor.quit();
        d->acceptor.wait();
    }
    d->boundPort = 0;
    d->stopping = true;
    std::list<QThread*> all;
    {
        QMutexLocker lock(&d->mutex);
        all.swap(d->workers);
    }
    for (QThread* w : all) {
        w->wait();
        delete w;
    }
}

quint16 SocketServer::port() const {
    return d->boundPort.load();
}

int SocketServer::connections() const {
    return d->open.load();
}

} // namespace server
