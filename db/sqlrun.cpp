#include "db/sqlrun.h"
#include <stdexcept>

namespace db {

void fail(const QString& what, const QSqlError& e) {
    throw std::runtime_error(QStringLiteral("%1: %2").arg(what, e.text()).toStdString());
}

QSqlQuery run(QSqlDatabase& db, const QString& what, const QString& sql,
              const QVariantList& binds) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    bool ok = binds.isEmpty() ? q.exec(sql) : q.prepare(sql);
    for (int i = 0; ok && i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!ok || (!binds.isEmpty() && !q.exec()))
        fail(what, q.lastError());
    return q;
}

void runAll(QSqlDatabase& db, const QString& what, const QStringList& statements) {
    for (const QString& sql : statements)
        run(db, what, sql);
}

} // namespace db
