#include "dbpicture.h"
#include "db/dbgeral.h"
#include <QSqlQuery>

namespace suite {

QString DBPict(int kind) {
    QSqlQuery q(db::dtmDBGeral::dtbGeral());
    q.prepare(QStringLiteral("SELECT DSPICTURE FROM PICTURE WHERE IDTIPOPICT = :P_KIND"));
    q.bindValue(QStringLiteral(":P_KIND"), kind);
    if (q.exec() && q.next())
        return q.value(0).toString().trimmed();
    return {};
}

TDBPicture::TDBPicture(QString picture) : picture_(std::move(picture)) {
    // Only the mask part counts; the ";0;_" settings suffix is not a level.
    const QString mask = picture_.section(u';', 0, 0);
    bool inGroup = false;
    for (const QChar c : mask) {
        const bool maskChar = c.isLetterOrNumber() || c == u'#';
        if (maskChar && !inGroup)
            ++levels_;
        inGroup = maskChar;
    }
}

} // namespace suite
