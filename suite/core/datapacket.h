#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVarLengthArray>
#include <QVariant>
#include <functional>
#include <initializer_list>

namespace suite {

// Column types a server data packet can carry.
enum class FieldType { String, Float, Integer, DateTime };

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters, for String; 0 otherwise
    bool operator==(const FieldDef&) const = default;
};

// The rows of a data packet, packed: a whole ledger is held by the server
// while it answers and by the client dataset while the file is written, so a
// cell costs its bytes plus a tag, not a QVariant and a string allocation.
// Strings are kept as UTF-8; values come back as QVariants on reading.
// Copies share the storage.
class RowSet {
public:
    RowSet() = default;
    RowSet(std::initializer_list<QVariantList> rows);
    RowSet(const QList<QVariantList>& rows); // NOLINT: converts like the list it packs

    qsizetype size() const { return starts_.isEmpty() ? 0 : starts_.size() - 1; }
    bool isEmpty() const { return size() == 0; }
    void clear();
    void reserve(qsizetype rows) { starts_.reserve(rows + 1); }

    // Stores QString, double, integers, QDateTime, QDate and null; any other
    // value is stored as its text.
    void append(const QVariantList& row);
    // Adds every row of another set after these.
    void append(const RowSet& more);

    // A row cell by cell, for decoders that hold the bytes already:
    // beginRow(n), exactly n add calls, endRow(). Text is UTF-8 as given.
    void beginRow(int cells);
    void addNull();
    void addText(const char* utf8, qsizetype size);
    void addReal(double d);
    void addInteger(qint64 v);
    void addValue(const QVariant& v); // stored as append() stores it
    void endRow();

    // A cell as stored, for encoders that need no QVariant. Other: a date or
    // time, to be read with value().
    struct CellView {
        enum Kind : char { Null, Text, Real, Integer, Other };
        Kind kind = Null;
        const char* text = nullptr; // Text: UTF-8, size bytes
        qsizetype size = 0;
        double real = 0;
        qint64 integer = 0;
    };
    using CellViews = QVarLengthArray<CellView, 24>;
    // The cells of a row in order (none past the end); valid while the set
    // is not changed.
    void cells(qsizetype row, CellViews& out) const;

    QVariantList at(qsizetype row) const;
    QVariantList operator[](qsizetype row) const { return at(row); }
    // Number of cells of the row, and one cell (null past the end).
    int width(qsizetype row) const;
    QVariant value(qsizetype row, int column) const;

    // Reorders the rows; for the small packets that are sorted after reading.
    void sort(const std::function<bool(const QVariantList&, const QVariantList&)>& less);

    qsizetype bytes() const { return data_.size(); }
    bool operator==(const RowSet& other) const;

    class const_iterator {
    public:
        using value_type = QVariantList;
        using difference_type = qsizetype;
        const_iterator(const RowSet* set, qsizetype row) : set_(set), row_(row) {}
        QVariantList operator*() const { return set_->at(row_); }
        const_iterator& operator++() {
            ++row_;
            return *this;
        }
        bool operator==(const const_iterator& o) const { return row_ == o.row_; }

    private:
        const RowSet* set_;
        qsizetype row_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    const char* cell(qsizetype row, int column) const; // nullptr past the row's end

    QByteArray data_;
    QList<qint64> starts_; // row r is data_[starts_[r], starts_[r + 1])
};

// A result set as it travels from the application server to a client dataset.
// Row values: QString (String), double (Float), qint64 (Integer), QDateTime
// (DateTime, local time without zone); a null QVariant is SQL NULL.
struct DataPacket {
    QList<FieldDef> fields;
    RowSet rows;

    int indexOf(const QString& name) const {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    bool operator==(const DataPacket&) const = default;
};

} // namespace suite
