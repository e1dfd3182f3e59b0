#include "cli/gerar.h"
#include "suite/data/dbdefault.h"
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    suite::installDatabaseDefault();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments();
    args.removeFirst();
    const int status = cli::runMain(args, out, err);
    out.flush();
    err.flush();
    return status;
}
