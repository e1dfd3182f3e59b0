// The run through a recording host: checks and their focus, progress, busy
// rule, statuses, counters, call order, and what a stop leaves behind.
#include "generator/run.h"
#include "generator/text.h"
#include "screen/catalogue.h"
#include "scriptedserver.h"
#include "suite/core/messages.h"
#include "suite/core/syserror.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using gen::Control;

namespace {
class FakeHost final : public gen::RunHost {
public:
    QHash<Control, QString> texts;
    QHash<Control, QDate> dates;
    int centr = -1, purpose = -1;
    bool all = true;
    QString selection;
    int answer = suite::mrYes;
    suite::TMessages catalogue{gerArqPrevCatalogue()};

    // What happened.
    QStringList statuses, informed, asked;
    QList<int> positions;
    int busyOn = 0, busyOff = 0, checks = 0;
    bool panel = false;
    std::optional<Control> focus;
    QString failText;
    int saldMens = -1, lancCont = -1, saldAntEnc = -1;

    QString text(Control c) const override { return texts.value(c); }
    std::optional<QDate> date(Control c) const override {
        const QDate d = dates.value(c);
        return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
    }
    int centralisationIndex() const override { return centr; }
    int purposeIndex() const override { return purpose; }
    bool allResultAccounts() const override { return all; }
    QString resultSelection() const override { return selection; }
    void setResultSelection(const QString& s) override { selection = s; }
    void checkDestination() override { ++checks; }
    void checkCompany() override {
        ++checks;
        if (texts.value(Control::CdEmpresa).isEmpty())
            fail(Control::CdEmpresa, msg("Emp_Cad"), suite::AbortReason::Check);
    }
    QString msg(const QString& key) const override { return catalogue.Msg(key); }
    [[noreturn]] void fail(Control c, const QString& text, suite::AbortReason r,
                           const QString& = {}) override {
        focus = c;
        failText = text;
        throw suite::EAbort(r);
    }
    QStringList details;
    int ask(const QString& key) override {
        asked << key;
        return answer;
    }
    void inform(const QString& text, const QString& detail = {}) override {
        informed << text;
        details << detail;
    }
    void showProgress(bool v) override { panel = v; }
    void setStatus(const QString& t) override { statuses << t; }
    void setProgress(int p) override { positions << p; }
    void repaint() override {}
    void busy(bool on) override {
        on ? ++busyOn : ++busyOff;
        busyNow = on;
    }
    bool busyNow = false;
    UnitCounters unitCounters() override { return {&saldMens, &lancCont, &saldAntEnc}; }
};

QJsonObject rowsOf(const char* method, int n, const std::function<QJsonObject(int)>& row) {
    QJsonArray rows;
    for (int i = 0; i < n; ++i)
        rows.append(row(i));
    return {{method, QJsonArray{QJsonObject{{"rows", rows}}}}};
}

QJsonObject merge(QJsonObject a, const QJsonObject& b) {
    for (auto it = b.begin(); it != b.end(); ++it)
        a.insert(it.key(), it.value());
    return a;
}

QJsonObject months(int r) {
    return rowsOf("getsaldmens", r, [](int i) {
        return QJsonObject{
            {"DTSALDEMPR", QDate(2025, 3, 1).addMonths(i % 12).toString("dd/MM/yyyy")},
            {"CDCONTCTBL", QString::number(i)},
            {"VRSALDEMPR", 1.0}};
    });
}
QJsonObject postings(int e) {
    return rowsOf("GetLancCont", e, [](int i) {
        return QJsonObject{{"NRLANCCONT", QString::number(i / 3)},
                           {"NRSEQLANC", QString::number(i % 3 + 1)}};
    });
}
} // namespace

class TstRun : public QObject {
    Q_OBJECT
private slots:
    void init();
    void trimmedAmountText_data();
    void trimmedAmountText();
    void tiraMask_data();
    void tiraMask();
    void stopsBeforeOpening_data();
    void stopsBeforeOpening();
    void declinedOverwriteLeavesFile();
    void progressAndBusy_data();
    void progressAndBusy();
    void callOrder();
    void writeFailureIsNoSuccess();
    void failureAfterBlock0CleansUp_data();
    void failureAfterBlock0CleansUp();
    void specialDestinationRefused();
    void writesThroughLink();
    void separatorsReported();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    FakeHost host_;
    void prepare(FakeHost& h) {
        h.texts[Control::ArqDest] = tmp_->filePath("out.txt");
        h.texts[Control::CdEmpresa] = "01";
        h.dates[Control::DataIni] = QDate(2025, 3, 10);
        h.dates[Control::DataFin] = QDate(2025, 5, 2);
        h.dates[Control::DataApu] = QDate(2025, 6, 20);
    }
};

void TstRun::init() {
    tmp_ = std::make_unique<QTemporaryDir>();
}

void TstRun::trimmedAmountText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("negative one decimal") << -150.5 << "150,5";
    QTest::newRow("whole") << 200.0 << "200";
    QTest::newRow("quarter") << 0.25 << "0,25";
    QTest::newRow("tiny") << 1.5e-7 << "0";
    QTest::newRow("1E15") << 1e15 << "1000000000000000";
    QTest::newRow("half cent up") << 0.005 << "0,01";
    QTest::newRow("below half cent") << 0.0049 << "0";
    QTest::newRow("shown 1.005") << 1.005 << "1,01";
    QTest::newRow("negative half away") << -2.675 << "2,68";
    QTest::newRow("carry") << 9.999 << "10";
    QTest::newRow("two decimals kept") << 1234.56 << "1234,56";
    QTest::newRow("zero") << 0.0 << "0";
}

void TstRun::trimmedAmountText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(gen::trimmedAmountText(value), text);
}

void TstRun::tiraMask_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("registration") << "11.222.333/0001-81"
                                  << "11222333000181";
    QTest::newRow("sign and comma") << "-1.234,56"
                                    << "1234,56";
    QTest::newRow("untouched") << "Açúcar (1), a b"
                               << "Açúcar (1), a b";
    QTest::newRow("only separators") << "-./"
                                     << "";
    QTest::newRow("date") << gen::dateText(QDate(2025, 3, 1)) << "01032025";
}

void TstRun::tiraMask() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(gen::TiraMask(in), out);
}

void TstRun::stopsBeforeOpening_data() {
    QTest::addColumn<int>("broken");
    QTest::addColumn<int>("focus");
    QTest::addColumn<QString>("key");
    QTest::newRow("company empty") << 0 << int(Control::CdEmpresa) << "Emp_Cad";
    QTest::newRow("start empty") << 1 << int(Control::DataIni) << "DtIni_Inv";
    QTest::newRow("end empty") << 2 << int(Control::DataFin) << "DtFin_Inv";
    QTest::newRow("start after end") << 3 << int(Control::DataIni) << "Dt_Inv";
    QTest::newRow("assessment empty") << 4 << int(Control::DataApu) << "DtApu_Inv";
    QTest::newRow("folder missing") << 5 << int(Control::ArqDest) << "Dir_NEx";
}

void TstRun::stopsBeforeOpening() {
    QFETCH(int, broken);
    QFETCH(int, focus);
    QFETCH(QString, key);
    FakeHost h;
    prepare(h);
    // The user agreed to overwrite an existing file; a failing check must
    // still leave it untouched.
    QFile f(h.texts[Control::ArqDest]);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old\r\n");
    f.close();
    switch (broken) {
    case 0:
        h.texts[Control::CdEmpresa].clear();
        break;
    case 1:
        h.dates.remove(Control::DataIni);
        break;
    case 2:
        h.dates.remove(Control::DataFin);
        break;
    case 3:
        h.dates[Control::DataIni] = QDate(2025, 6, 1);
        break;
    case 4:
        h.dates.remove(Control::DataApu);
        break;
    case 5:
        h.texts[Control::ArqDest] = tmp_->filePath("none/out.txt");
        break;
    }
    GerArqPrevDatasets ds;
    ScriptedServer server({});
    gen::GerArqPrevRun run(h, ds, server);
    QVERIFY_THROWS_EXCEPTION(suite::EAbort, run.execute());
    QCOMPARE(int(*h.focus), focus);
    QCOMPARE(h.failText, h.msg(key));
    QVERIFY(server.trace.isEmpty());
    QVERIFY(h.positions.isEmpty());
    QFile again(tmp_->filePath("out.txt"));
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), QByteArray("old\r\n"));
}

void TstRun::declinedOverwriteLeavesFile() {
    FakeHost h;
    prepare(h);
    h.answer = suite::mrNo;
    QFile f(h.texts[Control::ArqDest]);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old\r\n");
    f.close();
    GerArqPrevDatasets ds;
    ScriptedServer server({});
    const gen::RunOutcome r = gen::GerArqPrevRun(h, ds, server).execute();
    QVERIFY(!r.written);
    QCOMPARE(h.asked, QStringList{"Arq_exist"});
    QVERIFY(h.informed.isEmpty());
    QVERIFY(server.trace.isEmpty());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old\r\n"));
}

void TstRun::progressAndBusy_data() {
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("e");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("no entries") << 3 << 0;
    QTest::newRow("both") << 4 << 5;
    QTest::newRow("bar saturates") << 200 << 0;
}

void TstRun::progressAndBusy() {
    QFETCH(int, r);
    QFETCH(int, e);
    FakeHost h;
    prepare(h);
    GerArqPrevDatasets ds;
    ScriptedServer server(merge(months(r), postings(e)));
    const gen::RunOutcome out = gen::GerArqPrevRun(h, ds, server).execute();
    QVERIFY(out.written);
    QCOMPARE(out.progressSteps, 15 + r + e);
    QCOMPARE(h.positions.front(), 0);
    QCOMPARE(h.positions.size(), 1 + 15 + r + e);
    QCOMPARE(h.positions.back(), qMin(120, 15 + r + e));
    for (int p : h.positions)
        QVERIFY(p <= 120);
    QCOMPARE(h.busyOn, 2 + r + (e > 0 ? 1 : 0));
    QCOMPARE(h.busyOff, 1 + (e > 0 ? 1 : 0));
    QCOMPARE(server.trace.size(), 8 + 3 * r + e);
    QCOMPARE(out.remoteCalls, qint64(8 + 3 * r + e));
    QCOMPARE(h.saldMens, r);
    QCOMPARE(h.lancCont, e);
    QCOMPARE(h.saldAntEnc, 0);
    QCOMPARE(h.selection, QString("T"));
    QVERIFY(!h.panel);
    QCOMPARE(h.informed, QStringList{h.msg("Ger_Ok")});
    QCOMPARE(h.statuses.front(), h.msg("Abert_Arquivo"));
    QCOMPARE(h.statuses.back(), h.msg("Enc_Arq"));
    QCOMPARE(h.statuses.size(), 18);
    // The datasets the run closes.
    QVERIFY(!ds.cdsLancCont.Active());
    QVERIFY(!ds.cdsSaldAntEnc.Active());
    QVERIFY(!ds.cdsCredDeb.Active());
    QCOMPARE(ds.cdsSaldMens.RecordCount(), r);
}

void TstRun::callOrder() {
    FakeHost h;
    prepare(h);
    h.all = false;
    h.selection = "4.1;4.2";
    GerArqPrevDatasets ds;
    ScriptedServer server(
        merge(rowsOf("getsaldmens", 1,
                     [](int) {
                         return QJsonObject{{"DTSALDEMPR", "15/03/2024"}, {"CDCONTCTBL", "1.1.01"}};
                     }),
              postings(1)));
    gen::GerArqPrevRun(h, ds, server).execute();
    const QStringList want = {
        "getsaldmens(01, 01/03/2025, 31/05/2025)",
        "GetLancCont(01, 01/03/2025, 31/05/2025)",
        "GetIdContrib(01, 01/03/2025, 31/05/2025)",
        "GetDadosCont(01)",
        "GetDadosTecEmpr(01)",
        "GetPlanContas()",
        "GetCentrCust()",
        // 29/02/2024 as a day count.
        "GetSaldAntEnc(01, _1.1.01_, , 45351)",
        "getcreddeb(01, 01/03/2024, 31/03/2024, , T, 1.1.01)",
        "getcreddeb(01, 01/03/2024, 31/03/2024, T, , 1.1.01)",
        "GetCcLanc(01, 0, 1)",
        "GetSaldAntEnc(01, 4.1;4.2, 4.1;4.2, 31/05/2025)",
    };
    QCOMPARE(server.trace, want);
}

void TstRun::writeFailureIsNoSuccess() {
    // A device that refuses every write: the writer must say so.
    struct Refusing : QIODevice {
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char*, qint64) override { return -1; }
    } device;
    QVERIFY(device.open(QIODevice::WriteOnly));
    gen::LineWriter out(device);
    QVERIFY_THROWS_EXCEPTION(gen::WriteError, out.write("0001", {"0"}));
    QCOMPARE(out.lines(), 0);

    // A full disk is named as such, not by the system's English text.
    QFile full(QStringLiteral("/dev/full"));
    if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        QSKIP("no /dev/full");
    gen::LineWriter onFull(full);
    try {
        onFull.write("0001", {"0"});
        QFAIL("a write to a full disk went through");
    } catch (const gen::WriteError& e) {
        QCOMPARE(suite::systemErrorText(e.err()), QStringLiteral("disco cheio"));
    }
}

void TstRun::failureAfterBlock0CleansUp_data() {
    QTest::addColumn<QString>("method");
    QTest::newRow("chart, busy off") << "GetPlanContas";
    QTest::newRow("a month's balance, busy on") << "GetSaldAntEnc";
    QTest::newRow("cost centres of a posting, busy on") << "GetCcLanc";
}

// A server failure once block 0 is written: the run's context is gone by
// the time the clean-up runs, which must still turn the busy indicator off,
// hide the panel, end the run's read and leave the destination as it was.
void TstRun::failureAfterBlock0CleansUp() {
    QFETCH(QString, method);
    FakeHost h;
    prepare(h);
    {
        QFile old(h.texts[Control::ArqDest]);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("anterior\r\n");
    }
    QJsonObject answers = merge(months(2), postings(3));
    answers.insert(method, QJsonArray{QJsonObject{
                               {"error", QJsonObject{{"code", 7}, {"message", "banco caiu"}}}}});
    GerArqPrevDatasets ds;
    ScriptedServer server(answers);
    QVERIFY_THROWS_EXCEPTION(suite::EAbort, gen::GerArqPrevRun(h, ds, server).execute());
    QVERIFY(server.trace.last().startsWith(method));
    QVERIFY(h.busyOn > 0);
    QVERIFY(!h.busyNow);
    QVERIFY(!h.panel);
    QVERIFY(h.informed.isEmpty());
    QCOMPARE(server.readsBegun, 1);
    QCOMPARE(server.readsEnded, 1);
    QFile kept(h.texts[Control::ArqDest]);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("anterior\r\n"));
    QCOMPARE(QDir(tmp_->path()).entryList(QDir::Files), QStringList{"out.txt"});
}

void TstRun::specialDestinationRefused() {
    // A pipe under the destination name is never replaced by a plain file.
    FakeHost h;
    prepare(h);
    const QString fifo = tmp_->filePath("pipe.txt");
    QVERIFY(::mkfifo(fifo.toLocal8Bit().constData(), 0600) == 0);
    h.texts[Control::ArqDest] = fifo;
    GerArqPrevDatasets ds;
    ScriptedServer server({});
    gen::GerArqPrevRun run(h, ds, server);
    QVERIFY_THROWS_EXCEPTION(suite::EAbort, run.execute());
    QCOMPARE(h.failText, h.msg("Arq_Inv"));
    QVERIFY(!QFileInfo(fifo).isFile());
    QVERIFY(server.trace.isEmpty());
}

void TstRun::writesThroughLink() {
    FakeHost h;
    prepare(h);
    const QString target = tmp_->filePath("real.txt");
    const QString link = tmp_->filePath("link.txt");
    QFile t(target);
    QVERIFY(t.open(QIODevice::WriteOnly));
    t.close();
    QVERIFY(QFile::link(target, link));
    h.texts[Control::ArqDest] = link;
    GerArqPrevDatasets ds;
    ScriptedServer server({});
    gen::GerArqPrevRun(h, ds, server).execute();
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(target).size() > 0);
}

void TstRun::separatorsReported() {
    FakeHost h;
    prepare(h);
    GerArqPrevDatasets ds;
    ScriptedServer server(rowsOf("GetCentrCust", 1, [](int) {
        return QJsonObject{{"CDCENTCUST", "A|B"}, {"NMCENTCUST", "x\ny"}};
    }));
    const gen::RunOutcome r = gen::GerArqPrevRun(h, ds, server).execute();
    QCOMPARE(r.separatorsReplaced, 2);
    QCOMPARE(h.informed.size(), 2);
    QVERIFY2(h.informed[1].contains("I100 linha 8 campo 3; I100 linha 8 campo 4"),
             qPrintable(h.informed[1]));
}

QTEST_GUILESS_MAIN(TstRun)
#include "tst_run.moc"
