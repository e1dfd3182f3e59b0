#pragma once
#include "importer/ecdlayout.h"
#include <QByteArrayView>
#include <QDate>
#include <QString>

// The forms an ECD field's content takes (dates, amounts, indicators,
// integers), checked and converted without allocating for valid content.
namespace importer {

// ddmmaaaa that names a real date.
bool parseEcdDate(QByteArrayView raw, QDate* date);

// Digits, optionally a comma and one or two decimals; no sign, no thousands
// separator. Gives integer cents, exactly.
bool parseEcdAmount(QByteArrayView raw, qint64* cents);

// Digits only.
bool parseEcdInteger(QByteArrayView raw, qint64* value);

// A field's content converted as its layout says.
struct FieldValue {
    QByteArrayView raw;
    qint64 number = 0; // Amount: cents; Integer: the value
    QDate date;        // Date
};

// Checks raw against the field's form and fills value; gives an empty
// string when it is fine, else the reason in Portuguese (naming the field).
QString checkField(const layout::Field& field, QByteArrayView raw, FieldValue* value);

} // namespace importer
