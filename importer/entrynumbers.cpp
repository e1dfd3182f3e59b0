#include "importer/entrynumbers.h"
#include "db/dbgeral.h"
#include "importer/sqlbatch.h"
#include <QHash>
#include <QSet>
#include <QSqlError>

namespace importer {
namespace {

constexpr int kGroup = 100;

const QString kByNumber = QStringLiteral("SELECT NRLANCLIVRO, NRLANCCONT FROM LANCCONT"
                                         " WHERE CDEMPRESA = ? AND NRLANCLIVRO IN (%1)");
const QString kByShown = QStringLiteral("SELECT NRLANCEXT FROM LANCCONT"
                                        " WHERE CDEMPRESA = ? AND NRLANCEXT IN (%1)");

// Sets `column` of the rows keyed (CDEMPRESA, NRLANCCONT) from pairs of key
// and text, kGroup pairs a statement (the last group padded by repeating its
// first pair, which sets the same value twice).
void setByKey(QSqlDatabase& db, const QString& table, const QString& company,
              const QList<QPair<qint64, QVariant>>& pairs) {
    if (pairs.isEmpty())
        return;
    QStringList rows;
    for (int i = 0; i < kGroup; ++i)
        rows << QStringLiteral("(CAST(? AS BIGINT), CAST(? AS VARCHAR))");
    QSqlQuery q =
        prepareOrThrow(db,
                       QStringLiteral("UPDATE %1 SET NRLANCEXT = V.column2 FROM (VALUES %2) AS V"
                                      " WHERE %1.CDEMPRESA = ? AND %1.NRLANCCONT = V.column1")
                           .arg(table, rows.join(QStringLiteral(", "))),
                       table);
    for (qsizetype at = 0; at < pairs.size(); at += kGroup) {
        int b = 0;
        for (int i = 0; i < kGroup; ++i) {
            const auto& p = pairs[at + i < pairs.size() ? at + i : at];
            q.bindValue(b++, p.first);
            q.bindValue(b++, p.second);
        }
        q.bindValue(b, company);
        execOrThrow(q, table);
    }
}

} // namespace

EntryNumbers::EntryNumbers(QSqlDatabase& db, const QString& company)
    : db_(db), company_(company), byNumber_(std::make_unique<InList>(db, kByNumber, kGroup)),
      byShown_(std::make_unique<InList>(db, kByShown, kGroup)) {}

EntryNumbers::~EntryNumbers() = default;

namespace {

// PostgreSQL keeps the plan a statement had when the table was small (a
// whole read) unless each execution is planned: on for the look-ups alone,
// since planning the bulk inserts each time would double their cost.
class PlannedEachTime {
public:
    explicit PlannedEachTime(QSqlDatabase& db) : db_(db), on_(db::isPostgres(db)) {
        set(QStringLiteral("force_custom_plan"));
    }
    ~PlannedEachTime() {
        try {
            set(QStringLiteral("auto"));
        } catch (...) { // the transaction failed already; the error is known
        }
    }
    PlannedEachTime(const PlannedEachTime&) = delete;
    PlannedEachTime& operator=(const PlannedEachTime&) = delete;

private:
    void set(const QString& mode) {
        if (!on_)
            return;
        QSqlQuery q(db_);
        if (!q.exec(QStringLiteral("SET LOCAL plan_cache_mode = %1").arg(mode)))
            throw DatabaseError(q.lastError().text().toStdString());
    }
    QSqlDatabase& db_;
    bool on_;
};

} // namespace

QVariantList EntryNumbers::provisional(const QStringList& numbers, qint64 firstKeyOfBook,
                                       QList<int>& repeated) {
    const PlannedEachTime planned(db_);
    QSet<QString> taken;  // shown, or carried by another book's entry
    QSet<QString> ofBook; // carried by this book's entries already stored
    for (qsizetype at = 0; at < numbers.size(); at += kGroup) {
        QVariantList keys;
        for (qsizetype i = at; i < numbers.size() && i < at + kGroup; ++i)
            keys << numbers[i];
        QSqlQuery& a = byNumber_->run({company_}, keys);
        while (a.next()) {
            const QString n = a.value(0).toString();
            (a.value(1).toLongLong() >= firstKeyOfBook ? ofBook : taken).insert(n);
        }
        a.finish();
        QSqlQuery& b = byShown_->run({company_}, keys);
        while (b.next())
            taken.insert(b.value(0).toString());
        b.finish();
    }
    QVariantList shown;
    QSet<QString> inBatch;
    for (int i = 0; i < numbers.size(); ++i) {
        const QString& n = numbers[i];
        if (ofBook.contains(n) || inBatch.contains(n))
            repeated << i;
        inBatch.insert(n);
        if (taken.contains(n) || ofBook.contains(n)) {
            shown << QVariant(QMetaType(QMetaType::QString));
            pending_ = true;
        } else {
            shown << n;
        }
    }
    return shown;
}

EntryNumbers::Outcome EntryNumbers::resolve() {
    Outcome out;
    // Only the numbers that some book repeats, or whose shown form is not
    // the number itself, need a look.
    QSqlQuery q = prepareOrThrow(
        db_,
        QStringLiteral("SELECT L.NRLANCCONT, L.NRLANCLIVRO, L.NRLANCEXT FROM LANCCONT L"
                       " WHERE L.CDEMPRESA = ? AND L.NRLANCLIVRO IN (SELECT NRLANCLIVRO"
                       " FROM LANCCONT WHERE CDEMPRESA = ? AND NRLANCLIVRO IS NOT NULL"
                       " GROUP BY NRLANCLIVRO HAVING COUNT(*) > 1"
                       " OR MIN(CASE WHEN NRLANCEXT = NRLANCLIVRO THEN 1 ELSE 0 END) = 0)"
                       " ORDER BY L.NRLANCLIVRO, L.DTLANCCONT, L.NRLANCCONT"),
        QStringLiteral("LANCCONT"));
    q.bindValue(0, company_);
    q.bindValue(1, company_);
    execOrThrow(q, QStringLiteral("LANCCONT"));
    QList<QPair<qint64, QVariant>> changes;
    qint64 suffixed = 0;
    QString group;
    int rank = 0;
    while (q.next()) {
        const QString number = q.value(1).toString();
        rank = number == group ? rank + 1 : 1;
        group = number;
        const QString wanted =
            rank == 1 ? number : number + QLatin1Char('-') + QString::number(rank);
        const QVariant now = q.value(2);
        if (now.isNull() || now.toString() != wanted) {
            changes.append({q.value(0).toLongLong(), wanted});
            if (rank > 1)
                ++suffixed;
        }
    }
    q.finish();
    pending_ = false;
    if (changes.isEmpty())
        return out;

    // Free the changed entries' shown numbers first: one may take another's.
    QList<QPair<qint64, QVariant>> cleared;
    cleared.reserve(changes.size());
    for (const auto& c : changes)
        cleared.append({c.first, QVariant(QMetaType(QMetaType::QString))});
    setByKey(db_, QStringLiteral("LANCCONT"), company_, cleared);

    QSet<QString> wanted;
    QVariantList keys;
    for (const auto& c : changes) {
        const QString w = c.second.toString();
        if (wanted.contains(w))
            out.clashes << w;
        wanted.insert(w);
        keys << w;
    }
    const PlannedEachTime planned(db_);
    for (qsizetype at = 0; at < keys.size(); at += kGroup) {
        QSqlQuery& b = byShown_->run({company_}, keys.mid(at, kGroup));
        while (b.next())
            out.clashes << b.value(0).toString();
        b.finish();
    }
    if (!out.clashes.isEmpty()) {
        out.clashes.removeDuplicates();
        return out;
    }
    setByKey(db_, QStringLiteral("LANCCONT"), company_, changes);
    setByKey(db_, QStringLiteral("PARTLANC"), company_, changes);
    out.renamed = suffixed;
    return out;
}

} // namespace importer
