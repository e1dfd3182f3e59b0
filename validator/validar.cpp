#include "validator/validar.h"
#include "validator/checker.h"
#include "validator/output.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace validator {

int runValidar(const QStringList& args, QTextStream& out, QTextStream& err) {
    bool json = false;
    QStringList files;
    bool optionsEnded = false;
    for (const QString& a : args) {
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && a == QLatin1String("--json")) {
            json = true;
        } else if (!optionsEnded && a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            err << "validar: opção desconhecida: " << a << '\n';
            err << "uso: gerarqprev validar [--json] ARQUIVO [ARQUIVO...]\n";
            return ExitUsage;
        } else {
            files << a;
        }
    }
    if (files.isEmpty()) {
        err << "uso: gerarqprev validar [--json] ARQUIVO [ARQUIVO...]\n";
        return ExitUsage;
    }
    int status = ExitOk;
    QJsonArray reports;
    for (const QString& path : files) {
        Report report;
        QString ioError;
        if (!checkFile(path, report, &ioError)) {
            err << "validar: não foi possível ler " << path << ": " << ioError << '\n';
            if (json) {
                QJsonObject o;
                o.insert(QStringLiteral("file"), path);
                o.insert(QStringLiteral("readError"), ioError);
                reports.append(o);
            }
            status = ExitUsage;
            continue;
        }
        if (report.errorCount() > 0 && status == ExitOk)
            status = ExitErrors;
        if (json) {
            reports.append(reportJson(path, report));
        } else {
            if (path != files.first())
                out << '\n';
            printReport(path, report, out);
        }
    }
    if (json) {
        QJsonObject root;
        root.insert(QStringLiteral("files"), reports);
        root.insert(QStringLiteral("status"), status);
        out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
    }
    out.flush();
    err.flush();
    return status;
}

} // namespace validator
