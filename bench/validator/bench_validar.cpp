// Writes a synthetic digital file of N postings (default 1,000,000) and
// times the checker on it, printing wall time, throughput and peak memory.
// Usage: bench_validar [--spread] [POSTINGS] [FILE]   (FILE kept when given)
// --spread writes every debit posting before every credit posting, so that no
// entry balances until the second half: the checker's worst case for memory.
#include "bench/common/benchutil.h"
#include "validator/checker.h"
#include "validator/output.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

constexpr int accounts = 200; // analytic; half of them result accounts
constexpr int centres = 10;
constexpr int months = 12;

QByteArray amount(qint64 cents) {
    QByteArray s = QByteArray::number(cents / 100);
    if (cents % 100)
        s += ',' + QByteArray::number(cents % 100 + 100).mid(1);
    return s;
}

QByteArray code(int a) {
    return (a < accounts / 2 ? "1.01." : "3.01.") + QByteArray::number(1000 + a);
}

// The same postings in both passes: entry e has a debit and a credit.
struct Posting {
    int month, day, debit, credit;
    qint64 cents;
};
struct Generator {
    quint64 state = 88172645463325252ull;
    quint32 next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<quint32>(state);
    }
    Posting entry(qint64 e, qint64 entries) {
        Posting p;
        p.month = static_cast<int>(e * months / entries);
        p.day = 1 + static_cast<int>(next() % 28);
        p.debit = static_cast<int>(next() % accounts);
        p.credit = static_cast<int>((p.debit + 1 + next() % (accounts - 1)) % accounts);
        p.cents = 1 + next() % 10000000;
        return p;
    }
};

struct Writer {
    explicit Writer(QFile& file) : f(file) {}
    QFile& f;
    qint64 lines = 0;
    QByteArray buffer;
    void line(const QByteArray& l) {
        buffer += l;
        buffer += "\r\n";
        ++lines;
        if (buffer.size() > (1 << 20))
            flush();
    }
    void flush() {
        f.write(buffer);
        buffer.clear();
    }
};

bool writeFile(const QString& path, qint64 postings, bool spread) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const qint64 entries = postings / 2;
    // First pass: the month totals the balances declare.
    std::vector<qint64> debits(accounts * months, 0), credits(accounts * months, 0);
    Generator g;
    for (qint64 e = 0; e < entries; ++e) {
        const Posting p = g.entry(e, entries);
        debits[static_cast<size_t>(p.debit) * months + static_cast<size_t>(p.month)] += p.cents;
        credits[static_cast<size_t>(p.credit) * months + static_cast<size_t>(p.month)] += p.cents;
    }
    Writer w(f);
    w.line("0000|EMPRESA DE TESTE LTDA|11222333000181||||SP||3550|||2|01012025|31122025|003|90|1");
    w.line("0001|0");
    w.line("0050|CONTADOR|11222333000181|11144477735|SP1|01012025|31122025||||||||||");
    w.line("0100|SOFTWARE|ANALISTA|01012025|31122025|11222333000181|11144477735|||");
    w.line("0990|5");
    w.line("I001|0");
    w.line("I005|G");
    w.line("I050|01012025|1|S|1|1||ATIVO");
    w.line("I050|01012025|1|S|2|1.01|1|DISPONIVEL");
    w.line("I050|01012025|4|S|1|3||RESULTADO");
    w.line("I050|01012025|4|S|2|3.01|3|RECEITAS");
    for (int a = 0; a < accounts; ++a)
        w.line("I050|01012025|" + QByteArray(a < accounts / 2 ? "1" : "4") + "|A|3|" + code(a) +
               "|" + (a < accounts / 2 ? "1.01" : "3.01") + "|CONTA " + QByteArray::number(a));
    for (int c = 0; c < centres; ++c)
        w.line("I100|01012025|CC" + QByteArray::number(c) + "|CENTRO " + QByteArray::number(c));
    qint64 balanceLines = 0;
    for (int a = 0; a < accounts; ++a) {
        qint64 balance = 0;
        for (int m = 0; m < months; ++m) {
            const qint64 d = debits[static_cast<size_t>(a) * months + static_cast<size_t>(m)];
            const qint64 c = credits[static_cast<size_t>(a) * months + static_cast<size_t>(m)];
            const qint64 end = balance + d - c;
            w.line("I150|" + code(a) + "|" + QByteArray::number(m + 101).mid(1) + "2025|" +
                   amount(balance < 0 ? -balance : balance) + (balance < 0 ? "|C|" : "|D|") +
                   amount(d) + "|" + amount(c) + "|" + amount(end < 0 ? -end : end) +
                   (end < 0 ? "|C" : "|D"));
            balance = end;
            ++balanceLines;
        }
    }
    const auto posting = [&w](const Posting& p, qint64 e, bool debit) {
        const QByteArray date = QByteArray::number(p.day + 100).mid(1) +
                                QByteArray::number(p.month + 101).mid(1) + "2025";
        const QByteArray centre = debit ? "CC" + QByteArray::number(e % centres) : QByteArray();
        w.line("I200|" + date + "|" + code(debit ? p.debit : p.credit) + "|" + centre + "||" +
               amount(p.cents) + (debit ? "|D|DOC|" : "|C|DOC|") + QByteArray::number(e + 1) +
               "|N|HISTORICO DO LANCAMENTO " + QByteArray::number(e + 1));
    };
    if (!spread) {
        Generator again;
        for (qint64 e = 0; e < entries; ++e) {
            const Posting p = again.entry(e, entries);
            posting(p, e, true);
            posting(p, e, false);
        }
    } else {
        for (const bool debit : {true, false}) {
            Generator again;
            for (qint64 e = 0; e < entries; ++e)
                posting(again.entry(e, entries), e, debit);
        }
    }
    w.line("I250|01122025|3.01.1100|0|D");
    const qint64 blockI = w.lines - 5 + 1;
    w.line("I990|" + QByteArray::number(blockI));
    w.line("9001|0");
    const std::pair<const char*, qint64> types[] = {{"0000", 1},
                                                    {"0001", 1},
                                                    {"0050", 1},
                                                    {"0100", 1},
                                                    {"0990", 1},
                                                    {"I001", 1},
                                                    {"I005", 1},
                                                    {"I050", accounts + 4},
                                                    {"I100", centres},
                                                    {"I150", balanceLines},
                                                    {"I200", entries * 2},
                                                    {"I250", 1},
                                                    {"I990", 1},
                                                    {"9001", 1},
                                                    {"9900", 17},
                                                    {"9990", 1},
                                                    {"9999", 1}};
    for (const auto& [t, n] : types)
        w.line("9900|" + QByteArray(t) + "|" + QByteArray::number(n));
    w.line("9990|20");
    w.line("9999|" + QByteArray::number(w.lines + 1));
    w.flush();
    return f.error() == QFileDevice::NoError;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    const bool spread = args.removeAll(QStringLiteral("--spread")) > 0;
    const qint64 postings = args.size() > 1 ? args[1].toLongLong() : 1000000;
    QTemporaryDir dir;
    const QString path = args.size() > 2 ? args[2] : dir.filePath(QStringLiteral("bench.txt"));

    QElapsedTimer t;
    t.start();
    if (postings < 2 || !writeFile(path, postings, spread)) {
        std::fprintf(stderr, "bench_validar: cannot write %s\n", qPrintable(path));
        return 2;
    }
    const double writeSeconds = bench::seconds(t);
    const long peakBefore = static_cast<long>(bench::peakKb());

    validator::Report report;
    QString ioError;
    t.restart();
    if (!validator::checkFile(path, report, &ioError)) {
        std::fprintf(stderr, "bench_validar: %s\n", qPrintable(ioError));
        return 2;
    }
    const double checkSeconds = bench::seconds(t);
    const long peakAfter = static_cast<long>(bench::peakKb());
    const double mb = QFileInfo(path).size() / 1e6;

    std::printf("postings            %lld\n", static_cast<long long>(postings));
    std::printf("lines               %lld\n", static_cast<long long>(report.lines()));
    std::printf("file size           %.1f MB\n", mb);
    std::printf("write time          %.2f s\n", writeSeconds);
    std::printf("check time          %.2f s\n", checkSeconds);
    std::printf("throughput          %.1f MB/s, %.0f lines/s\n", mb / checkSeconds,
                report.lines() / checkSeconds);
    std::printf("peak memory before  %ld KiB (after writing)\n", peakBefore);
    std::printf("peak memory after   %ld KiB (after checking)\n", peakAfter);
    std::printf("errors / warnings   %lld / %lld\n", static_cast<long long>(report.errorCount()),
                static_cast<long long>(report.warningCount()));
    for (const validator::Finding& f : report.errors().mid(0, 5))
        std::printf("  %s\n", qPrintable(validator::findingText(f)));
    return report.errorCount() == 0 ? 0 : 1;
}
