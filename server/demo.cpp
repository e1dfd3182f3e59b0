#include "server/demo.h"
#include "db/dbgeral.h"
#include "server/demorng.h"
#include <QDate>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <stdexcept>

namespace server {
namespace {

[[noreturn]] void fail(const QString& what, const QSqlError& e) {
    throw std::runtime_error(QStringLiteral("demo: %1: %2").arg(what, e.text()).toStdString());
}

void exec(QSqlQuery& q, const char* what) {
    if (!q.exec())
        fail(QString::fromLatin1(what), q.lastError());
}

// Synthetic accounts above the analytic ones.
struct Synthetic {
    const char* code;
    const char* name;
};
const Synthetic kSynthetic[] = {
    {"1", "ATIVO"},
    {"1.1", "ATIVO CIRCULANTE"},
    {"1.1.01", "DISPONIBILIDADES"},
    {"1.1.01.001", "CAIXA"},
    {"1.1.01.002", "BANCOS CONTA MOVIMENTO"},
    {"1.1.01.003", "APLICAÇÕES FINANCEIRAS"},
    {"1.1.02", "CRÉDITOS"},
    {"1.1.02.001", "CLIENTES"},
    {"1.1.02.002", "TRIBUTOS A RECUPERAR"},
    {"1.1.02.003", "ADIANTAMENTOS"},
    {"1.1.03", "ESTOQUES"},
    {"1.1.03.001", "ESTOQUES"},
    {"1.2", "ATIVO NÃO CIRCULANTE"},
    {"1.2.01", "REALIZÁVEL A LONGO PRAZO"},
    {"1.2.01.001", "DEPÓSITOS JUDICIAIS"},
    {"1.2.02", "IMOBILIZADO"},
    {"1.2.02.001", "BENS EM OPERAÇÃO"},
    {"1.2.02.002", "DEPRECIAÇÃO ACUMULADA"},
    {"1.2.03", "INTANGÍVEL"},
    {"1.2.03.001", "INTANGÍVEL"},
    {"2", "PASSIVO"},
    {"2.1", "PASSIVO CIRCULANTE"},
    {"2.1.01", "OBRIGAÇÕES COM FORNECEDORES"},
    {"2.1.01.001", "FORNECEDORES"},
    {"2.1.02", "OBRIGAÇÕES TRABALHISTAS"},
    {"2.1.02.001", "SALÁRIOS E ORDENADOS"},
    {"2.1.02.002", "ENCARGOS SOCIAIS"},
    {"2.1.03", "OBRIGAÇÕES TRIBUTÁRIAS"},
    {"2.1.03.001", "TRIBUTOS A RECOLHER"},
    {"2.1.04", "EMPRÉSTIMOS E FINANCIAMENTOS"},
    {"2.1.04.001", "EMPRÉSTIMOS"},
    {"2.2", "PASSIVO NÃO CIRCULANTE"},
    {"2.2.01", "EXIGÍVEL A LONGO PRAZO"},
    {"2.2.01.001", "OBRIGAÇÕES DE LONGO PRAZO"},
    {"3", "PATRIMÔNIO LÍQUIDO"},
    {"3.1", "PATRIMÔNIO LÍQUIDO"},
    {"3.1.01", "CAPITAL SOCIAL"},
    {"3.1.01.001", "CAPITAL"},
    {"3.1.02", "RESERVAS"},
    {"3.1.02.001", "RESERVAS DE LUCROS"},
    {"3.1.03", "LUCROS OU PREJUÍZOS ACUMULADOS"},
    {"3.1.03.001", "LUCROS OU PREJUÍZOS"},
    {"4", "CONTAS DE RESULTADO"},
    {"4.1", "RECEITAS"},
    {"4.1.01", "RECEITA BRUTA"},
    {"4.1.01.001", "VENDAS E SERVIÇOS"},
    {"4.1.02", "DEDUÇÕES DA RECEITA"},
    {"4.1.02.001", "DEDUÇÕES"},
    {"4.1.03", "RECEITAS FINANCEIRAS"},
    {"4.1.03.001", "RECEITAS FINANCEIRAS"},
    {"4.2", "CUSTOS"},
    {"4.2.01", "CUSTO DAS VENDAS"},
    {"4.2.01.001", "CUSTOS"},
    {"4.3", "DESPESAS OPERACIONAIS"},
    {"4.3.01", "DESPESAS COM PESSOAL"},
    {"4.3.01.001", "PESSOAL"},
    {"4.3.02", "DESPESAS ADMINISTRATIVAS"},
    {"4.3.02.001", "ADMINISTRATIVAS"},
    {"4.3.03", "DESPESAS COMERCIAIS"},
    {"4.3.03.001", "COMERCIAIS"},
    {"4.3.04", "DESPESAS TRIBUTÁRIAS"},
    {"4.3.04.001", "TRIBUTÁRIAS"},
    {"4.3.05", "DESPESAS FINANCEIRAS"},
    {"4.3.05.001", "FINANCEIRAS"},
    {"4.4", "APURAÇÃO DO RESULTADO"},
    {"4.4.01", "RESULTADO DO EXERCÍCIO"},
    {"4.4.01.001", "APURAÇÃO"},
    {"5", "CONTAS DE COMPENSAÇÃO"},
    {"5.1", "COMPENSAÇÃO ATIVA"},
    {"5.1.01", "BENS E VALORES DE TERCEIROS"},
    {"5.1.01.001", "CONTROLE ATIVO"},
    {"5.2", "COMPENSAÇÃO PASSIVA"},
    {"5.2.01", "CONTRAPARTIDAS"},
    {"5.2.01.001", "CONTROLE PASSIVO"},
    {"9", "OUTRAS CONTAS"},
    {"9.1", "CONTAS TRANSITÓRIAS"},
    {"9.1.01", "TRANSITÓRIAS"},
    {"9.1.01.001", "TRANSITÓRIAS"},
};

// The analytic accounts, numbered 0001, 0002... under their group.
struct Group {
    const char* code;
    QStringList names;
};
const QList<Group>& groups() {
    static const QList<Group> g = {
        {"1.1.01.001", {"Caixa geral", "Fundo fixo de caixa"}},
        {"1.1.01.002",
         {"Banco do Brasil S.A.", "Caixa Econômica Federal", "Banco Itaú S.A.",
          "Banco Bradesco S.A."}},
        {"1.1.01.003", {"Certificados de depósito bancário", "Fundo de renda fixa"}},
        {"1.1.02.001", {"Clientes nacionais", "Clientes no exterior"}},
        {"1.1.02.002",
         {"ICMS a recuperar", "PIS a recuperar", "COFINS a recuperar", "IRRF a compensar"}},
        {"1.1.02.003", {"Adiantamentos a fornecedores", "Adiantamentos a empregados"}},
        {"1.1.03.001",
         {"Mercadorias para revenda", "Matérias-primas", "Produtos acabados",
          "Material de consumo"}},
        {"1.2.01.001", {"Depósitos judiciais trabalhistas", "Depósitos judiciais tributários"}},
        {"1.2.02.001",
         {"Móveis e utensílios", "Máquinas e equipamentos", "Veículos",
          "Computadores e periféricos", "Edificações"}},
        {"1.2.02.002",
         {"(-) Depreciação de móveis e utensílios", "(-) Depreciação de máquinas",
          "(-) Depreciação de veículos", "(-) Depreciação de computadores",
          "(-) Depreciação de edificações"}},
        {"1.2.03.001", {"Softwares", "Marcas e patentes"}},
        {"2.1.01.001", {"Fornecedores nacionais", "Fornecedores estrangeiros"}},
        {"2.1.02.001",
         {"Salários a pagar", "Férias a pagar", "13º salário a pagar", "Pró-labore a pagar"}},
        {"2.1.02.002", {"INSS a recolher", "FGTS a recolher", "Contribuição sindical a recolher"}},
        {"2.1.03.001",
         {"ICMS a recolher", "PIS a recolher", "COFINS a recolher", "IRPJ a recolher",
          "CSLL a recolher", "ISS a recolher", "IRRF a recolher"}},
        {"2.1.04.001", {"Empréstimos bancários", "Financiamentos"}},
        {"2.2.01.001", {"Empréstimos de longo prazo", "Parcelamentos tributários"}},
        {"3.1.01.001", {"Capital subscrito", "(-) Capital a integralizar"}},
        {"3.1.02.001", {"Reserva legal", "Reserva de lucros"}},
        {"3.1.03.001", {"Lucros acumulados", "(-) Prejuízos acumulados"}},
        {"4.1.01.001",
         {"Venda de mercadorias", "Venda de produtos", "Prestação de serviços",
          "Receita de exportação"}},
        {"4.1.02.001",
         {"(-) Devoluções de vendas", "(-) ICMS sobre vendas", "(-) PIS sobre faturamento",
          "(-) COFINS sobre faturamento", "(-) ISS sobre serviços"}},
        {"4.1.03.001", {"Juros recebidos", "Rendimentos de aplicações", "Descontos obtidos"}},
        {"4.2.01.001",
         {"Custo das mercadorias vendidas", "Custo dos produtos vendidos",
          "Custo dos serviços prestados"}},
        {"4.3.01.001",
         {"Salários", "Férias", "13º salário", "INSS patronal", "FGTS", "Vale-transporte",
          "Vale-refeição", "Pró-labore"}},
        {"4.3.02.001",
         {"Aluguéis", "Energia elétrica", "Água e esgoto", "Telefone e internet",
          "Material de escritório", "Honorários contábeis", "Serviços de terceiros",
          "Manutenção e reparos", "Seguros", "Depreciação"}},
        {"4.3.03.001",
         {"Propaganda e publicidade", "Comissões sobre vendas", "Fretes e carretos",
          "Viagens e estadias"}},
        {"4.3.04.001", {"IPTU", "IPVA", "Taxas diversas"}},
        {"4.3.05.001", {"Juros pagos", "Tarifas bancárias", "IOF", "Descontos concedidos"}},
        {"4.4.01.001",
         {"Apuração do resultado do exercício", "Provisão para IRPJ", "Provisão para CSLL"}},
        {"5.1.01.001", {"Mercadorias de terceiros em consignação", "Garantias prestadas"}},
        {"5.2.01.001", {"Consignantes de mercadorias", "Contrapartida de garantias"}},
        {"9.1.01.001", {"Conta transitória", "Valores a classificar"}},
    };
    return g;
}

QString acc(const char* group, int n) {
    return QStringLiteral("%1.%2").arg(QLatin1String(group)).arg(n, 4, 10, QLatin1Char('0'));
}

int levelOf(const QString& code) {
    return static_cast<int>(code.count(QLatin1Char('.'))) + 1;
}

QString parentOf(const QString& code) {
    const qsizetype dot = code.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : code.left(dot);
}

struct Posting {
    QString account;
    char side; // 'D' or 'C'
    qint64 cents;
};

int digitOf(const QString& s, qsizetype i) {
    return s.at(i).digitValue();
}

} // namespace

QString withCnpjDigits(const QString& base12) {
    static const int w1[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static const int w2[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    QString s = base12;
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += digitOf(s, i) * w1[i];
    int d = sum % 11 < 2 ? 0 : 11 - sum % 11;
    s += QString::number(d);
    sum = 0;
    for (int i = 0; i < 13; ++i)
        sum += digitOf(s, i) * w2[i];
    d = sum % 11 < 2 ? 0 : 11 - sum % 11;
    return s + QString::number(d);
}

QString withCpfDigits(const QString& base9) {
    QString s = base9;
    for (int len = 9; len <= 10; ++len) {
        int sum = 0;
        for (int i = 0; i < len; ++i)
            sum += digitOf(s, i) * (len + 1 - i);
        const int r = (sum * 10) % 11;
        s += QString::number(r == 10 ? 0 : r);
    }
    return s;
}

void makeDemo(QSqlDatabase& db, int postings) {
    const int target = postings > 0 ? postings : kDemoPostings;
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral(
                "SELECT (SELECT COUNT(*) FROM EMPRESA) + (SELECT COUNT(*) FROM CONTCTBL)")))
            fail(QStringLiteral("verificação"), q.lastError());
        if (q.next() && q.value(0).toLongLong() > 0)
            throw std::runtime_error("demo: o banco já tem empresas ou plano de contas; "
                                     "use um banco novo");
    }
    if (!db.transaction())
        fail(QStringLiteral("transação"), db.lastError());
    try {
        // The per-posting trigger would double the time of a large ledger:
        // the aggregates are filled once at the end, in this transaction.
        db::suspendAggregates(db);
        QSqlQuery q(db);
        const QString company = QStringLiteral("01");

        q.prepare(QStringLiteral("INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR,"
                                 " NRINSJUREMPR, SGESTADO, NRINSCESTA, CDMUNICIPIO, NRREGJUNCOM)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QVariant& v :
             {QVariant(company), QVariant(QStringLiteral("Comercial Exemplo Ltda")),
              QVariant(QStringLiteral("Comercial Exemplo de Produtos e Serviços Ltda")),
              QVariant(withCnpjDigits(QStringLiteral("123456780001"))),
              QVariant(QStringLiteral("SP")), QVariant(QStringLiteral("110042490114")),
              QVariant(QStringLiteral("7107")), QVariant(QStringLiteral("35212345678"))})
            q.addBindValue(v);
        exec(q, "EMPRESA");

        q.prepare(QStringLiteral("INSERT INTO CONTADOR (CDEMPRESA, NMCONTADOR, NRINSJURCONT,"
                                 " NRCPFRESPONS, NRCRCCONT2, NRCEP, DSLOGRADOURO, DSCOMPLLOGRA,"
                                 " DSBAIRRO, NRTELCONTATO, NRFAXCONTATO, DSENDINTERN)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const QString& v :
             {company, QStringLiteral("Maria Aparecida de Souza"),
              withCnpjDigits(QStringLiteral("987654320001")),
              withCpfDigits(QStringLiteral("529982247")), QStringLiteral("SP123456O2"),
              QStringLiteral("01310-100"), QStringLiteral("Avenida Paulista, 1000"),
              QStringLiteral("Sala 101"), QStringLiteral("Bela Vista"),
              QStringLiteral("(11) 3333-4444"), QStringLiteral("(11) 3333-4445"),
              QStringLiteral("contato@contabilexemplo.com.br")})
            q.addBindValue(v);
        exec(q, "CONTADOR");

        q.prepare(QStringLiteral("INSERT INTO TECEMPR (CDEMPRESA, NMRAZSOCEMPR, NRINSJUREMPR,"
                                 " NRTELEFOEMPR) VALUES (?, ?, ?, ?)"));
        for (const QString& v :
             {company, QStringLiteral("Sistemas Contábeis Exemplo S.A."),
              withCnpjDigits(QStringLiteral("456789120001")), QStringLiteral("(11) 4000-1234")})
            q.addBindValue(v);
        exec(q, "TECEMPR");

        // Level groups of 1, 1, 2, 3 and 4 digits: five levels.
        q.prepare(QStringLiteral("INSERT INTO PICTURE (IDTIPOPICT, DSPICTURE) VALUES (?, ?)"));
        q.addBindValue(0);
        q.addBindValue(QStringLiteral("9.9.99.999.9999"));
        exec(q, "PICTURE");
        q.addBindValue(2);
        q.addBindValue(QStringLiteral("9.9.99.999.9999;1;_"));
        exec(q, "PICTURE");

        const QDate updated(2024, 1, 2);
        q.prepare(QStringLiteral("INSERT INTO CONTCTBL (CDCONTCTBL, NMCONTCTBL, CDNVCONTCTBL,"
                                 " IDTIPOCONT, CDCONTANTE, IDNATCONT, DTATUALIZ)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        auto addAccount = [&](const QString& code, const QString& name, bool analytic) {
            const QString parent = parentOf(code);
            q.addBindValue(code);
            q.addBindValue(name.left(40));
            q.addBindValue(levelOf(code));
            q.addBindValue(analytic ? QStringLiteral("A") : QStringLiteral("S"));
            q.addBindValue(parent.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                            : QVariant(parent));
            q.addBindValue(code.left(1));
            q.addBindValue(updated);
            exec(q, "CONTCTBL");
        };
        for (const Synthetic& s : kSynthetic)
            addAccount(QString::fromLatin1(s.code), QString::fromUtf8(s.name), false);
        for (const Group& g : groups())
            for (int i = 0; i < g.names.size(); ++i)
                addAccount(acc(g.code, i + 1), g.names[i], true);

        const QStringList centres = {"Administração",
                                     "Comercial",
                                     "Produção",
                                     "Logística",
                                     "Financeiro",
                                     "Recursos humanos",
                                     "Tecnologia da informação",
                                     "Diretoria",
                                     "Compras",
                                     "Qualidade"};
        q.prepare(QStringLiteral("INSERT INTO CENTCUST (CDCENTCUST, NMCENTCUST, DTATUALIZ)"
                                 " VALUES (?, ?, ?)"));
        for (int i = 0; i < centres.size(); ++i) {
            q.addBindValue(QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0')));
            q.addBindValue(centres[i]);
            q.addBindValue(updated);
            exec(q, "CENTCUST");
        }

        // Balances at the end of 2024 after its closing (debit positive).
        const QDate openedOn(2024, 12, 31);
        QList<QPair<QString, qint64>> opening = {
            {acc("1.1.01.001", 1), 150000},   {acc("1.1.01.002", 1), 8500000},
            {acc("1.1.01.002", 3), 4200000},  {acc("1.1.01.003", 1), 10000000},
            {acc("1.1.02.001", 1), 6500000},  {acc("1.1.03.001", 1), 9000000},
            {acc("1.2.02.001", 1), 2500000},  {acc("1.2.02.001", 2), 12000000},
            {acc("1.2.02.001", 3), 8000000},  {acc("1.2.02.001", 4), 1800000},
            {acc("1.2.02.002", 1), -1000000}, {acc("1.2.02.002", 2), -4000000},
            {acc("1.2.02.002", 3), -3200000}, {acc("1.2.02.002", 4), -900000},
            {acc("2.1.01.001", 1), -5200000}, {acc("2.1.02.001", 1), -2800000},
            {acc("2.1.02.002", 1), -900000},  {acc("2.1.03.001", 1), -1100000},
            {acc("2.1.04.001", 1), -6000000}, {acc("3.1.01.001", 1), -30000000},
            {acc("3.1.02.001", 1), -1200000},
        };
        qint64 sum = 0;
        for (const auto& o : opening)
            sum += o.second;
        opening.append({acc("3.1.03.001", 1), -sum}); // the balance sheet balances
        q.prepare(QStringLiteral("INSERT INTO SALDINIC (CDEMPRESA, CDCONTCTBL, DTSALDINIC,"
                                 " VRSALDINIC) VALUES (?, ?, ?, ?)"));
        for (const auto& o : opening) {
            q.addBindValue(company);
            q.addBindValue(o.first);
            q.addBindValue(openedOn);
            q.addBindValue(o.second);
            exec(q, "SALDINIC");
        }

        QSqlQuery qe(db), qp(db), qc(db);
        qe.prepare(QStringLiteral("INSERT INTO LANCCONT (CDEMPRESA, NRLANCCONT, DTLANCCONT,"
                                  " IDENCERR) VALUES (?, ?, ?, ?)"));
        qp.prepare(QStringLiteral("INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC,"
                                  " DTLANCCONT, CDCONTCTBL, CDDOCUCONT, DSHISTLANC, VRLANCAMENT,"
                                  " IDNATLANC) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        qc.prepare(QStringLiteral("INSERT INTO PARTCCUS (CDEMPRESA, NRLANCCONT, NRSEQLANC,"
                                  " CDCENTCUST, VRRATEIO) VALUES (?, ?, ?, ?, ?)"));
        DemoRng rng(20250101);
        QHash<QString, qint64> yearMove; // signed, for the closing
        qint64 entry = 0;
        auto isResult = [](const QString& code) { return code.startsWith(QLatin1Char('4')); };
        auto write = [&](const QDate& day, bool closing, const QString& doc, const QString& history,
                         const QList<Posting>& ps) {
            ++entry;
            qe.addBindValue(company);
            qe.addBindValue(entry);
            qe.addBindValue(day);
            qe.addBindValue(closing ? QStringLiteral("S") : QStringLiteral("N"));
            exec(qe, "LANCCONT");
            for (int i = 0; i < ps.size(); ++i) {
                const Posting& p = ps[i];
                qp.addBindValue(company);
                qp.addBindValue(entry);
                qp.addBindValue(i + 1);
                qp.addBindValue(day);
                qp.addBindValue(p.account);
                qp.addBindValue(doc);
                qp.addBindValue(history);
                qp.addBindValue(p.cents);
                qp.addBindValue(p.side == 'D' ? QStringLiteral("D") : QStringLiteral("C"));
                exec(qp, "PARTLANC");
                yearMove[p.account] += p.side == 'D' ? p.cents : -p.cents;
                if (closing || !isResult(p.account))
                    continue;
                // Result postings are shared among one or two cost centres.
                const int c1 = rng.below(10);
                const bool split = rng.below(3) == 0;
                const qint64 first = split ? p.cents * 60 / 100 : p.cents;
                qc.addBindValue(company);
                qc.addBindValue(entry);
                qc.addBindValue(i + 1);
                qc.addBindValue(QStringLiteral("%1").arg(c1 + 1, 4, 10, QLatin1Char('0')));
                qc.addBindValue(first);
                exec(qc, "PARTCCUS");
                if (split) {
                    qc.addBindValue(company);
                    qc.addBindValue(entry);
                    qc.addBindValue(i + 1);
                    qc.addBindValue(
                        QStringLiteral("%1").arg((c1 + 1) % 10 + 1, 4, 10, QLatin1Char('0')));
                    qc.addBindValue(p.cents - first);
                    exec(qc, "PARTCCUS");
                }
            }
            return static_cast<int>(ps.size());
        };

        QList<QDate> days; // the working days of 2025
        for (QDate d(2025, 1, 1); d.year() == 2025; d = d.addDays(1))
            if (d.dayOfWeek() <= 5)
                days.append(d);
        const QString banks[] = {acc("1.1.01.002", 1), acc("1.1.01.002", 2), acc("1.1.01.002", 3),
                                 acc("1.1.01.002", 4)};
        int written = 0;
        int doc = 0;
        while (written < target) {
            const QDate day =
                days[static_cast<int>(static_cast<qint64>(written) * days.size() / target)];
            const qint64 a = 10000 + rng.below(2000000);
            const QString bank = banks[rng.below(4)];
            const qint64 tax = a * 18 / 100;
            ++doc;
            const QString nf = QStringLiteral("NF%1").arg(doc, 6, 10, QLatin1Char('0'));
            const QString nfText = QStringLiteral("NF %1").arg(doc, 6, 10, QLatin1Char('0'));
            QList<Posting> ps;
            QString hist;
            QString document = nf;
            switch (rng.below(18)) {
            case 0:
                hist = QStringLiteral("Venda à vista conforme %1").arg(nfText);
                ps = {{acc("1.1.01.001", 1), 'D', a}, {acc("4.1.01.001", 1), 'C', a}};
                break;
            case 1:
                hist = QStringLiteral("Venda a prazo conforme %1").arg(nfText);
                ps = {{acc("1.1.02.001", 1), 'D', a},
                      {acc("4.1.01.001", 1), 'C', a},
                      {acc("4.1.02.001", 2), 'D', tax},
                      {acc("2.1.03.001", 1), 'C', tax}};
                break;
            case 2:
                hist = QStringLiteral("Recebimento de cliente ref. %1").arg(nfText);
                ps = {{bank, 'D', a}, {acc("1.1.02.001", 1), 'C', a}};
                break;
            case 3:
                hist = QStringLiteral("Compra de mercadorias conforme %1").arg(nfText);
                ps = {{acc("1.1.03.001", 1), 'D', a - tax},
                      {acc("1.1.02.002", 1), 'D', tax},
                      {acc("2.1.01.001", 1), 'C', a}};
                break;
            case 4:
                hist = QStringLiteral("Pagamento a fornecedor ref. %1").arg(nfText);
                ps = {{acc("2.1.01.001", 1), 'D', a}, {bank, 'C', a}};
                break;
            case 5: {
                const int k = 1 + rng.below(10);
                hist = QStringLiteral("Pagamento de despesa administrativa, doc. %1").arg(nfText);
                ps = {{acc("4.3.02.001", k), 'D', a}, {bank, 'C', a}};
                break;
            }
            case 6:
                hist = QStringLiteral("Folha de pagamento do mês %1")
                           .arg(day.toString(QStringLiteral("MM/yyyy")));
                document = QStringLiteral("FOLHA%1").arg(day.toString(QStringLiteral("MMyyyy")));
                ps = {{acc("4.3.01.001", 1), 'D', a},
                      {acc("2.1.02.001", 1), 'C', a},
                      {acc("4.3.01.001", 4), 'D', a * 20 / 100},
                      {acc("2.1.02.002", 1), 'C', a * 20 / 100},
                      {acc("4.3.01.001", 5), 'D', a * 8 / 100},
                      {acc("2.1.02.002", 2), 'C', a * 8 / 100}};
                break;
            case 7:
                hist = QStringLiteral("Pagamento de salários");
                ps = {{acc("2.1.02.001", 1), 'D', a}, {bank, 'C', a}};
                break;
            case 8:
                hist = QStringLiteral("Baixa do custo das mercadorias vendidas, %1").arg(nfText);
                ps = {{acc("4.2.01.001", 1), 'D', a}, {acc("1.1.03.001", 1), 'C', a}};
                break;
            case 9:
                hist = QStringLiteral("Rendimento de aplicação financeira");
                document = QStringLiteral("EXTRATO");
                ps = {{acc("1.1.01.003", 1), 'D', a / 10 + 1},
                      {acc("4.1.03.001", 2), 'C', a / 10 + 1}};
                break;
            case 10:
                hist = QStringLiteral("Tarifas bancárias do período");
                document = QStringLiteral("EXTRATO");
                ps = {{acc("4.3.05.001", 2), 'D', a / 100 + 1}, {bank, 'C', a / 100 + 1}};
                break;
            case 11: {
                const qint64 part = a / 3;
                hist =
                    QStringLiteral("Rateio de despesas com aluguel e energia, doc. %1").arg(nfText);
                ps = {{acc("4.3.02.001", 1), 'D', a - part},
                      {acc("4.3.02.001", 2), 'D', part},
                      {bank, 'C', a}};
                break;
            }
            case 12:
                hist = QStringLiteral("Prestação de serviços conforme %1").arg(nfText);
                ps = {{acc("1.1.02.001", 1), 'D', a},
                      {acc("4.1.01.001", 3), 'C', a},
                      {acc("4.1.02.001", 5), 'D', a * 5 / 100},
                      {acc("2.1.03.001", 6), 'C', a * 5 / 100}};
                break;
            case 13: {
                const QString due[] = {acc("2.1.03.001", 1), acc("2.1.02.002", 1),
                                       acc("2.1.03.001", 6)};
                hist = QStringLiteral("Recolhimento de tributos e contribuições");
                document = QStringLiteral("GUIA%1").arg(doc, 6, 10, QLatin1Char('0'));
                ps = {{due[rng.below(3)], 'D', a / 2 + 1}, {bank, 'C', a / 2 + 1}};
                break;
            }
            case 14:
                hist = QStringLiteral("Recebimento de mercadorias em consignação, %1").arg(nfText);
                ps = {{acc("5.1.01.001", 1), 'D', a}, {acc("5.2.01.001", 1), 'C', a}};
                break;
            case 15:
                hist = QStringLiteral("Adiantamento para despesas a comprovar");
                document = QStringLiteral("REC%1").arg(doc, 6, 10, QLatin1Char('0'));
                ps = {{acc("9.1.01.001", 1), 'D', a / 20 + 1},
                      {acc("1.1.01.001", 1), 'C', a / 20 + 1}};
                break;
            case 16:
                hist = QStringLiteral("Prestação de contas de despesas de viagem");
                document = QStringLiteral("REC%1").arg(doc, 6, 10, QLatin1Char('0'));
                ps = {{acc("4.3.03.001", 4), 'D', a / 20 + 1},
                      {acc("9.1.01.001", 1), 'C', a / 20 + 1}};
                break;
            default: {
                const int k = 1 + rng.below(3);
                hist = QStringLiteral("Despesas comerciais, doc. %1").arg(nfText);
                ps = {{acc("4.3.03.001", k), 'D', a / 4 + 1}, {bank, 'C', a / 4 + 1}};
                break;
            }
            }
            written += write(day, false, document, hist, ps);
        }

        // Closing of 2025: every result account into the year's result, then
        // the result into retained earnings.
        const QDate yearEnd(2025, 12, 31);
        const QString result = acc("4.4.01.001", 1);
        QStringList resultAccounts;
        for (auto it = yearMove.cbegin(); it != yearMove.cend(); ++it)
            if (isResult(it.key()) && it.key() != result && it.value() != 0)
                resultAccounts.append(it.key());
        std::sort(resultAccounts.begin(), resultAccounts.end());
        QList<Posting> close;
        qint64 net = 0;
        for (const QString& code : resultAccounts) {
            const qint64 b = yearMove.value(code);
            close.append({code, b > 0 ? 'C' : 'D', b > 0 ? b : -b});
            net += b;
        }
        if (!close.isEmpty()) {
            close.append({result, net > 0 ? 'D' : 'C', net > 0 ? net : -net});
            if (net == 0)
                close.removeLast();
            write(yearEnd, true, QStringLiteral("ENC2025"),
                  QStringLiteral("Encerramento das contas de resultado do exercício de 2025"),
                  close);
            const qint64 r = yearMove.value(result);
            if (r != 0)
                write(yearEnd, true, QStringLiteral("ENC2025"),
                      QStringLiteral("Transferência do resultado do exercício de 2025"),
                      {{result, r > 0 ? 'C' : 'D', r > 0 ? r : -r},
                       {acc("3.1.03.001", 1), r > 0 ? 'D' : 'C', r > 0 ? r : -r}});
        }
        db::rebuildAggregates(db);
        if (!db.commit())
            fail(QStringLiteral("commit"), db.lastError());
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace server
