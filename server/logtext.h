#pragma once
#include <QString>

namespace server {

// A log line as it is written: control characters (line ends above all) and
// the backslash escaped as \n, \r, \t, \\ or \xHH / \u{HHHH}, so that text a
// client sent (a method name, an argument) cannot start a line of its own;
// cut at maxChars.
QString logLine(const QString& text, qsizetype maxChars = 2000);

} // namespace server
