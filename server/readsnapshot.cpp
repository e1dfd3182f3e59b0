#include "readsnapshot.h"
#include "db/dbgeral.h"
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace server {

ReadSnapshot::ReadSnapshot(QSqlDatabase& db, int maxAgeMs) : db_(db), maxAgeMs_(maxAgeMs) {
    if (!db_.isOpen() || db_.driverName() != QLatin1String("QSQLITE"))
        return;
    QSqlQuery q(db_);
    usable_ = q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next() &&
              q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
}

ReadSnapshot::~ReadSnapshot() {
    pinned_ = false;
    finish();
}

void ReadSnapshot::enter() {
    if (pinned_ || !usable_)
        return;
    if (held_ && age_.elapsed() > maxAgeMs_)
        finish();
    if (!held_ && db_.transaction()) {
        held_ = true;
        age_.start();
    }
}

void ReadSnapshot::end() {
    finish();
}

bool ReadSnapshot::pin(QString& error) {
    pinned_ = false;
    finish();
    if (!db_.isOpen() || !db_.transaction()) {
        error = db_.lastError().text();
        return false;
    }
    held_ = true;
    QSqlQuery q(db_);
    // PostgreSQL: the isolation must be set before the first read, which
    // then takes the snapshot. SQLite: a deferred transaction reads its
    // snapshot at its first read, so one is made now, not at the first call.
    const bool ok =
        (!db::isPostgres(db_) ||
         q.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY"))) &&
        q.exec(QStringLiteral("SELECT COUNT(*) FROM SCHEMA_VERSION")) && q.next();
    if (!ok) {
        error = q.lastError().text();
        q.finish();
        finish();
        return false;
    }
    q.finish();
    pinned_ = true;
    age_.start();
    return true;
}

void ReadSnapshot::unpin() {
    pinned_ = false;
    finish();
}

void ReadSnapshot::finish() {
    if (!held_)
        return;
    held_ = false;
    // Nothing was written: a commit that fails leaves a rollback to do.
    if (!db_.commit())
        db_.rollback();
}

} // namespace server
