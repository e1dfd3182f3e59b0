#pragma once
#include <QByteArrayView>

// Digits in a field of a flat file, as the validator's rules and the
// importer's field checks both read them. Header only: the importer shares it
// without linking the validator.
namespace validator {

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Only digits, and at least one.
inline bool allDigits(QByteArrayView v) {
    for (char c : v)
        if (!isDigit(c))
            return false;
    return !v.isEmpty();
}

// The value of text that allDigits accepts; the caller bounds its length.
inline qint64 digitsValue(QByteArrayView v) {
    qint64 n = 0;
    for (char c : v)
        n = n * 10 + (c - '0');
    return n;
}

} // namespace validator
