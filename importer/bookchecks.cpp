#include "bookchecks.h"
#include "generator/windows1252.h"
#include "importer/composehistory.h"
#include <algorithm>
#include <iterator>
#include <vector>

namespace importer {

namespace {

// Each check counts its findings apart, so that one fault repeated over a
// million postings lists a few places and a count, not a million lines.
enum class Check {
    Form,
    Missing,
    Kind,
    Period,
    EntryBalance,
    MonthSums,
    MonthFinal,
    Continuity,
    Results,
    UnknownAccount,
    SyntheticUsed,
    UnknownCostCentre,
    UnknownHistory,
    Chart,
    Repeated,
    Idle,
    LongHistory,
    Charset,
    Count
};

const char* const kCheckNames[] = {
    "erros de forma",
    "registros que faltam",
    "tipo de livro",
    "datas fora do período",
    "lançamentos desequilibrados",
    "saldos mensais (I155) diferentes das partidas",
    "saldos finais (I155) que não conferem",
    "saldos iniciais diferentes do final do mês anterior",
    "saldos antes do encerramento (I355)",
    "contas fora do plano de contas",
    "contas sintéticas usadas",
    "centros de custo não cadastrados",
    "históricos padronizados não cadastrados",
    "plano de contas",
    "registros repetidos",
    "contas analíticas sem movimento",
    "históricos longos",
    "caracteres fora do Windows-1252",
};
static_assert(std::size(kCheckNames) == static_cast<size_t>(Check::Count));

// "1.234.567,89": the magnitude of an amount in cents, as an accountant reads it.
QString money(qint64 cents) {
    const quint64 v = cents < 0 ? 0 - static_cast<quint64>(cents) : static_cast<quint64>(cents);
    QString units = QString::number(v / 100);
    for (qsizetype i = units.size() - 3; i > 0; i -= 3)
        units.insert(i, QLatin1Char('.'));
    return units + QLatin1Char(',') + QStringLiteral("%1").arg(v % 100, 2, 10, QLatin1Char('0'));
}

// A signed balance with its side: "1.234,56 D".
QString balanceText(qint64 cents) {
    return money(cents) + (cents < 0 ? QStringLiteral(" C") : QStringLiteral(" D"));
}

int monthOf(const QDate& d) {
    return d.year() * 12 + d.month() - 1;
}

QString monthText(int month) {
    return QStringLiteral("%1/%2").arg(month % 12 + 1, 2, 10, QLatin1Char('0')).arg(month / 12);
}

QString dateText(const QDate& d) {
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

quint64 pairKey(int account, int costCentre) {
    return (static_cast<quint64>(account) << 32) | static_cast<quint32>(costCentre);
}

quint64 monthKey(int account, int costCentre, int month) {
    return (static_cast<quint64>(account) << 40) | (static_cast<quint64>(costCentre) << 20) |
           static_cast<quint64>(month & 0xFFFFF);
}

Place at(const Place& p, int field) {
    Place q = p;
    q.field = field;
    return q;
}

// The first character of a text that has no Windows-1252 byte, or 0.
char32_t unmappable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80 || gen::toWindows1252(c) != 0)
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            return QChar::surrogateToUcs4(c, text[i + 1].unicode());
        return c;
    }
    return 0;
}

QString kindRefusal(const QString& kind) {
    if (kind == QLatin1String("R"))
        return QStringLiteral("Livro de tipo R (Diário com Escrituração Resumida) não é importado: "
                              "ele e os Diários Auxiliares (tipo A) contariam os mesmos "
                              "lançamentos duas vezes. Importe o Diário completo (tipo G).");
    if (kind == QLatin1String("A"))
        return QStringLiteral("Livro de tipo A (Diário Auxiliar) não é importado: ele e o Diário "
                              "com Escrituração Resumida (tipo R) contariam os mesmos lançamentos "
                              "duas vezes. Importe o Diário completo (tipo G).");
    if (kind == QLatin1String("B"))
        return QStringLiteral("Livro de tipo B (Balancetes Diários e Balanços) não é importado: "
                              "não traz as partidas dos lançamentos.");
    if (kind == QLatin1String("Z"))
        return QStringLiteral("Livro de tipo Z (Razão Auxiliar) não é importado: é um livro "
                              "auxiliar, não a escrituração completa da empresa.");
    return QStringLiteral("Tipo de livro \"%1\" desconhecido: só o Diário completo (tipo G) é "
                          "importado.")
        .arg(kind);
}

class NoHandler final : public EcdHandler {};

} // namespace

struct BookChecks::State {
    struct Use { // where a code was first used, and how often
        Place first;
        qint64 count = 0;
    };
    struct AccountInfo {
        bool inChart = false;
        Account record;
        Place defined;
        bool moved = false; // a posting or a non-zero I155
        Use use;
        bool result() const { return inChart && record.nature == QLatin1String("04"); }
    };
    struct CostCentreInfo {
        bool defined = false;
        Use use;
    };
    struct Sums {                       // one account, cost centre and month
        qint64 debits = 0, credits = 0; // of the postings
        qint64 firstPostingLine = 0;
        bool hasBalance = false; // an I155 was read
        qint64 balanceDebits = 0, balanceCredits = 0;
        Place balancePlace;
    };
    struct Track { // one account and cost centre, along its I155
        int lastMonth = 0;
        qint64 startInitial = 0, lastFinal = 0;
    };
    struct Day {     // a result account's postings of one day, closing entries apart
        int day = 0; // Julian
        qint64 normal = 0, closing = 0;
    };
    struct OpenEntry {
        bool open = false;
        Entry entry;
        Place place;
        qint64 debits = 0, credits = 0;
        bool closing = false;
        int month = 0, day = 0;
    };

    EcdHandler* downstream = nullptr;
    NoHandler none;

    QList<Finding> findings;
    int errors = 0, warnings = 0;
    qint64 perCheck[static_cast<int>(Check::Count)] = {};
    qint64 hiddenErrors[static_cast<int>(Check::Count)] = {};
    QString file;

    Opening opening;
    BookKind kind;
    bool haveOpening = false, haveKind = false;
    Counts counts;

    // Codes are numbered as first seen, so that sums are keyed by integers.
    QHash<QString, int> accountIds;
    std::vector<QString> accountCodes;
    std::vector<AccountInfo> accounts; // by number
    std::vector<int> chartOrder;
    QHash<QString, int> costCentreIds; // "" is 0
    std::vector<QString> costCentreCodes;
    std::vector<CostCentreInfo> costCentres;
    QHash<QString, QString> histories;
    QHash<QString, Use> unknownHistories;

    OpenEntry current;
    int periodMonth = -1; // of the last I150
    QDate periodStart, periodEnd;

    QHash<quint64, Sums> sums;    // account, cost centre, month
    QHash<quint64, Track> tracks; // account, cost centre
    // Result accounts: the days with postings, in order. A vector per account
    // and cost centre, not a node per day: a million postings scattered over
    // a year would otherwise leave the heap in pieces.
    QHash<quint64, std::vector<Day>> days;
    QList<MonthBalance> monthBalances;
    QList<ResultValue> resultValues;
    QList<Place> resultPlaces;              // of each I355
    QList<qsizetype> resultOwners;          // its I350, in resultDates
    QList<QPair<QDate, Place>> resultDates; // of each I350

    void report(Check check, Finding::Severity severity, const Place& where, const QString& text) {
        const bool isError = severity == Finding::Severity::Error;
        ++(isError ? errors : warnings);
        if (++perCheck[static_cast<int>(check)] <= kShownPerCheck)
            findings.append({severity, where, text});
        else if (isError)
            ++hiddenErrors[static_cast<int>(check)];
    }
    void error(Check c, const Place& where, const QString& text) {
        report(c, Finding::Severity::Error, where, text);
    }
    void warning(Check c, const Place& where, const QString& text) {
        report(c, Finding::Severity::Warning, where, text);
    }

    // A code's first definition is counted; another one is reported instead.
    template <class Message>
    bool firstDefinition(bool definedBefore, int& count, const Place& where, int field,
                         Message repeated) {
        if (definedBefore) {
            error(Check::Repeated, at(where, field), repeated());
            return false;
        }
        ++count;
        return true;
    }

    int accountId(const QString& code) {
        auto it = accountIds.constFind(code);
        if (it != accountIds.cend())
            return *it;
        const int id = static_cast<int>(accountCodes.size());
        accountIds.insert(code, id);
        accountCodes.push_back(code);
        accounts.emplace_back();
        return id;
    }
    int costCentreId(const QString& code) {
        if (code.isEmpty())
            return 0;
        auto it = costCentreIds.constFind(code);
        if (it != costCentreIds.cend())
            return *it;
        if (costCentreCodes.empty()) {
            costCentreCodes.emplace_back();
            costCentres.emplace_back();
        }
        const int id = static_cast<int>(costCentreCodes.size());
        costCentreIds.insert(code, id);
        costCentreCodes.push_back(code);
        costCentres.emplace_back();
        return id;
    }
    static void use(Use& u, const Place& where) {
        if (u.count++ == 0)
            u.first = where;
    }
    // An account and a cost centre named by an I155, I250 or I355.
    std::pair<int, int> used(const QString& account, const QString& costCentre, const Place& where,
                             int accountField) {
        const int a = accountId(account);
        use(accounts[a].use, at(where, accountField));
        const int c = costCentreId(costCentre);
        if (c != 0)
            use(costCentres[c].use, at(where, accountField + 1));
        return {a, c};
    }

    QString keyText(int account, int costCentre) const {
        QString s = QStringLiteral("conta %1").arg(accountCodes[account]);
        if (costCentre != 0)
            s += QStringLiteral(", centro de custo %1").arg(costCentreCodes[costCentre]);
        return s;
    }

    void checkText(const QString& text, const Place& where, int field, const QString& what) {
        const char32_t c = unmappable(text);
        if (c == 0)
            return;
        warning(Check::Charset, at(where, field),
                QStringLiteral("%1 \"%2\" tem caracteres sem equivalente em Windows-1252 (U+%3 "
                               "\"%4\"): no arquivo do MANAD eles saem como \"?\".")
                    .arg(what, text, QString::number(c, 16).toUpper().rightJustified(4, u'0'),
                         QString::fromUcs4(&c, 1)));
    }

    void closeEntry() {
        if (!current.open)
            return;
        current.open = false;
        const Entry& e = current.entry;
        if (current.debits != e.total || current.credits != e.total)
            error(Check::EntryBalance, at(current.place, 4),
                  QStringLiteral("Lançamento %1 de %2 desequilibrado: as partidas a débito somam "
                                 "%3 e as a crédito %4, mas o valor do lançamento é %5.")
                      .arg(e.number, dateText(e.date), money(current.debits),
                           money(current.credits), money(e.total)));
    }

    void addDay(quint64 key, qint64 value) {
        std::vector<Day>& list = days[key];
        const int day = current.day;
        auto it = list.end();
        if (list.empty() || list.back().day < day) {
            if (list.empty())
                list.reserve(32);
            list.push_back({day, 0, 0});
            it = list.end() - 1;
        } else if (list.back().day == day) {
            it = list.end() - 1;
        } else { // entries out of date order
            it = std::lower_bound(list.begin(), list.end(), day,
                                  [](const Day& d, int v) { return d.day < v; });
            if (it->day != day)
                it = list.insert(it, {day, 0, 0});
        }
        (current.closing ? it->closing : it->normal) += value;
    }

    bool inBook(const QDate& d) const {
        return !haveOpening || !opening.start.isValid() || !opening.end.isValid() ||
               (d >= opening.start && d <= opening.end);
    }

    // What each record says, checked as it arrives.
#define IMPORTER_ECD_CHECK(method, Type) void check(const Type&, const Place&);
    IMPORTER_ECD_RECORDS(IMPORTER_ECD_CHECK)
#undef IMPORTER_ECD_CHECK

    void endChart();
    void endUses();
    void endBalances();
    void endResults();
    void endIdle();
    void summarise();
};

BookChecks::BookChecks() : d_(std::make_unique<State>()) {
    d_->downstream = &d_->none;
}

BookChecks::BookChecks(EcdHandler& downstream) : d_(std::make_unique<State>()) {
    d_->downstream = &downstream;
}

BookChecks::~BookChecks() = default;

// Every record is checked, then passed on.
#define IMPORTER_CHECK_THEN_PASS(method, Type)                                                     \
    void BookChecks::method(const Type& r, const Place& p) {                                       \
        d_->check(r, p);                                                                           \
        d_->downstream->method(r, p);                                                              \
    }
IMPORTER_ECD_RECORDS(IMPORTER_CHECK_THEN_PASS)
#undef IMPORTER_CHECK_THEN_PASS

void BookChecks::State::check(const Opening& o, const Place& p) {
    file = p.file;
    if (haveOpening)
        error(Check::Repeated, p, QStringLiteral("Mais de um registro 0000 no arquivo."));
    haveOpening = true;
    opening = o;
    if (o.tipEcd == 2)
        error(Check::Kind, at(p, 17),
              QStringLiteral("Escrituração de sociedade em conta de participação (0000 TIP_ECD "
                             "= 2) não é importada: é o livro da SCP, não o da empresa."));
    if (o.identMf == QLatin1String("S"))
        error(Check::Kind, at(p, 19),
              QStringLiteral("Escrituração em moeda funcional (0000 IDENT_MF = S) ainda não é "
                             "importada."));
    checkText(o.name, p, 5, QStringLiteral("O nome empresarial"));
}

void BookChecks::State::check(const BookKind& k, const Place& p) {
    haveKind = true;
    kind = k;
    if (k.kind != QLatin1String("G"))
        error(Check::Kind, at(p, 2), kindRefusal(k.kind));
}

void BookChecks::State::check(const OpeningTerm&, const Place&) {}

void BookChecks::State::check(const Account& a, const Place& p) {
    const int id = accountId(a.code);
    State::AccountInfo& info = accounts[id];
    if (firstDefinition(info.inChart, counts.accounts, p, 6, [&] {
            return QStringLiteral("A conta %1 aparece mais de uma vez no plano de contas (I050); "
                                  "a primeira está na linha %2.")
                .arg(a.code)
                .arg(info.defined.line);
        })) {
        info.inChart = true;
        info.record = a;
        info.defined = p;
        chartOrder.push_back(id);
    }
    checkText(a.code, p, 6, QStringLiteral("O código de conta"));
    checkText(a.name, p, 8, QStringLiteral("O nome da conta"));
}

void BookChecks::State::check(const History& h, const Place& p) {
    if (firstDefinition(histories.contains(h.code), counts.histories, p, 2, [&] {
            return QStringLiteral("O histórico padronizado %1 aparece mais de uma vez (I075).")
                .arg(h.code);
        }))
        histories.insert(h.code, h.text);
    checkText(h.text, p, 3, QStringLiteral("O histórico padronizado"));
}

void BookChecks::State::check(const CostCentre& c, const Place& p) {
    const int id = costCentreId(c.code);
    if (firstDefinition(id == 0 || costCentres[id].defined, counts.costCentres, p, 3, [&] {
            return id == 0 ? QStringLiteral("Centro de custo sem código (I100).")
                           : QStringLiteral("O centro de custo %1 aparece mais de uma vez (I100).")
                                 .arg(c.code);
        }))
        costCentres[id].defined = true;
    checkText(c.code, p, 3, QStringLiteral("O código do centro de custo"));
    checkText(c.name, p, 4, QStringLiteral("O nome do centro de custo"));
}

void BookChecks::State::check(const BalancePeriod& b, const Place& p) {
    closeEntry();
    ++counts.months;
    periodStart = b.start;
    periodEnd = b.end;
    periodMonth = monthOf(b.start);
    if (monthOf(b.end) != periodMonth || b.end < b.start)
        error(Check::Period, at(p, 3),
              QStringLiteral("O período de saldos de %1 a %2 (I150) não é um mês só.")
                  .arg(dateText(b.start), dateText(b.end)));
    else if (!inBook(b.start) || !inBook(b.end))
        error(Check::Period, at(p, 2),
              QStringLiteral("O período de saldos de %1 a %2 (I150) sai do período do livro.")
                  .arg(dateText(b.start), dateText(b.end)));
}

void BookChecks::State::check(const Balance& b, const Place& p) {
    const auto [a, c] = used(b.account, b.costCentre, p, 2);
    if (b.initial != 0 || b.debits != 0 || b.credits != 0 || b.final != 0)
        accounts[a].moved = true;
    if (b.initial + b.debits - b.credits != b.final)
        error(Check::MonthFinal, at(p, 8),
              QStringLiteral("Saldo da %1 em %2 não confere: inicial %3 + débitos %4 − créditos "
                             "%5 dá %6, mas o saldo final informado é %7.")
                  .arg(keyText(a, c), monthText(periodMonth), balanceText(b.initial),
                       money(b.debits), money(b.credits),
                       balanceText(b.initial + b.debits - b.credits), balanceText(b.final)));
    if (periodMonth >= 0) {
        Sums& month = sums[monthKey(a, c, periodMonth)];
        if (month.hasBalance) {
            error(Check::Repeated, at(p, 2),
                  QStringLiteral("Saldo da %1 em %2 repetido; o primeiro está na linha %3.")
                      .arg(keyText(a, c), monthText(periodMonth))
                      .arg(month.balancePlace.line));
        } else {
            month.hasBalance = true;
            month.balanceDebits = b.debits;
            month.balanceCredits = b.credits;
            month.balancePlace = p;
            auto t = tracks.find(pairKey(a, c));
            if (t == tracks.end()) {
                tracks.insert(pairKey(a, c), {periodMonth, b.initial, b.final});
            } else if (periodMonth > t->lastMonth) {
                // Months without an I155 between carry the balance unchanged.
                if (b.initial != t->lastFinal)
                    error(Check::Continuity, at(p, 4),
                          QStringLiteral("Saldo inicial da %1 em %2 (%3) difere do saldo final "
                                         "de %4 (%5).")
                              .arg(keyText(a, c), monthText(periodMonth), balanceText(b.initial),
                                   monthText(t->lastMonth), balanceText(t->lastFinal)));
                t->lastMonth = periodMonth;
                t->lastFinal = b.final;
            }
            monthBalances.append({periodStart, periodEnd, b.account, b.costCentre, b.initial,
                                  b.debits, b.credits, b.final});
        }
    }
}

void BookChecks::State::check(const Entry& e, const Place& p) {
    closeEntry();
    ++counts.entries;
    current.open = true;
    current.entry = e;
    current.place = p;
    current.debits = current.credits = 0;
    current.closing = e.kind == QLatin1Char('E');
    current.month = monthOf(e.date);
    current.day = static_cast<int>(e.date.toJulianDay());
    if (!inBook(e.date))
        error(Check::Period, at(p, 3),
              QStringLiteral("Lançamento %1 com data %2, fora do período do livro (%3 a %4).")
                  .arg(e.number, dateText(e.date), dateText(opening.start), dateText(opening.end)));
    checkText(e.number, p, 2, QStringLiteral("O número do lançamento"));
}

void BookChecks::State::check(const Posting& q, const Place& p) {
    ++counts.postings;
    if (current.open) {
        const bool debit = q.side == QLatin1Char('D');
        (debit ? current.debits : current.credits) += q.value;
        const auto [a, c] = used(q.account, q.costCentre, p, 2);
        State::AccountInfo& info = accounts[a];
        info.moved = true;
        Sums& month = sums[monthKey(a, c, current.month)];
        (debit ? month.debits : month.credits) += q.value;
        if (month.firstPostingLine == 0)
            month.firstPostingLine = p.line;
        if (info.result())
            addDay(pairKey(a, c), debit ? q.value : -q.value);
    }
    QString standard;
    if (!q.historyCode.isEmpty()) {
        auto h = histories.constFind(q.historyCode);
        if (h != histories.cend())
            standard = *h;
        else
            State::use(unknownHistories[q.historyCode], at(p, 7));
    }
    const qsizetype length = composedHistoryLength(standard, q.history);
    if (length > kHistoryLengthWarned)
        warning(Check::LongHistory, at(p, 8),
                QStringLiteral("Histórico com %1 caracteres no lançamento %2 (mais de %3).")
                    .arg(length)
                    .arg(current.entry.number)
                    .arg(kHistoryLengthWarned));
    checkText(q.document, p, 6, QStringLiteral("O documento"));
    checkText(q.history, p, 8, QStringLiteral("O histórico"));
}

void BookChecks::State::check(const ResultDate& r, const Place& p) {
    closeEntry();
    resultDates.append({r.date, p});
    if (!inBook(r.date))
        error(Check::Period, at(p, 2),
              QStringLiteral("Data de apuração do resultado %1 (I350) fora do período do livro.")
                  .arg(dateText(r.date)));
}

void BookChecks::State::check(const ResultBalance& r, const Place& p) {
    used(r.account, r.costCentre, p, 2);
    if (!resultDates.isEmpty()) {
        resultValues.append({resultDates.constLast().first, r.account, r.costCentre, r.value});
        resultPlaces.append(p);
        resultOwners.append(resultDates.size() - 1);
    }
}

void BookChecks::State::check(const Signatory& g, const Place& p) {
    closeEntry();
    checkText(g.name, p, 2, QStringLiteral("O nome do signatário"));
}

void BookChecks::finding(const Finding& f) {
    d_->report(Check::Form, f.severity, f.place, f.text);
    d_->downstream->finding(f);
}

void BookChecks::endOfFile(const Place& p) {
    State& s = *d_;
    if (s.file.isEmpty())
        s.file = p.file;
    s.closeEntry();
    if (!s.haveOpening)
        s.error(Check::Missing, p, QStringLiteral("O arquivo não tem o registro 0000."));
    if (!s.haveKind)
        s.error(Check::Missing, p,
                QStringLiteral("O arquivo não tem o registro I010 (tipo de livro)."));
    s.endChart();
    s.endUses();
    s.endBalances();
    s.endResults();
    s.endIdle();
    s.summarise();
    s.downstream->endOfFile(p);
}

// Every superior exists, is synthetic and sits one level up.
void BookChecks::State::endChart() {
    for (int id : chartOrder) {
        const Account& a = accounts[id].record;
        const Place& p = accounts[id].defined;
        if (a.level <= 1) {
            if (!a.superior.isEmpty())
                error(Check::Chart, at(p, 7),
                      QStringLiteral("A conta %1 é de nível %2 e não pode ter conta superior (%3).")
                          .arg(a.code)
                          .arg(a.level)
                          .arg(a.superior));
            continue;
        }
        if (a.superior.isEmpty()) {
            error(Check::Chart, at(p, 7),
                  QStringLiteral("A conta %1, de nível %2, não informa a conta superior.")
                      .arg(a.code)
                      .arg(a.level));
            continue;
        }
        auto sup = accountIds.constFind(a.superior);
        if (sup == accountIds.cend() || !accounts[*sup].inChart) {
            error(Check::Chart, at(p, 7),
                  QStringLiteral("A conta superior %1 da conta %2 não está no plano de contas.")
                      .arg(a.superior, a.code));
            continue;
        }
        const Account& s = accounts[*sup].record;
        if (s.type != QLatin1Char('S'))
            error(Check::Chart, at(p, 7),
                  QStringLiteral("A conta superior %1 da conta %2 é analítica; deveria ser "
                                 "sintética.")
                      .arg(a.superior, a.code));
        else if (s.level != a.level - 1)
            error(Check::Chart, at(p, 7),
                  QStringLiteral("A conta superior %1 (nível %2) da conta %3 (nível %4) deveria "
                                 "estar um nível acima.")
                      .arg(a.superior)
                      .arg(s.level)
                      .arg(a.code)
                      .arg(a.level));
    }
}

// Accounts, cost centres and standard histories used must be registered.
void BookChecks::State::endUses() {
    auto times = [](qint64 n) {
        return n == 1 ? QString() : QStringLiteral(" (%1 ocorrências)").arg(n);
    };
    for (size_t id = 0; id < accounts.size(); ++id) {
        const AccountInfo& a = accounts[id];
        if (a.use.count == 0)
            continue;
        if (!a.inChart)
            error(Check::UnknownAccount, a.use.first,
                  QStringLiteral("A conta %1 não está no plano de contas (I050) do livro%2.")
                      .arg(accountCodes[id], times(a.use.count)));
        else if (a.record.type != QLatin1Char('A'))
            error(Check::SyntheticUsed, a.use.first,
                  QStringLiteral("A conta %1 é sintética e não pode ter saldos nem partidas%2.")
                      .arg(accountCodes[id], times(a.use.count)));
    }
    for (size_t id = 1; id < costCentres.size(); ++id) {
        const CostCentreInfo& c = costCentres[id];
        if (c.use.count > 0 && !c.defined)
            error(Check::UnknownCostCentre, c.use.first,
                  QStringLiteral("O centro de custo %1 não está cadastrado (I100)%2.")
                      .arg(costCentreCodes[id], times(c.use.count)));
    }
    QList<QString> codes = unknownHistories.keys();
    std::sort(codes.begin(), codes.end());
    for (const QString& code : codes) {
        const Use& u = unknownHistories[code];
        error(Check::UnknownHistory, u.first,
              QStringLiteral("O histórico padronizado %1 não está cadastrado (I075)%2.")
                  .arg(code, times(u.count)));
    }
}

// Each I155 against the postings of its account, cost centre and month.
void BookChecks::State::endBalances() {
    struct Fault {
        qint64 line;
        quint64 key;
    };
    std::vector<Fault> faults;
    for (auto it = sums.cbegin(); it != sums.cend(); ++it) {
        const Sums& s = *it;
        if (s.hasBalance ? (s.debits != s.balanceDebits || s.credits != s.balanceCredits)
                         : (s.debits != 0 || s.credits != 0))
            faults.push_back({s.hasBalance ? s.balancePlace.line : s.firstPostingLine, it.key()});
    }
    std::sort(faults.begin(), faults.end(),
              [](const Fault& x, const Fault& y) { return x.line < y.line; });
    for (const Fault& f : faults) {
        const Sums& s = sums[f.key];
        const int a = static_cast<int>(f.key >> 40);
        const int c = static_cast<int>((f.key >> 20) & 0xFFFFF);
        const int month = static_cast<int>(f.key & 0xFFFFF);
        if (!s.hasBalance) {
            error(Check::MonthSums, Place{file, s.firstPostingLine, 2},
                  QStringLiteral("Há partidas da %1 em %2 (débitos %3, créditos %4), mas nenhum "
                                 "saldo (I155) dela nesse mês.")
                      .arg(keyText(a, c), monthText(month), money(s.debits), money(s.credits)));
            continue;
        }
        if (s.debits != s.balanceDebits)
            error(
                Check::MonthSums, at(s.balancePlace, 6),
                QStringLiteral("Débitos da %1 em %2: o I155 informa %3, mas as partidas somam "
                               "%4.")
                    .arg(keyText(a, c), monthText(month), money(s.balanceDebits), money(s.debits)));
        if (s.credits != s.balanceCredits)
            error(Check::MonthSums, at(s.balancePlace, 7),
                  QStringLiteral("Créditos da %1 em %2: o I155 informa %3, mas as partidas somam "
                                 "%4.")
                      .arg(keyText(a, c), monthText(month), money(s.balanceCredits),
                           money(s.credits)));
    }
}

// Each I355 against the balance before closing at its I350 date: the balance
// at the book's start (the first I155's initial: a book that starts mid-year
// brings the result so far), then every posting before that day, closing
// entries included (an earlier closing in the same book zeroed the accounts),
// then the day's postings except its closing entries.
void BookChecks::State::endResults() {
    if (resultDates.isEmpty())
        return;
    // The cost centres each result account has a balance or postings in.
    QHash<int, QList<int>> keysOf;
    auto note = [&](quint64 k) {
        const int a = static_cast<int>(k >> 32);
        if (accounts[a].result() && !keysOf[a].contains(static_cast<int>(k & 0xFFFFFFFF)))
            keysOf[a].append(static_cast<int>(k & 0xFFFFFFFF));
    };
    for (auto it = tracks.cbegin(); it != tracks.cend(); ++it)
        note(it.key());
    for (auto it = days.cbegin(); it != days.cend(); ++it)
        note(it.key());

    auto balanceAt = [&](int a, int c, int day) {
        const quint64 k = pairKey(a, c);
        qint64 v = tracks.value(k).startInitial;
        auto d = days.constFind(k);
        if (d == days.cend())
            return v;
        for (const Day& sum : *d) {
            if (sum.day > day)
                break;
            v += sum.normal + (sum.day < day ? sum.closing : 0);
        }
        return v;
    };

    for (qsizetype r = 0; r < resultDates.size(); ++r) {
        const QDate date = resultDates[r].first;
        const Place& datePlace = resultDates[r].second;
        const int day = static_cast<int>(date.toJulianDay());
        // The I355 of this I350, per account: cost centre -> index.
        QHash<int, QHash<int, qsizetype>> listed;
        for (qsizetype i = 0; i < resultValues.size(); ++i) {
            const ResultValue& v = resultValues[i];
            if (resultOwners[i] != r)
                continue;
            const int a = accountIds.value(v.account);
            const int c = v.costCentre.isEmpty() ? 0 : costCentreIds.value(v.costCentre);
            if (!accounts[a].inChart)
                continue; // reported with the unknown accounts
            if (!accounts[a].result()) {
                error(Check::Results, at(resultPlaces[i], 2),
                      QStringLiteral("A conta %1 do saldo antes do encerramento (I355) não é "
                                     "conta de resultado (natureza 04).")
                          .arg(v.account));
                continue;
            }
            QHash<int, qsizetype>& byCc = listed[a];
            if (byCc.contains(c)) {
                error(Check::Repeated, at(resultPlaces[i], 2),
                      QStringLiteral("Saldo antes do encerramento da %1 em %2 repetido (I355).")
                          .arg(keyText(a, c), dateText(date)));
                continue;
            }
            byCc.insert(c, i);
        }

        QList<int> resultAccounts = keysOf.keys();
        for (auto it = listed.cbegin(); it != listed.cend(); ++it)
            if (!keysOf.contains(it.key()))
                resultAccounts.append(it.key());
        std::sort(resultAccounts.begin(), resultAccounts.end());
        for (int a : resultAccounts) {
            const QHash<int, qsizetype> byCc = listed.value(a);
            const QList<int> kept = keysOf.value(a);
            const bool byAccount =
                byCc.size() == 1 && byCc.contains(0) &&
                std::any_of(kept.cbegin(), kept.cend(), [](int c) { return c != 0; });
            if (byAccount) {
                // The I355 gives the account whole though its postings carry
                // cost centres: compare the account's sum.
                qint64 expected = 0;
                for (int c : kept)
                    expected += balanceAt(a, c, day);
                const qsizetype i = byCc.value(0);
                if (resultValues[i].value != expected)
                    error(Check::Results, at(resultPlaces[i], 4),
                          QStringLiteral("Saldo antes do encerramento da %1 em %2: o I355 "
                                         "informa %3, mas os saldos e partidas do livro dão %4.")
                              .arg(keyText(a, 0), dateText(date),
                                   balanceText(resultValues[i].value), balanceText(expected)));
                continue;
            }
            QList<int> ccs = kept;
            for (auto it = byCc.cbegin(); it != byCc.cend(); ++it)
                if (!ccs.contains(it.key()))
                    ccs.append(it.key());
            std::sort(ccs.begin(), ccs.end());
            for (int c : ccs) {
                const qint64 expected = balanceAt(a, c, day);
                auto i = byCc.constFind(c);
                if (i == byCc.cend()) {
                    if (expected != 0)
                        error(Check::Results, datePlace,
                              QStringLiteral("Falta o saldo antes do encerramento (I355) da %1 "
                                             "em %2: os saldos e partidas do livro dão %3.")
                                  .arg(keyText(a, c), dateText(date), balanceText(expected)));
                } else if (resultValues[*i].value != expected) {
                    error(Check::Results, at(resultPlaces[*i], 4),
                          QStringLiteral("Saldo antes do encerramento da %1 em %2: o I355 "
                                         "informa %3, mas os saldos e partidas do livro dão %4.")
                              .arg(keyText(a, c), dateText(date),
                                   balanceText(resultValues[*i].value), balanceText(expected)));
                }
            }
        }
    }
}

// Analytic accounts that the book lists but never moves.
void BookChecks::State::endIdle() {
    for (int id : chartOrder) {
        const AccountInfo& a = accounts[id];
        if (a.record.type == QLatin1Char('A') && !a.moved)
            warning(Check::Idle, at(a.defined, 6),
                    QStringLiteral("A conta analítica %1 não tem saldo nem movimento no livro.")
                        .arg(a.record.code));
    }
}

void BookChecks::State::summarise() {
    for (int i = 0; i < static_cast<int>(Check::Count); ++i) {
        const qint64 more = perCheck[i] - kShownPerCheck;
        if (more <= 0)
            continue;
        findings.append(
            {hiddenErrors[i] > 0 ? Finding::Severity::Error : Finding::Severity::Warning,
             Place{file, 0, 0},
             QStringLiteral("Mais %1 ocorrências não listadas: %2.")
                 .arg(more)
                 .arg(QString::fromUtf8(kCheckNames[i]))});
    }
}

const QList<Finding>& BookChecks::findings() const {
    return d_->findings;
}
int BookChecks::errorCount() const {
    return d_->errors;
}
int BookChecks::warningCount() const {
    return d_->warnings;
}
const Opening& BookChecks::openingRecord() const {
    return d_->opening;
}
const BookKind& BookChecks::bookKindRecord() const {
    return d_->kind;
}
const BookChecks::Counts& BookChecks::counts() const {
    return d_->counts;
}
const QList<BookChecks::MonthBalance>& BookChecks::monthBalances() const {
    return d_->monthBalances;
}
const QList<BookChecks::ResultValue>& BookChecks::resultValues() const {
    return d_->resultValues;
}

QHash<QString, qint64> BookChecks::initialBalances() const {
    QHash<QString, qint64> out;
    for (auto it = d_->tracks.cbegin(); it != d_->tracks.cend(); ++it)
        out[d_->accountCodes[static_cast<size_t>(it.key() >> 32)]] += it->startInitial;
    return out;
}

} // namespace importer
