#include "db/dbgeral.h"
#include "db/sqlrun.h"
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <algorithm>
#include <stdexcept>
#include <sys/stat.h>
#include <utility>

namespace db {
namespace {

// A migration: statements written in the subset of SQL that SQLite and
// PostgreSQL read alike (VARCHAR, INTEGER, BIGINT, DATE, plain constraints),
// then the statements of the connection's product, for what the two write
// differently (triggers, date arithmetic). Amounts are integer cents. Never
// edit an applied migration; append a new one.
struct Migration {
    Migration(QStringList b, QStringList s = {}, QStringList p = {})
        : both(std::move(b)), sqlite(std::move(s)), postgres(std::move(p)) {}
    QStringList both;
    QStringList sqlite;
    QStringList postgres;
};

// Version 3. SALDDIA holds one row per company, account, day (the postings'
// DTLANCCONT) and closing flag (the entry's IDENCERR); SALDMES the same per
// month, DTSALDO being the month's first day. A balance at day D then reads
// the months before D's month and the days of D's month up to D.
QString aggregateTable(const char* name, const char* suffix) {
    return QStringLiteral("CREATE TABLE %1 ("
                          " CDEMPRESA VARCHAR(2) NOT NULL,"
                          " CDCONTCTBL VARCHAR(20) NOT NULL,"
                          " DTSALDO DATE NOT NULL,"
                          " IDENCERR VARCHAR(1) NOT NULL CHECK (IDENCERR IN ('S','N')),"
                          " VRDEBITO BIGINT NOT NULL,"
                          " VRCREDITO BIGINT NOT NULL,"
                          " PRIMARY KEY (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR))%2")
        .arg(QLatin1String(name), QLatin1String(suffix));
}

// The postings already there (an upgraded database, or after a bulk load).
// Every posting goes in as ordinary first, straight from the covering index
// by account and day (a posting whose entry is missing stays ordinary, as
// the closing-entry look-up had it); then the few closing entries' postings
// get rows of their own and are taken out of the ordinary ones, which may
// leave rows that sum to nothing. UPDATE ... FROM needs SQLite 3.33 or later.
const char* kFillDays[] = {
    "INSERT INTO SALDDIA (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO, VRCREDITO)"
    " SELECT CDEMPRESA, CDCONTCTBL, DTLANCCONT, 'N',"
    " CAST(SUM(CASE WHEN IDNATLANC = 'D' THEN VRLANCAMENT ELSE 0 END) AS BIGINT),"
    " CAST(SUM(CASE WHEN IDNATLANC = 'D' THEN 0 ELSE VRLANCAMENT END) AS BIGINT)"
    " FROM PARTLANC GROUP BY CDEMPRESA, CDCONTCTBL, DTLANCCONT",
    // CROSS JOIN: SQLite then reads the entries first, not every posting.
    "INSERT INTO SALDDIA (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO, VRCREDITO)"
    " SELECT P.CDEMPRESA, P.CDCONTCTBL, P.DTLANCCONT, 'S',"
    " CAST(SUM(CASE WHEN P.IDNATLANC = 'D' THEN P.VRLANCAMENT ELSE 0 END) AS BIGINT),"
    " CAST(SUM(CASE WHEN P.IDNATLANC = 'D' THEN 0 ELSE P.VRLANCAMENT END) AS BIGINT)"
    " FROM LANCCONT L CROSS JOIN PARTLANC P WHERE L.IDENCERR = 'S'"
    " AND P.CDEMPRESA = L.CDEMPRESA AND P.NRLANCCONT = L.NRLANCCONT"
    " GROUP BY P.CDEMPRESA, P.CDCONTCTBL, P.DTLANCCONT",
    "UPDATE SALDDIA AS ORD SET VRDEBITO = ORD.VRDEBITO - ENC.VRDEBITO,"
    " VRCREDITO = ORD.VRCREDITO - ENC.VRCREDITO FROM SALDDIA AS ENC"
    " WHERE ENC.IDENCERR = 'S' AND ORD.IDENCERR = 'N' AND ORD.CDEMPRESA = ENC.CDEMPRESA"
    " AND ORD.CDCONTCTBL = ENC.CDCONTCTBL AND ORD.DTSALDO = ENC.DTSALDO",
};

// The first day of DTSALDO's month.
const char* kSqliteMonth = "date(DTSALDO, 'start of month')";
const char* kPgMonth = "CAST(date_trunc('month', DTSALDO) AS DATE)";

// Both tables from the postings; they must be empty.
QStringList fill(bool postgres) {
    QStringList out;
    for (const char* sql : kFillDays)
        out << QLatin1String(sql);
    out << QStringLiteral("INSERT INTO SALDMES (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR,"
                          " VRDEBITO, VRCREDITO) SELECT CDEMPRESA, CDCONTCTBL, %1, IDENCERR,"
                          " CAST(SUM(VRDEBITO) AS BIGINT), CAST(SUM(VRCREDITO) AS BIGINT)"
                          " FROM SALDDIA GROUP BY CDEMPRESA, CDCONTCTBL, %1, IDENCERR")
               .arg(QLatin1String(postgres ? kPgMonth : kSqliteMonth));
    return out;
}

const char* kUpsert = " ON CONFLICT (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR) DO UPDATE SET"
                      " VRDEBITO = VRDEBITO + excluded.VRDEBITO,"
                      " VRCREDITO = VRCREDITO + excluded.VRCREDITO;";

// SQLite: adds (sign "") or takes back (sign "-") the posting rec (NEW or
// OLD) in both tables.
QString sqliteMove(const char* rec, const char* sign) {
    const QString values =
        QStringLiteral("%1.CDEMPRESA, %1.CDCONTCTBL, %3,"
                       " COALESCE((SELECT IDENCERR FROM LANCCONT WHERE CDEMPRESA = %1.CDEMPRESA"
                       " AND NRLANCCONT = %1.NRLANCCONT), 'N'),"
                       " %2(CASE WHEN %1.IDNATLANC = 'D' THEN %1.VRLANCAMENT ELSE 0 END),"
                       " %2(CASE WHEN %1.IDNATLANC = 'D' THEN 0 ELSE %1.VRLANCAMENT END)");
    const QString day = QStringLiteral("%1.DTLANCCONT").arg(QLatin1String(rec));
    const QString month =
        QStringLiteral("date(%1.DTLANCCONT, 'start of month')").arg(QLatin1String(rec));
    QString out;
    for (const auto& [table, date] : {std::pair{"SALDDIA", day}, std::pair{"SALDMES", month}})
        out += QStringLiteral(" INSERT INTO %1 (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO,"
                              " VRCREDITO) VALUES (%2)")
                   .arg(QLatin1String(table),
                        values.arg(QLatin1String(rec), QLatin1String(sign), date)) +
               QLatin1String(kUpsert);
    return out;
}

// SQLite: moves an entry's postings from the old closing flag to the new.
QString sqliteFlip(const char* flag, const char* sign) {
    QString out;
    const QString select =
        QStringLiteral("SELECT CDEMPRESA, CDCONTCTBL, %1, %2.IDENCERR,"
                       " %3(CASE WHEN IDNATLANC = 'D' THEN VRLANCAMENT ELSE 0 END),"
                       " %3(CASE WHEN IDNATLANC = 'D' THEN 0 ELSE VRLANCAMENT END)"
                       " FROM PARTLANC WHERE CDEMPRESA = OLD.CDEMPRESA"
                       " AND NRLANCCONT = OLD.NRLANCCONT");
    for (const auto& [table, date] : {std::pair{"SALDDIA", "DTLANCCONT"},
                                      std::pair{"SALDMES", "date(DTLANCCONT, 'start of month')"}})
        out += QStringLiteral(" INSERT INTO %1 (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO,"
                              " VRCREDITO) ")
                   .arg(QLatin1String(table)) +
               select.arg(QLatin1String(date), QLatin1String(flag), QLatin1String(sign)) +
               QLatin1String(kUpsert);
    return out;
}

// PostgreSQL: version 3's trigger on the postings, which names the columns
// it follows; a column named there cannot change type while it exists.
const char* kPgPostingTrigger =
    "CREATE TRIGGER TGPARTLANC_SALDO AFTER INSERT OR DELETE OR UPDATE OF"
    " CDEMPRESA, NRLANCCONT, CDCONTCTBL, DTLANCCONT, VRLANCAMENT, IDNATLANC"
    " ON PARTLANC FOR EACH ROW EXECUTE FUNCTION FNPARTLANC_SALDO()";

// PostgreSQL: the same as plpgsql functions; FNSALDO_SOMA adds signed
// debits and credits to one day and its month.
const char* kPgSoma =
    "CREATE FUNCTION FNSALDO_SOMA(P_EMPRESA VARCHAR, P_CONTA VARCHAR, P_DIA DATE,"
    " P_ENCERR VARCHAR, P_DEBITO BIGINT, P_CREDITO BIGINT) RETURNS VOID LANGUAGE plpgsql AS $$"
    " BEGIN"
    "  INSERT INTO SALDDIA AS S (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO, VRCREDITO)"
    "  VALUES (P_EMPRESA, P_CONTA, P_DIA, P_ENCERR, P_DEBITO, P_CREDITO)"
    "  ON CONFLICT (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR) DO UPDATE SET"
    "  VRDEBITO = S.VRDEBITO + EXCLUDED.VRDEBITO, VRCREDITO = S.VRCREDITO + EXCLUDED.VRCREDITO;"
    "  INSERT INTO SALDMES AS S (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO, VRCREDITO)"
    "  VALUES (P_EMPRESA, P_CONTA, CAST(date_trunc('month', P_DIA) AS DATE), P_ENCERR, P_DEBITO,"
    "  P_CREDITO)"
    "  ON CONFLICT (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR) DO UPDATE SET"
    "  VRDEBITO = S.VRDEBITO + EXCLUDED.VRDEBITO, VRCREDITO = S.VRCREDITO + EXCLUDED.VRCREDITO;"
    " END $$";

const char* kPgPosting =
    "CREATE FUNCTION FNPARTLANC_SALDO() RETURNS TRIGGER LANGUAGE plpgsql AS $$"
    " BEGIN"
    "  IF TG_OP <> 'INSERT' THEN"
    "   PERFORM FNSALDO_SOMA(OLD.CDEMPRESA, OLD.CDCONTCTBL, OLD.DTLANCCONT,"
    "    COALESCE((SELECT L.IDENCERR FROM LANCCONT L WHERE L.CDEMPRESA = OLD.CDEMPRESA"
    "    AND L.NRLANCCONT = OLD.NRLANCCONT), 'N'),"
    "    -(CASE WHEN OLD.IDNATLANC = 'D' THEN OLD.VRLANCAMENT ELSE 0 END),"
    "    -(CASE WHEN OLD.IDNATLANC = 'D' THEN 0 ELSE OLD.VRLANCAMENT END));"
    "  END IF;"
    "  IF TG_OP <> 'DELETE' THEN"
    "   PERFORM FNSALDO_SOMA(NEW.CDEMPRESA, NEW.CDCONTCTBL, NEW.DTLANCCONT,"
    "    COALESCE((SELECT L.IDENCERR FROM LANCCONT L WHERE L.CDEMPRESA = NEW.CDEMPRESA"
    "    AND L.NRLANCCONT = NEW.NRLANCCONT), 'N'),"
    "    CASE WHEN NEW.IDNATLANC = 'D' THEN NEW.VRLANCAMENT ELSE 0 END,"
    "    CASE WHEN NEW.IDNATLANC = 'D' THEN 0 ELSE NEW.VRLANCAMENT END);"
    "  END IF;"
    "  RETURN NULL;"
    " END $$";

const char* kPgEntry =
    "CREATE FUNCTION FNLANCCONT_SALDO() RETURNS TRIGGER LANGUAGE plpgsql AS $$"
    " DECLARE R RECORD;"
    " BEGIN"
    "  FOR R IN SELECT CDCONTCTBL, DTLANCCONT,"
    "   CASE WHEN IDNATLANC = 'D' THEN VRLANCAMENT ELSE 0 END AS D,"
    "   CASE WHEN IDNATLANC = 'D' THEN 0 ELSE VRLANCAMENT END AS C"
    "   FROM PARTLANC WHERE CDEMPRESA = OLD.CDEMPRESA AND NRLANCCONT = OLD.NRLANCCONT LOOP"
    "   PERFORM FNSALDO_SOMA(OLD.CDEMPRESA, R.CDCONTCTBL, R.DTLANCCONT, OLD.IDENCERR, -R.D, -R.C);"
    "   PERFORM FNSALDO_SOMA(OLD.CDEMPRESA, R.CDCONTCTBL, R.DTLANCCONT, NEW.IDENCERR, R.D, R.C);"
    "  END LOOP;"
    "  RETURN NULL;"
    " END $$";

Migration aggregates() {
    Migration m({});
    m.sqlite = {
        // Without rowid the key is the table: a range of days is read in
        // key order with its amounts.
        aggregateTable("SALDDIA", " WITHOUT ROWID"),
        aggregateTable("SALDMES", " WITHOUT ROWID"),
    };
    m.sqlite += fill(false);
    m.sqlite += {
        QStringLiteral("CREATE TRIGGER TGPARTLANC_INS AFTER INSERT ON PARTLANC BEGIN") +
            sqliteMove("NEW", "") + QStringLiteral(" END"),
        QStringLiteral("CREATE TRIGGER TGPARTLANC_DEL AFTER DELETE ON PARTLANC BEGIN") +
            sqliteMove("OLD", "-") + QStringLiteral(" END"),
        QStringLiteral("CREATE TRIGGER TGPARTLANC_UPD AFTER UPDATE OF CDEMPRESA, NRLANCCONT,"
                       " CDCONTCTBL, DTLANCCONT, VRLANCAMENT, IDNATLANC ON PARTLANC BEGIN") +
            sqliteMove("OLD", "-") + sqliteMove("NEW", "") + QStringLiteral(" END"),
        QStringLiteral("CREATE TRIGGER TGLANCCONT_ENCERR AFTER UPDATE OF IDENCERR ON LANCCONT"
                       " WHEN OLD.IDENCERR <> NEW.IDENCERR BEGIN") +
            sqliteFlip("OLD", "-") + sqliteFlip("NEW", "") + QStringLiteral(" END"),
    };
    m.postgres = {
        aggregateTable("SALDDIA", ""),
        aggregateTable("SALDMES", ""),
    };
    m.postgres += fill(true);
    m.postgres += {
        QLatin1String(kPgSoma),
        QLatin1String(kPgPosting),
        QLatin1String(kPgEntry),
        QLatin1String(kPgPostingTrigger),
        QStringLiteral("CREATE TRIGGER TGLANCCONT_ENCERR AFTER UPDATE OF IDENCERR ON LANCCONT"
                       " FOR EACH ROW WHEN (OLD.IDENCERR <> NEW.IDENCERR)"
                       " EXECUTE FUNCTION FNLANCCONT_SALDO()"),
    };
    return m;
}

// Version 4. Codes, names and entry numbers as the company's books have
// them: SQLite keeps any length already, so only PostgreSQL widens (removing
// a length limit rewrites neither table nor index). An imported entry keeps
// the book's number in NRLANCLIVRO and shows NRLANCEXT, the same text made
// unique per company (docs/schema.md); NRLANCCONT stays the key and the order
// within a day.
Migration wholeTexts() {
    Migration m({
        "ALTER TABLE LANCCONT ADD COLUMN NRLANCLIVRO VARCHAR",
        "ALTER TABLE LANCCONT ADD COLUMN NRLANCEXT VARCHAR",
        "ALTER TABLE PARTLANC ADD COLUMN NRLANCEXT VARCHAR",
        "CREATE UNIQUE INDEX IXLANCCONT_NREXT ON LANCCONT (CDEMPRESA, NRLANCEXT)",
        "CREATE INDEX IXLANCCONT_NRLIVRO ON LANCCONT"
        " (CDEMPRESA, NRLANCLIVRO, DTLANCCONT, NRLANCCONT)",
    });
    const QList<QPair<const char*, QStringList>> widened = {
        {"EMPRESA", {"NMEMPRESA", "NMRAZSOCEMPR"}},
        {"CONTADOR", {"NMCONTADOR", "NRCPFRESPONS", "NRCRCCONT2", "NRTELCONTATO", "DSENDINTERN"}},
        {"PICTURE", {"DSPICTURE"}},
        {"CONTCTBL", {"CDCONTCTBL", "NMCONTCTBL", "CDCONTANTE"}},
        {"CENTCUST", {"CDCENTCUST", "NMCENTCUST"}},
        {"SALDINIC", {"CDCONTCTBL"}},
        {"PARTLANC", {"CDCONTCTBL", "CDDOCUCONT", "DSHISTLANC"}},
        {"PARTCCUS", {"CDCENTCUST"}},
        {"SALDDIA", {"CDCONTCTBL"}},
        {"SALDMES", {"CDCONTCTBL"}},
    };
    m.postgres << QStringLiteral("DROP TRIGGER TGPARTLANC_SALDO ON PARTLANC");
    for (const auto& [table, columns] : widened) {
        QStringList alter;
        for (const QString& c : columns)
            alter << QStringLiteral("ALTER COLUMN %1 TYPE VARCHAR").arg(c);
        m.postgres << QStringLiteral("ALTER TABLE %1 ").arg(QLatin1String(table)) +
                          alter.join(QStringLiteral(", "));
    }
    // The municipality's code of seven digits, as the national registry and
    // the books write it.
    m.postgres << QStringLiteral("ALTER TABLE EMPRESA ALTER COLUMN CDMUNICIPIO TYPE VARCHAR(7)")
               << QLatin1String(kPgPostingTrigger);
    return m;
}

const QList<Migration>& migrations() {
    static const QList<Migration> list = {
        // 1: the accounting tables the screen and the application server read.
        {{
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
        }},
        // 2: the pre-closing balances look up a year's closing entries.
        {{
            "CREATE INDEX IXLANCCONT_ENCERR ON LANCCONT (CDEMPRESA, IDENCERR, DTLANCCONT)",
        }},
        // 3: debits and credits per account and day and per account and month,
        // kept by triggers, so that a balance or a month's movement reads a
        // few rows instead of every posting.
        aggregates(),
        // 4: codes, names and the books' entry numbers kept whole.
        wholeTexts(),
    };
    return list;
}

void rollback(QSqlDatabase& db) {
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
}

// Whoever holds it may migrate: every process serialises on it, so the
// version read under it is the one the next step builds on. On PostgreSQL a
// transaction-scoped advisory lock (released with the transaction), on SQLite
// the database's write lock taken at BEGIN (a second writer waits for the
// busy timeout the connection was opened with).
constexpr qint64 kMigrationLockKey = 0x6765726172717076; // "gerarqpv"

void beginLocked(QSqlDatabase& db, const QString& what) {
    if (isPostgres(db)) {
        run(db, what, QStringLiteral("BEGIN"));
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
        q.addBindValue(kMigrationLockKey);
        if (!q.exec()) {
            const QSqlError e = q.lastError();
            rollback(db);
            fail(what, e);
        }
    } else {
        run(db, what, QStringLiteral("BEGIN IMMEDIATE"));
    }
}

// The version, read inside the locked transaction (the table is made there
// too, so two first starts do not race to create it).
int lockedVersion(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS SCHEMA_VERSION ("
                               " NRVERSAO INTEGER NOT NULL PRIMARY KEY,"
                               " DSVERSAO VARCHAR(80))")) ||
        !q.exec(QStringLiteral("SELECT MAX(NRVERSAO) FROM SCHEMA_VERSION"))) {
        const QSqlError e = q.lastError();
        rollback(db);
        fail(QStringLiteral("SCHEMA_VERSION"), e);
    }
    return q.next() ? q.value(0).toInt() : 0;
}

// Which database a connection reaches, so that a process migrates each one
// once however many connections it opens. Empty for one that cannot be told
// apart (an in-memory SQLite database is new with every connection).
QString databaseKey(QSqlDatabase& db) {
    if (isPostgres(db)) {
        QSqlQuery q(db);
        const QString schema = q.exec(QStringLiteral("SELECT current_schema()")) && q.next()
                                   ? q.value(0).toString()
                                   : QString();
        return QStringLiteral("pg:%1:%2/%3/%4")
            .arg(db.hostName())
            .arg(db.port())
            .arg(db.databaseName(), schema);
    }
    const QString path = db.databaseName();
    struct stat st {};
    if (path.isEmpty() || path == QLatin1String(":memory:") ||
        ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    // The file itself, not its name: one made again under the same name is
    // another database.
    return QStringLiteral("sqlite:%1:%2:%3")
        .arg(st.st_dev)
        .arg(st.st_ino)
        .arg(QFileInfo(path).fileTime(QFileDevice::FileBirthTime).toMSecsSinceEpoch());
}

QMutex& migratedMutex() {
    static QMutex m;
    return m;
}
QSet<QString>& migrated() {
    static QSet<QString> done;
    return done;
}

} // namespace

int schemaVersion() {
    return static_cast<int>(migrations().size());
}

void applyMigrations(QSqlDatabase& db, int upTo) {
    if (!db.isOpen())
        throw std::runtime_error("applyMigrations: the connection is not open");
    const int target = upTo > 0 ? std::min(upTo, schemaVersion()) : schemaVersion();
    const QString key = target == schemaVersion() ? databaseKey(db) : QString();
    // Threads of one process take turns; other processes wait on the lock.
    QMutexLocker once(&migratedMutex());
    if (!key.isEmpty() && migrated().contains(key))
        return;
    for (;;) {
        beginLocked(db, QStringLiteral("migration"));
        const int have = lockedVersion(db);
        if (have > schemaVersion()) {
            rollback(db);
            throw std::runtime_error(QStringLiteral("database schema version %1 is newer than "
                                                    "this program (%2)")
                                         .arg(have)
                                         .arg(schemaVersion())
                                         .toStdString());
        }
        if (have >= target) {
            run(db, QStringLiteral("migration"), QStringLiteral("COMMIT"));
            break;
        }
        // One transaction per version: both products roll DDL back, so a
        // failed step leaves the previous version intact.
        const int v = have + 1;
        const QString what = QStringLiteral("migration %1").arg(v);
        QSqlQuery q(db);
        const Migration& m = migrations()[v - 1];
        for (const QString& sql : m.both + (isPostgres(db) ? m.postgres : m.sqlite)) {
            if (!q.exec(sql)) {
                const QSqlError e = q.lastError();
                rollback(db);
                fail(what, e);
            }
        }
        q.prepare(QStringLiteral("INSERT INTO SCHEMA_VERSION (NRVERSAO, DSVERSAO) VALUES (?, ?)"));
        q.addBindValue(v);
        q.addBindValue(QStringLiteral("versão %1").arg(v));
        if (!q.exec()) {
            const QSqlError e = q.lastError();
            rollback(db);
            fail(what, e);
        }
        q.finish();
        run(db, what, QStringLiteral("COMMIT"));
    }
    if (!key.isEmpty())
        migrated().insert(key);
}

namespace {

// SQLite cannot switch a trigger off: it is dropped, then created again from
// the newest migration that defines it.
QString sqliteTrigger(const QString& name) {
    const QString head = QStringLiteral("CREATE TRIGGER %1 ").arg(name);
    for (auto m = migrations().crbegin(); m != migrations().crend(); ++m)
        for (const QString& sql : m->sqlite)
            if (sql.startsWith(head))
                return sql;
    throw std::runtime_error("no migration defines trigger " + name.toStdString());
}

} // namespace

void suspendAggregates(QSqlDatabase& db) {
    runAll(db, QStringLiteral("suspendAggregates"),
           {isPostgres(db) ? QStringLiteral("ALTER TABLE PARTLANC DISABLE TRIGGER TGPARTLANC_SALDO")
                           : QStringLiteral("DROP TRIGGER TGPARTLANC_INS")});
}

void rebuildAggregates(QSqlDatabase& db) {
    const bool pg = isPostgres(db);
    runAll(
        db, QStringLiteral("rebuildAggregates"),
        QStringList{QStringLiteral("DELETE FROM SALDMES"), QStringLiteral("DELETE FROM SALDDIA")} +
            fill(pg) +
            QStringList{pg ? QStringLiteral("ALTER TABLE PARTLANC ENABLE TRIGGER TGPARTLANC_SALDO")
                           : sqliteTrigger(QStringLiteral("TGPARTLANC_INS"))});
}

namespace {

const char* kPostingTriggers[] = {"TGPARTLANC_INS", "TGPARTLANC_DEL", "TGPARTLANC_UPD"};

} // namespace

void updateStatistics(QSqlDatabase& db, const QStringList& tables) {
    if (isPostgres(db) && !tables.isEmpty())
        runAll(db, QStringLiteral("updateStatistics"),
               {QStringLiteral("ANALYZE ") + tables.join(QStringLiteral(", "))});
}

void suspendPostingAggregates(QSqlDatabase& db) {
    QStringList statements;
    if (isPostgres(db))
        statements << QStringLiteral("ALTER TABLE PARTLANC DISABLE TRIGGER TGPARTLANC_SALDO");
    else
        for (const char* name : kPostingTriggers)
            statements << QStringLiteral("DROP TRIGGER %1").arg(QLatin1String(name));
    runAll(db, QStringLiteral("suspendPostingAggregates"), statements);
}

void resumePostingAggregates(QSqlDatabase& db) {
    QStringList statements;
    if (isPostgres(db))
        statements << QStringLiteral("ALTER TABLE PARTLANC ENABLE TRIGGER TGPARTLANC_SALDO");
    else
        for (const char* name : kPostingTriggers)
            statements << sqliteTrigger(QLatin1String(name));
    runAll(db, QStringLiteral("resumePostingAggregates"), statements);
}

// The same three steps as the full fill (kFillDays, then the months), over
// one company's days from..to and the months they touch.
void refreshAggregates(QSqlDatabase& db, const QString& company, const QDate& from,
                       const QDate& to) {
    const QString what = QStringLiteral("refreshAggregates");
    const bool pg = isPostgres(db);
    // PostgreSQL plans by statistics that a bulk load has just outdated:
    // without fresh ones the closing entries' step below compares every day
    // row with every other.
    updateStatistics(db, {QStringLiteral("LANCCONT"), QStringLiteral("PARTLANC")});
    const QDate firstMonth(from.year(), from.month(), 1);
    const QDate afterMonths = QDate(to.year(), to.month(), 1).addMonths(1);
    run(db, what,
        QStringLiteral("DELETE FROM SALDDIA WHERE CDEMPRESA = ? AND DTSALDO >= ?"
                       " AND DTSALDO <= ?"),
        {company, from, to});
    run(db, what,
        QStringLiteral("DELETE FROM SALDMES WHERE CDEMPRESA = ? AND DTSALDO >= ?"
                       " AND DTSALDO < ?"),
        {company, firstMonth, afterMonths});
    run(db, what,
        QStringLiteral(
            "INSERT INTO SALDDIA (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO,"
            " VRCREDITO) SELECT CDEMPRESA, CDCONTCTBL, DTLANCCONT, 'N',"
            " CAST(SUM(CASE WHEN IDNATLANC = 'D' THEN VRLANCAMENT ELSE 0 END) AS BIGINT),"
            " CAST(SUM(CASE WHEN IDNATLANC = 'D' THEN 0 ELSE VRLANCAMENT END) AS BIGINT)"
            " FROM PARTLANC WHERE CDEMPRESA = ? AND DTLANCCONT >= ? AND DTLANCCONT <= ?"
            " GROUP BY CDEMPRESA, CDCONTCTBL, DTLANCCONT"),
        {company, from, to});
    run(db, what,
        QStringLiteral(
            "INSERT INTO SALDDIA (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR, VRDEBITO,"
            " VRCREDITO) SELECT P.CDEMPRESA, P.CDCONTCTBL, P.DTLANCCONT, 'S',"
            " CAST(SUM(CASE WHEN P.IDNATLANC = 'D' THEN P.VRLANCAMENT ELSE 0 END) AS BIGINT),"
            " CAST(SUM(CASE WHEN P.IDNATLANC = 'D' THEN 0 ELSE P.VRLANCAMENT END) AS BIGINT)"
            " FROM LANCCONT L CROSS JOIN PARTLANC P WHERE L.CDEMPRESA = ?"
            " AND L.IDENCERR = 'S' AND P.CDEMPRESA = L.CDEMPRESA"
            " AND P.NRLANCCONT = L.NRLANCCONT AND P.DTLANCCONT >= ? AND P.DTLANCCONT <= ?"
            " GROUP BY P.CDEMPRESA, P.CDCONTCTBL, P.DTLANCCONT"),
        {company, from, to});
    updateStatistics(db, {QStringLiteral("SALDDIA")});
    run(db, what,
        QStringLiteral("UPDATE SALDDIA AS ORD SET VRDEBITO = ORD.VRDEBITO - ENC.VRDEBITO,"
                       " VRCREDITO = ORD.VRCREDITO - ENC.VRCREDITO FROM SALDDIA AS ENC"
                       " WHERE ENC.IDENCERR = 'S' AND ORD.IDENCERR = 'N'"
                       " AND ENC.CDEMPRESA = ? AND ENC.DTSALDO >= ? AND ENC.DTSALDO <= ?"
                       " AND ORD.CDEMPRESA = ENC.CDEMPRESA"
                       " AND ORD.CDCONTCTBL = ENC.CDCONTCTBL AND ORD.DTSALDO = ENC.DTSALDO"),
        {company, from, to});
    run(db, what,
        QStringLiteral("INSERT INTO SALDMES (CDEMPRESA, CDCONTCTBL, DTSALDO, IDENCERR,"
                       " VRDEBITO, VRCREDITO) SELECT CDEMPRESA, CDCONTCTBL, %1, IDENCERR,"
                       " CAST(SUM(VRDEBITO) AS BIGINT), CAST(SUM(VRCREDITO) AS BIGINT)"
                       " FROM SALDDIA WHERE CDEMPRESA = ? AND DTSALDO >= ? AND DTSALDO < ?"
                       " GROUP BY CDEMPRESA, CDCONTCTBL, %1, IDENCERR")
            .arg(QLatin1String(pg ? kPgMonth : kSqliteMonth)),
        {company, firstMonth, afterMonths});
}

} // namespace db
