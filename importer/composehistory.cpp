#include "composehistory.h"

namespace importer {

QString composeHistory(const QString& standard, const QString& own) {
    if (standard.isEmpty())
        return own;
    if (own.isEmpty())
        return standard;
    return standard + QLatin1Char(' ') + own;
}

} // namespace importer
