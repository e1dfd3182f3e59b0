#pragma once
#include "suite/core/remote.h"
#include <QByteArray>
#include <QList>
#include <QString>

// The wire form of remote calls between TNetConnection and the application
// server: 4-byte big-endian length, then one CBOR message (docs/protocol.md).
namespace suite::proto {

inline constexpr int kVersion = 1;
inline constexpr const char* kProtocolName = "gerarqprev";
// Largest frame either side accepts. Replies carry whole ledgers, so the
// bound is generous; requests and greetings are small and get a tight one.
inline constexpr quint32 kMaxFrame = 256u * 1024u * 1024u;
inline constexpr quint32 kMaxRequestFrame = 1024u * 1024u;

// The length header followed by the payload.
QByteArray frame(const QByteArray& payload);

struct Hello {
    int version = kVersion;
    QString token;
    QString server; // the module the client asks for; informative
    // The client takes a large reply in parts (docs/protocol.md, "Replies in
    // parts"); a client that does not say so gets every reply whole.
    bool parts = false;
};
QByteArray encodeHello(const Hello& h);
bool decodeHello(const QByteArray& payload, Hello& out, QString& error);
// The server's answer to a greeting: ok, or the error that refuses it.
QByteArray encodeWelcome(RemoteError error = RemoteError::None, const QString& message = {});
RemoteResult decodeWelcome(const QByteArray& payload);

struct Request {
    quint64 id = 0;
    QString method;
    QList<RemoteArg> args;
    bool operator==(const Request&) const = default;
};
QByteArray encodeRequest(const Request& r);
// None when decoded. BadFrame for a payload that is not a well-formed request
// message, BadArguments for arguments of a type the protocol does not carry;
// out.id is filled as soon as it is read so the error can be answered.
RemoteError decodeRequest(const QByteArray& payload, Request& out, QString& error);

QByteArray encodeReply(quint64 id, const RemoteResult& result);
// false with error set when the payload is not a well-formed reply.
bool decodeReply(const QByteArray& payload, quint64& id, RemoteResult& out, QString& error);

// How a blocking frame read or write on a connection ends (FrameChannel).
enum class IoStatus { Ok, Timeout, Closed, BadFrame, Stopped };
// Waits for one whole frame. timeoutMs < 0 waits without limit; stop, when
// given, is polled about every 200 ms and ends the wait with Stopped.
} // namespace suite::proto
