#include "linewriter.h"
#include <QIODevice>
#include <cerrno>

namespace gen {
namespace {
// Unicode of the bytes 0x80..0x9F of Windows-1252 (0 where the byte is unused).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

char toWindows1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c && c != 0)
            return static_cast<char>(0x80 + i);
    return 0;
}

LineWriter::LineWriter(QIODevice& device) : device_(device) {
    line_.reserve(512);
}

void LineWriter::append(const QString& value, const QString& type, int field) {
    bool separator = false;
    bool unmappable = false;
    for (QChar qc : value) {
        const char16_t c = qc.unicode();
        if (c == u'|' || c == u'\r' || c == u'\n') {
            line_.append(' ');
            separator = true;
        } else if (c < 0x80) {
            line_.append(static_cast<char>(c));
        } else if (const char b = toWindows1252(c)) {
            line_.append(b);
        } else {
            line_.append('?');
            unmappable = true;
        }
    }
    const int lineNo = lines_ + 1;
    if (separator && ++separators_ <= kPlacesKept)
        separatorPlaces_.append({type, lineNo, field});
    if (unmappable && ++unmappable_ <= kPlacesKept)
        unmappablePlaces_.append({type, lineNo, field});
}

void LineWriter::write(const QString& type, const QString* values, int count) {
    line_.clear();
    append(type, type, 1);
    for (int i = 0; i < count; ++i) {
        line_.append('|');
        append(values[i], type, i + 2);
    }
    line_.append("\r\n", 2);
    errno = 0;
    if (device_.write(line_) != line_.size()) {
        const int err = errno; // before anything else can change it
        throw WriteError(device_.errorString().toStdString(), err);
    }
    ++lines_;
    ++perType_[type];
}

} // namespace gen
