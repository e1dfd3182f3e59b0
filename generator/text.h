#pragma once
#include <QDate>
#include <QString>

// The value-to-text rules of the digital file.
namespace gen {

// The text without any "-", "." or "/".
QString TiraMask(const QString& s);
// dd/mm/yyyy without separators: eight digits ddmmyyyy; empty for no date.
QString dateText(const QDate& d);
// An amount rounded half away from zero to two decimals, decimal comma, no
// sign, no exponent, no trailing zeros ("150,5", "200", "0,25").
QString amountText(double v);
// A count in plain decimal digits.
inline QString countText(int n) {
    return QString::number(n);
}

} // namespace gen
