#include "suite/widgets/maskedit.h"

namespace suite {

namespace {

struct Slot {
    QChar ch;
    bool literal;
};

// The positions of a mask pattern, quoting resolved.
QList<Slot> slotsOf(const QString& pattern) {
    static const QString maskChars = QStringLiteral("09#LlAaCc");
    QList<Slot> out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        QChar c = pattern.at(i);
        if (c == u'\\' && i + 1 < pattern.size()) {
            out.append({pattern.at(++i), true});
            continue;
        }
        if (c == u'<' || c == u'>' || c == u'!')
            continue; // case and direction switches take no position
        out.append({c, !maskChars.contains(c)});
    }
    return out;
}

QChar qtMaskChar(QChar c) {
    switch (c.unicode()) {
    case '0':
        return u'9'; // required digit
    case '9':
        return u'0'; // optional digit
    case '#':
        return u'#';
    case 'L':
        return u'A';
    case 'l':
        return u'a';
    case 'A':
        return u'N';
    case 'a':
        return u'n';
    case 'C':
        return u'X';
    case 'c':
        return u'x';
    default:
        return c;
    }
}

} // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent) {}

QString TMaskEdit::toQtInputMask(const QString& mask) {
    if (mask.isEmpty())
        return {};
    const QStringList parts = mask.split(u';');
    static const QString qtSpecial = QStringLiteral("AaNnXx90DdHhBb#><![]{}\\");
    QString out;
    for (const Slot& s : slotsOf(parts.value(0))) {
        if (s.literal) {
            if (qtSpecial.contains(s.ch))
                out += u'\\';
            out += s.ch;
        } else {
            out += qtMaskChar(s.ch);
        }
    }
    const QString blank =
        parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : QStringLiteral("_");
    return out + u';' + blank;
}

void TMaskEdit::setEditMask(const QString& mask) {
    mask_ = mask;
    const QStringList parts = mask.split(u';');
    pattern_ = parts.value(0);
    saveLiterals_ = parts.size() < 2 || parts[1] != QLatin1String("0");
    blank_ = parts.size() > 2 && !parts[2].isEmpty() ? parts[2].at(0) : QChar(u'_');
    setInputMask(toQtInputMask(mask));
}

QString TMaskEdit::value() const {
    if (pattern_.isEmpty())
        return text();
    const QList<Slot> pos = slotsOf(pattern_);
    const QString shown = displayText();
    QString out;
    QString pendingLiterals;
    for (qsizetype i = 0; i < pos.size() && i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        if (pos[i].literal) {
            if (saveLiterals_)
                pendingLiterals += c;
            continue;
        }
        if (c == blank_)
            continue;
        // Literals count only up to the last filled position.
        out += pendingLiterals;
        pendingLiterals.clear();
        out += c;
    }
    return out;
}

void TMaskEdit::setValue(const QString& v) {
    // The toolkit places plain characters into the mask's positions itself.
    setText(v);
}

} // namespace suite
