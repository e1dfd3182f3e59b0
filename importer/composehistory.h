#pragma once
#include <QString>

namespace importer {

// A posting's history as the books keep it: the standard history's text
// (I075, named by COD_HIST_PAD), then one space and the posting's own text
// (HIST) when both are present, otherwise whichever is.
QString composeHistory(const QString& standard, const QString& own);

// Its length, without building it.
inline qsizetype composedHistoryLength(const QString& standard, const QString& own) {
    if (standard.isEmpty())
        return own.size();
    return own.isEmpty() ? standard.size() : standard.size() + 1 + own.size();
}

// Longer histories are reported: the screen and the module's history column
// show this many characters.
constexpr int kHistoryLengthWarned = 200;

} // namespace importer
