// bench_ecdbook [POSTINGS] [ANALYTIC_ACCOUNTS] [FILE]
//
// Writes a consistent ECD book of a year with POSTINGS postings (default
// 1,000,000) and times: drawing the ledger, writing the book, splitting its
// lines into records (the tests' splitter, without checks), and the same with
// the book checks, whose own cost is the difference. Prints peak resident
// memory after each step. FILE is kept when given.
#include "bench/common/benchutil.h"
#include "ecdtextfeed.h"
#include "importer/bookchecks.h"
#include "importer/ecdbookwriter.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void line(const char* what, qint64 ms, qint64 postings) {
    std::printf("%-34s %8.2f s  %10.0f partidas/s  pico %6ld MiB\n", what, ms / 1000.0,
                ms > 0 ? postings * 1000.0 / static_cast<double>(ms) : 0.0,
                static_cast<long>(bench::peakKb() / 1024));
}

class Nothing final : public importer::EcdHandler {};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    importer::LedgerPlan plan;
    plan.postings = args.size() > 1 ? args[1].toLongLong() : 1000000;
    plan.analyticAccounts = args.size() > 2 ? args[2].toInt() : 300;
    QTemporaryDir dir;
    const QString path = args.size() > 3 ? args[3] : dir.filePath(QStringLiteral("livro.txt"));

    QElapsedTimer t;
    t.start();
    const importer::EcdLedger ledger(plan);
    line("lançamentos sorteados", t.elapsed(), plan.postings);

    t.restart();
    const importer::WrittenBook w = ledger.write(path);
    const qint64 writeMs = t.elapsed();
    line("livro gravado", writeMs, w.postings);
    std::printf(
        "  %lld linhas, %lld partidas, %lld lançamentos, %lld contas, %.1f MiB, %.0f MiB/s\n",
        static_cast<long long>(w.lines), static_cast<long long>(w.postings),
        static_cast<long long>(w.entries), static_cast<long long>(w.accounts), w.bytes / 1048576.0,
        writeMs > 0 ? w.bytes / 1048576.0 * 1000 / writeMs : 0.0);

    t.restart();
    Nothing nothing;
    testfeed::feedFile(path, nothing);
    const qint64 splitMs = t.elapsed();
    line("linhas separadas (sem verificar)", splitMs, w.postings);

    t.restart();
    importer::BookChecks checks;
    testfeed::feedFile(path, checks);
    const qint64 checkedMs = t.elapsed();
    line("linhas separadas e verificadas", checkedMs, w.postings);
    line("  das quais as verificações", checkedMs - splitMs, w.postings);
    std::printf("  %d erros, %d avisos\n", checks.errorCount(), checks.warningCount());
    for (const importer::Finding& f : checks.findings())
        std::printf("  %lld:%d %s\n", static_cast<long long>(f.place.line), f.place.field,
                    qPrintable(f.text));
    return checks.hasErrors() ? 1 : 0;
}
