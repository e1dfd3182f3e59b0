#include "readsnapshot.h"
#include <QSqlDriver>
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
    end();
}

void ReadSnapshot::enter() {
    if (!usable_)
        return;
    if (held_ && age_.elapsed() > maxAgeMs_)
        end();
    if (!held_ && db_.transaction()) {
        held_ = true;
        age_.start();
    }
}

void ReadSnapshot::end() {
    if (!held_)
        return;
    held_ = false;
    // Nothing was written: a commit that fails leaves a rollback to do.
    if (!db_.commit())
        db_.rollback();
}

} // namespace server
