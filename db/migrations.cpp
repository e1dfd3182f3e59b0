#include "db/dbgeral.h"
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <stdexcept>

namespace db {
namespace {

// Each migration is a list of statements written in the subset of SQL that
// SQLite and PostgreSQL read alike: VARCHAR, INTEGER, BIGINT, DATE, plain
// constraints. Amounts are integer cents. Never edit an applied migration;
// append a new one.
const QList<QStringList>& migrations() {
    static const QList<QStringList> list = {
        // 1: the accounting tables the screen and the application server read.
        {
            "CREATE TABLE EMPRESA ("
            " CDEMPRESA VARCHAR(2) NOT NULL PRIMARY KEY,"
            " NMEMPRESA VARCHAR(40) NOT NULL,"
            " NMRAZSOCEMPR VARCHAR(80) NOT NULL,"
            " NRINSJUREMPR VARCHAR(20),"
            " SGESTADO VARCHAR(2),"
            " NRINSCESTA VARCHAR(16),"
            " CDMUNICIPIO VARCHAR(4),"
            " NRREGJUNCOM VARCHAR(20))",

            "CREATE TABLE CONTADOR ("
            " CDEMPRESA VARCHAR(2) NOT NULL PRIMARY KEY REFERENCES EMPRESA(CDEMPRESA),"
            " NMCONTADOR VARCHAR(30) NOT NULL,"
            " NRINSJURCONT VARCHAR(14),"
            " NRCPFRESPONS VARCHAR(11),"
            " NRCRCCONT2 VARCHAR(11),"
            " NRCEP VARCHAR(15),"
            " DSLOGRADOURO VARCHAR(50),"
            " DSCOMPLLOGRA VARCHAR(20),"
            " DSBAIRRO VARCHAR(20),"
            " NRTELCONTATO VARCHAR(25),"
            " NRFAXCONTATO VARCHAR(25),"
            " DSENDINTERN VARCHAR(60))",

            "CREATE TABLE TECEMPR ("
            " CDEMPRESA VARCHAR(2) NOT NULL PRIMARY KEY REFERENCES EMPRESA(CDEMPRESA),"
            " NMRAZSOCEMPR VARCHAR(80) NOT NULL,"
            " NRINSJUREMPR VARCHAR(20),"
            " NRTELEFOEMPR VARCHAR(25))",

            "CREATE TABLE PICTURE ("
            " IDTIPOPICT INTEGER NOT NULL PRIMARY KEY,"
            " DSPICTURE VARCHAR(60) NOT NULL)",

            "CREATE TABLE CONTCTBL ("
            " CDCONTCTBL VARCHAR(20) NOT NULL PRIMARY KEY,"
            " NMCONTCTBL VARCHAR(40) NOT NULL,"
            " CDNVCONTCTBL INTEGER NOT NULL CHECK (CDNVCONTCTBL BETWEEN 1 AND 9),"
            " IDTIPOCONT VARCHAR(1) NOT NULL CHECK (IDTIPOCONT IN ('S','A')),"
            " CDCONTANTE VARCHAR(20) REFERENCES CONTCTBL(CDCONTCTBL),"
            " IDNATCONT VARCHAR(1) NOT NULL CHECK (IDNATCONT IN ('1','2','3','4','5','9')),"
            " DTATUALIZ DATE NOT NULL)",
            "CREATE INDEX IXCONTCTBL_NIVEL ON CONTCTBL (CDNVCONTCTBL, CDCONTCTBL)",

            "CREATE TABLE CENTCUST ("
            " CDCENTCUST VARCHAR(4) NOT NULL PRIMARY KEY,"
            " NMCENTCUST VARCHAR(40) NOT NULL,"
            " DTATUALIZ DATE NOT NULL)",

            // Balance of an account when the company's books start on this
            // installation (debit positive); entries after DTSALDINIC add to it.
            "CREATE TABLE SALDINIC ("
            " CDEMPRESA VARCHAR(2) NOT NULL REFERENCES EMPRESA(CDEMPRESA),"
            " CDCONTCTBL VARCHAR(20) NOT NULL REFERENCES CONTCTBL(CDCONTCTBL),"
            " DTSALDINIC DATE NOT NULL,"
            " VRSALDINIC BIGINT NOT NULL,"
            " PRIMARY KEY (CDEMPRESA, CDCONTCTBL))",

            "CREATE TABLE LANCCONT ("
            " CDEMPRESA VARCHAR(2) NOT NULL REFERENCES EMPRESA(CDEMPRESA),"
            " NRLANCCONT BIGINT NOT NULL,"
            " DTLANCCONT DATE NOT NULL,"
            " IDENCERR VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (IDENCERR IN ('S','N')),"
            " PRIMARY KEY (CDEMPRESA, NRLANCCONT))",
            "CREATE INDEX IXLANCCONT_DATA ON LANCCONT (CDEMPRESA, DTLANCCONT, NRLANCCONT)",

            // DTLANCCONT repeats the entry's date so that the per-account
            // balance and movement sums read one index; writers keep it equal.
            "CREATE TABLE PARTLANC ("
            " CDEMPRESA VARCHAR(2) NOT NULL,"
            " NRLANCCONT BIGINT NOT NULL,"
            " NRSEQLANC INTEGER NOT NULL,"
            " DTLANCCONT DATE NOT NULL,"
            " CDCONTCTBL VARCHAR(20) NOT NULL REFERENCES CONTCTBL(CDCONTCTBL),"
            " CDDOCUCONT VARCHAR(20),"
            " DSHISTLANC VARCHAR(200),"
            " VRLANCAMENT BIGINT NOT NULL CHECK (VRLANCAMENT >= 0),"
            " IDNATLANC VARCHAR(1) NOT NULL CHECK (IDNATLANC IN ('D','C')),"
            " PRIMARY KEY (CDEMPRESA, NRLANCCONT, NRSEQLANC),"
            " FOREIGN KEY (CDEMPRESA, NRLANCCONT) REFERENCES LANCCONT(CDEMPRESA, NRLANCCONT))",
            "CREATE INDEX IXPARTLANC_CONTA ON PARTLANC"
            " (CDEMPRESA, CDCONTCTBL, DTLANCCONT, IDNATLANC, VRLANCAMENT)",
            "CREATE INDEX IXPARTLANC_DATA ON PARTLANC (CDEMPRESA, DTLANCCONT, NRLANCCONT, "
            "NRSEQLANC)",

            // Cost centres of a posting; VRRATEIO is the share in cents.
            "CREATE TABLE PARTCCUS ("
            " CDEMPRESA VARCHAR(2) NOT NULL,"
            " NRLANCCONT BIGINT NOT NULL,"
            " NRSEQLANC INTEGER NOT NULL,"
            " CDCENTCUST VARCHAR(4) NOT NULL REFERENCES CENTCUST(CDCENTCUST),"
            " VRRATEIO BIGINT NOT NULL CHECK (VRRATEIO >= 0),"
            " PRIMARY KEY (CDEMPRESA, NRLANCCONT, NRSEQLANC, CDCENTCUST),"
            " FOREIGN KEY (CDEMPRESA, NRLANCCONT, NRSEQLANC)"
            "  REFERENCES PARTLANC(CDEMPRESA, NRLANCCONT, NRSEQLANC))",
        },
        // 2: the pre-closing balances look up a year's closing entries.
        {
            "CREATE INDEX IXLANCCONT_ENCERR ON LANCCONT (CDEMPRESA, IDENCERR, DTLANCCONT)",
        },
    };
    return list;
}

[[noreturn]] void fail(const QString& what, const QSqlError& e) {
    throw std::runtime_error(QStringLiteral("%1: %2").arg(what, e.text()).toStdString());
}

int currentVersion(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS SCHEMA_VERSION ("
                               " NRVERSAO INTEGER NOT NULL PRIMARY KEY,"
                               " DSVERSAO VARCHAR(80))")))
        fail(QStringLiteral("SCHEMA_VERSION"), q.lastError());
    if (!q.exec(QStringLiteral("SELECT MAX(NRVERSAO) FROM SCHEMA_VERSION")))
        fail(QStringLiteral("SCHEMA_VERSION"), q.lastError());
    return q.next() ? q.value(0).toInt() : 0;
}

} // namespace

int schemaVersion() {
    return static_cast<int>(migrations().size());
}

void applyMigrations(QSqlDatabase& db) {
    if (!db.isOpen())
        throw std::runtime_error("applyMigrations: the connection is not open");
    const int have = currentVersion(db);
    if (have > schemaVersion())
        throw std::runtime_error(QStringLiteral("database schema version %1 is newer than this "
                                                "program (%2)")
                                     .arg(have)
                                     .arg(schemaVersion())
                                     .toStdString());
    for (int v = have + 1; v <= schemaVersion(); ++v) {
        // One transaction per version: both products roll DDL back, so a
        // failed step leaves the previous version intact.
        if (!db.transaction())
            fail(QStringLiteral("migration %1").arg(v), db.lastError());
        QSqlQuery q(db);
        for (const QString& sql : migrations()[v - 1]) {
            if (!q.exec(sql)) {
                const QSqlError e = q.lastError();
                db.rollback();
                fail(QStringLiteral("migration %1").arg(v), e);
            }
        }
        q.prepare(QStringLiteral("INSERT INTO SCHEMA_VERSION (NRVERSAO, DSVERSAO) VALUES (?, ?)"));
        q.addBindValue(v);
        q.addBindValue(QStringLiteral("versão %1").arg(v));
        if (!q.exec()) {
            const QSqlError e = q.lastError();
            db.rollback();
            fail(QStringLiteral("migration %1").arg(v), e);
        }
        if (!db.commit())
            fail(QStringLiteral("migration %1").arg(v), db.lastError());
    }
}

} // namespace db
