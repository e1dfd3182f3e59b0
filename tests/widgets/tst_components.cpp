#include "suite/core/messages.h"
#include "suite/data/adoibquery.h"
#include "suite/data/dbpicture.h"
#include "suite/widgets/btnpesquisa.h"
#include "suite/widgets/dateeditplus.h"
#include "suite/widgets/guarded.h"
#include "suite/widgets/guipresenter.h"
#include "suite/widgets/maskedit.h"
#include "suite/widgets/pesquisalista.h"
#include "suite/widgets/savedialog.h"
#include "suite/widgets/scriptedpresenter.h"
#include "suite/widgets/showavi.h"
#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <stdexcept>

// The shared components the screens are built from, each through its own
// interface.
class TestComponents : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void maskValue_data();
    void maskValue();
    void maskToToolkit_data();
    void maskToToolkit();
    void formatWithMask_data();
    void formatWithMask();
    void pictureLevels_data();
    void pictureLevels();

    void dateEditTexts_data();
    void dateEditTexts();
    void dateEditStartsEmptyAndSteps();

    void listPicker_data();
    void listPicker();
    void listPickerWithoutRows();
    void searchButton();
    void searchButtonBeforeHandlerCancels();

    void boundarySwallowsAbortAndShowsErrors();
    void busyIndicatorStartsOnceStopsOnce();
    void fileFilterAndStartFolder();
    void queryBindsParametersAndPicksDialect();

private:
    suite::TADOIBQuery& accounts();
    QSqlDatabase db_;
    std::unique_ptr<suite::ScriptedPresenter> ui_;
    std::unique_ptr<suite::TADOIBQuery> query_;
};

void TestComponents::initTestCase() {
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("wid"));
    db_.setDatabaseName(QStringLiteral(":memory:"));
    QVERIFY(db_.open());
    QSqlQuery q(db_);
    QVERIFY(q.exec(QStringLiteral("CREATE TABLE CONTA (CD VARCHAR(20), NM VARCHAR(40), NV INT)")));
    QVERIFY(q.exec(QStringLiteral("INSERT INTO CONTA VALUES ('4101001','Mercadorias',4),"
                                  "('4101002','Serviços',4),('4101003','Aluguéis',4),"
                                  "('41','Receitas',2)")));
}

void TestComponents::init() {
    ui_.reset(); // the old presenter uninstalls itself before the new one goes in
    ui_ = std::make_unique<suite::ScriptedPresenter>();
    query_.reset();
}

suite::TADOIBQuery& TestComponents::accounts() {
    query_ = std::make_unique<suite::TADOIBQuery>();
    query_->setConnection(db_);
    query_->SQL = {QStringLiteral("SELECT CD, NM FROM CONTA"),
                   QStringLiteral("WHERE NV = :P_NV ORDER BY CD")};
    query_->AddParam(QStringLiteral("P_NV")).SetAsString(QStringLiteral("4"));
    query_->Query.AddField(QStringLiteral("CD"), 20, QStringLiteral("Código")).EditMask =
        QStringLiteral("9.9.99.999;0;_");
    query_->Query.AddField(QStringLiteral("NM"), 40, QStringLiteral("Nome"));
    return *query_;
}

void TestComponents::maskValue_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("value");
    const QString cpf = QStringLiteral("999.999.999-99;0; ");
    QTest::newRow("cpf untouched") << cpf << ""
                                   << "";
    QTest::newRow("cpf full") << cpf << "52998224725"
                              << "52998224725";
    QTest::newRow("cpf partial drops unfilled") << cpf << "5299822"
                                                << "5299822";
    QTest::newRow("cpf too long is cut") << cpf << "529982247251234"
                                         << "52998224725";
    QTest::newRow("literals saved") << "99/99;1;_"
                                    << "1231"
                                    << "12/31";
    QTest::newRow("literals saved, partial") << "99/99;1;_"
                                             << "12"
                                             << "12";
    QTest::newRow("no mask, free text") << ""
                                        << "Gerente - Área 5"
                                        << "Gerente - Área 5";
}

void TestComponents::maskValue() {
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, value);
    suite::TMaskEdit e;
    e.setEditMask(mask);
    e.home(false);
    QTest::keyClicks(&e, typed);
    QCOMPARE(e.value(), value);
}

void TestComponents::maskToToolkit_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("qt");
    QTest::newRow("cpf") << "999.999.999-99;0; "
                         << "000.000.000-00; ";
    QTest::newRow("required digits") << "00/00;1;_"
                                     << "99/99;_";
    QTest::newRow("quoted literal") << "\\9-00"
                                    << "\\9-99;_";
    QTest::newRow("none") << ""
                          << "";
}

void TestComponents::maskToToolkit() {
    QFETCH(QString, mask);
    QFETCH(QString, qt);
    QCOMPARE(suite::TMaskEdit::toQtInputMask(mask), qt);
}

void TestComponents::formatWithMask_data() {
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("full code") << "9.9.99.999;0;_"
                               << "4101001"
                               << "4.1.01.001";
    QTest::newRow("upper level") << "9.9.99.999"
                                 << "4101"
                                 << "4.1.01";
    QTest::newRow("already formatted") << "9.9.99.999"
                                       << "4.1.01.001"
                                       << "4.1.01.001";
    QTest::newRow("longer than the mask") << "9.99"
                                          << "12345"
                                          << "12345";
    QTest::newRow("no mask") << ""
                             << "4101"
                             << "4101";
}

void TestComponents::formatWithMask() {
    QFETCH(QString, mask);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QCOMPARE(suite::FormatWithMask(mask, value), shown);
}

void TestComponents::pictureLevels_data() {
    QTest::addColumn<QString>("picture");
    QTest::addColumn<int>("levels");
    QTest::newRow("five levels") << "9.9.99.999.9999" << 5;
    QTest::newRow("settings suffix ignored") << "9.9.99.999;0;_" << 4;
    QTest::newRow("one level") << "9999" << 1;
    QTest::newRow("empty") << "" << 0;
}

void TestComponents::pictureLevels() {
    QFETCH(QString, picture);
    QFETCH(int, levels);
    QCOMPARE(suite::TDBPicture(picture).GetTtNiveis(), levels);
}

void TestComponents::dateEditTexts_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QDate>("first");
    QTest::addColumn<QDate>("last");
    QTest::newRow("leap February") << QDate(2024, 2, 10) << "10022024"
                                   << "10/02/2024" << QDate(2024, 2, 1) << QDate(2024, 2, 29);
    QTest::newRow("December") << QDate(2025, 12, 31) << "31122025"
                              << "31/12/2025" << QDate(2025, 12, 1) << QDate(2025, 12, 31);
    QTest::newRow("empty") << QDate() << ""
                           << "" << QDate() << QDate();
}

void TestComponents::dateEditTexts() {
    QFETCH(QDate, date);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QDate, first);
    QFETCH(QDate, last);
    suite::TDateEditPlus d;
    d.setDate(date);
    QCOMPARE(d.text(), text);
    QCOMPARE(d.displayText(), shown);
    QCOMPARE(d.GetDate(), date);
    QCOMPARE(d.GetPrimDia(), first);
    QCOMPARE(d.GetUltDia(), last);
    // Typing the digits gives the same date.
    suite::TDateEditPlus typed;
    typed.lineEdit()->home(false);
    QTest::keyClicks(typed.lineEdit(), text);
    QCOMPARE(typed.GetDate(), date);
}

void TestComponents::dateEditStartsEmptyAndSteps() {
    suite::TDateEditPlus d;
    QVERIFY(d.text().isEmpty());
    QVERIFY(!d.GetDate().isValid());
    d.setText(QStringLiteral("31/01/2025"));
    d.stepDays(1);
    QCOMPARE(d.GetDate(), QDate(2025, 2, 1));
    d.setText(QStringLiteral("3101"));
    QCOMPARE(d.text(), QStringLiteral("3101"));
    QVERIFY(!d.GetDate().isValid()); // a partly typed date is no date
}

void TestComponents::listPicker_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("answer"); // false: the picker is cancelled
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<bool>("allAsT");
    QTest::addColumn<QList<int>>("preselected");
    QTest::addColumn<QString>("after");
    QTest::newRow("two chosen") << "" << true << QList<int>{2, 0} << false << QList<int>{}
                                << "4101001;4101003";
    QTest::newRow("none chosen") << "4101002" << true << QList<int>{} << false << QList<int>{1}
                                 << "";
    QTest::newRow("cancel keeps") << "4101002" << false << QList<int>{} << false << QList<int>{1}
                                  << "4101002";
    QTest::newRow("T marks all") << "T" << true << QList<int>{0, 1, 2} << false
                                 << QList<int>{0, 1, 2} << "4101001;4101002;4101003";
    QTest::newRow("all as T") << "" << true << QList<int>{0, 1, 2} << true << QList<int>{} << "T";
}

void TestComponents::listPicker() {
    QFETCH(QString, before);
    QFETCH(bool, answer);
    QFETCH(QList<int>, rows);
    QFETCH(bool, allAsT);
    QFETCH(QList<int>, preselected);
    QFETCH(QString, after);
    suite::TDataSource source(&accounts().Query);
    if (answer)
        ui_->answerPickMany(rows);
    else
        ui_->cancelPickMany();
    QString lista = before;
    QCOMPARE(suite::PesquisaLista(&source, QStringLiteral("CD"), QStringLiteral("Contas|Vazio"),
                                  allAsT, lista),
             answer);
    QCOMPARE(lista, after);
    QCOMPARE(ui_->pickers.size(), 1);
    QCOMPARE(ui_->pickers[0].preselected, preselected);
    QCOMPARE(ui_->pickers[0].list.title, QStringLiteral("Contas"));
    QCOMPARE(ui_->pickers[0].list.rows.value(0),
             (QStringList{QStringLiteral("4.1.01.001"), QStringLiteral("Mercadorias")}));
}

void TestComponents::listPickerWithoutRows() {
    suite::TADOIBQuery& q = accounts();
    q.ParamByName(QStringLiteral("P_NV")).SetAsString(QStringLiteral("9"));
    suite::TDataSource source(&q.Query);
    QString lista = QStringLiteral("4101001");
    QVERIFY(!suite::PesquisaLista(&source, QStringLiteral("CD"), QStringLiteral("Contas|Vazio"),
                                  false, lista));
    QCOMPARE(ui_->texts(), QStringList{"Vazio"});
    QCOMPARE(lista, QStringLiteral("4101001"));
}

void TestComponents::searchButton() {
    suite::TADOIBQuery& q = accounts();
    suite::TDataSource source(&q.Query);
    suite::TBtnPesquisa b;
    b.DataSource = &source;
    b.Title = QStringLiteral("Contas");
    b.EmptyError = QStringLiteral("Nada");
    QString picked;
    b.OnAfterPesq = [&](QObject*) { picked = q.FieldByName(QStringLiteral("NM")).AsString(); };
    ui_->answerPick(1);
    b.click();
    QCOMPARE(picked, QStringLiteral("Serviços"));
    QCOMPARE(ui_->pickers.value(0).list.headers, (QStringList{"Código", "Nome"}));

    q.Close();
    q.ParamByName(QStringLiteral("P_NV")).SetAsString(QStringLiteral("7"));
    picked.clear();
    b.click();
    QCOMPARE(ui_->texts(), QStringList{"Nada"});
    QVERIFY(picked.isEmpty());
}

void TestComponents::searchButtonBeforeHandlerCancels() {
    suite::TDataSource source(&accounts().Query);
    suite::TBtnPesquisa b;
    b.DataSource = &source;
    bool after = false;
    b.OnBeforePesq = [](QObject*, bool& go) { go = false; };
    b.OnAfterPesq = [&](QObject*) { after = true; };
    b.click();
    QVERIFY(ui_->pickers.isEmpty());
    QVERIFY(!after);
}

void TestComponents::boundarySwallowsAbortAndShowsErrors() {
    bool ranPast = false;
    suite::guarded(nullptr, [&] {
        suite::MensErro(QStringLiteral("Falhou."), true);
        ranPast = true;
    });
    QVERIFY(!ranPast);
    QCOMPARE(ui_->texts(), QStringList{"Falhou."}); // shown once, by MensErro itself
    suite::guarded(nullptr, [] { throw std::runtime_error("disco cheio"); });
    QCOMPARE(ui_->lastText(), QStringLiteral("disco cheio"));
    QCOMPARE(ui_->messages.last().type, suite::MsgType::Error);
}

void TestComponents::busyIndicatorStartsOnceStopsOnce() {
    QWidget main;
    main.resize(400, 300);
    main.show();
    suite::ResetShowAviCount();
    suite::ActiveShowAvi(&main, 6);
    suite::ActiveShowAvi(&main, 6);
    QVERIFY(suite::ShowAviActive());
    QCOMPARE(suite::ShowAviStarts(), 2);
    QCOMPARE(main.findChildren<QWidget*>(QStringLiteral("frmShowAvi")).size(), 1);
    suite::DeactiveShowAvi();
    QVERIFY(!suite::ShowAviActive());
    suite::DeactiveShowAvi(); // a second stop is harmless
    QVERIFY(!suite::ShowAviActive());
}

void TestComponents::fileFilterAndStartFolder() {
    QCOMPARE(suite::qtFileFilter(QStringLiteral("Texto|*.txt;*.csv|Todos|*.*")),
             QStringLiteral("Texto (*.txt *.csv);;Todos (*.*)"));
    suite::TSaveDialog d;
    d.InitialDir = QStringLiteral("C:\\");
    QCOMPARE(d.startFolder(), QDir::homePath());
    d.InitialDir = QDir::tempPath();
    QCOMPARE(d.startFolder(), QDir::tempPath());
    d.FileName = QStringLiteral("/tmp/antes.txt");
    ui_->cancelSave();
    QVERIFY(!d.Execute(nullptr));
    QCOMPARE(d.FileName, QStringLiteral("/tmp/antes.txt"));
    ui_->answerSave(QStringLiteral("/tmp/depois.txt"));
    QVERIFY(d.Execute(nullptr));
    QCOMPARE(d.FileName, QStringLiteral("/tmp/depois.txt"));
}

void TestComponents::queryBindsParametersAndPicksDialect() {
    suite::TADOIBQuery& q = accounts();
    q.ParamByName(QStringLiteral("P_NV")).SetAsString(QStringLiteral("4 OR 1=1"));
    q.Open();
    QVERIFY(q.IsEmpty()); // the text is a value, never SQL
    q.SQL_ORACLE = {QStringLiteral("SELECT 1 FROM DUAL")};
    QCOMPARE(q.statementFor(suite::TADOIBQuery::Dialect::Oracle),
             QStringLiteral("SELECT 1 FROM DUAL"));
    QCOMPARE(q.statementFor(suite::TADOIBQuery::Dialect::MsSql), q.SQL.join(u'\n'));
    QVERIFY_THROWS_EXCEPTION(suite::EQueryError, q.ParamByName(QStringLiteral("P_X")));
}

QTEST_MAIN(TestComponents)
#include "tst_components.moc"
