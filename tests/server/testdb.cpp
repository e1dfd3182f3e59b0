#include "testdb.h"
#include "db/dbgeral.h"
#include <QCoreApplication>
#include <QDate>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>
#include <stdexcept>

namespace srvtest {
namespace {

bool usePg() {
    return qEnvironmentVariable("GERARQPREV_TEST_BACKEND") == QLatin1String("pg");
}

QTemporaryDir& tempDir() {
    static QTemporaryDir dir;
    return dir;
}

QHash<QString, QString>& urls() {
    static QHash<QString, QString> u;
    return u;
}
QHash<QString, QString>& schemas() {
    static QHash<QString, QString> s;
    return s;
}

void run(QSqlDatabase& db, const QString& sql, const QVariantList& binds = {}) {
    QSqlQuery q(db);
    if (!q.prepare(sql))
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    for (const QVariant& v : binds)
        q.addBindValue(v);
    if (!q.exec())
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
}

void adminExec(const QString& sql) {
    const QString conn = QStringLiteral("srvtest-admin");
    {
        QSqlDatabase a = db::open(qEnvironmentVariable("GERARQPREV_TEST_PG_URL"), conn);
        QSqlQuery q(a);
        if (!q.exec(sql))
            throw std::runtime_error(q.lastError().text().toStdString());
        a.close();
    }
    QSqlDatabase::removeDatabase(conn);
}

} // namespace

QString unavailable() {
    if (usePg() && qEnvironmentVariable("GERARQPREV_TEST_PG_URL").isEmpty())
        return QStringLiteral("GERARQPREV_TEST_PG_URL is not set");
    return {};
}

QSqlDatabase openFresh(const QString& name, int upTo) {
    static int serial = 0;
    QString url;
    if (usePg()) {
        const QString schema =
            QStringLiteral("srv_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        adminExec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
        adminExec(QStringLiteral("CREATE SCHEMA %1").arg(schema));
        url = qEnvironmentVariable("GERARQPREV_TEST_PG_URL");
        url += (url.contains(QLatin1Char('?')) ? QStringLiteral("&schema=")
                                               : QStringLiteral("?schema=")) +
               schema;
        schemas().insert(name, schema);
    } else {
        url = tempDir().filePath(QStringLiteral("%1-%2.db").arg(name).arg(++serial));
    }
    urls().insert(name, url);
    QSqlDatabase d = db::open(url, name);
    db::applyMigrations(d, upTo);
    return d;
}

QString urlOf(const QString& name) {
    return urls().value(name);
}

void dropAll(const QString& name) {
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    const QString schema = schemas().take(name);
    if (!schema.isEmpty())
        adminExec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
}

void buildFixture(QSqlDatabase& db) {
    const QString empresa = QStringLiteral(
        "INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR, NRINSJUREMPR, SGESTADO,"
        " NRINSCESTA, CDMUNICIPIO, NRREGJUNCOM) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    run(db, empresa,
        {"01", "Empresa Um", "Empresa Um Ltda", "11222333000181", "SP", "123", "7107", "JC1"});
    run(db, empresa, {"02", "Empresa Dois", "Empresa Dois S.A.", "", "RJ", "", "6001", ""});
    run(db,
        QStringLiteral("INSERT INTO CONTADOR (CDEMPRESA, NMCONTADOR, NRINSJURCONT, NRCPFRESPONS,"
                       " NRCRCCONT2, NRCEP, DSLOGRADOURO, DSCOMPLLOGRA, DSBAIRRO, NRTELCONTATO,"
                       " NRFAXCONTATO, DSENDINTERN) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {"01", "João Contador", "", "52998224725", "SP1234", "01310-100", "Rua A, 1", "", "Centro",
         "(11) 1111-1111", "", "joao@example.com"});
    run(db,
        QStringLiteral("INSERT INTO TECEMPR (CDEMPRESA, NMRAZSOCEMPR, NRINSJUREMPR, NRTELEFOEMPR)"
                       " VALUES (?, ?, ?, ?)"),
        {"01", "Software Ltda", "11444777000161", "(11) 2222-2222"});
    run(db, QStringLiteral("INSERT INTO PICTURE (IDTIPOPICT, DSPICTURE) VALUES (0, '9.9.99')"));

    const QString conta = QStringLiteral(
        "INSERT INTO CONTCTBL (CDCONTCTBL, NMCONTCTBL, CDNVCONTCTBL, IDTIPOCONT, CDCONTANTE,"
        " IDNATCONT, DTATUALIZ) VALUES (?, ?, ?, ?, ?, ?, ?)");
    const QVariant none{QMetaType(QMetaType::QString)};
    const QDate upd(2024, 1, 2);
    struct A {
        const char *code, *name;
        int level;
        const char *kind, *parent, *nature;
    };
    const A accounts[] = {
        {"1", "ATIVO", 1, "S", nullptr, "1"},
        {"1.1", "DISPONÍVEL", 2, "S", "1", "1"},
        {"1.1.01", "Caixa", 3, "A", "1.1", "1"},
        {"1.1.02", "Banco", 3, "A", "1.1", "1"},
        {"2", "PASSIVO", 1, "S", nullptr, "2"},
        {"2.1", "CIRCULANTE", 2, "S", "2", "2"},
        {"2.1.01", "Fornecedores", 3, "A", "2.1", "2"},
        {"3", "PL", 1, "S", nullptr, "3"},
        {"3.1", "LUCROS", 2, "S", "3", "3"},
        {"3.1.01", "Lucros", 3, "A", "3.1", "3"},
        {"4", "RESULTADO", 1, "S", nullptr, "4"},
        {"4.1", "OPERACIONAL", 2, "S", "4", "4"},
        {"4.1.01", "Vendas", 3, "A", "4.1", "4"},
        {"4.1.02", "Despesas", 3, "A", "4.1", "4"},
        {"4.1.09", "Apuração", 3, "A", "4.1", "4"},
    };
    for (const A& a : accounts)
        run(db, conta,
            {QString::fromLatin1(a.code), QString::fromUtf8(a.name), a.level,
             QString::fromLatin1(a.kind), a.parent ? QVariant(QString::fromLatin1(a.parent)) : none,
             QString::fromLatin1(a.nature), upd});
    const QString centro =
        QStringLiteral("INSERT INTO CENTCUST (CDCENTCUST, NMCENTCUST, DTATUALIZ) VALUES (?, ?, ?)");
    run(db, centro, {"0002", "Comercial", QDate(2024, 3, 4)});
    run(db, centro, {"0001", "Administração", upd});

    const QString saldo = QStringLiteral("INSERT INTO SALDINIC (CDEMPRESA, CDCONTCTBL, DTSALDINIC,"
                                         " VRSALDINIC) VALUES (?, ?, ?, ?)");
    run(db, saldo, {"01", "1.1.01", QDate(2024, 12, 31), 100000});
    run(db, saldo, {"01", "3.1.01", QDate(2024, 12, 31), -100000});

    const QString lanc = QStringLiteral(
        "INSERT INTO LANCCONT (CDEMPRESA, NRLANCCONT, DTLANCCONT, IDENCERR) VALUES (?, ?, ?, ?)");
    const QString part = QStringLiteral(
        "INSERT INTO PARTLANC (CDEMPRESA, NRLANCCONT, NRSEQLANC, DTLANCCONT, CDCONTCTBL,"
        " CDDOCUCONT, DSHISTLANC, VRLANCAMENT, IDNATLANC) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    struct P {
        const char* company;
        int entry, seq;
        QDate day;
        const char *account, *doc, *hist;
        qint64 cents;
        const char* side;
    };
    const QDate d1(2025, 1, 10), d2(2025, 1, 20), d3(2025, 3, 5), d4(2025, 12, 31);
    run(db, lanc, {"01", 1, d1, "N"});
    run(db, lanc, {"01", 2, d2, "N"});
    run(db, lanc, {"01", 3, d3, "N"});
    run(db, lanc, {"01", 4, d4, "S"});
    run(db, lanc, {"01", 5, d4, "S"});
    run(db, lanc, {"02", 1, QDate(2025, 1, 15), "N"});
    const P postings[] = {
        {"01", 1, 1, d1, "1.1.01", "NF1", "Venda | à vista", 50000, "D"},
        {"01", 1, 2, d1, "4.1.01", "NF1", "Venda | à vista", 50000, "C"},
        {"01", 2, 1, d2, "4.1.02", "", "Tarifa", 12345, "D"},
        {"01", 2, 2, d2, "1.1.02", "", "Tarifa", 12345, "C"},
        {"01", 3, 1, d3, "1.1.02", "DEP", "Depósito", 20000, "D"},
        {"01", 3, 2, d3, "1.1.01", "DEP", "Depósito", 20000, "C"},
        {"01", 4, 1, d4, "4.1.01", "ENC", "Encerramento", 50000, "D"},
        {"01", 4, 2, d4, "4.1.02", "ENC", "Encerramento", 12345, "C"},
        {"01", 4, 3, d4, "4.1.09", "ENC", "Encerramento", 37655, "C"},
        {"01", 5, 1, d4, "4.1.09", "ENC", "Transferência", 37655, "D"},
        {"01", 5, 2, d4, "3.1.01", "ENC", "Transferência", 37655, "C"},
        {"02", 1, 1, QDate(2025, 1, 15), "1.1.01", "X", "Outra empresa", 999, "D"},
        {"02", 1, 2, QDate(2025, 1, 15), "4.1.01", "X", "Outra empresa", 999, "C"},
    };
    for (const P& p : postings)
        run(db, part,
            {QString::fromLatin1(p.company), p.entry, p.seq, p.day, QString::fromLatin1(p.account),
             QString::fromLatin1(p.doc), QString::fromUtf8(p.hist), p.cents,
             QString::fromLatin1(p.side)});
    const QString cc = QStringLiteral("INSERT INTO PARTCCUS (CDEMPRESA, NRLANCCONT, NRSEQLANC,"
                                      " CDCENTCUST, VRRATEIO) VALUES (?, ?, ?, ?, ?)");
    run(db, cc, {"01", 1, 2, "0002", 20000});
    run(db, cc, {"01", 1, 2, "0001", 30000});
}

} // namespace srvtest
