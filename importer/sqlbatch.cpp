#include "importer/sqlbatch.h"
#include "db/dbgeral.h"
#include "importer/pgcopy.h"
#include <QSqlError>

namespace importer {

void execOrThrow(QSqlQuery& q, const QString& what) {
    if (!q.exec())
        throw DatabaseError(QStringLiteral("%1: %2").arg(what, q.lastError().text()).toStdString());
}

QSqlQuery prepareOrThrow(QSqlDatabase& db, const QString& sql, const QString& what) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw DatabaseError(QStringLiteral("%1: %2").arg(what, q.lastError().text()).toStdString());
    return q;
}

std::unique_ptr<RowWriter> makeRowWriter(QSqlDatabase& db, const QString& table,
                                         const QStringList& columns, int rowsPerStatement) {
    if (db::isPostgres(db))
        return std::make_unique<CopyIn>(db, table, columns);
    return std::make_unique<BulkInsert>(db, table, columns, rowsPerStatement);
}

BulkInsert::BulkInsert(QSqlDatabase& db, const QString& table, const QStringList& columns,
                       int rowsPerStatement)
    : db_(db), table_(table), width_(static_cast<int>(columns.size())),
      perStatement_(rowsPerStatement) {
    head_ = QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                .arg(table, columns.join(QStringLiteral(", ")));
    QStringList marks;
    for (int i = 0; i < width_; ++i)
        marks << QStringLiteral("?");
    oneRow_ = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
    pending_.reserve(width_ * perStatement_);
}

QSqlQuery& BulkInsert::statementFor(int rows) {
    auto it = prepared_.find(rows);
    if (it != prepared_.end())
        return *it->second;
    QString sql = head_;
    sql.reserve(head_.size() + rows * (oneRow_.size() + 2));
    for (int r = 0; r < rows; ++r) {
        if (r > 0)
            sql += QStringLiteral(", ");
        sql += oneRow_;
    }
    auto q = std::make_unique<QSqlQuery>(prepareOrThrow(db_, sql, table_));
    return *prepared_.emplace(rows, std::move(q)).first->second;
}

void BulkInsert::add(const QVariantList& row) {
    pending_ += row;
    if (pending_.size() >= width_ * perStatement_)
        flush();
}

void BulkInsert::flush() {
    if (pending_.isEmpty())
        return;
    const int rows = static_cast<int>(pending_.size() / width_);
    QSqlQuery& q = statementFor(rows);
    for (int i = 0; i < pending_.size(); ++i)
        q.bindValue(i, pending_[i]);
    execOrThrow(q, table_);
    written_ += rows;
    pending_.clear();
}

InList::InList(QSqlDatabase& db, const QString& sql, int groupSize) : size_(groupSize) {
    QStringList marks;
    for (int i = 0; i < groupSize; ++i)
        marks << QStringLiteral("?");
    query_ = prepareOrThrow(db, sql.arg(marks.join(QStringLiteral(", "))), QStringLiteral("IN"));
}

QSqlQuery& InList::run(const QVariantList& fixedBinds, const QVariantList& keys) {
    query_.finish();
    int i = 0;
    for (const QVariant& v : fixedBinds)
        query_.bindValue(i++, v);
    for (int k = 0; k < size_; ++k)
        query_.bindValue(i++, keys.isEmpty() ? QVariant() : keys[k < keys.size() ? k : 0]);
    execOrThrow(query_, QStringLiteral("IN"));
    return query_;
}

} // namespace importer
