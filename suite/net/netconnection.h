#pragma once
#include "suite/core/remote.h"
#include <QString>
#include <functional>
#include <memory>

namespace suite {

// The connection to the application server. Host and port are usually set
// by the BeforeConnect handler; ThrowException decides whether a failed
// connect raises (true) or is silent (false).
class TNetConnection {
public:
    explicit TNetConnection(QString serverName = {});
    ~TNetConnection();
    TNetConnection(const TNetConnection&) = delete;
    TNetConnection& operator=(const TNetConnection&) = delete;

    QString ServerName;
    bool ThrowException = false;
    std::function<void(TNetConnection&)> BeforeConnect;

    void SetHost(const QString& host);
    QString Host() const;
    void SetPort(int port);
    int Port() const;
    // A Unix socket path; when set it is used instead of host and port.
    void SetSocketPath(const QString& path);
    void SetToken(const QString& token);
    void SetTimeoutMs(int ms);

    bool Connected() const;
    // Why the last connect failed, in the system's terms.
    QString LastError() const;
    // The user's sentence for a server that does not answer at where.
    static QString noAnswerText(const QString& where);
    // true: runs BeforeConnect, connects and authenticates. On failure raises
    // std::runtime_error naming host and port when ThrowException is set,
    // else stays disconnected. false: closes.
    void SetConnected(bool on);

    // The dispatch object. A call on a closed connection connects once first;
    // so does a call on a connection the server closed while it was idle
    // (restarted, say), unless a run's consistent read was going on over it.
    // A call that cannot be made returns a Transport error naming host and
    // port, never hangs beyond the timeout.
    RemoteServer& AppServer();

    // A connection in steady use is not looked at before each call (it costs
    // a system call, and peers close idle connections); one unused this long is.
    static constexpr int kIdleCheckMs = 500;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace suite
