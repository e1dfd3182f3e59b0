#pragma once
#include "importer/sqlbatch.h"
#include <QByteArray>

struct pg_conn;

namespace importer {

// Rows into one PostgreSQL table by COPY FROM STDIN in text format, on the
// connection the database already holds (same transaction): the server
// parses no statement per row, which a bulk INSERT leaves it to do. Rows are
// kept as COPY text until flush(), which sends them in one COPY; only one
// COPY can be open on a connection, so writers of several tables take turns
// at their flushes.
class CopyIn final : public RowWriter {
public:
    CopyIn(QSqlDatabase& db, const QString& table, const QStringList& columns);
    void add(const QVariantList& row) override;
    void flush() override;
    qint64 written() const override { return written_; }

    // One value as COPY text: \N for null, the rest escaped so that no tab,
    // line break or backslash of a value ends a field.
    static void appendValue(QByteArray& out, const QVariant& v);

private:
    pg_conn* conn_;
    QString table_;
    QByteArray command_;
    int width_;
    QByteArray pending_;
    qint64 rows_ = 0;
    qint64 written_ = 0;
};

} // namespace importer
