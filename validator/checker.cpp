#include "validator/checker.h"
#include "generator/records.h"
#include "validator/rules.h"
#include <QFile>
#include <QHash>
#include <QSet>
#include <array>
#include <map>
#include <vector>

namespace validator {
namespace {

using rules::Problem;

// The order check compares ranks in the declared record order.
using records::TypeCount;
using enum records::Type;
constexpr int RecCount = TypeCount;

struct Layout {
    const char* name;
    int fields;        // record type included
    bool repeatable;   // several lines of the type
    bool freeTextLast; // last field is free text: a "|" in it adds fields
    QByteArray placeholder;
};

// The placeholder keeps the fixed texts and leaves every other field empty.
QByteArray placeholderOf(const records::Record& r) {
    if (r.placeholder == records::Placeholder::None)
        return {};
    QByteArray text(r.type.data(), static_cast<qsizetype>(r.type.size()));
    for (int i = 0; i < r.placeholderValues(); ++i) {
        const records::Field& f = r.fields[static_cast<size_t>(i)];
        text += '|';
        if (f.kind == records::Field::Kind::Fixed)
            text += f.text;
    }
    return text;
}

const std::array<Layout, RecCount> layouts = [] {
    std::array<Layout, RecCount> all;
    for (int r = 0; r < RecCount; ++r) {
        const records::Record& d = records::kRecords[static_cast<size_t>(r)];
        all[static_cast<size_t>(r)] = {d.type.data(), d.fieldCount(), d.repeatable, d.freeTextLast,
                                       placeholderOf(d)};
    }
    return all;
}();

int recordOf(QByteArrayView type) {
    if (type.size() != 4)
        return -1;
    for (int r = 0; r < RecCount; ++r)
        if (type == QByteArrayView(layouts[r].name, 4))
            return r;
    return -1;
}

QByteArray recName(int r) {
    return QByteArray(layouts[r].name, 4);
}

char blockOf(int r) {
    return layouts[r].name[0];
}

struct Account {
    QByteArray code;
    QByteArray superior;
    qint64 line = 0;
    qint64 level = -1;
    char type = 0;   // 'S' or 'A' when valid
    char nature = 0; // '1'..'5', '9' when valid
};

struct Declared {
    qint64 value = -1;
    qint64 line = 0;
};

struct BalanceLine {
    qint64 line = 0;
    qint64 debits = 0;
    qint64 credits = 0;
};

struct Movement {
    qint64 debits = 0;
    qint64 credits = 0;
    qint64 firstLine = 0;
    bool overflow = false; // sums beyond 64 bits: not compared

    void add(qint64 debit, qint64 credit) {
        overflow = overflow || __builtin_add_overflow(debits, debit, &debits) ||
                   __builtin_add_overflow(credits, credit, &credits);
    }
};

qint64 accountMonth(int account, int month) {
    return (static_cast<qint64>(account) << 20) | static_cast<qint64>(month);
}

QByteArray view(QByteArrayView v) {
    return QByteArray::fromRawData(v.data(), v.size());
}

QString signedText(qint64 cents) {
    return rules::centsText(cents < 0 ? -cents : cents) +
           (cents < 0 ? QStringLiteral(" C") : QStringLiteral(" D"));
}

} // namespace

struct FileChecker::State {
    explicit State(Report& r) : report(r) {}

    Report& report;
    QByteArray pending;
    qint64 lineNo = 0;
    bool started = false;
    bool reportedAfterTrailer = false;

    // Current line.
    QByteArrayView text;
    QByteArray record;
    int rec = -1;
    std::vector<QByteArrayView> f; // f[0] is field 1, the record type

    int lastRank = -1;
    std::array<qint64, RecCount> counts{};
    std::array<qint64, RecCount> placeholders{};
    qint64 blockLines0 = 0, blockLinesI = 0, blockLines9 = 0;
    Declared decl0990, declI990, decl9990, decl9999;
    std::map<int, Declared> declared9900;

    QDate periodStart, periodEnd;

    std::vector<Account> accounts;
    QHash<QByteArray, int> accountIndex;
    QSet<QByteArray> costCentres;

    QHash<qint64, BalanceLine> balances;
    QHash<qint64, Movement> movements;
    QHash<qint64, Movement> entriesByNumber;
    QHash<QByteArray, Movement> entriesByText;

    void add(Severity s, int field, const QString& reason) {
        report.add(s, lineNo, record, field, reason);
    }
    void error(int field, const QString& reason) { add(Severity::Error, field, reason); }
    void warning(int field, const QString& reason) { add(Severity::Warning, field, reason); }
    void problem(int field, const std::optional<Problem>& p) {
        if (p)
            add(p->level == rules::Level::Error ? Severity::Error : Severity::Warning, field,
                p->reason);
    }
    QByteArrayView field(int k) const {
        return k - 1 < static_cast<int>(f.size()) ? f[static_cast<size_t>(k - 1)]
                                                  : QByteArrayView();
    }
    bool required(int k) {
        if (!field(k).isEmpty())
            return true;
        error(k, QStringLiteral("campo obrigatório vazio"));
        return false;
    }

    void line(QByteArrayView raw);
    void split();
    void order();
    void values();
    void finish();

    enum class Period { Free, Warn, Inside };
    QDate date(int k, bool requiredField, Period period);
    std::optional<qint64> amount(int k);
    void code(int k, std::initializer_list<const char*> allowed) {
        problem(k, rules::checkCode(field(k), allowed));
    }
    void count(int k, Declared& d) {
        const auto c = rules::parseCount(field(k));
        problem(k, c.problem);
        if (!c.problem)
            d = {c.value, lineNo};
    }
    int account(int k);
    void entry(QByteArrayView number, qint64 debit, qint64 credit);

    void rec0000();
    void rec0050();
    void rec0100();
    void recI050();
    void recI100();
    void recI150();
    void recI200();
    void recI250();
    void rec9900();

    void finishCounts();
    void finishChart();
    void finishMovements();
    void finishEntries();
};

FileChecker::FileChecker(Report& report) : s_(std::make_unique<State>(report)) {}
FileChecker::~FileChecker() = default;

qsizetype FileChecker::entryCount() const {
    return s_->entriesByNumber.size() + s_->entriesByText.size();
}
qsizetype FileChecker::accountMonthCount() const {
    return s_->balances.size() + s_->movements.size();
}

void FileChecker::feed(QByteArrayView bytes) {
    State& s = *s_;
    qsizetype from = 0;
    for (;;) {
        const qsizetype lf = bytes.indexOf('\n', from);
        if (lf < 0)
            break;
        if (s.pending.isEmpty()) {
            s.line(bytes.sliced(from, lf - from));
        } else {
            s.pending.append(bytes.sliced(from, lf - from));
            s.line(s.pending);
            s.pending.clear();
        }
        from = lf + 1;
    }
    if (from < bytes.size())
        s.pending.append(bytes.sliced(from));
}

void FileChecker::finish() {
    s_->finish();
}

void FileChecker::State::line(QByteArrayView raw) {
    ++lineNo;
    bool crMissing = false;
    if (raw.endsWith('\r'))
        raw.chop(1);
    else
        crMissing = true;
    if (!started) {
        started = true;
        if (raw.startsWith("\xEF\xBB\xBF")) {
            raw = raw.sliced(3);
            text = raw;
            split();
            error(0, QStringLiteral("o arquivo começa com marca de ordem de bytes (BOM)"));
        }
    }
    text = raw;
    split();
    if (crMissing)
        error(0, QStringLiteral("linha terminada só por LF; esperado CR LF"));
    if (const auto b = rules::checkBytes(text)) {
        const int k = static_cast<int>(text.first(b->offset).count('|')) + 1;
        error(k, b->reason);
    }
    if (counts[R9999] > 0 && !reportedAfterTrailer) {
        reportedAfterTrailer = true;
        error(0, QStringLiteral("conteúdo depois do registro 9999, que deve ser a última linha"));
    }
    if (rec < 0) {
        report.countLine(record);
        error(1, text.isEmpty() ? QStringLiteral("linha vazia")
                                : QStringLiteral("tipo de registro desconhecido: \"%1\"")
                                      .arg(rules::shown(field(1))));
        return;
    }
    report.countLine(record);
    order();
    ++counts[static_cast<size_t>(rec)];
    switch (blockOf(rec)) {
    case '0':
        ++blockLines0;
        break;
    case 'I':
        ++blockLinesI;
        break;
    default:
        ++blockLines9;
        break;
    }
    values();
}

void FileChecker::State::split() {
    f.clear();
    qsizetype from = 0;
    for (;;) {
        const qsizetype bar = text.indexOf('|', from);
        if (bar < 0) {
            f.push_back(text.sliced(from));
            break;
        }
        f.push_back(text.sliced(from, bar - from));
        from = bar + 1;
    }
    rec = recordOf(f[0]);
    // Unknown types share one key: the reason quotes the text, and a garbage
    // file cannot grow the per-type table.
    record = rec >= 0 ? recName(rec) : QByteArrayLiteral("?");
}

void FileChecker::State::order() {
    const Layout& l = layouts[static_cast<size_t>(rec)];
    if (counts[static_cast<size_t>(rec)] > 0 && !l.repeatable)
        error(0,
              QStringLiteral("registro %1 repetido; deve haver só um").arg(QLatin1String(l.name)));
    else if (rec < lastRank)
        error(0, QStringLiteral("registro fora de ordem: %1 depois de %2")
                     .arg(QLatin1String(l.name),
                          QLatin1String(layouts[static_cast<size_t>(lastRank)].name)));
    lastRank = qMax(lastRank, rec);
}

void FileChecker::State::values() {
    const Layout& l = layouts[static_cast<size_t>(rec)];
    if (!l.placeholder.isEmpty() && text == l.placeholder) {
        ++placeholders[static_cast<size_t>(rec)];
        warning(0, QStringLiteral("linha sem dados (%1 vazio)").arg(QLatin1String(l.name)));
        return;
    }
    const int n = static_cast<int>(f.size());
    if (n != l.fields) {
        const bool pipeInText = l.freeTextLast && n > l.fields;
        error(0, QStringLiteral("%1 campos; o registro %2 tem %3%4")
                     .arg(n)
                     .arg(QLatin1String(l.name))
                     .arg(l.fields)
                     .arg(pipeInText ? QStringLiteral(" (um \"|\" dentro do último campo?)")
                                     : QString()));
        // The fields before a free text stay in place; nothing else can be
        // read reliably.
        if (!pipeInText)
            return;
    }
    switch (rec) {
    case R0000:
        rec0000();
        break;
    case R0001:
    case RI001:
    case R9001:
        code(2, {"0", "1"});
        break;
    case R0050:
        rec0050();
        break;
    case R0100:
        rec0100();
        break;
    case R0990:
        count(2, decl0990);
        break;
    case RI005:
        required(2);
        break;
    case RI050:
        recI050();
        break;
    case RI100:
        recI100();
        break;
    case RI150:
        recI150();
        break;
    case RI200:
        recI200();
        break;
    case RI250:
        recI250();
        break;
    case RI990:
        count(2, declI990);
        break;
    case R9900:
        rec9900();
        break;
    case R9990:
        count(2, decl9990);
        break;
    case R9999:
        count(2, decl9999);
        break;
    default:
        break;
    }
}

QDate FileChecker::State::date(int k, bool requiredField, Period period) {
    const QByteArrayView v = field(k);
    if (v.isEmpty()) {
        if (requiredField)
            error(k, QStringLiteral("data obrigatória vazia"));
        return {};
    }
    const auto d = rules::parseDate(v);
    problem(k, d.problem);
    if (!d.date.isValid() || !periodStart.isValid() || period == Period::Free)
        return d.date;
    if (d.date < periodStart || d.date > periodEnd) {
        const QString reason = QStringLiteral("data %1 fora do período do arquivo (%2 a %3)")
                                   .arg(d.date.toString(QStringLiteral("dd/MM/yyyy")),
                                        periodStart.toString(QStringLiteral("dd/MM/yyyy")),
                                        periodEnd.toString(QStringLiteral("dd/MM/yyyy")));
        add(period == Period::Inside ? Severity::Error : Severity::Warning, k, reason);
    }
    return d.date;
}

std::optional<qint64> FileChecker::State::amount(int k) {
    const auto a = rules::parseAmount(field(k));
    problem(k, a.problem);
    if (a.problem)
        return std::nullopt;
    return a.cents;
}

int FileChecker::State::account(int k) {
    const QByteArrayView code = field(k);
    if (code.isEmpty()) {
        error(k, QStringLiteral("conta obrigatória vazia"));
        return -1;
    }
    const int i = accountIndex.value(view(code), -1);
    if (i < 0) {
        error(k, QStringLiteral("conta %1 não consta do plano de contas (I050)")
                     .arg(rules::shown(code)));
        return -1;
    }
    if (accounts[static_cast<size_t>(i)].type == 'S')
        error(k, QStringLiteral("conta %1 é sintética; esperada conta analítica")
                     .arg(rules::shown(code)));
    return i;
}

void FileChecker::State::rec0000() {
    if (field(2).isEmpty())
        warning(2, QStringLiteral("nome empresarial vazio"));
    if (field(3).isEmpty() && field(4).isEmpty())
        warning(3, QStringLiteral("contribuinte sem CNPJ nem CPF"));
    if (!field(3).isEmpty())
        problem(3, rules::checkCnpjOrCpf(field(3)));
    problem(4, rules::checkCpf(field(4)));
    static const QSet<QByteArray> states = {"AC", "AL", "AP", "AM", "BA", "CE", "DF", "ES", "GO",
                                            "MA", "MT", "MS", "MG", "PA", "PB", "PR", "PE", "PI",
                                            "RJ", "RN", "RS", "RO", "RR", "SC", "SP", "SE", "TO"};
    if (!field(7).isEmpty() && !states.contains(view(field(7))))
        warning(7, QStringLiteral("UF desconhecida: \"%1\"").arg(rules::shown(field(7))));
    code(12, {"0", "1", "2"});
    const QDate start = date(13, true, Period::Free);
    const QDate end = date(14, true, Period::Free);
    if (start.isValid() && end.isValid()) {
        if (start > end) {
            error(14, QStringLiteral("data final anterior à data inicial"));
        } else {
            // Balances and postings are taken for whole months.
            periodStart = QDate(start.year(), start.month(), 1);
            periodEnd = QDate(end.year(), end.month(), end.daysInMonth());
        }
    }
    code(15, {"003"});
    code(16, {"61", "62", "90"});
    code(17, {"1"});
}

void FileChecker::State::rec0050() {
    problem(3, rules::checkCnpj(field(3)));
    problem(4, rules::checkCpf(field(4)));
    const QDate from = date(6, false, Period::Free);
    const QDate to = date(7, false, Period::Free);
    if (from.isValid() && to.isValid() && from > to)
        warning(7, QStringLiteral("fim da prestação do serviço anterior ao início"));
}

void FileChecker::State::rec0100() {
    const QDate from = date(4, false, Period::Free);
    const QDate to = date(5, false, Period::Free);
    if (from.isValid() && to.isValid() && from > to)
        warning(5, QStringLiteral("fim da prestação do serviço anterior ao início"));
    problem(6, rules::checkCnpj(field(6)));
    problem(7, rules::checkCpf(field(7)));
}

void FileChecker::State::recI050() {
    date(2, true, Period::Inside);
    Account a;
    a.line = lineNo;
    code(3, {"1", "2", "3", "4", "5", "9"});
    if (rules::checkCode(field(3), {"1", "2", "3", "4", "5", "9"}) == std::nullopt)
        a.nature = field(3)[0];
    code(4, {"S", "A"});
    if (field(4) == QByteArrayView("S") || field(4) == QByteArrayView("A"))
        a.type = field(4)[0];
    if (required(5)) {
        const auto level = rules::parseCount(field(5));
        if (level.problem || level.value < 1)
            error(5, QStringLiteral("nível deve ser um número inteiro a partir de 1: \"%1\"")
                         .arg(rules::shown(field(5))));
        else
            a.level = level.value;
    }
    if (field(8).isEmpty())
        warning(8, QStringLiteral("nome da conta vazio"));
    if (!required(6))
        return;
    a.code = field(6).toByteArray();
    a.superior = field(7).toByteArray();
    const int existing = accountIndex.value(a.code, -1);
    if (existing >= 0) {
        error(6, QStringLiteral("conta %1 repetida; já declarada na linha %2")
                     .arg(rules::shown(field(6)))
                     .arg(accounts[static_cast<size_t>(existing)].line));
        return;
    }
    accountIndex.insert(a.code, static_cast<int>(accounts.size()));
    accounts.push_back(std::move(a));
}

void FileChecker::State::recI100() {
    date(2, false, Period::Free); // the cost centre's own update date
    if (field(4).isEmpty())
        warning(4, QStringLiteral("nome do centro de custo vazio"));
    if (!required(3))
        return;
    if (costCentres.contains(view(field(3))))
        error(3, QStringLiteral("centro de custo %1 repetido").arg(rules::shown(field(3))));
    else
        costCentres.insert(field(3).toByteArray());
}

void FileChecker::State::recI150() {
    const int acc = account(2);
    int month = -1;
    if (required(3)) {
        const auto m = rules::parseMonth(field(3));
        problem(3, m.problem);
        month = m.key;
        if (month >= 0 && periodStart.isValid() &&
            (month < rules::monthKey(periodStart) || month > rules::monthKey(periodEnd)))
            error(3,
                  QStringLiteral("mês %1 fora do período do arquivo").arg(rules::monthText(month)));
    }
    const auto initial = amount(4);
    code(5, {"D", "C"});
    const auto debits = amount(6);
    const auto credits = amount(7);
    std::optional<qint64> final;
    if (field(8).isEmpty()) {
        warning(8, QStringLiteral("saldo final vazio"));
    } else {
        final = amount(8);
        code(9, {"D", "C"});
    }
    const bool sidesOk = (field(5) == QByteArrayView("D") || field(5) == QByteArrayView("C")) &&
                         (field(9) == QByteArrayView("D") || field(9) == QByteArrayView("C"));
    if (initial && debits && credits && final && sidesOk) {
        const qint64 start = field(5) == QByteArrayView("C") ? -*initial : *initial;
        const qint64 end = field(9) == QByteArrayView("C") ? -*final : *final;
        if (start + *debits - *credits != end)
            error(8,
                  QStringLiteral(
                      "saldo inicial %1 + débitos %2 - créditos %3 = %4, mas o saldo final é %5")
                      .arg(signedText(start), rules::centsText(*debits), rules::centsText(*credits),
                           signedText(start + *debits - *credits), signedText(end)));
    }
    if (acc < 0 || month < 0 || !debits || !credits)
        return;
    const qint64 key = accountMonth(acc, month);
    const auto it = balances.constFind(key);
    if (it != balances.cend()) {
        error(3, QStringLiteral("segundo I150 da conta %1 no mês %2; o primeiro está na linha %3")
                     .arg(rules::shown(field(2)), rules::monthText(month))
                     .arg(it->line));
        return;
    }
    balances.insert(key, {lineNo, *debits, *credits});
}

void FileChecker::State::recI200() {
    const QDate when = date(2, true, Period::Inside);
    const int acc = account(3);
    const QByteArrayView centre = field(4);
    if (!centre.isEmpty() && !costCentres.contains(view(centre)))
        error(4, QStringLiteral("centro de custo %1 não consta dos registros I100")
                     .arg(rules::shown(centre)));
    if (!field(5).isEmpty())
        warning(5,
                QStringLiteral("campo 5 deveria estar vazio: \"%1\"").arg(rules::shown(field(5))));
    const auto value = amount(6);
    code(7, {"D", "C"});
    const bool nature = field(7) == QByteArrayView("D") || field(7) == QByteArrayView("C");
    const bool numbered = required(9);
    code(10, {"N"});
    if (!value || !nature)
        return;
    const qint64 debit = field(7) == QByteArrayView("D") ? *value : 0;
    const qint64 credit = *value - debit;
    if (numbered)
        entry(field(9), debit, credit);
    if (acc < 0 || !when.isValid())
        return;
    Movement& m = movements[accountMonth(acc, rules::monthKey(when))];
    if (m.firstLine == 0)
        m.firstLine = lineNo;
    m.add(debit, credit);
}

void FileChecker::State::entry(QByteArrayView number, qint64 debit, qint64 credit) {
    // Only entries whose debits and credits differ so far are kept: one that
    // balances is dropped, and if it shows up again later its further
    // postings must balance on their own, which is the same verdict. A ledger
    // written entry by entry so keeps about one entry, however long it is.
    // Plain numbers without leading zeros are keyed as integers.
    bool numeric = number.size() <= 18 && (number.size() == 1 || number[0] != '0');
    qint64 n = 0;
    for (qsizetype i = 0; numeric && i < number.size(); ++i) {
        numeric = number[i] >= '0' && number[i] <= '9';
        n = n * 10 + (number[i] - '0');
    }
    const auto update = [&](auto& map, const auto& key) {
        auto it = map.find(key);
        if (it == map.end())
            it = map.insert(key, Movement{0, 0, lineNo});
        it->add(debit, credit);
        if (it->debits == it->credits && !it->overflow)
            map.erase(it);
    };
    if (numeric)
        update(entriesByNumber, n);
    else
        update(entriesByText, number.toByteArray());
}

void FileChecker::State::recI250() {
    // The assessment month, which the user picks apart from the period.
    date(2, true, Period::Warn);
    const int acc = account(3);
    if (acc >= 0 && accounts[static_cast<size_t>(acc)].nature != '4')
        error(3, QStringLiteral("conta %1 não é conta de resultado (natureza 4)")
                     .arg(rules::shown(field(3))));
    amount(4);
    code(5, {"D", "C"});
}

void FileChecker::State::rec9900() {
    const int r = recordOf(field(2));
    if (r < 0) {
        error(2,
              QStringLiteral("tipo de registro desconhecido: \"%1\"").arg(rules::shown(field(2))));
        return;
    }
    Declared d;
    count(3, d);
    if (d.value < 0)
        return;
    const auto it = declared9900.find(r);
    if (it != declared9900.end()) {
        error(2, QStringLiteral("registro %1 já declarado na linha %2")
                     .arg(QLatin1String(layouts[static_cast<size_t>(r)].name))
                     .arg(it->second.line));
        return;
    }
    declared9900.emplace(r, d);
}

void FileChecker::State::finish() {
    if (!pending.isEmpty()) {
        QByteArray last;
        last.swap(pending);
        // Judged on its own below, not as a line ended by LF alone.
        if (!last.endsWith('\r'))
            last.append('\r');
        line(last);
        error(0, QStringLiteral("última linha sem CR LF"));
    }
    rec = -1;
    if (lineNo == 0) {
        record.clear();
        report.add(Severity::Error, 0, {}, 0, QStringLiteral("arquivo vazio"));
        return;
    }
    lineNo = 0;
    for (int r = 0; r < RecCount; ++r) {
        if (counts[static_cast<size_t>(r)] > 0)
            continue;
        record = recName(r);
        if (r == RI050)
            warning(0, QStringLiteral("plano de contas vazio: nenhum registro I050"));
        else
            error(0, QStringLiteral("registro %1 ausente")
                         .arg(QLatin1String(layouts[static_cast<size_t>(r)].name)));
    }
    finishCounts();
    finishChart();
    finishMovements();
    finishEntries();
}

void FileChecker::State::finishCounts() {
    const qint64 physical = report.lines();
    const auto compare = [this](int r, const Declared& d, qint64 actual, const QString& what) {
        if (d.value < 0 || d.value == actual)
            return;
        report.add(
            Severity::Error, d.line, recName(r), 2,
            QStringLiteral("declara %1 linhas; %2 tem %3").arg(d.value).arg(what).arg(actual));
    };
    compare(R0990, decl0990, blockLines0, QStringLiteral("o bloco 0"));
    compare(RI990, declI990, blockLinesI, QStringLiteral("o bloco I"));
    compare(R9990, decl9990, blockLines9, QStringLiteral("o bloco 9"));
    compare(R9999, decl9999, physical, QStringLiteral("o arquivo"));
    for (const auto& [r, d] : declared9900) {
        const qint64 actual = counts[static_cast<size_t>(r)];
        if (d.value != actual)
            report.add(Severity::Error, d.line, recName(R9900), 3,
                       QStringLiteral("declara %1 linhas do registro %2; o arquivo tem %3")
                           .arg(d.value)
                           .arg(QLatin1String(layouts[static_cast<size_t>(r)].name))
                           .arg(actual));
    }
    if (counts[R9900] == 0)
        return;
    for (int r = 0; r < RecCount; ++r) {
        if (counts[static_cast<size_t>(r)] > 0 && declared9900.find(r) == declared9900.end())
            report.add(Severity::Error, 0, recName(R9900), 0,
                       QStringLiteral("o registro %1 tem %2 linhas e nenhum 9900 o declara")
                           .arg(QLatin1String(layouts[static_cast<size_t>(r)].name))
                           .arg(counts[static_cast<size_t>(r)]));
    }
}

void FileChecker::State::finishChart() {
    const QByteArray i050 = recName(RI050);
    for (const Account& a : accounts) {
        if (a.level == 1 && !a.superior.isEmpty())
            report.add(Severity::Warning, a.line, i050, 7,
                       QStringLiteral("conta de nível 1 com conta superior %1")
                           .arg(rules::shown(a.superior)));
        if (a.level <= 1)
            continue;
        if (a.superior.isEmpty()) {
            report.add(Severity::Error, a.line, i050, 7,
                       QStringLiteral("conta de nível %1 sem conta superior").arg(a.level));
            continue;
        }
        const int s = accountIndex.value(a.superior, -1);
        if (s < 0) {
            report.add(Severity::Error, a.line, i050, 7,
                       QStringLiteral("conta superior %1 não consta do plano de contas")
                           .arg(rules::shown(a.superior)));
            continue;
        }
        const Account& up = accounts[static_cast<size_t>(s)];
        if (up.level >= 1 && up.level != a.level - 1)
            report.add(Severity::Error, a.line, i050, 7,
                       QStringLiteral("conta superior %1 é de nível %2; esperado nível %3")
                           .arg(rules::shown(a.superior))
                           .arg(up.level)
                           .arg(a.level - 1));
        if (up.type == 'A')
            report.add(
                Severity::Warning, a.line, i050, 7,
                QStringLiteral("conta superior %1 é analítica").arg(rules::shown(a.superior)));
    }
}

void FileChecker::State::finishMovements() {
    // Without any I200 line the file is cut short; its balances cannot be
    // compared with postings that are not there.
    if (counts[RI200] == 0)
        return;
    const QByteArray i150 = recName(RI150);
    for (auto it = balances.cbegin(); it != balances.cend(); ++it) {
        const Movement m = movements.value(it.key());
        if (m.overflow)
            continue;
        const QString code = rules::shown(accounts[static_cast<size_t>(it.key() >> 20)].code);
        const QString month = rules::monthText(static_cast<int>(it.key() & 0xFFFFF));
        if (m.debits != it->debits)
            report.add(
                Severity::Error, it->line, i150, 6,
                QStringLiteral("débitos %1, mas os I200 da conta %2 em %3 somam %4")
                    .arg(rules::centsText(it->debits), code, month, rules::centsText(m.debits)));
        if (m.credits != it->credits)
            report.add(
                Severity::Error, it->line, i150, 7,
                QStringLiteral("créditos %1, mas os I200 da conta %2 em %3 somam %4")
                    .arg(rules::centsText(it->credits), code, month, rules::centsText(m.credits)));
    }
    const QByteArray i200 = recName(RI200);
    for (auto it = movements.cbegin(); it != movements.cend(); ++it) {
        if (balances.contains(it.key()))
            continue;
        report.add(Severity::Error, it->firstLine, i200, 3,
                   QStringLiteral("a conta %1 tem lançamentos em %2 e nenhum I150 nesse mês")
                       .arg(rules::shown(accounts[static_cast<size_t>(it.key() >> 20)].code),
                            rules::monthText(static_cast<int>(it.key() & 0xFFFFF))));
    }
}

void FileChecker::State::finishEntries() {
    const QByteArray i200 = recName(RI200);
    const auto check = [&](const QString& number, const Movement& m) {
        if (m.debits != m.credits && !m.overflow)
            report.add(Severity::Error, m.firstLine, i200, 9,
                       QStringLiteral("lançamento %1: débitos %2 e créditos %3 diferem")
                           .arg(number, rules::centsText(m.debits), rules::centsText(m.credits)));
    };
    for (auto it = entriesByNumber.cbegin(); it != entriesByNumber.cend(); ++it)
        check(QString::number(it.key()), *it);
    for (auto it = entriesByText.cbegin(); it != entriesByText.cend(); ++it)
        check(rules::shown(it.key()), *it);
}

QList<QByteArray> recordTypes() {
    QList<QByteArray> types;
    for (int r = 0; r < RecCount; ++r)
        types << recName(r);
    return types;
}

Report checkText(QByteArrayView text) {
    Report report;
    FileChecker checker(report);
    checker.feed(text);
    checker.finish();
    report.sort();
    return report;
}

bool checkFile(const QString& path, Report& report, QString* ioError) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *ioError = file.errorString();
        return false;
    }
    FileChecker checker(report);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(chunk.data(), chunk.size());
        if (n < 0) {
            *ioError = file.errorString();
            return false;
        }
        if (n == 0)
            break;
        checker.feed(QByteArrayView(chunk.constData(), n));
    }
    checker.finish();
    report.sort();
    return true;
}

} // namespace validator
