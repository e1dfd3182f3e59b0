#include "package/pkg_klt40500.h"
#include "screen/frmgerarqprev.h"
#include "screenfixture.h"
#include "suite/widgets/btnpesquisa.h"
#include "suite/widgets/scriptedpresenter.h"
#include <QApplication>
#include <QLibrary>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The package as the shell sees it: loaded from its file, opened through its
// exported entries, inside an MDI area.
class TestLifecycle : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void exportsAndUnitTable();
    void iniProcTwiceKeepsOneInstanceAndItsValues();
    void closingGivesAFreshInstanceAndConnection();
    void minimisedScreenComesBackNormal();

private:
    template <class T> T entry(const char* name) { return reinterpret_cast<T>(lib_.resolve(name)); }
    TfrmGerArqPrev* form() { return *entry<TfrmGerArqPrev**>("frmGerArqPrev"); }
    bool created() { return *entry<bool*>("bostcriado"); }
    void iniProc() { entry<void (*)()>("IniProc")(); }
    int subWindows() const { return int(area_->subWindowList().size()); }
    void closeScreen();

    QTemporaryDir dir_;
    std::unique_ptr<GreetingServer> server_;
    suite::ScriptedPresenter ui_;
    QLibrary lib_{QStringLiteral(GERARQPREV_PACKAGE_FILE)};
    std::unique_ptr<QMdiArea> area_;
};

void TestLifecycle::initTestCase() {
    seedDatabase(dir_.path());
    server_ = std::make_unique<GreetingServer>();
    server_->useAsAppServer();
    QVERIFY2(lib_.load(), qPrintable(lib_.errorString()));
    area_ = std::make_unique<QMdiArea>();
    area_->resize(1200, 800);
    area_->show();
    entry<void (*)()>("Initialize")();
    entry<void (*)(QMdiArea*)>("SetShellContext")(area_.get());
}

void TestLifecycle::cleanupTestCase() {
    area_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestLifecycle::closeScreen() {
    QMdiSubWindow* sub = area_->subWindowList().value(0);
    QVERIFY(sub);
    QPointer<QMdiSubWindow> guard(sub);
    QPointer<TfrmGerArqPrev> f(form());
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard);
    QVERIFY(!f);
}

void TestLifecycle::exportsAndUnitTable() {
    for (const char* name :
         {"IniProc", "CriaGerArqPrev", "Initialize", "Finalize", "GetPackageInfoTable",
          "frmGerArqPrev", "bostcriado", "InNRegSaldMens", "InNRegLancCont", "InNRegSaldAntEnc"})
        QVERIFY2(lib_.resolve(name), name);
    const PackageInfoTable* t = entry<const PackageInfoTable* (*)()>("GetPackageInfoTable")();
    QCOMPARE(t->unitCount, 1);
    QCOMPARE(QString::fromLatin1(t->unitNames[0]), QStringLiteral("Cli_klt40500"));
    QVERIFY(!created());
    QCOMPARE(*entry<int*>("InNRegSaldMens"), 0);
}

void TestLifecycle::iniProcTwiceKeepsOneInstanceAndItsValues() {
    iniProc();
    QVERIFY(created());
    TfrmGerArqPrev* first = form();
    QVERIFY(first);
    QCOMPARE(subWindows(), 1);
    QCOMPARE(first->subWindow()->pos(), QPoint(246, 188));
    QVERIFY(first->isVisible());
    QVERIFY(!QApplication::overrideCursor()); // the hourglass is gone again
    first->edtCdEmpresa->setText(QStringLiteral("02"));

    iniProc();
    QCOMPARE(form(), first);
    QCOMPARE(subWindows(), 1);
    QCOMPARE(first->edtCdEmpresa->text(), QStringLiteral("02"));
    QCOMPARE(server_->greetings(), 1);
    closeScreen();
}

void TestLifecycle::closingGivesAFreshInstanceAndConnection() {
    iniProc();
    form()->edtArqDest->setText(QStringLiteral("/tmp/x.txt"));
    form()->rbtListaCtaRes->click();
    const int greetings = server_->greetings();
    closeScreen();
    QVERIFY(!created());
    QCOMPARE(subWindows(), 0);

    iniProc();
    QVERIFY(created());
    QCOMPARE(subWindows(), 1);
    QCOMPARE(form()->edtArqDest->text(), QString());
    QVERIFY(form()->rbtTodosCtaRes->isChecked());
    QVERIFY(!form()->sbtCtaRes->isEnabled());
    QVERIFY(form()->NetGerArqPrev.Connected());
    QCOMPARE(server_->greetings(), greetings + 1);
    closeScreen();
}

void TestLifecycle::minimisedScreenComesBackNormal() {
    iniProc();
    QMdiSubWindow* sub = form()->subWindow();
    sub->showMinimized();
    QVERIFY(sub->isMinimized());
    iniProc();
    QVERIFY(!sub->isMinimized());
    QVERIFY(!sub->isMaximized());
    QCOMPARE(area_->activeSubWindow(), sub);
    closeScreen();
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
