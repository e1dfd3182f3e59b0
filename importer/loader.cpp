#include "importer/loader.h"
#include "db/dbgeral.h"
#include "importer/chartpicture.h"
#include "importer/composehistory.h"
#include "importer/entrynumbers.h"
#include "importer/reconcile.h"
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <optional>

namespace importer {
namespace {

// Rows a multi-row INSERT carries: large enough that statements cost little
// next to the rows, small enough for either product's limit of bound values.
constexpr int kRowsPerStatement = 400;
// Postings held before they go to the database.
constexpr int kPostingsPerBatch = 2000;
// PostgreSQL checks the foreign keys among the postings' tables at every
// row, which costs more than the row itself; dropped and put back after the
// load, they are checked at once over the whole table. That pays from this
// many postings, and once the book adds a tenth of what is stored.
constexpr qint64 kKeysSuspendedFrom = 50000;
constexpr qint64 kKeysSuspendedShare = 10;
// Accounts listed per balance check; more are counted in one line.
constexpr int kShown = 20;

QString digitsOf(const QString& s) {
    QString out;
    for (const QChar c : s)
        if (c.isDigit())
            out += c;
    return out;
}

QVariant nullText() {
    return QVariant(QMetaType(QMetaType::QString));
}

QVariant textOrNull(const QString& s) {
    return s.isEmpty() ? nullText() : QVariant(s);
}

QString dayText(const QDate& d) {
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

// COD_NAT as the chart keeps it.
std::optional<QString> natureOf(const QString& codNat) {
    static const QHash<QString, QString> map = {
        {QStringLiteral("01"), QStringLiteral("1")}, {QStringLiteral("02"), QStringLiteral("2")},
        {QStringLiteral("03"), QStringLiteral("3")}, {QStringLiteral("04"), QStringLiteral("4")},
        {QStringLiteral("05"), QStringLiteral("5")}, {QStringLiteral("09"), QStringLiteral("9")}};
    const auto it = map.constFind(codNat.trimmed());
    if (it == map.constEnd())
        return std::nullopt;
    return *it;
}

struct ChartRow {
    QString nature, type, superior, name;
    int level = 0;
    QDate changed;
};

struct CentreRow {
    QString name;
    QDate changed;
};

struct PendingEntry {
    qint64 key = 0;
    QString number;
    QDate date;
    bool closing = false;
    QVariant shown; // set when sent
    bool dropped = false;
};

struct PendingPosting {
    int entry = 0; // index in the pending entries; -1: the last entry sent
    int seq = 0;
    QString account, centre, document, history;
    qint64 value = 0;
    QChar side;
};

struct Book {
    LoadedBook report;
    bool skip = false;      // not a complete journal: nothing written
    bool latest = false;    // no stored entry after its end: its company data win
    bool hasBefore = false; // stored books before its start
    bool hasAfter = false;  // stored entries after its end
    bool balancesSet = false;
    bool statistics = false; // brought up to date after its first rows
    qint64 firstKey = 0;
    QHash<QString, qint64> oldAtEnd; // stored balances at its end, before it
    QHash<QString, QString> histories;
    QList<ExpectedPeriod> periods;
    QList<ExpectedResult> results;
    QList<QPair<Account, Place>> accounts; // the chart's lines until they are merged
};

} // namespace

struct Loader::Impl {
    QSqlDatabase db;
    Options options;
    bool open = false; // the transaction
    QString failure;   // a database error
    bool refusedElsewhere = false;
    int errors = 0;
    QList<Finding> findings;
    QStringList notes;

    QHash<QString, ChartRow> chart;
    QHash<QString, CentreRow> centres;
    bool chartChanged = false;
    QString companyCnpj; // digits; empty when the company is not stored yet
    bool companyStored = false;
    QString companyRazao, companyShort;

    std::optional<Book> book;
    QList<Book> done;
    qint64 nextKey = 1;

    std::unique_ptr<RowWriter> entries, postings, shares;
    qint64 postingsSent = 0;
    qint64 suspendKeysAt = 0;
    bool keysSuspended = false;
    QStringList keysToRestore;
    std::unique_ptr<EntryNumbers> numbers;
    QList<PendingEntry> pendingEntries;
    QList<PendingPosting> pendingPostings;
    PendingEntry lastSent;
    int entryPostings = 0; // postings of the current entry so far

    bool writing() const { return failure.isEmpty() && errors == 0 && !refusedElsewhere; }

    void error(const Place& place, const QString& text) {
        ++errors;
        findings.append({Finding::Severity::Error, place, text});
    }

    // What the content checks report too (BookChecks): it stops the writing
    // all the same, but is listed only when no one else refused the import,
    // so that the report says it once.
    QList<Finding> guards;
    void guard(const Place& place, const QString& text) {
        ++errors;
        guards.append({Finding::Severity::Error, place, text});
    }

    // ---- database helpers ----

    QSqlQuery run(const QString& sql, const QVariantList& binds, const QString& what) {
        QSqlQuery q = prepareOrThrow(db, sql, what);
        for (int i = 0; i < binds.size(); ++i)
            q.bindValue(i, binds[i]);
        execOrThrow(q, what);
        return q;
    }

    QVariant single(const QString& sql, const QVariantList& binds, const QString& what) {
        QSqlQuery q = run(sql, binds, what);
        QVariant v = q.next() ? q.value(0) : QVariant();
        q.finish();
        return v;
    }

    // Signed balances of every account of the company at the end of day,
    // from the opening balances and the aggregates.
    QHash<QString, qint64> balancesAt(const QDate& day) {
        const QDate month(day.year(), day.month(), 1);
        QSqlQuery q = run(
            QStringLiteral("SELECT CDCONTCTBL, CAST(SUM(V) AS BIGINT) FROM ("
                           " SELECT CDCONTCTBL, VRSALDINIC AS V FROM SALDINIC WHERE CDEMPRESA = ?"
                           " UNION ALL SELECT CDCONTCTBL, VRDEBITO - VRCREDITO FROM SALDMES"
                           " WHERE CDEMPRESA = ? AND DTSALDO < ?"
                           " UNION ALL SELECT CDCONTCTBL, VRDEBITO - VRCREDITO FROM SALDDIA"
                           " WHERE CDEMPRESA = ? AND DTSALDO >= ? AND DTSALDO <= ?) B"
                           " GROUP BY CDCONTCTBL"),
            {options.company, options.company, month, options.company, month, day},
            QStringLiteral("saldos"));
        QHash<QString, qint64> out;
        while (q.next())
            if (const qint64 v = q.value(1).toLongLong())
                out.insert(q.value(0).toString(), v);
        return out;
    }

    // Lists the accounts whose balances differ, under a heading.
    void compareBalances(const QHash<QString, qint64>& ours, const QHash<QString, qint64>& stored,
                         const Place& place, const QString& heading) {
        QStringList codes;
        for (auto it = ours.cbegin(); it != ours.cend(); ++it)
            if (it.value() != stored.value(it.key(), 0))
                codes << it.key();
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            if (it.value() != 0 && !ours.contains(it.key()))
                codes << it.key();
        if (codes.isEmpty())
            return;
        std::sort(codes.begin(), codes.end());
        error(place, heading);
        for (int i = 0; i < codes.size() && i < kShown; ++i)
            error(place, QStringLiteral("  conta %1: %2 no livro, %3 nos livros já importados.")
                             .arg(codes[i], signedAmountText(ours.value(codes[i], 0)),
                                  signedAmountText(stored.value(codes[i], 0))));
        if (codes.size() > kShown)
            error(place, QStringLiteral("  … e mais %1 conta(s).").arg(codes.size() - kShown));
    }

    // ---- start ----

    // A forward-only result must be read to its end before the connection
    // runs another statement (PostgreSQL hands rows over one at a time).
    void loadChart() {
        {
            QSqlQuery q = run(QStringLiteral("SELECT CDCONTCTBL, IDNATCONT, IDTIPOCONT,"
                                             " CDCONTANTE, NMCONTCTBL, CDNVCONTCTBL, DTATUALIZ"
                                             " FROM CONTCTBL"),
                              {}, QStringLiteral("CONTCTBL"));
            while (q.next())
                chart.insert(q.value(0).toString(),
                             {q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                              q.value(4).toString(), q.value(5).toInt(), db::dateOf(q.value(6))});
        }
        QSqlQuery q = run(QStringLiteral("SELECT CDCENTCUST, NMCENTCUST, DTATUALIZ FROM CENTCUST"),
                          {}, QStringLiteral("CENTCUST"));
        while (q.next())
            centres.insert(q.value(0).toString(), {q.value(1).toString(), db::dateOf(q.value(2))});
    }

    void loadCompany() {
        QSqlQuery q = run(QStringLiteral("SELECT NRINSJUREMPR, NMRAZSOCEMPR, NMEMPRESA FROM EMPRESA"
                                         " WHERE CDEMPRESA = ?"),
                          {options.company}, QStringLiteral("EMPRESA"));
        if (q.next()) {
            companyStored = true;
            companyCnpj = digitsOf(q.value(0).toString());
            companyRazao = q.value(1).toString();
            companyShort = q.value(2).toString();
        }
    }

    // ---- the book's opening ----

    void openBook(const Opening& o, const Place& place) {
        Book b;
        b.report.file = place.file;
        b.report.start = o.start;
        b.report.end = o.end;
        b.report.finality = o.finality;
        book = std::move(b);
        lastSent = {};
        entryPostings = 0;

        const QString cnpj = digitsOf(o.cnpj);
        if (!companyCnpj.isEmpty() && companyCnpj != cnpj) {
            error({place.file, place.line, 6},
                  QStringLiteral("A empresa %1 já está cadastrada com o CNPJ %2; este livro é do "
                                 "CNPJ %3. Informe outro código de empresa (--empresa).")
                      .arg(options.company, companyCnpj, cnpj));
            return;
        }
        if (!writing())
            return;

        const QVariant lastEntry =
            single(QStringLiteral("SELECT MAX(DTLANCCONT) FROM LANCCONT WHERE CDEMPRESA = ?"),
                   {options.company}, QStringLiteral("LANCCONT"));
        const QDate last = db::dateOf(lastEntry);
        book->latest = !last.isValid() || last <= o.end;
        book->hasAfter = last.isValid() && last > o.end;
        QDate storedStart = db::dateOf(
            single(QStringLiteral("SELECT MIN(DTLANCCONT) FROM LANCCONT WHERE CDEMPRESA = ?"),
                   {options.company}, QStringLiteral("LANCCONT")));
        const QDate opened = db::dateOf(
            single(QStringLiteral("SELECT MIN(DTSALDINIC) FROM SALDINIC WHERE CDEMPRESA = ?"),
                   {options.company}, QStringLiteral("SALDINIC")));
        if (opened.isValid() && (!storedStart.isValid() || opened.addDays(1) < storedStart))
            storedStart = opened.addDays(1);
        book->hasBefore = storedStart.isValid() && storedStart < o.start;
        if (book->hasAfter)
            book->oldAtEnd = balancesAt(o.end);

        writeCompany(o);
        replacePeriod(o.start, o.end);
        nextKey = single(QStringLiteral("SELECT MAX(NRLANCCONT) FROM LANCCONT WHERE CDEMPRESA = ?"),
                         {options.company}, QStringLiteral("LANCCONT"))
                      .toLongLong() +
                  1;
        book->firstKey = nextKey;
        // An earlier book of this run that this one replaces in part no
        // longer has those months and closings in the database.
        for (Book& earlier : done) {
            earlier.periods.removeIf(
                [&](const ExpectedPeriod& p) { return p.end >= o.start && p.start <= o.end; });
            earlier.results.removeIf(
                [&](const ExpectedResult& r) { return r.date >= o.start && r.date <= o.end; });
        }
    }

    void writeCompany(const Opening& o) {
        const QString cnpj = digitsOf(o.cnpj);
        if (!companyStored) {
            run(QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR,"
                               " NRINSJUREMPR, SGESTADO, NRINSCESTA, CDMUNICIPIO)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                {options.company, o.name, o.name, cnpj, textOrNull(o.uf), textOrNull(o.ie),
                 textOrNull(o.municipality)},
                QStringLiteral("EMPRESA"));
            companyStored = true;
            companyCnpj = cnpj;
            companyRazao = companyShort = o.name;
            return;
        }
        if (!book->latest)
            return;
        // The short name follows the legal name unless someone gave it its own.
        const QString shortName = companyShort == companyRazao ? o.name : companyShort;
        run(QStringLiteral("UPDATE EMPRESA SET NMEMPRESA = ?, NMRAZSOCEMPR = ?, NRINSJUREMPR = ?,"
                           " SGESTADO = ?, NRINSCESTA = ?, CDMUNICIPIO = ? WHERE CDEMPRESA = ?"),
            {shortName, o.name, cnpj, textOrNull(o.uf), textOrNull(o.ie),
             textOrNull(o.municipality), options.company},
            QStringLiteral("EMPRESA"));
        companyCnpj = cnpj;
        companyRazao = o.name;
        companyShort = shortName;
    }

    // Every entry of the company dated in the period goes: its cost-centre
    // shares, its postings, itself. The aggregates follow at the book's end.
    void replacePeriod(const QDate& start, const QDate& end) {
        const QVariantList range = {options.company, start, end};
        run(QStringLiteral("DELETE FROM PARTCCUS WHERE CDEMPRESA = ? AND NRLANCCONT IN"
                           " (SELECT NRLANCCONT FROM LANCCONT WHERE CDEMPRESA = ?"
                           " AND DTLANCCONT >= ? AND DTLANCCONT <= ?)"),
            {options.company, options.company, start, end}, QStringLiteral("PARTCCUS"));
        run(QStringLiteral("DELETE FROM PARTLANC WHERE CDEMPRESA = ? AND NRLANCCONT IN"
                           " (SELECT NRLANCCONT FROM LANCCONT WHERE CDEMPRESA = ?"
                           " AND DTLANCCONT >= ? AND DTLANCCONT <= ?)"),
            {options.company, options.company, start, end}, QStringLiteral("PARTLANC"));
        run(QStringLiteral("DELETE FROM LANCCONT WHERE CDEMPRESA = ? AND DTLANCCONT >= ?"
                           " AND DTLANCCONT <= ?"),
            range, QStringLiteral("LANCCONT"));
    }

    // ---- the chart ----

    // The book's I050 lines are merged once they are all read: superiors go
    // in before the accounts under them, whatever order the file has.
    void mergeChart() {
        if (!book || book->accounts.isEmpty())
            return;
        auto lines = std::move(book->accounts);
        book->accounts.clear();
        std::stable_sort(lines.begin(), lines.end(), [](const auto& x, const auto& y) {
            return x.first.level < y.first.level;
        });
        std::unique_ptr<QSqlQuery> insert, rename;
        int conflicts = 0;
        for (const auto& [a, place] : lines) {
            const std::optional<QString> nature = natureOf(a.nature);
            const QString type = QString(a.type);
            if (!nature) {
                guard({place.file, place.line, 3},
                      QStringLiteral("Conta %1: natureza \"%2\" desconhecida.")
                          .arg(a.code, a.nature));
                continue;
            }
            if (a.level < 1 || a.level > 9) {
                guard({place.file, place.line, 5},
                      QStringLiteral("Conta %1: nível %2; o plano aceita os níveis 1 a 9.")
                          .arg(a.code)
                          .arg(a.level));
                continue;
            }
            if (type != QLatin1String("S") && type != QLatin1String("A")) {
                guard({place.file, place.line, 4},
                      QStringLiteral("Conta %1: tipo \"%2\"; esperado S ou A.").arg(a.code, type));
                continue;
            }
            const auto it = chart.find(a.code);
            if (it != chart.end()) {
                const ChartRow& c = *it;
                if (c.nature != *nature || c.level != a.level || c.type != type ||
                    c.superior != a.superior) {
                    if (++conflicts > kShown)
                        continue;
                    error(
                        {place.file, place.line, 6},
                        QStringLiteral("Conta %1: no plano deste banco tem natureza %2, nível %3, "
                                       "tipo %4, superior \"%5\"; no livro, natureza %6, nível "
                                       "%7, tipo %8, superior \"%9\".")
                            .arg(a.code, c.nature)
                            .arg(c.level)
                            .arg(c.type, c.superior, *nature)
                            .arg(a.level)
                            .arg(type, a.superior));
                    continue;
                }
                if (a.changed > c.changed && a.name != c.name) {
                    it->name = a.name;
                    it->changed = a.changed;
                    if (writing()) {
                        if (!rename)
                            rename = std::make_unique<QSqlQuery>(prepareOrThrow(
                                db,
                                QStringLiteral("UPDATE CONTCTBL SET NMCONTCTBL = ?, DTATUALIZ = ?"
                                               " WHERE CDCONTCTBL = ?"),
                                QStringLiteral("CONTCTBL")));
                        rename->bindValue(0, a.name);
                        rename->bindValue(1, a.changed);
                        rename->bindValue(2, a.code);
                        execOrThrow(*rename, QStringLiteral("CONTCTBL"));
                    }
                }
                continue;
            }
            if (a.level > 1 && !chart.contains(a.superior)) {
                guard({place.file, place.line, 7},
                      QStringLiteral("Conta %1: a conta superior \"%2\" não está no plano.")
                          .arg(a.code, a.superior));
                continue;
            }
            chart.insert(a.code, {*nature, type, a.level > 1 ? a.superior : QString(), a.name,
                                  a.level, a.changed});
            chartChanged = true;
            if (!writing())
                continue;
            if (!insert)
                insert = std::make_unique<QSqlQuery>(prepareOrThrow(
                    db,
                    QStringLiteral("INSERT INTO CONTCTBL (CDCONTCTBL, NMCONTCTBL, CDNVCONTCTBL,"
                                   " IDTIPOCONT, CDCONTANTE, IDNATCONT, DTATUALIZ)"
                                   " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                    QStringLiteral("CONTCTBL")));
            insert->bindValue(0, a.code);
            insert->bindValue(1, a.name);
            insert->bindValue(2, a.level);
            insert->bindValue(3, type);
            insert->bindValue(4, a.level > 1 ? QVariant(a.superior) : nullText());
            insert->bindValue(5, *nature);
            insert->bindValue(6, a.changed.isValid() ? a.changed : book->report.start);
            execOrThrow(*insert, QStringLiteral("CONTCTBL"));
        }
        if (conflicts > 0)
            error({book->report.file, 0, 0},
                  QStringLiteral("%1 conta(s) do livro conflitam com o plano de contas já guardado "
                                 "neste banco%2. Um banco guarda um só plano de contas: importe "
                                 "os livros desta empresa em outro banco (--banco com outro "
                                 "arquivo, ou outro esquema do PostgreSQL).")
                      .arg(conflicts)
                      .arg(conflicts > kShown
                               ? QStringLiteral(" (as primeiras %1 estão listadas)").arg(kShown)
                               : QString()));
    }

    // The pictures follow the chart when its codes allow; otherwise they
    // stay and the report says so.
    void updatePictures() {
        if (!chartChanged)
            return;
        QList<CodeShape> shapes;
        shapes.reserve(chart.size());
        for (auto it = chart.cbegin(); it != chart.cend(); ++it)
            shapes.append({it.key(), it->superior, it->level});
        const QString level = levelPicture(shapes);
        if (level.isEmpty()) {
            notes << QStringLiteral("As máscaras dos códigos de conta (tabela PICTURE) ficaram "
                                    "como estavam: os códigos do plano não seguem um só padrão de "
                                    "separadores e tamanhos por nível. Confira a lista de contas "
                                    "de resultado da tela.");
            return;
        }
        const QString edit = editPicture(level);
        for (const auto& [kind, text] : {std::pair{0, level}, std::pair{2, edit}}) {
            run(QStringLiteral("DELETE FROM PICTURE WHERE IDTIPOPICT = ?"), {kind},
                QStringLiteral("PICTURE"));
            run(QStringLiteral("INSERT INTO PICTURE (IDTIPOPICT, DSPICTURE) VALUES (?, ?)"),
                {kind, text}, QStringLiteral("PICTURE"));
        }
    }

    // ---- balances ----

    // Once the balances are read (at the first entry, closing or the end):
    // the book's initial balances either continue the stored books or
    // become the company's opening balances.
    void settleOpening() {
        if (!book || book->balancesSet)
            return;
        book->balancesSet = true;
        if (!writing() || book->skip)
            return;
        QHash<QString, qint64> initial;
        Place place{book->report.file, 0, 0};
        if (!book->periods.isEmpty()) {
            const ExpectedPeriod& first = book->periods.first();
            for (auto it = first.accounts.cbegin(); it != first.accounts.cend(); ++it) {
                initial.insert(it.key(), it->initial);
                if (place.line == 0)
                    place = it->place;
            }
        }
        const QDate start = book->report.start;
        if (book->hasBefore) {
            QHash<QString, qint64> nonZero;
            for (auto it = initial.cbegin(); it != initial.cend(); ++it)
                if (it.value() != 0)
                    nonZero.insert(it.key(), it.value());
            compareBalances(nonZero, balancesAt(start.addDays(-1)), place,
                            QStringLiteral("Os saldos iniciais do livro em %1 diferem dos saldos "
                                           "que os livros já importados dão nessa data (falta "
                                           "importar um livro anterior, ou um deles difere):")
                                .arg(dayText(start)));
            return;
        }
        run(QStringLiteral("DELETE FROM SALDINIC WHERE CDEMPRESA = ?"), {options.company},
            QStringLiteral("SALDINIC"));
        const auto rows =
            makeRowWriter(db, QStringLiteral("SALDINIC"),
                          {QStringLiteral("CDEMPRESA"), QStringLiteral("CDCONTCTBL"),
                           QStringLiteral("DTSALDINIC"), QStringLiteral("VRSALDINIC")},
                          kRowsPerStatement);
        for (auto it = initial.cbegin(); it != initial.cend(); ++it)
            rows->add({options.company, it.key(), start.addDays(-1), it.value()});
        rows->flush();
    }

    // ---- entries ----

    void ensureWriters() {
        if (entries)
            return;
        entries = makeRowWriter(db, QStringLiteral("LANCCONT"),
                                QStringList{"CDEMPRESA", "NRLANCCONT", "DTLANCCONT", "IDENCERR",
                                            "NRLANCLIVRO", "NRLANCEXT"},
                                kRowsPerStatement);
        postings = makeRowWriter(db, QStringLiteral("PARTLANC"),
                                 QStringList{"CDEMPRESA", "NRLANCCONT", "NRSEQLANC", "DTLANCCONT",
                                             "CDCONTCTBL", "CDDOCUCONT", "DSHISTLANC",
                                             "VRLANCAMENT", "IDNATLANC", "NRLANCEXT"},
                                 kRowsPerStatement);
        shares = makeRowWriter(
            db, QStringLiteral("PARTCCUS"),
            QStringList{"CDEMPRESA", "NRLANCCONT", "NRSEQLANC", "CDCENTCUST", "VRRATEIO"},
            kRowsPerStatement);
        numbers = std::make_unique<EntryNumbers>(db, options.company);
        suspendKeysAt =
            std::max(kKeysSuspendedFrom,
                     db::estimatedRows(db, QStringLiteral("PARTLANC")) / kKeysSuspendedShare);
    }

    void suspendKeysOnceLarge() {
        if (keysSuspended || !db::isPostgres(db) || postingsSent < suspendKeysAt)
            return;
        keysSuspended = true;
        keysToRestore =
            db::suspendForeignKeys(db, {QStringLiteral("LANCCONT"), QStringLiteral("PARTLANC"),
                                        QStringLiteral("PARTCCUS")});
    }

    // Sends the pending entries, then their postings, then the postings'
    // cost centres, so that each row finds what it refers to.
    void sendBatch() {
        if (pendingEntries.isEmpty() && pendingPostings.isEmpty())
            return;
        if (!writing()) {
            pendingEntries.clear();
            pendingPostings.clear();
            return;
        }
        ensureWriters();
        postingsSent += pendingPostings.size();
        suspendKeysOnceLarge();
        QStringList numbersOf;
        numbersOf.reserve(pendingEntries.size());
        for (const PendingEntry& e : pendingEntries)
            numbersOf << e.number;
        QList<int> repeated;
        const QVariantList shown = numbers->provisional(numbersOf, book->firstKey, repeated);
        for (const int i : repeated) {
            pendingEntries[i].dropped = true;
            error({book->report.file, 0, 2},
                  QStringLiteral("O número de lançamento %1 aparece mais de uma vez no livro.")
                      .arg(pendingEntries[i].number));
        }
        for (int i = 0; i < pendingEntries.size(); ++i) {
            PendingEntry& e = pendingEntries[i];
            e.shown = shown[i];
            if (e.dropped)
                continue;
            entries->add({options.company, e.key, e.date,
                          e.closing ? QStringLiteral("S") : QStringLiteral("N"), e.number,
                          e.shown});
        }
        entries->flush();
        for (const PendingPosting& p : pendingPostings) {
            const PendingEntry& e = p.entry < 0 ? lastSent : pendingEntries[p.entry];
            if (e.dropped)
                continue;
            postings->add({options.company, e.key, p.seq, e.date, p.account, textOrNull(p.document),
                           textOrNull(p.history), p.value, QString(p.side), e.shown});
        }
        postings->flush();
        for (const PendingPosting& p : pendingPostings) {
            const PendingEntry& e = p.entry < 0 ? lastSent : pendingEntries[p.entry];
            if (e.dropped || p.centre.isEmpty())
                continue;
            shares->add({options.company, e.key, p.seq, p.centre, p.value});
        }
        shares->flush();
        if (!pendingEntries.isEmpty())
            lastSent = pendingEntries.last();
        pendingEntries.clear();
        pendingPostings.clear();
        // The entry-number look-ups are planned from statistics: once the
        // book's first rows are in, the company's share of the table is known.
        if (!book->statistics) {
            book->statistics = true;
            db::updateStatistics(db, {QStringLiteral("LANCCONT")});
        }
    }

    // ---- the book's end ----

    void closeBook() {
        if (!book)
            return;
        mergeChart();
        settleOpening();
        sendBatch();
        if (writing() && !book->skip) {
            const QDate start = book->report.start, end = book->report.end;
            db::refreshAggregates(db, options.company, start, end);
            if (book->hasAfter)
                compareBalances(balancesAt(end), book->oldAtEnd, {book->report.file, 0, 0},
                                QStringLiteral("Os saldos do livro em %1 diferem dos saldos de "
                                               "que partem os livros seguintes já importados "
                                               "(falta importar um livro entre eles, ou um deles "
                                               "difere):")
                                    .arg(dayText(end)));
        }
        book->report.months = static_cast<int>(book->periods.size());
        done.append(std::move(*book));
        book.reset();
    }

    template <typename F> void guarded(F&& f) {
        if (!failure.isEmpty())
            throw DatabaseError(failure.toStdString());
        try {
            f();
        } catch (const DatabaseError& e) {
            failure = QString::fromUtf8(e.what());
            throw;
        } catch (const std::exception& e) {
            failure = QString::fromUtf8(e.what());
            throw DatabaseError(e.what());
        }
    }

    // Leaves the chart's lines when a record of another kind comes.
    void pastChart() {
        if (book && !book->accounts.isEmpty())
            mergeChart();
    }
};

Loader::Loader(const QSqlDatabase& db, Options options) : d_(std::make_unique<Impl>()) {
    d_->db = db;
    d_->options = std::move(options);
    try {
        d_->guarded([&] {
            db::applyMigrations(d_->db);
            if (!d_->db.transaction())
                throw DatabaseError(
                    QStringLiteral("transação: %1").arg(d_->db.lastError().text()).toStdString());
            d_->open = true;
            db::suspendPostingAggregates(d_->db);
            d_->loadChart();
            d_->loadCompany();
        });
    } catch (...) {
        if (d_->open)
            d_->db.rollback();
        throw;
    }
}

Loader::~Loader() {
    if (d_->open)
        d_->db.rollback();
}

void Loader::opening(const Opening& o, const Place& p) {
    d_->guarded([&] {
        d_->closeBook();
        d_->openBook(o, p);
    });
}

void Loader::bookKind(const BookKind& k, const Place& p) {
    if (!d_->book)
        return;
    d_->book->report.kind = k.kind;
    d_->book->report.version = k.version;
    if (k.kind != QLatin1String("G")) {
        d_->book->skip = true;
        d_->guard(
            {p.file, p.line, 2},
            QStringLiteral("Livro do tipo %1: só o Diário completo (G) é importado.").arg(k.kind));
    }
}

void Loader::openingTerm(const OpeningTerm& t, const Place&) {
    d_->guarded([&] {
        if (!d_->book || !d_->book->latest || !d_->writing() || t.nire.isEmpty())
            return;
        d_->run(QStringLiteral("UPDATE EMPRESA SET NRREGJUNCOM = ? WHERE CDEMPRESA = ?"),
                {t.nire, d_->options.company}, QStringLiteral("EMPRESA"));
    });
}

void Loader::account(const Account& a, const Place& p) {
    if (!d_->book)
        return;
    ++d_->book->report.accounts;
    d_->book->accounts.append({a, p});
}

void Loader::history(const History& h, const Place&) {
    d_->guarded([&] { d_->pastChart(); });
    if (d_->book)
        d_->book->histories.insert(h.code, h.text);
}

void Loader::costCentre(const CostCentre& c, const Place&) {
    d_->guarded([&] {
        d_->pastChart();
        if (!d_->book)
            return;
        ++d_->book->report.costCentres;
        const auto it = d_->centres.find(c.code);
        const bool known = it != d_->centres.end();
        if (known && !(c.changed > it->changed && c.name != it->name))
            return;
        d_->centres.insert(c.code, {c.name, c.changed});
        if (!d_->writing())
            return;
        if (known)
            d_->run(QStringLiteral("UPDATE CENTCUST SET NMCENTCUST = ?, DTATUALIZ = ?"
                                   " WHERE CDCENTCUST = ?"),
                    {c.name, c.changed, c.code}, QStringLiteral("CENTCUST"));
        else
            d_->run(QStringLiteral("INSERT INTO CENTCUST (CDCENTCUST, NMCENTCUST, DTATUALIZ)"
                                   " VALUES (?, ?, ?)"),
                    {c.code, c.name, c.changed.isValid() ? c.changed : d_->book->report.start},
                    QStringLiteral("CENTCUST"));
    });
}

void Loader::balancePeriod(const BalancePeriod& b, const Place&) {
    d_->guarded([&] { d_->pastChart(); });
    if (d_->book)
        d_->book->periods.append({b.start, b.end, {}});
}

void Loader::balance(const Balance& b, const Place& p) {
    if (!d_->book || d_->book->periods.isEmpty())
        return;
    if (!d_->chart.contains(b.account)) {
        d_->guard({p.file, p.line, 2},
                  QStringLiteral("Saldo da conta %1, que não está no plano.").arg(b.account));
        return;
    }
    ExpectedBalance& e = d_->book->periods.last().accounts[b.account];
    if (e.place.line == 0)
        e.place = p;
    e.initial += b.initial;
    e.debits += b.debits;
    e.credits += b.credits;
    e.final += b.final;
}

void Loader::entry(const Entry& e, const Place& p) {
    d_->guarded([&] {
        d_->pastChart();
        d_->settleOpening();
        if (!d_->book || d_->book->skip)
            return;
        Book& b = *d_->book;
        ++b.report.entries;
        d_->entryPostings = 0;
        if (e.date < b.report.start || e.date > b.report.end) {
            d_->guard({p.file, p.line, 3},
                      QStringLiteral("Lançamento %1 de %2, fora do período do livro (%3 a %4).")
                          .arg(e.number, dayText(e.date), dayText(b.report.start),
                               dayText(b.report.end)));
            return;
        }
        if (!d_->writing())
            return;
        d_->pendingEntries.append(
            {d_->nextKey++, e.number, e.date, e.kind == QLatin1Char('E'), {}, false});
    });
}

void Loader::posting(const Posting& p, const Place& where) {
    d_->guarded([&] {
        if (!d_->book || d_->book->skip)
            return;
        Book& b = *d_->book;
        ++b.report.postings;
        if (!d_->chart.contains(p.account)) {
            d_->guard({where.file, where.line, 2},
                      QStringLiteral("Partida na conta %1, que não está no plano.").arg(p.account));
            return;
        }
        if (!p.costCentre.isEmpty() && !d_->centres.contains(p.costCentre)) {
            d_->guard({where.file, where.line, 3},
                      QStringLiteral("Partida no centro de custo %1, que não está no livro.")
                          .arg(p.costCentre));
            return;
        }
        if (!d_->writing())
            return;
        const int entryIndex = static_cast<int>(d_->pendingEntries.size()) - 1;
        if (entryIndex < 0 && d_->lastSent.key == 0)
            return; // no entry above it: the reader reports the hierarchy
        d_->pendingPostings.append(
            {entryIndex, ++d_->entryPostings, p.account, p.costCentre, p.document,
             composeHistory(b.histories.value(p.historyCode), p.history), p.value, p.side});
        if (d_->pendingPostings.size() >= kPostingsPerBatch)
            d_->sendBatch();
    });
}

void Loader::resultDate(const ResultDate& r, const Place&) {
    d_->guarded([&] {
        d_->pastChart();
        d_->settleOpening();
        if (d_->book)
            d_->book->results.append({r.date, {}, {}});
    });
}

void Loader::resultBalance(const ResultBalance& r, const Place& p) {
    if (!d_->book || d_->book->results.isEmpty())
        return;
    ExpectedResult& e = d_->book->results.last();
    e.accounts[r.account] += r.value;
    if (!e.places.contains(r.account))
        e.places.insert(r.account, p);
}

void Loader::signatory(const Signatory& s, const Place&) {
    d_->guarded([&] {
        d_->pastChart();
        d_->settleOpening();
        if (!d_->book || !d_->book->latest || !d_->writing() || s.code.trimmed() != "900")
            return;
        const bool stored =
            d_->single(QStringLiteral("SELECT COUNT(*) FROM CONTADOR WHERE CDEMPRESA = ?"),
                       {d_->options.company}, QStringLiteral("CONTADOR"))
                .toLongLong() > 0;
        const QString cpf = digitsOf(s.cpfCnpj);
        if (!stored) {
            d_->run(QStringLiteral("INSERT INTO CONTADOR (CDEMPRESA, NMCONTADOR, NRCPFRESPONS,"
                                   " NRCRCCONT2, DSENDINTERN, NRTELCONTATO)"
                                   " VALUES (?, ?, ?, ?, ?, ?)"),
                    {d_->options.company, s.name, textOrNull(cpf), textOrNull(s.crc),
                     textOrNull(s.email), textOrNull(s.phone)},
                    QStringLiteral("CONTADOR"));
            return;
        }
        // What the book leaves empty keeps what was there.
        d_->run(QStringLiteral("UPDATE CONTADOR SET NMCONTADOR = COALESCE(?, NMCONTADOR),"
                               " NRCPFRESPONS = COALESCE(?, NRCPFRESPONS),"
                               " NRCRCCONT2 = COALESCE(?, NRCRCCONT2),"
                               " DSENDINTERN = COALESCE(?, DSENDINTERN),"
                               " NRTELCONTATO = COALESCE(?, NRTELCONTATO) WHERE CDEMPRESA = ?"),
                {textOrNull(s.name), textOrNull(cpf), textOrNull(s.crc), textOrNull(s.email),
                 textOrNull(s.phone), d_->options.company},
                QStringLiteral("CONTADOR"));
    });
}

void Loader::finding(const Finding& f) {
    if (f.severity == Finding::Severity::Error)
        d_->refusedElsewhere = true;
}

void Loader::endOfFile(const Place&) {
    d_->guarded([&] { d_->closeBook(); });
}

LoadReport Loader::finish(bool refusedElsewhere) {
    Impl& d = *d_;
    LoadReport r;
    if (refusedElsewhere)
        d.refusedElsewhere = true;
    try {
        if (d.failure.isEmpty())
            d.guarded([&] { d.closeBook(); });
        if (d.writing()) {
            if (d.numbers) {
                const EntryNumbers::Outcome n = d.numbers->resolve();
                for (const QString& c : n.clashes)
                    d.error({}, QStringLiteral("O número de lançamento %1, que um livro já usa, "
                                               "seria também o de um número repetido em outro "
                                               "livro da empresa.")
                                    .arg(c));
                r.renumbered = n.renamed;
            }
            db::resumePostingAggregates(d.db);
            db::restoreForeignKeys(d.db, d.keysToRestore);
            d.updatePictures();
            for (Book& b : d.done) {
                if (!d.writing())
                    break;
                if (b.skip)
                    continue;
                const Reconciliation rec = reconcile(d.db, d.options.company, b.report.start,
                                                     b.report.end, b.periods, b.results);
                b.report.balancesChecked = rec.balances;
                b.report.resultsChecked = rec.results;
                for (const Finding& f : rec.differences)
                    d.error(f.place, f.text);
            }
        }
    } catch (const std::exception& e) {
        if (d.failure.isEmpty())
            d.failure = QString::fromUtf8(e.what());
    }
    for (const Book& b : d.done)
        r.books.append(b.report);
    r.findings = d.findings;
    if (!d.refusedElsewhere)
        r.findings += d.guards;
    r.notes = d.notes;
    if (!d.open) {
        r.outcome = LoadReport::Outcome::DatabaseError;
        r.databaseError = d.failure;
        return r;
    }
    if (!d.failure.isEmpty()) {
        d.db.rollback();
        d.open = false;
        r.outcome = LoadReport::Outcome::DatabaseError;
        r.databaseError = d.failure;
        return r;
    }
    if (d.errors > 0 || d.refusedElsewhere) {
        d.db.rollback();
        d.open = false;
        r.outcome = LoadReport::Outcome::Refused;
        return r;
    }
    if (d.options.simulate) {
        d.db.rollback();
        d.open = false;
        r.outcome = LoadReport::Outcome::Simulated;
        return r;
    }
    d.open = false;
    if (!d.db.commit()) {
        r.databaseError = d.db.lastError().text();
        d.db.rollback();
        r.outcome = LoadReport::Outcome::DatabaseError;
        return r;
    }
    r.outcome = LoadReport::Outcome::Imported;
    return r;
}

} // namespace importer
