#pragma once
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

namespace importer {

class InList;

// The numbers the books give their entries (NRLANCLIVRO) and the numbers
// shown for them (NRLANCEXT), unique per company. A number that more than
// one book of the company uses is shown as it is for the earliest of its
// entries (by date, then order of import) and with "-2", "-3"... for the
// others, so that what is stored decides the shown numbers, whatever the
// order the books came in.
class EntryNumbers {
public:
    EntryNumbers(QSqlDatabase& db, const QString& company);
    ~EntryNumbers();

    // The shown numbers to insert a batch of entries with: each book number
    // itself when no stored entry shows or carries it, else null (settled
    // by resolve()). repeated gets the indexes of numbers that an entry
    // keyed from firstKeyOfBook on (the same book) already carries, or that
    // come twice in the batch.
    QVariantList provisional(const QStringList& numbers, qint64 firstKeyOfBook,
                             QList<int>& repeated);
    // Whether some entry was inserted without its number.
    bool pending() const { return pending_; }

    struct Outcome {
        qint64 renamed = 0;  // entries that got a "-n" form now
        QStringList clashes; // "-n" forms that another book's number already is
    };
    // Gives every imported entry of the company the shown number its place
    // calls for, on the entry and its postings. With clashes nothing is
    // settled and the caller refuses the import.
    Outcome resolve();

private:
    QSqlDatabase& db_;
    QString company_;
    std::unique_ptr<InList> byNumber_, byShown_;
    bool pending_ = false;
};

} // namespace importer
