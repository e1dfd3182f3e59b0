#pragma once
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace suite {

// Raised when a local query cannot run or names a field it does not have.
class EQueryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TQueryDataSet;

// A persistent string field of a query: bound by name to a result column.
class TADOIBStringField {
public:
    TADOIBStringField(const TQueryDataSet& ds, QString fieldName, int size, QString displayLabel)
        : ds_(&ds), FieldName(std::move(fieldName)), Size(size),
          DisplayLabel(std::move(displayLabel)) {}

    QString AsString() const;    // value of the current row; empty without a row or for NULL
    QString DisplayText() const; // the value shown through EditMask
    bool IsNull() const;

private:
    const TQueryDataSet* ds_;

public:
    QString FieldName;
    int Size = 0;
    QString DisplayLabel;
    QString EditMask; // picture the pickers format the value with; empty: as stored
    bool Visible = true;
};

// Formats a stored value through an edit mask: mask characters take the
// value's characters in order, literals are inserted, and the text ends where
// the value runs out. A value that already carries the literals, or that does
// not fit, is shown as stored.
QString FormatWithMask(const QString& mask, const QString& value);

// The rows of an open query, read at once (read-only, client-side cursor).
class TQueryDataSet {
public:
    TQueryDataSet() = default;
    TQueryDataSet(const TQueryDataSet&) = delete;
    TQueryDataSet& operator=(const TQueryDataSet&) = delete;

    TADOIBStringField& AddField(const QString& name, int size, const QString& displayLabel);
    const std::vector<std::unique_ptr<TADOIBStringField>>& Fields() const { return fields_; }
    // EQueryError for a name that is not a declared field.
    TADOIBStringField& FieldByName(const QString& name) const;

    bool Active() const { return active_; }
    // Opens through the owning query (the pickers reopen a closed source).
    void Open();
    void Close();
    bool IsEmpty() const { return rows_.isEmpty(); }
    int RecordCount() const { return active_ ? int(rows_.size()) : 0; }
    void First() { row_ = 0; }
    void Next() {
        if (row_ < rows_.size())
            ++row_;
    }
    bool Eof() const { return row_ >= rows_.size(); }
    int RecNo() const { return int(row_); }
    // Makes row i (0-based) current; out of range goes to Eof.
    void SetRecNo(int i) { row_ = i < 0 ? rows_.size() : qMin<qsizetype>(i, rows_.size()); }

    // Value of a declared field on the current row (null QVariant without a row).
    QVariant value(const TADOIBStringField& f) const;

private:
    friend class TADOIBQuery;
    std::vector<std::unique_ptr<TADOIBStringField>> fields_;
    QList<int> columnOf_;
    QList<QVariantList> rows_;
    qsizetype row_ = 0;
    bool active_ = false;
    std::function<void()> opener_;
};

// One named query parameter.
class TParam {
public:
    explicit TParam(QString name) : Name(std::move(name)) {}
    void setValue(const QVariant& v) { value_ = v; }
    void SetAsString(const QString& s) { value_ = s; }
    const QVariant& value() const { return value_; }
    QString Name;

private:
    QVariant value_;
};

// A look-up query over the suite's shared database module. One statement per
// database dialect; a dialect without its own statement uses the default.
// Parameters are always bound, never pasted into the text.
class TADOIBQuery {
public:
    enum class Dialect { Default, Oracle, MsSql, InterBase };

    TADOIBQuery();
    TADOIBQuery(const TADOIBQuery&) = delete;
    TADOIBQuery& operator=(const TADOIBQuery&) = delete;

    QStringList SQL, SQL_ORACLE, SQL_MSSQL, SQL_IB;
    // Declares a parameter the statements use (":P_NAME").
    TParam& AddParam(const QString& name);
    // EQueryError for an undeclared parameter.
    TParam& ParamByName(const QString& name);
    const std::vector<std::unique_ptr<TParam>>& Params() const { return params_; }

    // The statement for the dialect: its own lines when it has them.
    QString statementFor(Dialect d) const;
    static Dialect dialectOf(const QSqlDatabase& db);

    // Runs on db::dtmDBGeral::dtbGeral() unless a connection was set.
    void setConnection(const QSqlDatabase& db) {
        db_ = db;
        useOwnDb_ = true;
    }
    void Open();
    void Close() { Query.Close(); }
    bool IsEmpty() const { return Query.IsEmpty(); }
    bool Active() const { return Query.Active(); }
    TADOIBStringField& FieldByName(const QString& name) const { return Query.FieldByName(name); }

    // The inner dataset data sources and pickers read.
    TQueryDataSet Query;

private:
    std::vector<std::unique_ptr<TParam>> params_;
    QSqlDatabase db_;
    bool useOwnDb_ = false;
};

// What a picker or a search button reads rows from.
class TDataSource {
public:
    explicit TDataSource(TQueryDataSet* ds = nullptr) : DataSet(ds) {}
    TQueryDataSet* DataSet = nullptr;
};

} // namespace suite
