#include "db/dbgeral.h"
#include "db/sqlrun.h"

namespace db {
QStringList suspendForeignKeys(QSqlDatabase& db, const QStringList& tables) {
    const QString what = QStringLiteral("suspendForeignKeys");
    if (!isPostgres(db) || tables.isEmpty())
        return {};
    // The catalogue writes both statements, names quoted, from the
    // constraints as they stand, so that they come back exactly as they were.
    QSqlQuery q = run(
        db, what,
        QStringLiteral(
            "SELECT format('ALTER TABLE %s DROP CONSTRAINT %I', conrelid::regclass, conname),"
            " format('ALTER TABLE %s ADD CONSTRAINT %I %s', conrelid::regclass, conname,"
            " pg_get_constraintdef(oid))"
            " FROM pg_constraint WHERE contype = 'f'"
            " AND conrelid IN (SELECT to_regclass(t) FROM unnest(string_to_array(?, ',')) AS t)"
            " AND confrelid IN (SELECT to_regclass(t) FROM unnest(string_to_array(?, ',')) AS t)"
            " ORDER BY conname"),
        {tables.join(QLatin1Char(',')), tables.join(QLatin1Char(','))});
    QStringList drop, restore;
    while (q.next()) {
        drop << q.value(0).toString();
        restore << q.value(1).toString();
    }
    q.finish();
    for (const QString& sql : drop)
        run(db, what, sql);
    return restore;
}

void restoreForeignKeys(QSqlDatabase& db, const QStringList& restore) {
    for (const QString& sql : restore)
        run(db, QStringLiteral("restoreForeignKeys"), sql);
}

qint64 estimatedRows(QSqlDatabase& db, const QString& table) {
    if (!isPostgres(db))
        return 0;
    QSqlQuery q = run(db, QStringLiteral("estimatedRows"),
                      QStringLiteral("SELECT CAST(GREATEST(reltuples, 0) AS BIGINT)"
                                     " FROM pg_class WHERE oid = to_regclass(?)"),
                      {table});
    return q.next() ? q.value(0).toLongLong() : 0;
}

} // namespace db
