#include "ecdbook.h"
#include <QSet>
#include <algorithm>

namespace ecdtest {

using namespace importer;

const QString kCash = QStringLiteral("1.01.000000000000000001");
const QString kBank = QStringLiteral("1.01.000000000000000002");
const QString kSuppliers = QStringLiteral("2.01.000000000000000001");
const QString kCapital = QStringLiteral("3.01.000000000000000001");
const QString kRetained = QStringLiteral("3.01.000000000000000002");
const QString kSales = QStringLiteral("4.01.000000000000000001");
const QString kExpenses = QStringLiteral("4.01.000000000000000002");
const QString kRent = QStringLiteral("4.01.000000000000000003");
const QString kAssessment = QStringLiteral("4.01.000000000000000009");
const QString kCentreA = QStringLiteral("CC-ADMINISTRAÇÃO-01");
const QString kCentreB = QStringLiteral("CC-COMERCIAL-02");

QList<Account> chart() {
    const QDate d(2024, 12, 1);
    auto acc = [&](const char* nat, QChar type, int level, const QString& code,
                   const QString& superior, const QString& name) {
        return Account{d, QString::fromLatin1(nat), type, level, code, superior, name};
    };
    return {
        acc("01", u'S', 1, "1", "", "ATIVO"),
        acc("01", u'S', 2, "1.01", "1", "ATIVO CIRCULANTE"),
        acc("01", u'A', 3, kCash, "1.01", "Caixa geral da matriz em Curitiba - movimento diário"),
        acc("01", u'A', 3, kBank, "1.01", "Banco do Brasil S.A. - conta corrente nº 12.345-6"),
        acc("02", u'S', 1, "2", "", "PASSIVO"),
        acc("02", u'S', 2, "2.01", "2", "PASSIVO CIRCULANTE"),
        acc("02", u'A', 3, kSuppliers, "2.01", "Fornecedores nacionais de matérias-primas"),
        acc("03", u'S', 1, "3", "", "PATRIMÔNIO LÍQUIDO"),
        acc("03", u'S', 2, "3.01", "3", "CAPITAL E RESERVAS"),
        acc("03", u'A', 3, kCapital, "3.01", "Capital social subscrito e integralizado"),
        acc("03", u'A', 3, kRetained, "3.01", "Lucros ou prejuízos acumulados do exercício"),
        acc("04", u'S', 1, "4", "", "RESULTADO"),
        acc("04", u'S', 2, "4.01", "4", "RECEITAS E DESPESAS"),
        acc("04", u'A', 3, kSales, "4.01", "Receita bruta de vendas de máquinas e implementos"),
        acc("04", u'A', 3, kExpenses, "4.01", "Despesas administrativas gerais da matriz"),
        acc("04", u'A', 3, kRent, "4.01", "Aluguéis de imóveis e equipamentos de terceiros"),
        acc("04", u'A', 3, kAssessment, "4.01", "Apuração do resultado do exercício social"),
    };
}

QList<CostCentre> centres() {
    return {{QDate(2024, 12, 1), kCentreA, QStringLiteral("Administração e finanças")},
            {QDate(2024, 12, 1), kCentreB, QStringLiteral("Comercial e pós-venda")}};
}

QList<History> histories() {
    return {{QStringLiteral("001"), QStringLiteral("Pagamento conforme nota fiscal")},
            {QStringLiteral("002"), QStringLiteral("Venda à vista")}};
}

Signatory accountant() {
    Signatory s;
    s.name = QStringLiteral("Márcia Conceição de Araújo Figueiredo");
    s.cpfCnpj = QStringLiteral("52998224725");
    s.qualification = QStringLiteral("Contador");
    s.code = QStringLiteral("900");
    s.crc = QStringLiteral("PR-012345/O-7");
    s.email = QStringLiteral("marcia@contabil.example");
    s.phone = QStringLiteral("4133334444");
    s.ufCrc = QStringLiteral("PR");
    return s;
}

QList<Ent> yearEntries(const QDate& from, const QDate& to, int perMonth, int firstNumber) {
    QList<Ent> out;
    int n = firstNumber;
    for (QDate month(from.year(), from.month(), 1); month <= to; month = month.addMonths(1)) {
        for (int i = 0; i < perMonth; ++i) {
            const QDate day = month.addDays(i * (month.daysInMonth() - 1) / std::max(perMonth, 1));
            if (day < from || day > to)
                continue;
            const qint64 v = 10000 + (n * 7919) % 500000; // cents
            Ent e{QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0')), day, {}, u'N'};
            switch (n % 3) {
            case 0:
                e.posts = {{kCash, {}, v, 'D', QStringLiteral("NF-%1").arg(n), "002", {}},
                           {kSales, kCentreB, v, 'C', QStringLiteral("NF-%1").arg(n), "002",
                            QStringLiteral("cliente nº %1").arg(n)}};
                break;
            case 1: {
                const qint64 part = v / 3;
                e.posts = {{kExpenses, kCentreA, v - part, 'D', QStringLiteral("NF%1").arg(n),
                            "001", QStringLiteral("nº %1 de material de escritório").arg(n)},
                           {kRent, kCentreB, part, 'D', QStringLiteral("NF%1").arg(n), {},
                            QStringLiteral("Aluguel do depósito de Ponta Grossa")},
                           {kBank, {}, v, 'C', QStringLiteral("NF%1").arg(n), "001", {}}};
                break;
            }
            default:
                e.posts = {{kSuppliers, {}, v / 2, 'D', {}, {}, QStringLiteral("Pagamento")},
                           {kBank, {}, v / 2, 'C', {}, {}, QStringLiteral("Pagamento")}};
                break;
            }
            out.append(e);
            ++n;
        }
    }
    return out;
}

Balances openingBalances() {
    return {{{kCash, {}}, 5000000},
            {{kBank, {}}, 25000000},
            {{kSuppliers, {}}, -4000000},
            {{kCapital, {}}, -20000000},
            {{kRetained, {}}, -6000000}};
}

Book book(const QString& file, const QDate& start, const QDate& end, const Balances& initial,
          const QList<Ent>& entries, const QList<QDate>& closings) {
    Book b;
    b.file = file;
    b.start = start;
    b.end = end;
    b.accounts = chart();
    b.centres = centres();
    b.histories = histories();
    b.initial = initial;
    b.entries = entries;
    b.closings = closings;
    b.accountant = accountant();
    b.addClosings();
    return b;
}

namespace {

qint64 signedOf(const Post& p) {
    return p.side == 'D' ? p.value : -p.value;
}

bool isResult(const QString& code) {
    return code.startsWith(QLatin1Char('4'));
}

} // namespace

void Book::addClosings() {
    for (const QDate& day : closings) {
        Balances b = initial;
        for (const Ent& e : entries)
            if (e.date <= day)
                for (const Post& p : e.posts)
                    b[{p.account, p.centre}] += signedOf(p);
        Ent close{QStringLiteral("E%1").arg(day.toString(QStringLiteral("MMdd"))), day, {}, u'E'};
        qint64 net = 0;
        for (auto it = b.cbegin(); it != b.cend(); ++it) {
            if (!isResult(it.key().first) || it.key().first == kAssessment || it.value() == 0)
                continue;
            close.posts.append({it.key().first, it.key().second, std::abs(it.value()),
                                it.value() > 0 ? 'C' : 'D', QStringLiteral("ENC"), {},
                                QStringLiteral("Encerramento do período")});
            net += it.value();
        }
        if (net == 0)
            continue;
        close.posts.append({kAssessment, {}, std::abs(net), net > 0 ? 'D' : 'C',
                            QStringLiteral("ENC"), {}, QStringLiteral("Encerramento do período")});
        Ent transfer{QStringLiteral("T%1").arg(day.toString(QStringLiteral("MMdd"))), day, {}, u'E'};
        transfer.posts = {{kAssessment, {}, std::abs(net), net > 0 ? 'C' : 'D', {}, {},
                           QStringLiteral("Transferência do resultado")},
                          {kRetained, {}, std::abs(net), net > 0 ? 'D' : 'C', {}, {},
                           QStringLiteral("Transferência do resultado")}};
        entries.append(close);
        entries.append(transfer);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Ent& x, const Ent& y) { return x.date < y.date; });
}

Balances Book::finalBalances() const {
    Balances b = initial;
    for (const Ent& e : entries)
        for (const Post& p : e.posts)
            b[{p.account, p.centre}] += signedOf(p);
    return b;
}

void Book::feed(EcdHandler& h) const {
    qint64 line = 0;
    auto at = [&] { return Place{file, ++line, 0}; };
    Opening o;
    o.start = start;
    o.end = end;
    o.name = name;
    o.cnpj = cnpj;
    o.uf = uf;
    o.ie = ie;
    o.municipality = municipality;
    o.hasNire = !nire.isEmpty();
    o.finality = finality;
    h.opening(o, at());
    h.bookKind({kind, QStringLiteral("9.00")}, at());
    h.openingTerm({QStringLiteral("1"), nire, cnpj}, at());
    for (const Account& a : accounts)
        h.account(a, at());
    for (const History& x : histories)
        h.history(x, at());
    for (const CostCentre& c : centres)
        h.costCentre(c, at());

    Balances running = initial;
    for (QDate month(start.year(), start.month(), 1); month <= end; month = month.addMonths(1)) {
        const QDate first = std::max(month, start);
        const QDate last = std::min(month.addDays(month.daysInMonth() - 1), end);
        h.balancePeriod({first, last}, at());
        QMap<QPair<QString, QString>, QPair<qint64, qint64>> moves;
        for (const Ent& e : entries)
            if (e.date >= first && e.date <= last)
                for (const Post& p : e.posts)
                    (p.side == 'D' ? moves[{p.account, p.centre}].first
                                   : moves[{p.account, p.centre}].second) += p.value;
        QSet<QPair<QString, QString>> keys;
        for (auto it = running.cbegin(); it != running.cend(); ++it)
            if (it.value() != 0)
                keys.insert(it.key());
        for (auto it = moves.cbegin(); it != moves.cend(); ++it)
            keys.insert(it.key());
        QList<QPair<QString, QString>> sorted(keys.begin(), keys.end());
        std::sort(sorted.begin(), sorted.end());
        for (const auto& k : sorted) {
            Balance b;
            b.account = k.first;
            b.costCentre = k.second;
            b.initial = running.value(k);
            b.debits = moves.value(k).first;
            b.credits = moves.value(k).second;
            b.final = b.initial + b.debits - b.credits;
            running[k] = b.final;
            if (k.first == spoilAccount && month == spoilMonth) {
                b.final += spoilBy;
                b.debits += spoilBy;
            }
            h.balance(b, at());
        }
    }
    for (const Ent& e : entries) {
        qint64 total = 0;
        for (const Post& p : e.posts)
            if (p.side == 'D')
                total += p.value;
        h.entry({e.number, e.date, total, e.kind, {}}, at());
        for (const Post& p : e.posts)
            h.posting({p.account, p.centre, p.value, QChar::fromLatin1(p.side), p.document,
                       p.historyCode, p.history},
                      at());
    }
    for (const QDate& day : closings) {
        h.resultDate({day}, at());
        Balances b = initial;
        for (const Ent& e : entries)
            if (e.date < day || (e.date == day && e.kind != u'E'))
                for (const Post& p : e.posts)
                    b[{p.account, p.centre}] += signedOf(p);
        for (auto it = b.cbegin(); it != b.cend(); ++it)
            if (isResult(it.key().first) && it.value() != 0)
                h.resultBalance({it.key().first, it.key().second, it.value()}, at());
    }
    h.signatory(accountant, at());
    h.endOfFile(at());
}

} // namespace ecdtest
