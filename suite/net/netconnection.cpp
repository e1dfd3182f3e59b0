#include "netconnection.h"
#include "framechannel.h"
#include "protocol.h"
#include "replyassembler.h"
#include "suite/core/config.h"
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QTcpSocket>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>

namespace suite {
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
    bool refused = false; // the last open got as far as a refused greeting
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
        refused = false;
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
            refused = true;
            drop();
            return false;
        }
        lastError.clear();
        return true;
    }

    // The user's sentence for each way a call can fail on the way; why is
    // the technical detail.
    enum class Broke { NoAnswer, Refused, Lost, Late, Garbled };
    RemoteResult transport(Broke how, const QString& why) const {
        QString text;
        switch (how) {
        case Broke::NoAnswer:
            text = TNetConnection::noAnswerText(where());
            break;
        case Broke::Refused:
            text = QStringLiteral("O servidor de aplicação em %1 recusou a conexão. Verifique o "
                                  "token e a versão configurados.")
                       .arg(where());
            break;
        case Broke::Lost:
            text = QStringLiteral("A conexão com o servidor de aplicação em %1 foi perdida. "
                                  "Verifique a rede e o serviço gerarqprev-server e gere o "
                                  "arquivo novamente.")
                       .arg(where());
            break;
        case Broke::Late:
            text = QStringLiteral("O servidor de aplicação em %1 não respondeu a tempo. Verifique "
                                  "o serviço gerarqprev-server e gere o arquivo novamente.")
                       .arg(where());
            break;
        case Broke::Garbled:
            text = QStringLiteral("O servidor de aplicação em %1 enviou uma resposta inválida. "
                                  "Verifique se ele e este programa são da mesma versão.")
                       .arg(where());
            break;
        }
        return RemoteResult::failure(
            how == Broke::Garbled ? RemoteError::BadFrame : RemoteError::Transport, text, why);
    }

    RemoteResult call(const QString& method, QList<RemoteArg>& args) override {
        // A server restarted (or one that let an idle client go) has closed
        // the connection meanwhile: connect again, unseen, unless a run's
        // read was going on over it.
        const bool idle = !sinceUse.isValid() || sinceUse.elapsed() >= TNetConnection::kIdleCheckMs;
        if (connected() && idle && channel.idleBroken()) {
            drop();
            if (inRead)
                return transport(Broke::Lost,
                                 QStringLiteral("conexão perdida antes de %1.").arg(method));
        }
        if (!connected() && !open())
            return transport(refused ? Broke::Refused : Broke::NoAnswer,
                             QStringLiteral("%1: %2").arg(method, lastError));
        sinceUse.start();
        proto::Request req;
        req.id = nextId++;
        req.method = method;
        req.args = args;
        const int ms = timeout();
        if (!channel.write(proto::encodeRequest(req), ms)) {
            drop();
            return transport(Broke::Lost,
                             QStringLiteral("conexão perdida ao enviar %1.").arg(method));
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
                        Broke::Late,
                        QStringLiteral("sem resposta a %1 em %2 ms.").arg(method).arg(ms));
                case proto::IoStatus::BadFrame:
                    return transport(
                        Broke::Garbled,
                        QStringLiteral("quadro inválido na resposta a %1.").arg(method));
                default:
                    return transport(Broke::Lost,
                                     QStringLiteral("conexão perdida durante %1.").arg(method));
                }
            }
            QString err;
            const auto step = assembler.take(payload, result, err);
            if (step == proto::ReplyAssembler::Step::Done)
                break;
            if (step == proto::ReplyAssembler::Step::Bad) {
                drop();
                return transport(Broke::Garbled,
                                 QStringLiteral("resposta inválida a %1: %2").arg(method, err));
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

QString TNetConnection::LastError() const {
    return d->lastError;
}

QString TNetConnection::noAnswerText(const QString& where) {
    return QStringLiteral("O servidor de aplicação em %1 não está respondendo. Verifique se o "
                          "serviço gerarqprev-server está ativo.")
        .arg(where);
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
            d->transport(d->refused ? Impl::Broke::Refused : Impl::Broke::NoAnswer, d->lastError)
                .message.toStdString());
}

RemoteServer& TNetConnection::AppServer() {
    return *d;
}

} // namespace suite
