#pragma once
#include "validator/findings.h"
#include <QJsonObject>
#include <QTextStream>

namespace validator {

// The report of one file for people: errors, then warnings, then the lines,
// errors and warnings of each record type.
void printReport(const QString& path, const Report& report, QTextStream& out);
// The same for other tools.
QJsonObject reportJson(const QString& path, const Report& report);
// One finding as the report line "linha N, registro XXXX, campo K: motivo".
QString findingText(const Finding& f);

} // namespace validator
