// bench_loader [POSTINGS] [--banco URL]: loads a synthetic, consistent
// year of POSTINGS postings (default 1,000,000) straight into the loader (no
// file is read), reconciliation included, then the demo builder's ledger of
// the same size into a SQLite file (the yardstick of both products), and
// prints both times, their ratio and the peak memory. URL: a PostgreSQL url
// (a schema of it is used and dropped); default: a SQLite file.
#include "bench/common/benchutil.h"
#include "db/dbgeral.h"
#include "importer/loader.h"
#include "server/demo.h"
#include "server/demorng.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace importer;

namespace {

constexpr int kGroups = 40; // analytic accounts per nature group
const char* kNatures[] = {"01", "02", "03", "04"};

QString analytic(int nature, int k) {
    return QStringLiteral("%1.01.%2").arg(nature + 1).arg(k + 1, 6, 10, QLatin1Char('0'));
}

// A year of entries of two postings, drawn the same way on every pass.
struct Year {
    int postings;
    template <typename F> void each(F&& f) const {
        server::DemoRng rng(20250101);
        const QDate first(2025, 1, 1);
        for (int n = 0; n < postings / 2; ++n) {
            const QDate day = first.addDays(static_cast<qint64>(n) * 365 / (postings / 2));
            const qint64 v = 100 + rng.below(1000000);
            const int a = rng.below(4), b = rng.below(4);
            const QString debit = analytic(a, rng.below(kGroups));
            const QString credit = analytic(b, rng.below(kGroups));
            const QString centre = a == 3 ? QStringLiteral("CC%1").arg(rng.below(10)) : QString();
            f(n, day, debit, credit, centre, v);
        }
    }
};

void feed(Loader& l, int postings) {
    const QString file = QStringLiteral("sintetico.txt");
    qint64 line = 0;
    auto at = [&] { return Place{file, ++line, 0}; };
    Opening o;
    o.start = QDate(2025, 1, 1);
    o.end = QDate(2025, 12, 31);
    o.name = QStringLiteral("Empresa Sintética Ltda");
    o.cnpj = QStringLiteral("11222333000181");
    o.uf = QStringLiteral("SP");
    o.municipality = QStringLiteral("3550308");
    l.opening(o, at());
    l.bookKind({QStringLiteral("G"), QStringLiteral("9.00")}, at());
    const QDate changed(2024, 12, 1);
    for (int n = 0; n < 4; ++n) {
        const QString top = QString::number(n + 1);
        l.account({changed, QLatin1String(kNatures[n]), u'S', 1, top, {}, top}, at());
        l.account({changed, QLatin1String(kNatures[n]), u'S', 2, top + ".01", top, top}, at());
        for (int k = 0; k < kGroups; ++k)
            l.account({changed, QLatin1String(kNatures[n]), u'A', 3, analytic(n, k), top + ".01",
                       QStringLiteral("Conta %1").arg(analytic(n, k))},
                      at());
    }
    for (int c = 0; c < 10; ++c)
        l.costCentre({changed, QStringLiteral("CC%1").arg(c), QStringLiteral("Centro %1").arg(c)},
                     at());

    // First pass: each month's movement per account and cost centre.
    struct Move {
        qint64 d = 0, c = 0;
    };
    QHash<QString, Move> months[12]; // key: account|centre
    const Year year{postings};
    year.each([&](int, const QDate& day, const QString& debit, const QString& credit,
                  const QString& centre, qint64 v) {
        months[day.month() - 1][debit + u'|' + centre].d += v;
        months[day.month() - 1][credit + u'|' + (credit.startsWith(u'4') ? centre : QString())].c +=
            v;
    });
    QHash<QString, qint64> running;
    for (int m = 0; m < 12; ++m) {
        const QDate start(2025, m + 1, 1);
        l.balancePeriod({start, start.addDays(start.daysInMonth() - 1)}, at());
        QSet<QString> keys;
        for (auto it = running.cbegin(); it != running.cend(); ++it)
            if (it.value() != 0)
                keys.insert(it.key());
        for (auto it = months[m].cbegin(); it != months[m].cend(); ++it)
            keys.insert(it.key());
        for (const QString& k : keys) {
            const Move mv = months[m].value(k);
            Balance b;
            b.account = k.section(u'|', 0, 0);
            b.costCentre = k.section(u'|', 1);
            b.initial = running.value(k);
            b.debits = mv.d;
            b.credits = mv.c;
            b.final = b.initial + mv.d - mv.c;
            running[k] = b.final;
            l.balance(b, at());
        }
    }
    // Second pass: the entries.
    year.each([&](int n, const QDate& day, const QString& debit, const QString& credit,
                  const QString& centre, qint64 v) {
        l.entry({QStringLiteral("%1").arg(n + 1, 8, 10, QLatin1Char('0')), day, v, u'N', {}}, at());
        l.posting({debit,
                   centre,
                   v,
                   u'D',
                   QStringLiteral("DOC%1").arg(n),
                   {},
                   QStringLiteral("Lançamento sintético número %1").arg(n)},
                  at());
        l.posting({credit,
                   credit.startsWith(u'4') ? centre : QString(),
                   v,
                   u'C',
                   QStringLiteral("DOC%1").arg(n),
                   {},
                   QStringLiteral("Lançamento sintético número %1").arg(n)},
                  at());
    });
    l.resultDate({QDate(2025, 12, 31)}, at());
    for (auto it = running.cbegin(); it != running.cend(); ++it)
        if (it.key().startsWith(u'4') && it.value() != 0)
            l.resultBalance({it.key().section(u'|', 0, 0), it.key().section(u'|', 1), it.value()},
                            at());
    l.endOfFile(at());
}

QString target(const QString& base, const QTemporaryDir& dir, const QString& name) {
    if (base.isEmpty())
        return dir.filePath(name + QStringLiteral(".db"));
    const QString schema =
        QStringLiteral("bench_%1_%2").arg(name).arg(QCoreApplication::applicationPid());
    {
        QSqlDatabase a = db::open(base, QStringLiteral("admin"));
        QSqlQuery q(a);
        q.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
        q.exec(QStringLiteral("CREATE SCHEMA %1").arg(schema));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
    return base + (base.contains(u'?') ? QStringLiteral("&schema=") : QStringLiteral("?schema=")) +
           schema;
}

void dropSchema(const QString& base, const QString& url) {
    if (base.isEmpty())
        return;
    {
        QSqlDatabase a = db::open(base, QStringLiteral("admin"));
        QSqlQuery q(a);
        q.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(url.section(u'=', -1)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bench::Options o = bench::options(app.arguments().mid(1), 1000000);
    const int postings = o.postings;
    const QString base = o.database;
    QTemporaryDir dir;
    QElapsedTimer t;
    double loadSeconds = 0;
    const QString loadUrl = target(base, dir, QStringLiteral("import"));
    {
        QSqlDatabase db = db::open(loadUrl, QStringLiteral("import"));
        t.start();
        LoadReport r;
        double fed = 0;
        {
            Loader l(db, {QStringLiteral("01"), false});
            feed(l, postings);
            fed = bench::seconds(t);
            r = l.finish();
        }
        loadSeconds = bench::seconds(t);
        if (r.outcome != LoadReport::Outcome::Imported) {
            std::printf("import failed: %s\n", qPrintable(r.databaseError));
            for (const Finding& f : r.findings)
                std::printf("  %s\n", qPrintable(f.text));
            return 1;
        }
        std::printf("import: %d postings in %.2f s (%.0f postings/s; loaded in %.2f s, then "
                    "settled and reconciled), %d I155/I355 values reconciled, peak memory "
                    "%lld kB\n",
                    postings, loadSeconds, postings / loadSeconds, fed,
                    r.books.value(0).balancesChecked + r.books.value(0).resultsChecked,
                    static_cast<long long>(bench::peakKb()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("import"));
    dropSchema(base, loadUrl);

    const QString demoUrl = target(QString(), dir, QStringLiteral("demo"));
    {
        QSqlDatabase db = db::open(demoUrl, QStringLiteral("demo"));
        db::applyMigrations(db);
        t.start();
        server::makeDemo(db, postings);
        const double demo = bench::seconds(t);
        std::printf("demo builder (SQLite): %d postings in %.2f s; import / demo = %.2f\n",
                    postings, demo, loadSeconds / demo);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("demo"));
    return 0;
}
