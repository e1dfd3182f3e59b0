#include "cli/importar.h"
#include "cli/options.h"
#include "db/dbgeral.h"
#include "importer/bookchecks.h"
#include "importer/ecdreader.h"
#include "importer/loader.h"
#include "importer/sqlbatch.h"
#include "suite/core/utils.h"
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <memory>

namespace cli {
namespace {

using importer::Finding;

const QString kDay = QStringLiteral("dd/MM/yyyy");

QString placeOf(const Finding& f) {
    QString where = QFileInfo(f.place.file).fileName();
    if (f.place.line > 0)
        where += QStringLiteral(", linha %1").arg(f.place.line);
    if (f.place.field > 0)
        where += QStringLiteral(", campo %1").arg(f.place.field);
    return where;
}

void printFindings(const QList<Finding>& findings, QTextStream& out) {
    for (const Finding& f : findings)
        out << (f.severity == Finding::Severity::Error ? "  erro: " : "  aviso: ") << placeOf(f)
            << ": " << f.text << "\n";
}

bool hasError(const QList<Finding>& findings) {
    for (const Finding& f : findings)
        if (f.severity == Finding::Severity::Error)
            return true;
    return false;
}

// What one file gave, for the report.
struct BookRead {
    QString file, encoding, version, kind, cnpj;
    QDate start, end;
    importer::BookChecks::Counts counts;
    qint64 lines = 0;
};

// Progress of the read: a bar redrawn in place on a terminal, a line now
// and then elsewhere.
class Progress {
public:
    Progress(QTextStream& err, bool terminal) : err_(err), terminal_(terminal) { clock_.start(); }
    void show(const importer::ReadProgress& p) {
        const double seconds = std::max(0.001, double(clock_.elapsed()) / 1000.0);
        const int percent =
            p.totalBytes > 0 ? int(100.0 * double(p.bytesRead) / double(p.totalBytes)) : 100;
        const QString stage = p.stage == importer::ReadProgress::Stage::Encoding
                                  ? QStringLiteral("examinando")
                                  : QStringLiteral("lendo");
        if (terminal_) {
            const int filled = percent * 30 / 100;
            err_ << "\r" << stage << " " << QFileInfo(p.file).fileName() << " ["
                 << QString(filled, u'#') << QString(30 - filled, u'.') << "] " << percent
                 << "% linha " << p.line << ", " << qint64(double(p.line) / seconds)
                 << " linhas/s   ";
        } else if (p.stage == importer::ReadProgress::Stage::Records) {
            err_ << stage << " " << p.file << ": linha " << p.line << " (" << percent << "%)\n";
        }
        err_.flush();
    }
    void done() {
        if (terminal_) {
            err_ << "\n";
            err_.flush();
        }
    }

private:
    QTextStream& err_;
    bool terminal_;
    QElapsedTimer clock_;
};

} // namespace

int runImportar(const QStringList& args, QTextStream& out, QTextStream& err, bool terminal) {
    if (args.isEmpty() || args.front() != QLatin1String("ecd")) {
        err << "gerarqprev: importar espera o formato de origem: importar ecd ...\n" << kUsage;
        return ImportUsage;
    }
    Options o;
    if (!parse(args.mid(1), {QStringLiteral("--empresa"), QStringLiteral("--banco")},
               {QStringLiteral("--simular")}, o, err, true))
        return ImportUsage;
    const QString typedCompany = o.value("--empresa").trimmed();
    if (typedCompany.isEmpty() || typedCompany.size() > 2) {
        err << "gerarqprev: informe --empresa com o código da empresa (até 2 caracteres)\n";
        return ImportUsage;
    }
    if (o.positional.isEmpty()) {
        err << "gerarqprev: informe os arquivos da ECD a importar\n" << kUsage;
        return ImportUsage;
    }
    for (const QString& file : o.positional) {
        const QFileInfo fi(file);
        if (!fi.isFile() || !fi.isReadable()) {
            err << "gerarqprev: arquivo não encontrado ou sem permissão de leitura: " << file
                << "\n";
            return ImportUsage;
        }
    }
    const bool simulate = o.flags.contains(QStringLiteral("--simular"));
    const QString company = suite::Ajusta(typedCompany, 2);

    const QString connection = QStringLiteral("gerarqprev-importar");
    QList<Finding> findings;
    QList<BookRead> books;
    importer::LoadReport report;
    {
        QSqlDatabase db;
        std::unique_ptr<importer::Loader> loader;
        try {
            db = db::open(o.value("--banco"), connection);
            loader = std::make_unique<importer::Loader>(
                db, importer::Loader::Options{company, simulate});
        } catch (const std::exception& e) {
            err << "erro no banco de dados: " << QString::fromUtf8(e.what()) << "\n";
            loader.reset();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection);
            return ImportDatabase;
        }
        Progress progress(err, terminal);
        bool refused = false;
        try {
            for (const QString& file : o.positional) {
                importer::EcdReader reader(file);
                reader.setProgress(
                    [&progress](const importer::ReadProgress& p) { progress.show(p); });
                importer::BookChecks checks(*loader);
                try {
                    reader.read(checks);
                } catch (const importer::DatabaseError&) {
                    throw;
                } catch (const std::exception& e) {
                    findings.append(
                        {Finding::Severity::Error, {file, 0, 0}, QString::fromUtf8(e.what())});
                    refused = true;
                    continue;
                }
                progress.done();
                findings += checks.findings();
                refused = refused || checks.hasErrors();
                BookRead b{file,
                           reader.encodingName(),
                           checks.version(),
                           checks.kind(),
                           checks.openingRecord().cnpj,
                           checks.start(),
                           checks.end(),
                           checks.counts(),
                           reader.lines()};
                // One company's books: the same CNPJ in every opening.
                if (!books.isEmpty() && b.cnpj != books.front().cnpj) {
                    findings.append(
                        {Finding::Severity::Error,
                         {file, 1, 6},
                         QStringLiteral("CNPJ %1 difere do CNPJ %2 de %3: importe os livros de "
                                        "uma empresa de cada vez.")
                             .arg(b.cnpj, books.front().cnpj,
                                  QFileInfo(books.front().file).fileName())});
                    refused = true;
                }
                books.append(b);
            }
            report = loader->finish(refused);
        } catch (const importer::DatabaseError& e) {
            progress.done();
            report.outcome = importer::LoadReport::Outcome::DatabaseError;
            report.databaseError = QString::fromUtf8(e.what());
        }
        loader.reset(); // rolls back whatever was not committed
        db = QSqlDatabase();
    }
    QSqlDatabase::removeDatabase(connection);

    // The report.
    for (const BookRead& b : books) {
        out << "Livro " << b.file << "\n"
            << "  período " << b.start.toString(kDay) << " a " << b.end.toString(kDay)
            << ", escrituração " << b.kind << ", leiaute " << b.version << ", codificação "
            << b.encoding << ", " << b.lines << " linhas\n"
            << "  contas " << b.counts.accounts << ", centros de custo " << b.counts.costCentres
            << ", lançamentos " << b.counts.entries << ", partidas " << b.counts.postings
            << ", meses " << b.counts.months << "\n";
    }
    for (const importer::LoadedBook& b : report.books)
        out << "Conferência de " << QFileInfo(b.file).fileName() << ": " << b.balancesChecked
            << " saldos mensais (I155) e " << b.resultsChecked
            << " saldos antes do encerramento (I355) reproduzidos pelo servidor\n";
    if (report.renumbered > 0)
        out << report.renumbered
            << " lançamento(s) com número repetido de outro livro receberam sufixo "
               "(docs/importar.md)\n";
    for (const QString& note : report.notes)
        out << "nota: " << note << "\n";
    findings += report.findings;
    if (!findings.isEmpty()) {
        out << "Ocorrências:\n";
        printFindings(findings, out);
    }
    out.flush();

    switch (report.outcome) {
    case importer::LoadReport::Outcome::Imported:
        out << "Importação concluída para a empresa " << company << ".\n";
        return ImportOk;
    case importer::LoadReport::Outcome::Simulated:
        out << "Simulação: os livros seriam importados para a empresa " << company
            << "; nada foi alterado.\n";
        return ImportOk;
    case importer::LoadReport::Outcome::DatabaseError:
        err << "erro no banco de dados: " << report.databaseError
            << "\nNada foi alterado no banco.\n";
        return ImportDatabase;
    case importer::LoadReport::Outcome::Refused:
        break;
    }
    err << "Importação recusada" << (hasError(findings) ? "" : " pela conferência com o banco")
        << ": nada foi alterado no banco.\n";
    return ImportRefused;
}

} // namespace cli
