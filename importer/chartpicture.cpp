#include "importer/chartpicture.h"
#include <QMap>

namespace importer {
namespace {

struct Level {
    QString separator;
    qsizetype length = 0;
    bool digits = true;
    bool seen = false;
};

bool isPart(QChar c) {
    return c.isLetterOrNumber();
}

} // namespace

QString levelPicture(const QList<CodeShape>& chart) {
    QMap<int, Level> levels;
    for (const CodeShape& a : chart) {
        if (a.level < 1)
            return {};
        QString separator;
        QString part;
        if (a.level == 1) {
            if (!a.superior.isEmpty())
                return {};
            part = a.code;
        } else {
            if (a.superior.isEmpty() || !a.code.startsWith(a.superior))
                return {};
            const QString rest = a.code.mid(a.superior.size());
            qsizetype i = 0;
            while (i < rest.size() && !isPart(rest.at(i)))
                ++i;
            separator = rest.left(i);
            part = rest.mid(i);
            if (separator.isEmpty())
                return {};
        }
        if (part.isEmpty())
            return {};
        bool digits = true;
        for (const QChar c : part) {
            if (!isPart(c))
                return {};
            digits = digits && c.isDigit();
        }
        Level& l = levels[a.level];
        if (!l.seen) {
            l = {separator, part.size(), digits, true};
        } else if (l.separator != separator || l.length != part.size()) {
            return {};
        }
        l.digits = l.digits && digits;
    }
    QString picture;
    int expected = 1;
    for (auto it = levels.cbegin(); it != levels.cend(); ++it, ++expected) {
        if (it.key() != expected)
            return {};
        picture += it->separator + QString(it->length, it->digits ? u'9' : u'X');
    }
    return picture;
}

QString editPicture(const QString& levelPicture) {
    // Literals kept in the value, "_" for a blank: the suite's form.
    return levelPicture.isEmpty() ? QString() : levelPicture + QStringLiteral(";1;_");
}

} // namespace importer
