#pragma once
#include <QStringList>
#include <QTextStream>

namespace validator {

// Exit statuses of `gerarqprev validar`.
enum ExitStatus { ExitOk = 0, ExitErrors = 1, ExitUsage = 2 };

// Checks the digital files named in args (the arguments after "validar":
// file names and "--json") and prints the findings on out; usage and I/O
// problems go to err. Returns ExitOk when no file has an error, ExitErrors
// when some file has one, ExitUsage for bad arguments or an unreadable file.
int runValidar(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace validator
