#include "netconnection.h"
#include "config.h"
#include "db/dbgeral.h"
#include "framechannel.h"
#include "protocol.h"
#include "replyassembler.h"
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTcpSocket>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>

namespace suite {
namespace {

// The database module does not know the suite's settings; an empty url there
// means the configured database.
const bool kDbDefaultInstalled = [] {
    db::setDefaultUrlProvider([] {
        const QString url = config().database;
        return url.isEmpty() ? Config::defaultDatabase() : url;
    });
    return true;
}();

} // namespace

struct TNetConnection::Impl : RemoteServer {
    explicit Impl(TNetConnection& o) : owner(o) {}
    TNetConnection& owner;
    QString host;
    int port = 0;
    bool hostSet = false, portSet = false;
    QString socketPath;
    bool socketSet = false;
    QString token;
    bool tokenSet = false;
    int timeoutMs = 0;
    // Qt connects (names, addresses, errors); the calls then go straight
    // over the descriptor.
    proto::FrameChannel channel{proto::kMaxFrame};
    quint64 nextId = 1;
    QString lastError;
    // Inside a run's consistent read, which lives and dies with the server's
    // side of this connection.
    bool inRead = false;
    QElapsedTimer sinceUse;

    int timeout() const { return timeoutMs > 0 ? timeoutMs : config().timeoutMs; }
    QString where() const {
        if (!socketPath.isEmpty())
            return socketPath;
        return QStringLiteral("%1:%2").arg(host).arg(port);
    }
    bool connected() const { return channel.isOpen(); }
    void drop() { channel.close(); }

    // Keeps a copy of a connected Qt socket's descriptor; the socket itself
    // is thrown away by the caller, closing only its own copy.
    bool adopt(qintptr descriptor) {
        const int fd = ::fcntl(static_cast<int>(descriptor), F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            lastError = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        channel.attach(fd);
        channel.setSpin(config().spinUs);
        return true;
    }

    // Connects and greets; false with lastError set on failure.
    bool open() {
        drop();
        if (owner.BeforeConnect)
            owner.BeforeConnect(owner);
        const Config& c = config();
        if (!hostSet)
            host = c.host;
        if (!portSet)
            port = c.port;
        if (!socketSet)
            socketPath = c.unixSocket;
        const int ms = timeout();
        if (!socketPath.isEmpty()) {
            QLocalSocket s;
            s.connectToServer(socketPath);
            if (!s.waitForConnected(ms)) {
                lastError = s.errorString();
                return false;
            }
            if (!adopt(s.socketDescriptor()))
                return false;
        } else {
            QTcpSocket s;
            s.connectToHost(host, static_cast<quint16>(port));
            if (!s.waitForConnected(ms)) {
                lastError = s.errorString();
                return false;
            }
            if (!adopt(s.socketDescriptor()))
                return false;
        }
        proto::Hello hello;
        hello.token = tokenSet ? token : c.token;
        hello.server = owner.ServerName;
        // A whole journal in one reply would be held twice on arrival.
        hello.parts = true;
        if (!channel.write(proto::encodeHello(hello), ms)) {
            lastError = QStringLiteral("falha ao enviar a saudação");
            drop();
            return false;
        }
        QByteArray payload;
        const proto::IoStatus st = channel.read(payload, ms);
        if (st != proto::IoStatus::Ok) {
            lastError = st == proto::IoStatus::Timeout
                            ? QStringLiteral("sem resposta à saudação")
                            : QStringLiteral("conexão recusada na saudação");
            drop();
            return false;
        }
        const RemoteResult welcome = proto::decodeWelcome(payload);
        if (!welcome.ok()) {
            lastError = welcome.message;
            drop();
            return false;
        }
        lastError.clear();
        return true;
    }

    RemoteResult transport(const QString& why) {
        return RemoteResult::failure(
            RemoteError::Transport,
            QStringLiteral("Servidor de aplicação %1: %2").arg(where(), why));
    }

    RemoteResult call(const QString& method, QList<RemoteArg>& args) override {
        // A server restarted (or one that let an idle client go) has closed
        // the connection meanwhile: connect again, unseen, unless a run's
        // read was going on over it.
        const bool idle = !sinceUse.isValid() || sinceUse.elapsed() >= TNetConnection::kIdleCheckMs;
        if (connected() && idle && channel.idleBroken()) {
            drop();
            if (inRead)
                return transport(QStringLiteral("conexão perdida antes de %1.").arg(method));
        }
        if (!connected() && !open())
            return transport(QStringLiteral("não foi possível conectar (%1).").arg(lastError));
        sinceUse.start();
        proto::Request req;
        req.id = nextId++;
        req.method = method;
        req.args = args;
        const int ms = timeout();
        if (!channel.write(proto::encodeRequest(req), ms)) {
            drop();
            return transport(QStringLiteral("conexão perdida ao enviar %1.").arg(method));
        }
        QByteArray payload;
        RemoteResult result;
        proto::ReplyAssembler assembler(req.id);
        for (;;) {
            // The timeout bounds the wait for each message, so a long reply
            // in parts is never cut while it keeps arriving.
            const proto::IoStatus st = channel.read(payload, ms);
            if (st != proto::IoStatus::Ok) {
                // A late reply would answer the next call: start afresh.
                drop();
                switch (st) {
                case proto::IoStatus::Timeout:
                    return transport(
                        QStringLiteral("sem resposta a %1 em %2 ms.").arg(method).arg(ms));
                case proto::IoStatus::BadFrame:
                    return RemoteResult::failure(
                        RemoteError::BadFrame,
                        QStringLiteral("Resposta inválida do servidor a %1.").arg(method));
                default:
                    return transport(QStringLiteral("conexão perdida durante %1.").arg(method));
                }
            }
            QString err;
            const auto step = assembler.take(payload, result, err);
            if (step == proto::ReplyAssembler::Step::Done)
                break;
            if (step == proto::ReplyAssembler::Step::Bad) {
                drop();
                return RemoteResult::failure(
                    RemoteError::BadFrame,
                    QStringLiteral("Resposta inválida do servidor a %1: %2").arg(method, err));
            }
        }
        if (result.ok()) {
            qsizetype k = 0;
            for (RemoteArg& a : args)
                if (a.byRef && a.kind == RemoteArg::Kind::Text && k < result.byRef.size())
                    a.value = result.byRef[k++];
        }
        return result;
    }

    RemoteResult beginReadSnapshot() override {
        QList<RemoteArg> none;
        inRead = false;
        RemoteResult r = call(QString::fromLatin1(kBeginReadSnapshot), none);
        inRead = r.ok();
        return r;
    }

    // A lost connection has ended the snapshot with it: nothing to send.
    void endReadSnapshot() noexcept override {
        inRead = false;
        if (!connected())
            return;
        try {
            QList<RemoteArg> none;
            call(QString::fromLatin1(kEndReadSnapshot), none);
        } catch (...) {
        }
    }
};

TNetConnection::TNetConnection(QString serverName)
    : ServerName(std::move(serverName)), d(std::make_unique<Impl>(*this)) {}

TNetConnection::~TNetConnection() = default;

void TNetConnection::SetHost(const QString& host) {
    d->host = host;
    d->hostSet = true;
}
QString TNetConnection::Host() const {
    return d->hostSet ? d->host : config().host;
}
void TNetConnection::SetPort(int port) {
    d->port = port;
    d->portSet = true;
}
int TNetConnection::Port() const {
    return d->portSet ? d->port : config().port;
}
void TNetConnection::SetSocketPath(const QString& path) {
    d->socketPath = path;
    d->socketSet = true;
}
void TNetConnection::SetToken(const QString& token) {
    d->token = token;
    d->tokenSet = true;
}
void TNetConnection::SetTimeoutMs(int ms) {
    d->timeoutMs = ms;
}

bool TNetConnection::Connected() const {
    return d->connected();
}

void TNetConnection::SetConnected(bool on) {
    if (!on) {
        d->drop();
        return;
    }
    if (d->connected())
        return;
    if (!d->open() && ThrowException)
        throw std::runtime_error(
            QStringLiteral("Não foi possível conectar ao servidor de aplicação %1: %2")
                .arg(d->where(), d->lastError)
                .toStdString());
}

RemoteServer& TNetConnection::AppServer() {
    return *d;
}

} // namespace suite
