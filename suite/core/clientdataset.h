#pragma once
#include "datapacket.h"
#include <QDateTime>
#include <QList>
#include <QString>
#include <stdexcept>

namespace suite {

// Raised when a data packet does not fit a dataset's declared fields.
class EDataSetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A persistent field declared on a client dataset.
struct FieldDecl {
    QString name;
    FieldType type = FieldType::String;
    int size = 0;
    bool readOnly = false;
};

class TClientDataSet;

// A view on one column of the current row.
class TField {
public:
    TField(const TClientDataSet& ds, int declIndex) : ds_(ds), index_(declIndex) {}
    // Text: strings as delivered; floats in general format, up to 15
    // significant digits, decimal comma; dates as dd/mm/yyyy; null or no row
    // gives an empty text.
    QString AsString() const;
    double AsFloat() const; // 0 for null, no row or an unreadable text
    QDateTime AsDateTime() const;
    bool IsNull() const;
    const FieldDecl& decl() const;

private:
    const TClientDataSet& ds_;
    int index_;
};

// Holds the rows of one server data packet behind declared fields bound by
// name. Each SetData replaces the content.
class TClientDataSet {
public:
    TClientDataSet(QString name, QList<FieldDecl> fields);
    const QString& name() const { return name_; }
    const QList<FieldDecl>& fields() const { return decls_; }

    // Loads a packet: every declared field must be present by name (case
    // insensitive) with a compatible type, else EDataSetError naming the
    // dataset and the field. Opens the dataset on its first row.
    void SetData(const DataPacket& packet);
    void Close();
    bool Active() const { return active_; }

    void First();
    void Next();
    bool Eof() const;
    bool IsEmpty() const;
    int RecordCount() const; // 0 when closed
    int RecNo() const { return row_; }

    // EDataSetError for an undeclared name.
    TField FieldByName(const QString& name) const;

    // Raw value of declared field i on the current row (null QVariant when
    // there is no current row).
    QVariant value(int declIndex) const;

private:
    QString name_;
    QList<FieldDecl> decls_;
    QList<int> columnOf_; // declared field -> packet column
    RowSet rows_;
    int row_ = 0;
    bool active_ = false;
};

} // namespace suite
