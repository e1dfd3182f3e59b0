#pragma once
#include "suite/core/remote.h"
#include <QStringList>
#include <QTextStream>
#include <functional>

namespace cli {

// Exit statuses of the command line (docs/cli.md).
enum ExitStatus {
    ExitOk = 0,
    ExitCheck = 1,     // a parameter failed a check, or the file exists without --substituir
    ExitServer = 2,    // the application server failed or could not be reached
    ExitFile = 3,      // the destination could not be written
    ExitUsage = 4,     // bad command line
    ExitCancelled = 5, // stopped by SIGINT or SIGTERM; the destination untouched
};

// Where the run's remote calls go when a caller supplies them (tests): the
// server and, optionally, the company look-up (true: the company exists).
struct Injected {
    suite::RemoteServer* server = nullptr;
    std::function<bool(const QString&)> companyExists;
    bool terminal = false; // draw a progress bar instead of plain lines
};

// `gerarqprev gerar ...`: args are the arguments after "gerar".
int runGerar(const QStringList& args, QTextStream& out, QTextStream& err,
             const Injected& injected = {});
// `gerarqprev demo [--banco PATH]`.
int runDemo(const QStringList& args, QTextStream& out, QTextStream& err);
// The whole program: args without the program name.
int runMain(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
