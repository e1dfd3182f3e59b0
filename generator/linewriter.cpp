#include "linewriter.h"
#include "generator/windows1252.h"
#include <QIODevice>
#include <cerrno>

namespace gen {

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
