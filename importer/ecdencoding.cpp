#include "importer/ecdencoding.h"
#include "generator/windows1252.h"
#include <array>
#include <cstring>

namespace importer {
namespace {

bool isAscii(QByteArrayView s) {
    const char* p = s.data();
    const char* const end = p + s.size();
    // Eight bytes at a time: most lines of a book are plain ASCII.
    for (; end - p >= 8; p += 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ULL)
            return false;
    }
    for (; p < end; ++p)
        if (static_cast<unsigned char>(*p) & 0x80)
            return false;
    return true;
}

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool isUtf8(QByteArrayView s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* const end = p + s.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80)
            continue;
        int more = 0;
        unsigned char lo = 0x80, hi = 0xBF; // range of the first continuation byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                lo = 0xA0;
            if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                lo = 0x90;
            if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (end - p < more || p[0] < lo || p[0] > hi)
            return false;
        for (int i = 1; i < more; ++i)
            if (p[i] < 0x80 || p[i] > 0xBF)
                return false;
        p += more;
    }
    return true;
}

bool hasC1(QByteArrayView s) {
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0x9F)
            return true;
    }
    return false;
}

// Windows-1252 for 0x80..0x9F; the five bytes it leaves undefined keep
// their ISO 8859-1 meaning.
constexpr std::array<char16_t, 32> kCp1252 = [] {
    std::array<char16_t, 32> t{};
    for (int i = 0; i < 32; ++i)
        t[std::size_t(i)] =
            gen::kWindows1252High[i] ? gen::kWindows1252High[i] : char16_t(0x80 + i);
    return t;
}();

void widenInto(QByteArrayView raw, QString& out, bool cp1252) {
    out.resize(raw.size());
    QChar* d = out.data();
    for (char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        *d++ = QChar(cp1252 && c >= 0x80 && c <= 0x9F ? kCp1252[c - 0x80] : char16_t(c));
    }
}

} // namespace

QString encodingName(Encoding e) {
    switch (e) {
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case Encoding::Latin1:
        break;
    }
    return QStringLiteral("ISO-8859-1");
}

void EncodingScan::feed(QByteArrayView line) {
    if (isAscii(line))
        return;
    m_nonAscii = true;
    if (m_validUtf8 && !isUtf8(line))
        m_validUtf8 = false;
    if (!m_c1 && hasC1(line))
        m_c1 = true;
}

Encoding EncodingScan::result() const {
    if (m_nonAscii && m_validUtf8)
        return Encoding::Utf8;
    if (m_c1)
        return Encoding::Windows1252;
    return Encoding::Latin1;
}

void decodeInto(Encoding e, QByteArrayView raw, QString& out) {
    if (e == Encoding::Utf8 && !isAscii(raw))
        out = QString::fromUtf8(raw);
    else
        widenInto(raw, out, e == Encoding::Windows1252);
}

} // namespace importer
