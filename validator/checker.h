#pragma once
#include "validator/findings.h"
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <memory>

namespace validator {

// Reads one digital file as a stream of bytes, in chunks of any size, and
// records every finding in a report. Memory does not grow with the number
// of lines: besides the chart of accounts and the cost centres it keeps one
// sum per account and month and one per entry that does not balance yet
// (see docs/validar.md).
class FileChecker {
public:
    explicit FileChecker(Report& report);
    ~FileChecker();
    FileChecker(const FileChecker&) = delete;
    FileChecker& operator=(const FileChecker&) = delete;

    void feed(QByteArrayView bytes);
    // Ends the file: runs the checks that need the whole file.
    void finish();

    // Sizes of the aggregates kept, for the memory figures: entries not
    // balanced at this point, and account-month sums.
    qsizetype entryCount() const;
    qsizetype accountMonthCount() const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

// The record types the file may hold, in file order.
QList<QByteArray> recordTypes();

// Checks the whole text of a file held in memory.
Report checkText(QByteArrayView text);
// Checks a file read from disk in chunks. Returns false, with the reason in
// *ioError, when it cannot be opened or read.
bool checkFile(const QString& path, Report& report, QString* ioError);

} // namespace validator
