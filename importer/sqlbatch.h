#pragma once
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <map>
#include <memory>
#include <stdexcept>

namespace importer {

// A failure of the database (not of the books): the import stops and
// nothing is kept.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs a statement with bound values; DatabaseError naming `what` when it fails.
void execOrThrow(QSqlQuery& q, const QString& what);
QSqlQuery prepareOrThrow(QSqlDatabase& db, const QString& sql, const QString& what);

// Rows into one table, in bulk. add() may keep rows back; flush() sends
// what is kept, so that rows of another table referring to them may follow.
class RowWriter {
public:
    virtual ~RowWriter() = default;
    // row holds one value per column.
    virtual void add(const QVariantList& row) = 0;
    virtual void flush() = 0;
    virtual qint64 written() const = 0;
};

// The fastest writer the database takes: COPY on PostgreSQL, multi-row
// INSERT statements of rowsPerStatement rows elsewhere.
std::unique_ptr<RowWriter> makeRowWriter(QSqlDatabase& db, const QString& table,
                                         const QStringList& columns, int rowsPerStatement);

// Rows into one table by multi-row INSERT statements with bound values, so
// that a million postings cost a few thousand statements. The statement of
// a full batch is prepared once; a shorter last batch gets its own.
class BulkInsert final : public RowWriter {
public:
    BulkInsert(QSqlDatabase& db, const QString& table, const QStringList& columns,
               int rowsPerStatement);
    // Sends a full batch at once.
    void add(const QVariantList& row) override;
    void flush() override;
    qint64 written() const override { return written_; }

private:
    QSqlQuery& statementFor(int rows);

    QSqlDatabase& db_;
    QString table_;
    QString head_;
    QString oneRow_;
    int width_;
    int perStatement_;
    QVariantList pending_;
    qint64 written_ = 0;
    std::map<int, std::unique_ptr<QSqlQuery>> prepared_;
};

// `column IN (...)` look-ups of many keys at once: the keys go in groups of
// a fixed size, the last group padded by repeating its first key, so one
// prepared statement serves every group. sql holds "%1" where the list of
// placeholders goes, after `fixedBinds` leading values.
class InList {
public:
    InList(QSqlDatabase& db, const QString& sql, int groupSize);
    int groupSize() const { return size_; }
    // Runs the statement for keys (at most groupSize) and returns it on its
    // first row's position (call next()).
    QSqlQuery& run(const QVariantList& fixedBinds, const QVariantList& keys);

private:
    QSqlQuery query_;
    int size_;
};

} // namespace importer
