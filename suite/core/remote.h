#pragma once
#include "datapacket.h"
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace suite {

// One argument of a remote method call.
struct RemoteArg {
    enum class Kind { Text, Date, Float, Integer, Null };
    Kind kind = Kind::Null;
    QVariant value;     // QString, QDate, double, qint64, or invalid for Null
    bool byRef = false; // Text only: the server may hand back a new text

    static RemoteArg text(const QString& s) { return {Kind::Text, s, false}; }
    static RemoteArg textRef(const QString& s) { return {Kind::Text, s, true}; }
    static RemoteArg date(const QDate& d) { return {Kind::Date, d, false}; }
    static RemoteArg real(double v) { return {Kind::Float, v, false}; }
    static RemoteArg integer(qint64 v) { return {Kind::Integer, v, false}; }
    static RemoteArg null() { return {Kind::Null, {}, false}; }
    bool operator==(const RemoteArg&) const = default;
};

// Error codes a reply can carry (documented in docs/protocol.md).
enum class RemoteError {
    None = 0,
    Transport = 1,    // could not connect, connection lost, timeout
    BadFrame = 2,     // malformed or oversized frame
    Unauthorized = 3, // wrong or missing token
    UnknownMethod = 4,
    BadArguments = 5, // wrong count or type
    NotFound = 6,     // unknown company and the like
    Database = 7,
    Internal = 8,
    VersionMismatch = 9,
};

// What a remote method returns: a data packet plus the by-reference texts in
// argument order, or an error.
struct RemoteResult {
    RemoteError error = RemoteError::None;
    QString message; // for the user: what is wrong and what to do
    QString detail;  // for whoever fixes it: method, system error (not on the wire)
    DataPacket packet;
    QStringList byRef; // one per byRef argument, in order
    // On the wire only: a part of a reply still being read (rows to add to
    // the packet that follows), and in the final reply the parts it had.
    bool part = false;
    int parts = 0;

    bool ok() const { return error == RemoteError::None; }
    static RemoteResult failure(RemoteError e, const QString& msg, const QString& detail = {}) {
        RemoteResult r;
        r.error = e;
        r.message = msg;
        r.detail = detail;
        return r;
    }
};

// The dispatch object: calls a remote method by name. By-reference text
// arguments are updated in place from the reply.
class RemoteServer {
public:
    virtual ~RemoteServer() = default;
    virtual RemoteResult call(const QString& method, QList<RemoteArg>& args) = 0;

    // A generation run's reads: every call from begin to end reads one
    // consistent state of the books, whatever is posted meanwhile. A server
    // that cannot promise it answers with an error. End never fails; a
    // server that reads nothing (a script) needs neither.
    virtual RemoteResult beginReadSnapshot() { return {}; }
    virtual void endReadSnapshot() noexcept {}
};

// The wire names of the two session calls above (not module methods; the
// server's method table marks them as such).
inline constexpr const char* kBeginReadSnapshot = "BeginReadSnapshot";
inline constexpr const char* kEndReadSnapshot = "EndReadSnapshot";

} // namespace suite
