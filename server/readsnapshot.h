#pragma once
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>

namespace server {

// Read transactions held across calls, in two ways.
//
// Bursts (enter/end): on SQLite every statement outside a transaction takes
// and drops the database's locks (fcntl and fstat calls); a per-row call is
// a single short statement, so that locking is about a third of its cost.
// Calls that follow one another closely share one read transaction, renewed
// when older than maxAgeMs and ended by the caller when its client pauses.
// Used only on SQLite in WAL mode, where a reader never holds up a writer.
//
// A run (pin/unpin): a generation run asks that all its calls read one
// consistent state of the books, however long it lasts. The transaction is
// opened at once (REPEATABLE READ, READ ONLY on PostgreSQL; a read
// transaction on SQLite, which in WAL mode blocks no writer) and never
// renewed. If it is lost before the run ends it (the connection went idle,
// a database error), the run's later calls must fail: expired() says so.
//
// The connection must be used for reads only while one is held.
class ReadSnapshot {
public:
    explicit ReadSnapshot(QSqlDatabase& db, int maxAgeMs = 2000);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

    bool usable() const { return usable_; }
    bool held() const { return held_; }
    // Before a call: opens one, or renews one that is too old. Inside a
    // run it does nothing.
    void enter();
    // Ends a burst's transaction, or loses a run's (which then expires).
    void end();

    // Opens the run's transaction, ending any burst first. False with
    // error set when the database cannot give one.
    bool pin(QString& error);
    // The run ended: its transaction, if still held, is ended.
    void unpin();
    bool pinned() const { return pinned_; }
    bool expired() const { return pinned_ && !held_; }

private:
    void finish();

    QSqlDatabase& db_;
    int maxAgeMs_;
    bool usable_ = false;
    bool held_ = false;
    bool pinned_ = false;
    QElapsedTimer age_;
};

} // namespace server
