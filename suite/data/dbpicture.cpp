#include "dbpicture.h"
#include "db/dbgeral.h"

namespace suite {

QString DBPict(int kind) {
    QSqlDatabase db = db::dtmDBGeral::dtbGeral();
    return db::dbPicture(db, kind).trimmed();
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
