#pragma once
#include <QString>

namespace suite {

// The shared secret kept in a file (--token-arquivo), so that it never shows
// in the process list: the file's text without the blanks and line ends
// around it. False with the reason in error when the file cannot be read or
// holds nothing.
bool readTokenFile(const QString& path, QString& token, QString& error);

} // namespace suite
