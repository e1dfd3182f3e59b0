#include "server/logtext.h"
#include <algorithm>

namespace server {

QString logLine(const QString& text, qsizetype maxChars) {
    QString out;
    out.reserve(std::min(text.size(), maxChars) + 16);
    for (const QChar c : text) {
        if (out.size() >= maxChars) {
            out += QStringLiteral("…");
            break;
        }
        const char16_t u = c.unicode();
        switch (u) {
        case u'\n':
            out += QStringLiteral("\\n");
            continue;
        case u'\r':
            out += QStringLiteral("\\r");
            continue;
        case u'\t':
            out += QStringLiteral("\\t");
            continue;
        case u'\\':
            out += QStringLiteral("\\\\");
            continue;
        default:
            break;
        }
        // C0 and C1 controls, DEL, and the Unicode line and paragraph
        // separators some viewers break lines at.
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else if (u == 0x2028 || u == 0x2029)
            out += QStringLiteral("\\u{%1}").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace server
