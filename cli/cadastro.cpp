#include "cli/cadastro.h"
#include "cli/importar.h"
#include "cli/options.h"
#include "db/dbgeral.h"
#include "suite/core/utils.h"
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace cli {
namespace {

// One datum the command keeps: its option, where it lives, its width.
struct Datum {
    const char* option;
    const char* table; // CONTADOR or TECEMPR
    const char* column;
    int width;
    const char* label;
    bool cnpj = false;
};

// Column names and widths as the schema has them (docs/schema.md).
const Datum kData[] = {
    {"--contador-nome", "CONTADOR", "NMCONTADOR", 30, "Nome do contador"},
    {"--escritorio-cnpj", "CONTADOR", "NRINSJURCONT", 14, "CNPJ do escritório", true},
    {"--cep", "CONTADOR", "NRCEP", 15, "CEP"},
    {"--logradouro", "CONTADOR", "DSLOGRADOURO", 50, "Logradouro"},
    {"--complemento", "CONTADOR", "DSCOMPLLOGRA", 20, "Complemento"},
    {"--bairro", "CONTADOR", "DSBAIRRO", 20, "Bairro"},
    {"--telefone", "CONTADOR", "NRTELCONTATO", 25, "Telefone"},
    {"--fax", "CONTADOR", "NRFAXCONTATO", 25, "Fax"},
    {"--email", "CONTADOR", "DSENDINTERN", 60, "Correio eletrônico"},
    {"--tecnologia-nome", "TECEMPR", "NMRAZSOCEMPR", 80, "Fornecedor do sistema"},
    {"--tecnologia-cnpj", "TECEMPR", "NRINSJUREMPR", 14, "CNPJ do fornecedor", true},
    {"--tecnologia-telefone", "TECEMPR", "NRTELEFOEMPR", 25, "Telefone do fornecedor"},
};

// The column that a new row cannot go without.
const char* requiredOf(const QString& table) {
    return table == QLatin1String("CONTADOR") ? "--contador-nome" : "--tecnologia-nome";
}

void exec(QSqlQuery& q) {
    if (!q.exec())
        throw std::runtime_error(q.lastError().text().toStdString());
}

bool rowExists(QSqlDatabase& db, const QString& table, const QString& company) {
    QSqlQuery q(db);
    // The table name comes from kData, never from the user.
    q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE CDEMPRESA = ?").arg(table));
    q.addBindValue(company);
    exec(q);
    return q.next();
}

void show(QSqlDatabase& db, const QString& company, QTextStream& out) {
    for (const Datum& d : kData) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE CDEMPRESA = ?")
                      .arg(QLatin1String(d.column), QLatin1String(d.table)));
        q.addBindValue(company);
        exec(q);
        out << d.label << " (" << d.option
            << "): " << (q.next() ? q.value(0).toString() : QString()) << "\n";
    }
}

} // namespace

int runCadastro(const QStringList& args, QTextStream& out, QTextStream& err) {
    QStringList valued{QStringLiteral("--empresa"), QStringLiteral("--banco")};
    for (const Datum& d : kData)
        valued << QString::fromLatin1(d.option);
    Options o;
    if (!parse(args, valued, {}, o, err))
        return ImportUsage;
    const QString typed = o.value("--empresa").trimmed();
    if (typed.isEmpty() || typed.size() > 2) {
        err << "gerarqprev: informe --empresa com o código da empresa (até 2 caracteres)\n";
        return ImportUsage;
    }
    const QString company = suite::Ajusta(typed, 2);
    // A CNPJ may be typed with its mask; it is kept as its digits.
    const auto valueOf = [&o](const Datum& d) {
        const QString v = o.value(d.option).trimmed();
        return d.cnpj ? QString(v).remove(QRegularExpression(QStringLiteral("[^0-9]"))) : v;
    };
    for (const Datum& d : kData) {
        const QString v = valueOf(d);
        if (v.size() > d.width) {
            err << d.label << " com " << v.size() << " caracteres; o máximo é " << d.width << ".\n";
            return ImportRefused;
        }
        if (d.cnpj && !v.isEmpty() && !suite::CNPJOk(v)) {
            err << d.label << " inválido: " << v << "\n";
            return ImportRefused;
        }
    }

    const QString connection = QStringLiteral("gerarqprev-cadastro");
    int status = ImportOk;
    {
        QSqlDatabase db;
        try {
            db = db::open(o.value("--banco"), connection);
            db::applyMigrations(db);
            if (!db::companyName(db, company)) {
                err << "Empresa não cadastrada: " << company
                    << ". Importe seus livros antes (gerarqprev importar ecd).\n";
                status = ImportRefused;
            } else if (std::none_of(std::begin(kData), std::end(kData),
                                    [&o](const Datum& d) { return o.has(d.option); })) {
                show(db, company, out);
            } else {
                if (!db.transaction())
                    throw std::runtime_error(db.lastError().text().toStdString());
                for (const char* name : {"CONTADOR", "TECEMPR"}) {
                    const QString table = QString::fromLatin1(name);
                    QStringList columns;
                    QVariantList values;
                    for (const Datum& d : kData)
                        if (QLatin1String(d.table) == table && o.has(d.option)) {
                            columns << QLatin1String(d.column);
                            values << valueOf(d);
                        }
                    if (columns.isEmpty())
                        continue;
                    if (!rowExists(db, table, company)) {
                        if (!o.has(requiredOf(table))) {
                            db.rollback();
                            err << "Para cadastrar "
                                << (table == QLatin1String("CONTADOR") ? "o contador"
                                                                       : "o fornecedor do sistema")
                                << " desta empresa informe também " << requiredOf(table) << ".\n";
                            status = ImportRefused;
                            break;
                        }
                        QSqlQuery ins(db);
                        ins.prepare(QStringLiteral("INSERT INTO %1 (CDEMPRESA, %2) VALUES (?%3)")
                                        .arg(table, columns.join(QStringLiteral(", ")),
                                             QStringLiteral(", ?").repeated(columns.size())));
                        ins.addBindValue(company);
                        for (const QVariant& v : values)
                            ins.addBindValue(v);
                        exec(ins);
                    } else {
                        QSqlQuery upd(db);
                        upd.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE CDEMPRESA = ?")
                                        .arg(table, columns.join(QStringLiteral(" = ?, "))));
                        for (const QVariant& v : values)
                            upd.addBindValue(v);
                        upd.addBindValue(company);
                        exec(upd);
                    }
                }
                if (status == ImportOk) {
                    if (!db.commit())
                        throw std::runtime_error(db.lastError().text().toStdString());
                    out << "Cadastro da empresa " << company << " atualizado.\n";
                }
            }
        } catch (const std::exception& e) {
            if (db.isOpen())
                db.rollback();
            err << "erro no banco de dados: " << QString::fromUtf8(e.what())
                << "\nNada foi alterado no banco.\n";
            status = ImportDatabase;
        }
        db = QSqlDatabase();
    }
    QSqlDatabase::removeDatabase(connection);
    return status;
}

} // namespace cli
