#include "validator/findings.h"
#include <algorithm>

namespace validator {

void Report::add(Severity s, qint64 line, const QByteArray& record, int field,
                 const QString& reason) {
    TypeSummary& t = byType_[record];
    QList<Finding>& list = s == Severity::Error ? errors_ : warnings_;
    if (s == Severity::Error) {
        ++errorCount_;
        ++t.errors;
    } else {
        ++warningCount_;
        ++t.warnings;
    }
    if (list.size() < listLimit_)
        list.append({line, record, field, reason});
}

void Report::countLine(const QByteArray& record) {
    ++lines_;
    ++byType_[record].lines;
}

void Report::sort() {
    const auto byPlace = [](const Finding& a, const Finding& b) {
        return a.line != b.line ? a.line < b.line : a.field < b.field;
    };
    std::stable_sort(errors_.begin(), errors_.end(), byPlace);
    std::stable_sort(warnings_.begin(), warnings_.end(), byPlace);
}

} // namespace validator
