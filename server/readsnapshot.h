#pragma once
#include <QElapsedTimer>
#include <QSqlDatabase>

namespace server {

// One read transaction shared by calls that follow one another closely.
// On SQLite every statement outside a transaction takes and drops the
// database's locks (fcntl and fstat calls); a per-row call is a single
// short statement, so that locking is about a third of its cost. Inside a
// read transaction the statements take no locks. In WAL mode a reader never
// holds up a writer, so this is used only there; elsewhere it does nothing.
//
// A transaction older than maxAgeMs is renewed at the next call, so no call
// reads data older than that; the caller ends it when its client pauses.
// The connection must be used for reads only while one is held.
class ReadSnapshot {
public:
    explicit ReadSnapshot(QSqlDatabase& db, int maxAgeMs = 2000);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    bool usable() const { return usable_; }
    bool held() const { return held_; }
    // Before a call: opens one, or renews one that is too old.
    void enter();
    void end();

private:
    QSqlDatabase& db_;
    int maxAgeMs_;
    bool usable_ = false;
    bool held_ = false;
    QElapsedTimer age_;
};

} // namespace server
