#pragma once
#include <QChar>
#include <QDate>
#include <QString>
#include <QtGlobal>

// The records of an ECD book that the import reads, as the streaming reader
// hands them over, already checked for form (field count, dates, amounts,
// D/C, hierarchy). Amounts are integer cents; a signed balance is debit
// positive. Texts are decoded to Unicode from the file's encoding.
namespace importer {

// Where something was read: file, 1-based line, 1-based field (0: the line).
struct Place {
    QString file;
    qint64 line = 0;
    int field = 0;
};

// A problem found in a book. Errors refuse the import; warnings are reported.
struct Finding {
    enum class Severity { Error, Warning };
    Severity severity = Severity::Error;
    Place place;
    QString text; // Portuguese, for the user
};

struct Opening { // 0000
    QDate start, end;
    QString name, cnpj, uf, ie, municipality, im;
    bool hasNire = false; // IND_NIRE = 1
    int finality = 0;     // IND_FIN_ESC: 0 original, 1 substitute
    int tipEcd = 0;       // TIP_ECD (0 when the version has no such field)
    QString identMf;      // IDENT_MF ("S": functional currency), empty when absent
};

struct BookKind {    // I010
    QString kind;    // IND_ESC: G, R, A, B, Z
    QString version; // COD_VER_LC, e.g. "9.00"
};

struct OpeningTerm { // I030
    QString order;   // NUM_ORD
    QString nire;
    QString cnpj;
};

struct Account {      // I050
    QDate changed;    // DT_ALT
    QString nature;   // COD_NAT: 01..05, 09
    QChar type;       // IND_CTA: S or A
    int level = 0;    // NIVEL
    QString code;     // COD_CTA, whole
    QString superior; // COD_CTA_SUP, empty at level 1
    QString name;     // CTA, whole
};

struct History { // I075
    QString code, text;
};

struct CostCentre { // I100
    QDate changed;
    QString code, name;
};

struct BalancePeriod { // I150
    QDate start, end;
};

struct Balance { // I155, belongs to the last BalancePeriod
    QString account, costCentre;
    qint64 initial = 0; // signed
    qint64 debits = 0, credits = 0;
    qint64 final = 0; // signed
};

struct Entry {      // I200
    QString number; // NUM_LCTO as written
    QDate date;
    qint64 total = 0;
    QChar kind; // IND_LCTO: N, E, X
    QDate extemporaneous;
};

struct Posting { // I250, belongs to the last Entry
    QString account, costCentre;
    qint64 value = 0; // never negative
    QChar side;       // D or C
    QString document, historyCode, history;
};

struct ResultDate { // I350
    QDate date;
};

struct ResultBalance { // I355, belongs to the last ResultDate
    QString account, costCentre;
    qint64 value = 0; // signed
};

struct Signatory { // J930
    QString name, cpfCnpj, qualification, code, crc, email, phone, ufCrc;
};

// Every record a handler receives, as (method, struct), in layout order:
// EcdHandler and the handlers that take them all declare their methods from
// this one list.
#define IMPORTER_ECD_RECORDS(X)                                                                    \
    X(opening, Opening)                                                                            \
    X(bookKind, BookKind)                                                                          \
    X(openingTerm, OpeningTerm)                                                                    \
    X(account, Account)                                                                            \
    X(history, History)                                                                            \
    X(costCentre, CostCentre)                                                                      \
    X(balancePeriod, BalancePeriod)                                                                \
    X(balance, Balance)                                                                            \
    X(entry, Entry)                                                                                \
    X(posting, Posting)                                                                            \
    X(resultDate, ResultDate)                                                                      \
    X(resultBalance, ResultBalance)                                                                \
    X(signatory, Signatory)

#define IMPORTER_ECD_IGNORE(method, Type)                                                          \
    virtual void method(const Type&, const Place&) {}
#define IMPORTER_ECD_OVERRIDE(method, Type) void method(const Type&, const Place&) override;

// Declares, in a handler's class, its own method for every record.
#define IMPORTER_ECD_HANDLES_EVERY_RECORD IMPORTER_ECD_RECORDS(IMPORTER_ECD_OVERRIDE)

// Receives a book's records in file order. Each call gets where the record
// was read. A handler may throw to stop the read.
class EcdHandler {
public:
    virtual ~EcdHandler() = default;
    // One method a record, as the list above names them; a record a handler
    // does not take is passed by.
    IMPORTER_ECD_RECORDS(IMPORTER_ECD_IGNORE)
    // A finding of form; the read goes on unless the line cannot be read at all.
    virtual void finding(const Finding&) {}
    // The whole file was read (after the 9900/9999 checks).
    virtual void endOfFile(const Place&) {}
};

} // namespace importer
