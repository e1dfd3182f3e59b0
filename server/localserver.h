#pragma once
#include "suite/core/remote.h"
#include <QSqlDatabase>
#include <QString>
#include <memory>

namespace remote {
struct MethodDecl;
}

namespace server {
namespace detail {
class Methods;
}
class ReadSnapshot;

// Takes a long result's rows while the method is still reading them, so the
// server never holds the whole result. take() sends or keeps what it is
// given and clears it; whatever is left at the end goes in the final packet.
// It throws to abandon the call (the connection is lost, say).
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual void take(const QList<suite::FieldDef>& fields, suite::RowSet& rows) = 0;
    // Bytes of packed rows that make a part.
    virtual qsizetype partBytes() const { return qsizetype(1) << 20; }
};

// The application-server module run in-process: the eleven remote methods
// over one database connection. The socket server puts one behind each
// connection; the command line uses one directly for --banco.
//
// Not thread-safe: one instance per thread, like its connection.
class LocalServer : public suite::RemoteServer {
public:
    // Works on an open connection owned by the caller; brings its schema up
    // to date first (std::runtime_error when that fails).
    explicit LocalServer(const QSqlDatabase& db);
    // Opens and owns the connection to url (db::open), named connectionName.
    LocalServer(const QString& url, const QString& connectionName);
    ~LocalServer() override;
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Runs a method by name (exact names of the module, compared without
    // regard to case). By-reference text arguments are set from the result.
    // Never throws: every failure is a result with an error code.
    suite::RemoteResult call(const QString& method, QList<suite::RemoteArg>& args) override;

    // A run's consistent read (see ReadSnapshot::pin). The same two calls
    // arrive over the wire as the session methods kBeginReadSnapshot and
    // kEndReadSnapshot, which call() answers itself (entries of the method
    // table marked as session calls).
    suite::RemoteResult beginReadSnapshot() override;
    void endReadSnapshot() noexcept override;
    // A run's read is open (or was lost and not yet ended by its run).
    bool inRun() const;

    QSqlDatabase& database() { return db_; }

    // For the calls that follow; nullptr: results are returned whole.
    void setRowSink(RowSink* sink);

    // Whether calls that follow one another read one snapshot of the
    // database (ReadSnapshot). On by default on an owned connection; on a
    // borrowed one only when its owner reads and never writes through it.
    void setSnapshots(bool on);
    bool inSnapshot() const;
    // Ends the current snapshot: the next call reads the latest data; a
    // run's is lost, and the run's later calls fail.
    void endSnapshot();

private:
    suite::RemoteResult attempt(const remote::MethodDecl* decl, const QString& method,
                                QList<suite::RemoteArg>& args);
    // Opens an owned connection afresh (the database restarted, say); false
    // when it cannot.
    bool reopen();

    QSqlDatabase db_;
    QString owned_; // connection name to remove on destruction, if owned
    QString url_;   // what an owned connection was opened from
    // Rows already handed to the sink in this call: a call that sent some
    // cannot be run again.
    class CountingSink;
    std::unique_ptr<CountingSink> counting_;
    // Created on first call; holds the statements prepared on db_.
    std::unique_ptr<detail::Methods> methods_;
    RowSink* sink_ = nullptr;
    bool snapshots_ = false;
    std::unique_ptr<ReadSnapshot> snapshot_; // after methods_: ended first
};

} // namespace server
