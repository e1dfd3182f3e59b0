#pragma once
#include <QStringList>
#include <QTextStream>

namespace cli {

// Exit statuses of `gerarqprev importar` (docs/cli.md).
enum ImportStatus {
    ImportOk = 0,       // imported, or with --simular would be
    ImportRefused = 1,  // the books' content: nothing changed
    ImportDatabase = 3, // the database failed: nothing changed
    ImportUsage = 4,    // bad command line
};

// `gerarqprev importar ecd ...`: args are the arguments after "importar".
// terminal: progress as a bar redrawn in place; otherwise plain lines.
int runImportar(const QStringList& args, QTextStream& out, QTextStream& err, bool terminal);

} // namespace cli
