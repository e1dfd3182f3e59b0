#include "validator/output.h"
#include "validator/checker.h"
#include "validator/rules.h"
#include <QJsonArray>

namespace validator {
namespace {

QString recordLabel(const QByteArray& record) {
    if (record.isEmpty())
        return QStringLiteral("(arquivo)");
    if (record == "?")
        return QStringLiteral("(desconhecido)");
    return rules::shown(record);
}

// Summary rows in file order, then whatever else was counted.
QList<QByteArray> summaryOrder(const Report& report) {
    QList<QByteArray> order;
    const QList<QByteArray> known = recordTypes();
    for (const QByteArray& t : known)
        if (report.byType().count(t))
            order << t;
    for (const auto& [t, summary] : report.byType())
        if (!known.contains(t))
            order << t;
    return order;
}

void printList(const QString& title, const QList<Finding>& list, qint64 total, QTextStream& out) {
    out << title << ": " << total << '\n';
    for (const Finding& f : list)
        out << "  " << findingText(f) << '\n';
    if (total > list.size())
        out << "  ... e mais " << total - list.size() << " não listados\n";
}

QJsonArray findingsJson(const QList<Finding>& list) {
    QJsonArray a;
    for (const Finding& f : list) {
        QJsonObject o;
        o.insert(QStringLiteral("line"), f.line > 0 ? QJsonValue(f.line) : QJsonValue());
        o.insert(QStringLiteral("record"),
                 f.record.isEmpty() ? QJsonValue() : QJsonValue(rules::shown(f.record)));
        o.insert(QStringLiteral("field"), f.field > 0 ? QJsonValue(f.field) : QJsonValue());
        o.insert(QStringLiteral("reason"), f.reason);
        a.append(o);
    }
    return a;
}

} // namespace

QString findingText(const Finding& f) {
    QString s = f.line > 0 ? QStringLiteral("linha %1").arg(f.line) : QStringLiteral("arquivo");
    if (f.record == "?")
        s += QStringLiteral(", registro desconhecido");
    else if (!f.record.isEmpty())
        s += QStringLiteral(", registro %1").arg(rules::shown(f.record));
    if (f.field > 0)
        s += QStringLiteral(", campo %1").arg(f.field);
    return s + QStringLiteral(": ") + f.reason;
}

void printReport(const QString& path, const Report& report, QTextStream& out) {
    out << "Arquivo: " << path << '\n';
    printList(QStringLiteral("Erros"), report.errors(), report.errorCount(), out);
    printList(QStringLiteral("Avisos"), report.warnings(), report.warningCount(), out);
    out << "Resumo por registro:\n";
    out << "  " << QStringLiteral("Registro").leftJustified(16)
        << QStringLiteral("Linhas").rightJustified(10) << QStringLiteral("Erros").rightJustified(8)
        << QStringLiteral("Avisos").rightJustified(8) << '\n';
    for (const QByteArray& t : summaryOrder(report)) {
        const TypeSummary& s = report.byType().at(t);
        out << "  " << recordLabel(t).leftJustified(16)
            << QString::number(s.lines).rightJustified(10)
            << QString::number(s.errors).rightJustified(8)
            << QString::number(s.warnings).rightJustified(8) << '\n';
    }
    out << "  " << QStringLiteral("Total").leftJustified(16)
        << QString::number(report.lines()).rightJustified(10)
        << QString::number(report.errorCount()).rightJustified(8)
        << QString::number(report.warningCount()).rightJustified(8) << '\n';
    out << (report.errorCount() == 0 ? "Resultado: sem erros.\n"
                                     : "Resultado: arquivo com erros.\n");
}

QJsonObject reportJson(const QString& path, const Report& report) {
    QJsonObject o;
    o.insert(QStringLiteral("file"), path);
    o.insert(QStringLiteral("lines"), report.lines());
    o.insert(QStringLiteral("errorCount"), report.errorCount());
    o.insert(QStringLiteral("warningCount"), report.warningCount());
    o.insert(QStringLiteral("errors"), findingsJson(report.errors()));
    o.insert(QStringLiteral("warnings"), findingsJson(report.warnings()));
    QJsonArray summary;
    for (const QByteArray& t : summaryOrder(report)) {
        const TypeSummary& s = report.byType().at(t);
        QJsonObject row;
        row.insert(QStringLiteral("record"),
                   t.isEmpty() || t == "?" ? QJsonValue() : QJsonValue(rules::shown(t)));
        row.insert(QStringLiteral("lines"), s.lines);
        row.insert(QStringLiteral("errors"), s.errors);
        row.insert(QStringLiteral("warnings"), s.warnings);
        summary.append(row);
    }
    o.insert(QStringLiteral("summary"), summary);
    return o;
}

} // namespace validator
