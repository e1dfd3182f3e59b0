#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <map>

namespace validator {

enum class Severity { Error, Warning };

// One finding: where it is and why. field 0 means the whole line; line 0
// means the file as a whole.
struct Finding {
    qint64 line = 0;
    QByteArray record;
    int field = 0;
    QString reason;
};

struct TypeSummary {
    qint64 lines = 0;
    qint64 errors = 0;
    qint64 warnings = 0;
};

// Everything found in one file. The lists keep the first `listLimit`
// findings of each kind so that a badly broken large file cannot exhaust
// memory; the counters always hold the full numbers.
class Report {
public:
    static constexpr qsizetype defaultListLimit = 10000;

    explicit Report(qsizetype listLimit = defaultListLimit) : listLimit_(listLimit) {}

    void add(Severity s, qint64 line, const QByteArray& record, int field, const QString& reason);
    void countLine(const QByteArray& record);
    // Orders the kept findings by line, stable for findings of one line.
    void sort();

    const QList<Finding>& errors() const { return errors_; }
    const QList<Finding>& warnings() const { return warnings_; }
    qint64 errorCount() const { return errorCount_; }
    qint64 warningCount() const { return warningCount_; }
    const std::map<QByteArray, TypeSummary>& byType() const { return byType_; }
    qint64 lines() const { return lines_; }

private:
    qsizetype listLimit_;
    QList<Finding> errors_;
    QList<Finding> warnings_;
    qint64 errorCount_ = 0;
    qint64 warningCount_ = 0;
    qint64 lines_ = 0;
    std::map<QByteArray, TypeSummary> byType_;
};

} // namespace validator
