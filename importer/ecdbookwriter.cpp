#include "ecdbookwriter.h"
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace importer {

namespace {

// splitmix64: small, fast and the same everywhere, unlike the standard
// distributions.
struct Rng {
    quint64 s;
    quint64 next() {
        quint64 z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<quint64>(n)); }
};

// The groups under which analytic accounts hang, one per level-3 account.
enum Group {
    Cash,
    Clients,
    Stock,
    TaxCredits,
    Fixed,
    Suppliers,
    Payroll,
    Taxes,
    Loans,
    Capital,
    Retained,
    Revenue,
    Deductions,
    FinancialIncome,
    Cost,
    Personnel,
    Admin,
    TaxExpense,
    FinancialExpense,
    GroupCount,
    NoGroup = -1
};

struct SyntheticDef {
    const char* code;
    const char* nature;
    int level;
    const char* superior;
    const char* name; // UTF-8
    int group;
};

const SyntheticDef kSynthetic[] = {
    {"1", "01", 1, "", "ATIVO", NoGroup},
    {"1.1", "01", 2, "1", "ATIVO CIRCULANTE", NoGroup},
    {"1.1.01", "01", 3, "1.1", "Disponibilidades", Cash},
    {"1.1.02", "01", 3, "1.1", "Clientes e duplicatas a receber", Clients},
    {"1.1.03", "01", 3, "1.1", "Estoques de mercadorias e matérias-primas", Stock},
    {"1.1.04", "01", 3, "1.1", "Tributos a recuperar", TaxCredits},
    {"1.2", "01", 2, "1", "ATIVO NÃO CIRCULANTE", NoGroup},
    {"1.2.01", "01", 3, "1.2", "Imobilizado", Fixed},
    {"2", "02", 1, "", "PASSIVO", NoGroup},
    {"2.1", "02", 2, "2", "PASSIVO CIRCULANTE", NoGroup},
    {"2.1.01", "02", 3, "2.1", "Fornecedores", Suppliers},
    {"2.1.02", "02", 3, "2.1", "Obrigações trabalhistas e previdenciárias", Payroll},
    {"2.1.03", "02", 3, "2.1", "Obrigações tributárias", Taxes},
    {"2.2", "02", 2, "2", "PASSIVO NÃO CIRCULANTE", NoGroup},
    {"2.2.01", "02", 3, "2.2", "Empréstimos e financiamentos de longo prazo", Loans},
    {"2.3", "03", 2, "2", "PATRIMÔNIO LÍQUIDO", NoGroup},
    {"2.3.01", "03", 3, "2.3", "Capital social", Capital},
    {"2.3.02", "03", 3, "2.3", "Lucros ou prejuízos acumulados", Retained},
    {"3", "04", 1, "", "RECEITAS", NoGroup},
    {"3.1", "04", 2, "3", "RECEITA OPERACIONAL", NoGroup},
    {"3.1.01", "04", 3, "3.1", "Receita bruta de vendas e serviços", Revenue},
    {"3.1.02", "04", 3, "3.1", "Deduções da receita bruta", Deductions},
    {"3.2", "04", 2, "3", "RECEITAS FINANCEIRAS", NoGroup},
    {"3.2.01", "04", 3, "3.2", "Juros e descontos obtidos", FinancialIncome},
    {"4", "04", 1, "", "CUSTOS E DESPESAS", NoGroup},
    {"4.1", "04", 2, "4", "CUSTOS", NoGroup},
    {"4.1.01", "04", 3, "4.1", "Custo dos produtos vendidos", Cost},
    {"4.2", "04", 2, "4", "DESPESAS OPERACIONAIS", NoGroup},
    {"4.2.01", "04", 3, "4.2", "Despesas com pessoal", Personnel},
    {"4.2.02", "04", 3, "4.2", "Despesas administrativas", Admin},
    {"4.2.03", "04", 3, "4.2", "Despesas tributárias", TaxExpense},
    {"4.2.04", "04", 3, "4.2", "Despesas financeiras", FinancialExpense},
};

// Names of the analytic accounts of each group, numbered when repeated.
const std::array<std::vector<const char*>, GroupCount> kAnalyticNames = {{
    {"Caixa geral", "Banco do Brasil S.A. conta movimento", "Aplicações de liquidez imediata"},
    {"Clientes nacionais", "Duplicatas descontadas", "Cartões de crédito a receber"},
    {"Mercadorias para revenda", "Matérias-primas", "Produtos em elaboração"},
    {"ICMS a recuperar", "PIS e COFINS a recuperar"},
    {"Máquinas e equipamentos", "Veículos", "Móveis e utensílios"},
    {"Fornecedores nacionais", "Fornecedores de serviços"},
    {"Salários a pagar", "INSS a recolher", "FGTS a recolher"},
    {"ICMS a recolher", "ISS a recolher", "IRRF a recolher"},
    {"Financiamento de máquinas", "Empréstimo bancário"},
    {"Capital social subscrito"},
    {"Lucros ou prejuízos acumulados"},
    {"Venda de produtos", "Prestação de serviços"},
    {"Devoluções de vendas", "ICMS sobre vendas"},
    {"Juros recebidos", "Descontos obtidos"},
    {"Custo das mercadorias vendidas", "Custo dos serviços prestados"},
    {"Salários e ordenados", "Contribuição previdenciária patronal", "Férias e 13º salário"},
    {"Aluguéis", "Energia elétrica", "Manutenção e conservação"},
    {"Taxas e contribuições", "Impostos municipais"},
    {"Tarifas bancárias", "Juros pagos"},
}};

// Groups whose postings may carry a cost centre.
bool takesCostCentre(int group) {
    return group == Cost || group == Personnel || group == Admin;
}

// A code and its name or text, as the book's I100 and I075 carry them (UTF-8).
struct Coded {
    const char* code;
    const char* text;
};

const Coded kCostCentres[] = {
    {"01", "Administração"},
    {"02", "Produção"},
    {"PROD.LINHA.01", "Produção - linha de montagem 1"},
    {"COMERCIAL-SP", "Comercial São Paulo"},
    {"0400.0001", "Logística e distribuição"},
};
constexpr int kCostCentreCount = static_cast<int>(std::size(kCostCentres));

const Coded kHistories[] = {
    {"001", "Venda de mercadorias conforme nota fiscal"},
    {"002", "Recebimento de duplicata"},
    {"003", "Compra de mercadorias conforme nota fiscal"},
    {"004", "Pagamento a fornecedor"},
    {"005", "Folha de pagamento do mês"},
    {"006", "Baixa de estoque pelo custo da venda"},
    {"007", "Despesas gerais de administração"},
    {"008", "Apuração de tributos"},
    {"009", "Movimentação bancária"},
    {"900", "Encerramento do exercício: transferência do resultado"},
};
constexpr int kClosingHistory = 9;

// An entry's shape: where the debits and credits go, its standard history and
// the word its own histories use.
struct Template {
    int debit, credit;
    int history;
    bool splitCredit; // several credits and one debit, rather than the reverse
    int weight;
    const char* what;
};
const Template kTemplates[] = {
    {Clients, Revenue, 0, true, 20, "venda"},
    {Cash, Clients, 1, false, 18, "recebimento"},
    {Stock, Suppliers, 2, false, 12, "compra"},
    {Suppliers, Cash, 3, false, 12, "pagamento"},
    {Personnel, Payroll, 4, false, 8, "folha"},
    {Payroll, Cash, 3, false, 5, "recolhimento"},
    {Cost, Stock, 5, false, 10, "baixa de estoque"},
    {Admin, Cash, 6, false, 8, "despesa"},
    {Deductions, Taxes, 7, false, 3, "apuração"},
    {TaxExpense, Taxes, 7, false, 2, "apuração"},
    {Taxes, Cash, 3, false, 3, "recolhimento"},
    {TaxCredits, Suppliers, 2, false, 2, "crédito de tributo"},
    {Fixed, Suppliers, 2, false, 1, "aquisição de imobilizado"},
    {Cash, FinancialIncome, 8, true, 1, "rendimento"},
    {FinancialExpense, Cash, 8, false, 2, "tarifa"},
    {Cash, Loans, 8, false, 1, "captação"},
};
constexpr int kTemplateCount = static_cast<int>(std::size(kTemplates));

bool isResult(int group) {
    return group >= Revenue;
}

QByteArray latin1(const char* utf8) {
    return QString::fromUtf8(utf8).toLatin1();
}

struct Analytic {
    QByteArray code, name; // Latin-1
    int group = 0;
    int superior = 0; // index in kSynthetic
};

struct GenPosting {
    int account = 0, costCentre = 0; // cost centre 0: none, else 1-based
    qint64 value = 0;
    bool debit = true;
};

struct GenEntry {
    qint64 number = 0;
    int day = 0; // from the period's start
    int templ = 0;
    int history = 0; // 0: standard only, 1: standard and own, 2: own only
    quint32 document = 0;
    int count = 0;
    std::array<GenPosting, 5> postings;
};

// A record's line, written field by field into a buffer that goes to the
// device in large pieces.
class Lines {
public:
    explicit Lines(QIODevice& out) : out_(out) { buf_.reserve(kFlushAt + 4096); }

    void begin(const char* type) {
        buf_.append('|').append(type).append('|');
        count(type);
    }
    void text(const QByteArray& v) { buf_.append(v).append('|'); }
    void text(const char* v) { buf_.append(v).append('|'); }
    void empty() { buf_.append('|'); }
    void number(qint64 v) { buf_.append(QByteArray::number(v)).append('|'); }
    void amount(qint64 cents) {
        const quint64 v = cents < 0 ? 0 - static_cast<quint64>(cents) : static_cast<quint64>(cents);
        char tmp[32];
        int n = 0;
        quint64 units = v / 100;
        const int frac = static_cast<int>(v % 100);
        tmp[n++] = static_cast<char>('0' + frac % 10);
        tmp[n++] = static_cast<char>('0' + frac / 10);
        tmp[n++] = ',';
        do {
            tmp[n++] = static_cast<char>('0' + units % 10);
            units /= 10;
        } while (units);
        while (n)
            buf_.append(tmp[--n]);
        buf_.append('|');
    }
    // A signed balance: its magnitude, then D or C.
    void balance(qint64 cents) {
        amount(cents);
        buf_.append(cents < 0 ? "C|" : "D|");
    }
    void end() {
        buf_.append("\r\n");
        ++lines_;
        if (buf_.size() >= kFlushAt)
            flush();
    }
    void flush() {
        if (!buf_.isEmpty() && out_.write(buf_) != buf_.size())
            throw WriteFailed(QStringLiteral("Não foi possível gravar o livro: %1")
                                  .arg(out_.errorString())
                                  .toStdString());
        bytes_ += buf_.size();
        buf_.clear();
    }

    qint64 lines() const { return lines_; }
    qint64 bytes() const { return bytes_ + buf_.size(); }
    const std::map<QByteArray, qint64>& perType() const { return perType_; }

private:
    void count(const char* type) {
        // Few types, and most lines are of the last one seen.
        if (last_ && qstrcmp(last_, type) == 0) {
            ++*lastCount_;
            return;
        }
        last_ = type;
        lastCount_ = &perType_[QByteArray(type)];
        ++*lastCount_;
    }

    static constexpr qsizetype kFlushAt = 1 << 20;
    QIODevice& out_;
    QByteArray buf_;
    qint64 lines_ = 0, bytes_ = 0;
    std::map<QByteArray, qint64> perType_;
    const char* last_ = nullptr;
    qint64* lastCount_ = nullptr;
};

QByteArray dateBytes(const QDate& d) {
    return d.toString(QStringLiteral("ddMMyyyy")).toLatin1();
}

} // namespace

struct EcdLedger::Impl {
    LedgerPlan plan;
    std::vector<Analytic> analytics;
    std::array<std::vector<int>, GroupCount> byGroup;
    int days = 0, months = 0;
    std::vector<int> monthOfDay;
    std::vector<QDate> monthStart;
    std::vector<QByteArray> dayText;
    int keysPerAccount = kCostCentreCount + 1;
    std::vector<qint64> initial;               // per key
    std::vector<qint64> debits, credits;       // per key and month, closing included
    std::vector<qint64> entriesIn, postingsIn; // per month, closing included
    std::vector<GenPosting> closing;           // the closing entry's postings
    qint64 closingNumber = 0, closingTotal = 0;

    int key(int account, int costCentre) const { return account * keysPerAccount + costCentre; }
    // Where a key's month is in debits and credits.
    size_t cell(int key, int month) const {
        return static_cast<size_t>(key) * static_cast<size_t>(months) + static_cast<size_t>(month);
    }

    void buildChart();
    void drawOpening();
    template <class F> void forEachEntry(F&& f) const;
    void accumulate();
    int monthIndex(const QDate& d) const {
        return (d.year() - plan.start.year()) * 12 + d.month() - plan.start.month();
    }
    qint64 balanceBefore(int k, int month) const {
        qint64 v = initial[static_cast<size_t>(k)];
        for (int m = 0; m < month; ++m)
            v += debits[cell(k, m)] - credits[cell(k, m)];
        return v;
    }
    void writeKey(Lines& out, int account, int costCentre) const;
    void writeValue(Lines& out, const char* type, const GenPosting& p, bool debit) const;
    void writeEntryLine(Lines& out, qint64 number, const QByteArray& day, qint64 total,
                        const char* kind) const;
    void writeEntry(Lines& out, const GenEntry& e) const;
    void writeClosing(Lines& out) const;
};

void EcdLedger::Impl::buildChart() {
    const int fixedGroups = 2; // capital and retained earnings: one account each
    const int wanted = std::max(plan.analyticAccounts, static_cast<int>(GroupCount));
    std::array<int, GroupCount> perGroup{};
    perGroup[Capital] = perGroup[Retained] = 1;
    for (int i = 0, g = 0; i < wanted - fixedGroups; ++i, g = (g + 1) % GroupCount) {
        while (g == Capital || g == Retained)
            g = (g + 1) % GroupCount;
        ++perGroup[static_cast<size_t>(g)];
    }
    for (int s = 0; s < static_cast<int>(std::size(kSynthetic)); ++s) {
        const int g = kSynthetic[s].group;
        if (g == NoGroup)
            continue;
        const auto& names = kAnalyticNames[static_cast<size_t>(g)];
        for (int k = 0; k < perGroup[static_cast<size_t>(g)]; ++k) {
            Analytic a;
            a.group = g;
            a.superior = s;
            // Some codes and names are long, as real charts have them.
            const int width = k % 3 == 1 ? 15 : 3;
            a.code = QByteArray(kSynthetic[s].code) + '.' +
                     QByteArray::number(k + 1).rightJustified(width, '0');
            QString name = QString::fromUtf8(names[static_cast<size_t>(k) % names.size()]);
            if (k >= static_cast<int>(names.size()))
                name += QStringLiteral(" %1").arg(k / static_cast<int>(names.size()) + 1);
            if (k % 3 == 2)
                name += QStringLiteral(" - operações da filial de São José dos Campos");
            a.name = name.toLatin1();
            byGroup[static_cast<size_t>(g)].push_back(static_cast<int>(analytics.size()));
            analytics.push_back(a);
        }
    }
}

void EcdLedger::Impl::drawOpening() {
    initial.assign(analytics.size() * static_cast<size_t>(keysPerAccount), 0);
    if (!plan.initialBalances.isEmpty()) {
        for (size_t a = 0; a < analytics.size(); ++a)
            initial[static_cast<size_t>(key(static_cast<int>(a), 0))] =
                plan.initialBalances.value(QString::fromLatin1(analytics[a].code));
        return;
    }
    if (!plan.drawOpening)
        return;
    Rng rng{plan.seed ^ 0x5EEDBA1A7CEull};
    qint64 sum = 0;
    for (size_t a = 0; a < analytics.size(); ++a) {
        const int g = analytics[a].group;
        qint64 v = 0;
        if (g <= Fixed)
            v = 100000 + rng.below(50000000); // assets, debit
        else if (g <= Loans)
            v = -(100000 + rng.below(10000000)); // liabilities, credit
        initial[static_cast<size_t>(key(static_cast<int>(a), 0))] = v;
        sum += v;
    }
    // The capital closes the opening balance sheet.
    initial[static_cast<size_t>(key(byGroup[Capital].front(), 0))] = -sum;
}

// The period's regular entries in order, the same on every call.
template <class F> void EcdLedger::Impl::forEachEntry(F&& f) const {
    Rng rng{plan.seed};
    int totalWeight = 0;
    for (const Template& t : kTemplates)
        totalWeight += t.weight;
    const qint64 n = std::max<qint64>(plan.postings, 2);
    GenEntry e;
    for (qint64 i = 0; i < n;) {
        const qint64 remaining = n - i;
        int legs = 2;
        const int r = rng.below(100);
        if (r >= 60)
            legs = r >= 85 ? 4 : 3;
        if (remaining - legs == 1)
            legs = legs < 4 ? legs + 1 : legs - 1;
        if (legs > remaining)
            legs = static_cast<int>(remaining);
        int w = rng.below(totalWeight), t = 0;
        while (w >= kTemplates[t].weight)
            w -= kTemplates[t++].weight;
        const Template& tp = kTemplates[t];
        ++e.number;
        e.day = static_cast<int>(i * days / n);
        e.templ = t;
        e.history = rng.below(10) < 3 ? 0 : rng.below(10) < 7 ? 1 : 2;
        e.document = static_cast<quint32>(rng.below(999999) + 1);
        e.count = legs;
        const qint64 total = 1000 + rng.below(5000000);
        // One posting on one side, the total split over the others.
        auto pick = [&](int group) {
            const auto& list = byGroup[static_cast<size_t>(group)];
            return list[static_cast<size_t>(rng.below(static_cast<int>(list.size())))];
        };
        auto centre = [&](int group) {
            if (!takesCostCentre(group) || rng.below(4) == 0)
                return 0;
            return 1 + rng.below(kCostCentreCount);
        };
        const int splitGroup = tp.splitCredit ? tp.credit : tp.debit;
        const int singleGroup = tp.splitCredit ? tp.debit : tp.credit;
        GenPosting& single = e.postings[0];
        single.account = pick(singleGroup);
        single.costCentre = centre(singleGroup);
        single.value = total;
        single.debit = tp.splitCredit;
        qint64 left = total;
        for (int k = 1; k < legs; ++k) {
            GenPosting& p = e.postings[static_cast<size_t>(k)];
            p.account = pick(splitGroup);
            p.costCentre = centre(splitGroup);
            p.debit = !tp.splitCredit;
            const int rest = legs - 1 - k; // postings still to come
            p.value = rest == 0
                          ? left
                          : 1 + static_cast<qint64>(rng.next() % static_cast<quint64>(left - rest));
            left -= p.value;
        }
        // The debits first, as journals list them.
        if (tp.splitCredit)
            std::rotate(e.postings.begin(), e.postings.begin() + 1, e.postings.begin() + legs);
        i += legs;
        f(e);
    }
}

void EcdLedger::Impl::accumulate() {
    const size_t keys = analytics.size() * static_cast<size_t>(keysPerAccount);
    debits.assign(keys * static_cast<size_t>(months), 0);
    credits.assign(keys * static_cast<size_t>(months), 0);
    entriesIn.assign(static_cast<size_t>(months), 0);
    postingsIn.assign(static_cast<size_t>(months), 0);
    qint64 last = 0;
    forEachEntry([&](const GenEntry& e) {
        const int m = monthOfDay[static_cast<size_t>(e.day)];
        ++entriesIn[static_cast<size_t>(m)];
        postingsIn[static_cast<size_t>(m)] += e.count;
        for (int k = 0; k < e.count; ++k) {
            const GenPosting& p = e.postings[static_cast<size_t>(k)];
            const size_t at = cell(key(p.account, p.costCentre), m);
            (p.debit ? debits : credits)[at] += p.value;
        }
        last = e.number;
    });
    closing.clear();
    closingTotal = 0;
    if (!plan.closeAtEnd)
        return;
    // The result accounts' balances before closing go to accumulated profit
    // or loss.
    const int lastMonth = months - 1;
    qint64 net = 0;
    for (size_t a = 0; a < analytics.size(); ++a) {
        if (!isResult(analytics[a].group))
            continue;
        for (int c = 0; c < keysPerAccount; ++c) {
            const int k = key(static_cast<int>(a), c);
            const qint64 b = balanceBefore(k, months);
            if (b == 0)
                continue;
            closing.push_back({static_cast<int>(a), c, b < 0 ? -b : b, b < 0});
            net += b;
        }
    }
    if (closing.empty())
        return;
    closing.push_back({byGroup[Retained].front(), 0, net < 0 ? -net : net, net > 0});
    if (closing.back().value == 0)
        closing.pop_back();
    for (const GenPosting& p : closing) {
        const size_t at = cell(key(p.account, p.costCentre), lastMonth);
        (p.debit ? debits : credits)[at] += p.value;
        if (p.debit)
            closingTotal += p.value;
    }
    closingNumber = last + 1;
    ++entriesIn[static_cast<size_t>(lastMonth)];
    postingsIn[static_cast<size_t>(lastMonth)] += static_cast<qint64>(closing.size());
}

EcdLedger::EcdLedger(LedgerPlan plan) : d_(std::make_unique<Impl>()) {
    Impl& d = *d_;
    d.plan = std::move(plan);
    if (!d.plan.start.isValid() || !d.plan.end.isValid() || d.plan.end < d.plan.start)
        throw std::invalid_argument("EcdLedger: período inválido");
    d.plan.start = QDate(d.plan.start.year(), d.plan.start.month(), 1);
    d.plan.end = QDate(d.plan.end.year(), d.plan.end.month(), d.plan.end.daysInMonth());
    d.days = static_cast<int>(d.plan.start.daysTo(d.plan.end)) + 1;
    d.months = d.monthIndex(d.plan.end) + 1;
    for (int i = 0; i < d.days; ++i) {
        const QDate day = d.plan.start.addDays(i);
        d.monthOfDay.push_back(d.monthIndex(day));
        d.dayText.push_back(dateBytes(day));
    }
    for (int m = 0; m < d.months; ++m)
        d.monthStart.push_back(d.plan.start.addMonths(m));
    d.buildChart();
    d.drawOpening();
    d.accumulate();
}

EcdLedger::~EcdLedger() = default;

const LedgerPlan& EcdLedger::plan() const {
    return d_->plan;
}

QStringList EcdLedger::analyticCodes() const {
    QStringList out;
    for (const Analytic& a : d_->analytics)
        out.append(QString::fromLatin1(a.code));
    return out;
}

QString EcdLedger::retainedEarningsCode() const {
    return QString::fromLatin1(
        d_->analytics[static_cast<size_t>(d_->byGroup[Retained].front())].code);
}

QHash<QString, qint64> EcdLedger::balancesAt(const QDate& day) const {
    const Impl& d = *d_;
    if (day.day() != 1 || day < d.plan.start || day > d.plan.end.addDays(1))
        throw std::invalid_argument("EcdLedger::balancesAt: o dia deve abrir um mês do período");
    const int month = d.monthIndex(day);
    QHash<QString, qint64> out;
    for (size_t a = 0; a < d.analytics.size(); ++a) {
        qint64 v = 0;
        for (int c = 0; c < d.keysPerAccount; ++c)
            v += d.balanceBefore(d.key(static_cast<int>(a), c), month);
        if (v != 0)
            out.insert(QString::fromLatin1(d.analytics[a].code), v);
    }
    return out;
}

// An account's code and its cost centre's, or an empty field for none.
void EcdLedger::Impl::writeKey(Lines& out, int account, int costCentre) const {
    out.text(analytics[static_cast<size_t>(account)].code);
    if (costCentre)
        out.text(kCostCentres[costCentre - 1].code);
    else
        out.empty();
}

// The start of an I250 or I355: account, cost centre, amount and its side.
void EcdLedger::Impl::writeValue(Lines& out, const char* type, const GenPosting& p,
                                 bool debit) const {
    out.begin(type);
    writeKey(out, p.account, p.costCentre);
    out.amount(p.value);
    out.text(debit ? "D" : "C");
}

void EcdLedger::Impl::writeEntryLine(Lines& out, qint64 number, const QByteArray& day, qint64 total,
                                     const char* kind) const {
    out.begin("I200");
    out.text(QByteArray::number(number).rightJustified(8, '0'));
    out.text(day);
    out.amount(total);
    out.text(kind);
    out.empty();
    out.end();
}

void EcdLedger::Impl::writeEntry(Lines& out, const GenEntry& e) const {
    qint64 total = 0;
    for (int k = 0; k < e.count; ++k)
        if (e.postings[static_cast<size_t>(k)].debit)
            total += e.postings[static_cast<size_t>(k)].value;
    writeEntryLine(out, e.number, dayText[static_cast<size_t>(e.day)], total, "N");
    const Template& tp = kTemplates[e.templ];
    static const std::array<QByteArray, kTemplateCount> what = [] {
        std::array<QByteArray, kTemplateCount> w;
        for (int t = 0; t < kTemplateCount; ++t)
            w[static_cast<size_t>(t)] = latin1(kTemplates[t].what);
        return w;
    }();
    for (int k = 0; k < e.count; ++k) {
        const GenPosting& p = e.postings[static_cast<size_t>(k)];
        writeValue(out, "I250", p, p.debit);
        if (e.document % 3 == 0)
            out.empty();
        else
            out.text("NF-e " + QByteArray::number(e.document));
        out.text(e.history == 2 ? "" : kHistories[tp.history].code);
        if (e.history == 0)
            out.empty();
        else if (e.history == 1)
            out.text("NF " + QByteArray::number(e.document));
        else
            out.text("Ref. " + what[static_cast<size_t>(e.templ)] + " n\xBA " +
                     QByteArray::number(e.document) +
                     " - lan\xE7"
                     "amento " +
                     QByteArray::number(e.number));
        out.empty(); // COD_PART
        out.end();
    }
}

// One posting per result account and cost centre, and the counterpart; then
// the balances before it.
void EcdLedger::Impl::writeClosing(Lines& out) const {
    writeEntryLine(out, closingNumber, dayText.back(), closingTotal, "E");
    for (const GenPosting& p : closing) {
        writeValue(out, "I250", p, p.debit);
        out.empty();
        out.text(kHistories[kClosingHistory].code);
        out.empty();
        out.empty(); // COD_PART
        out.end();
    }
    out.begin("I350");
    out.text(dayText.back());
    out.end();
    for (const GenPosting& p : closing) {
        if (p.account == byGroup[Retained].front() && p.costCentre == 0)
            continue;
        // The balance the closing posting reverses.
        writeValue(out, "I355", p, !p.debit);
        out.end();
    }
}

WrittenBook EcdLedger::write(QIODevice& device, const BookPart& part) const {
    const Impl& d = *d_;
    const QDate from = part.start.isValid() ? part.start : d.plan.start;
    const QDate to = part.end.isValid() ? part.end : d.plan.end;
    const int m0 = d.monthIndex(from), m1 = d.monthIndex(to);
    if (from.day() != 1 || to != QDate(to.year(), to.month(), to.daysInMonth()) || m0 < 0 ||
        m1 >= d.months || m1 < m0)
        throw std::invalid_argument(
            "EcdLedger::write: o livro deve cobrir meses inteiros do período");
    const bool closes = m1 == d.months - 1 && !d.closing.empty();

    // The book's keys: balances at its start, and which ones it lists.
    const size_t keys = d.analytics.size() * static_cast<size_t>(d.keysPerAccount);
    std::vector<qint64> opening(keys);
    std::vector<char> listed(d.analytics.size(), 0);
    qint64 balanceLines = 0;
    for (size_t k = 0; k < keys; ++k) {
        opening[k] = d.balanceBefore(static_cast<int>(k), m0);
        qint64 v = opening[k];
        for (int m = m0; m <= m1; ++m) {
            const qint64 dm = d.debits[k * static_cast<size_t>(d.months) + static_cast<size_t>(m)];
            const qint64 cm = d.credits[k * static_cast<size_t>(d.months) + static_cast<size_t>(m)];
            if (v != 0 || dm != 0 || cm != 0) {
                ++balanceLines;
                listed[k / static_cast<size_t>(d.keysPerAccount)] = 1;
            }
            v += dm - cm;
        }
    }
    // The chart lists the accounts the book moves or holds, and those above them.
    std::vector<char> synthetic(std::size(kSynthetic), 0);
    qint64 analyticLines = 0;
    for (size_t a = 0; a < d.analytics.size(); ++a) {
        if (!listed[a])
            continue;
        ++analyticLines;
        for (int s = d.analytics[a].superior; s >= 0;) {
            synthetic[static_cast<size_t>(s)] = 1;
            const char* sup = kSynthetic[s].superior;
            s = -1;
            for (int t = 0; t < static_cast<int>(std::size(kSynthetic)); ++t)
                if (qstrcmp(kSynthetic[t].code, sup) == 0)
                    s = t;
        }
    }
    const qint64 chartLines = analyticLines + std::count(synthetic.begin(), synthetic.end(), 1);
    qint64 entries = 0, postings = 0;
    for (int m = m0; m <= m1; ++m) {
        entries += d.entriesIn[static_cast<size_t>(m)];
        postings += d.postingsIn[static_cast<size_t>(m)];
    }
    const qint64 resultLines = closes ? static_cast<qint64>(d.closing.size()) - 1 : 0;
    const qint64 months = m1 - m0 + 1;
    const qint64 historyLines = static_cast<qint64>(std::size(kHistories));

    // Every count is known before the first line, so the opening term can give
    // the book's lines.
    const qint64 block0 = 3;
    const qint64 blockI = 3 + chartLines + historyLines + kCostCentreCount + months + balanceLines +
                          entries + postings + (closes ? 1 + resultLines : 0) + 1;
    const qint64 blockJ = 4;
    // 0000 0001 0990 I001 I010 I030 I075 I100 I150 I990 J001 J930 J990 9001 9900 9990 9999,
    // and the ones that may have no line.
    const qint64 types = 17 + (chartLines ? 1 : 0) + (balanceLines ? 1 : 0) + (entries ? 1 : 0) +
                         (postings ? 1 : 0) + (closes ? 1 : 0) + (resultLines ? 1 : 0);
    const qint64 block9 = 1 + types + 2;
    const qint64 total = block0 + blockI + blockJ + block9;

    Lines out(device);
    const QByteArray cnpj = d.plan.company.cnpj.toLatin1();
    out.begin("0000");
    out.text("LECD");
    out.text(dateBytes(from));
    out.text(dateBytes(to));
    out.text(d.plan.company.name.toLatin1());
    out.text(cnpj);
    out.text(d.plan.company.uf.toLatin1());
    out.text(d.plan.company.ie.toLatin1());
    out.text(d.plan.company.municipality.toLatin1());
    out.empty();   // IM
    out.empty();   // IND_SIT_ESP
    out.text("0"); // IND_SIT_INI_PER
    out.text(d.plan.company.nire.isEmpty() ? "0" : "1");
    out.text(part.substitute ? "1" : "0"); // IND_FIN_ESC
    out.empty();                           // COD_HASH_SUB
    out.text("0");                         // IND_GRANDE_PORTE
    out.text("0");                         // TIP_ECD
    out.empty();                           // COD_SCP
    out.text("N");                         // IDENT_MF
    out.text("N");                         // IND_ESC_CONS
    out.text("0");                         // IND_CENTRALIZADA
    out.text("0");                         // IND_MUDANC_PC
    out.text("1");                         // COD_PLAN_REF
    out.end();
    out.begin("0001");
    out.text("0");
    out.end();
    out.begin("0990");
    out.number(block0);
    out.end();

    out.begin("I001");
    out.text("0");
    out.end();
    out.begin("I010");
    out.text("G");
    out.text("9.00");
    out.end();
    out.begin("I030");
    out.text("TERMO DE ABERTURA");
    out.text(part.order.toLatin1());
    out.text(latin1("Diário Geral"));
    out.number(total);
    out.text(d.plan.company.name.toLatin1());
    out.text(d.plan.company.nire.toLatin1());
    out.text(cnpj);
    out.empty(); // DT_ARQ
    out.empty(); // DT_ARQ_CONV
    out.text(d.plan.company.municipalityName.toLatin1());
    out.text(dateBytes(QDate(to.year(), 12, 31)));
    out.end();

    const QByteArray chartDate = dateBytes(d.plan.start);
    for (int s = 0; s < static_cast<int>(std::size(kSynthetic)); ++s) {
        if (!synthetic[static_cast<size_t>(s)])
            continue;
        const SyntheticDef& def = kSynthetic[s];
        out.begin("I050");
        out.text(chartDate);
        out.text(def.nature);
        out.text("S");
        out.number(def.level);
        out.text(def.code);
        out.text(def.superior);
        out.text(latin1(def.name));
        out.end();
        if (def.group == NoGroup)
            continue;
        for (int a : d.byGroup[static_cast<size_t>(def.group)]) {
            if (!listed[static_cast<size_t>(a)])
                continue;
            const Analytic& an = d.analytics[static_cast<size_t>(a)];
            out.begin("I050");
            out.text(chartDate);
            out.text(def.nature);
            out.text("A");
            out.number(def.level + 1);
            out.text(an.code);
            out.text(def.code);
            out.text(an.name);
            out.end();
        }
    }
    for (const Coded& h : kHistories) {
        out.begin("I075");
        out.text(h.code);
        out.text(latin1(h.text));
        out.end();
    }
    for (const Coded& c : kCostCentres) {
        out.begin("I100");
        out.text(chartDate);
        out.text(c.code);
        out.text(latin1(c.text));
        out.end();
    }

    std::vector<qint64> running = opening;
    for (int m = m0; m <= m1; ++m) {
        const QDate ms = d.monthStart[static_cast<size_t>(m)];
        out.begin("I150");
        out.text(dateBytes(ms));
        out.text(dateBytes(QDate(ms.year(), ms.month(), ms.daysInMonth())));
        out.end();
        for (size_t a = 0; a < d.analytics.size(); ++a) {
            if (!listed[a])
                continue;
            for (int c = 0; c < d.keysPerAccount; ++c) {
                const size_t k = static_cast<size_t>(d.key(static_cast<int>(a), c));
                const size_t at = k * static_cast<size_t>(d.months) + static_cast<size_t>(m);
                const qint64 ini = running[k], dm = d.debits[at], cm = d.credits[at];
                if (ini == 0 && dm == 0 && cm == 0)
                    continue;
                running[k] = ini + dm - cm;
                out.begin("I155");
                d.writeKey(out, static_cast<int>(a), c);
                out.balance(ini);
                out.amount(dm);
                out.amount(cm);
                out.balance(running[k]);
                out.end();
            }
        }
    }

    d.forEachEntry([&](const GenEntry& e) {
        const int m = d.monthOfDay[static_cast<size_t>(e.day)];
        if (m >= m0 && m <= m1)
            d.writeEntry(out, e);
    });
    if (closes)
        d.writeClosing(out);
    out.begin("I990");
    out.number(blockI);
    out.end();

    out.begin("J001");
    out.text("0");
    out.end();
    out.begin("J930");
    out.text(latin1("Carlos Eduardo Gonçalves"));
    out.text("98765432100");
    out.text("Diretor");
    out.text("205");
    out.empty();
    out.text("diretoria@empresa.com.br");
    out.text("1133335555");
    out.empty();
    out.empty();
    out.empty();
    out.text("S");
    out.end();
    out.begin("J930");
    out.text(d.plan.accountant.name.toLatin1());
    out.text(d.plan.accountant.cpf.toLatin1());
    out.text("Contador");
    out.text("900");
    out.text(d.plan.accountant.crc.toLatin1());
    out.text(d.plan.accountant.email.toLatin1());
    out.text(d.plan.accountant.phone.toLatin1());
    out.text(d.plan.company.uf.toLatin1());
    out.text(d.plan.company.uf.toLatin1() + "/2025/001");
    out.text(dateBytes(QDate(to.year() + 1, 12, 31)));
    out.text("N");
    out.end();
    out.begin("J990");
    out.number(blockJ);
    out.end();

    out.begin("9001");
    out.text("0");
    out.end();
    std::map<QByteArray, qint64> perType = out.perType();
    perType["9990"] = 1;
    perType["9999"] = 1;
    perType["9900"] = 0;
    perType["9900"] = static_cast<qint64>(perType.size());
    for (const auto& [type, n] : perType) {
        out.begin("9900");
        out.text(type);
        out.number(n);
        out.end();
    }
    out.begin("9990");
    out.number(1 + static_cast<qint64>(perType.size()) + 2);
    out.end();
    out.begin("9999");
    out.number(out.lines() + 1);
    out.end();
    out.flush();
    if (out.lines() != total || static_cast<qint64>(perType.size()) != types)
        throw std::logic_error("EcdLedger::write: contagem de linhas divergente");

    WrittenBook w;
    w.lines = out.lines();
    w.accounts = chartLines;
    w.entries = entries;
    w.postings = postings;
    w.balances = balanceLines;
    w.months = months;
    w.bytes = out.bytes();
    return w;
}

WrittenBook EcdLedger::write(const QString& path, const BookPart& part) const {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw WriteFailed(QStringLiteral("Não foi possível criar %1: %2")
                              .arg(path, f.errorString())
                              .toStdString());
    const WrittenBook w = write(f, part);
    if (!f.commit())
        throw WriteFailed(QStringLiteral("Não foi possível gravar %1: %2")
                              .arg(path, f.errorString())
                              .toStdString());
    return w;
}

QStringList EcdLedger::writeSplit(const QString& dir, const QString& prefix, int months) const {
    const Impl& d = *d_;
    QStringList paths;
    int n = 0;
    for (int m = 0; m < d.months; m += months) {
        BookPart part;
        part.start = d.monthStart[static_cast<size_t>(m)];
        const QDate last = d.monthStart[static_cast<size_t>(std::min(m + months, d.months) - 1)];
        part.end = QDate(last.year(), last.month(), last.daysInMonth());
        part.order = QString::number(++n);
        const QString path = QDir(dir).filePath(
            QStringLiteral("%1-%2.txt").arg(prefix).arg(n, 2, 10, QLatin1Char('0')));
        write(path, part);
        paths.append(path);
    }
    return paths;
}

} // namespace importer
