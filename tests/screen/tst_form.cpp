#include "db/dbgeral.h"
#include "package/unitstate.h"
#include "screen/frmgerarqprev.h"
#include "screenfixture.h"
#include "suite/data/dbpicture.h"
#include "suite/widgets/btnpesquisa.h"
#include "suite/widgets/dateeditplus.h"
#include "suite/widgets/maskedit.h"
#include "suite/widgets/scriptedpresenter.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The parameter screen on a real SQLite database, driven through its
// controls; message boxes, pickers and the save dialog are answered by a
// scripted presenter.
class TestForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowAndBaseForm();
    void controlPlacement_data();
    void controlPlacement();
    void stateAfterCreation();
    void creationConnectsAndReadsPictures();
    void listItems_data();
    void listItems();
    void cpfValue_data();
    void cpfValue();
    void catalogue_data();
    void catalogue();
    void tabOrder();

    void companyCheck_data();
    void companyCheck();
    void leavingCompanyPanel_data();
    void leavingCompanyPanel();
    void destinationTypingClearsNameUntilPanelLeft();
    void companyPicker();
    void companyPickerWithoutCompanies();
    void cpfExit_data();
    void cpfExit();
    void resultAccountsListAndSwitching();
    void resultAccountPickerWithoutAccounts();
    void reportButtons_data();
    void reportButtons();
    void destinationCheck_data();
    void destinationCheck();
    void destinationDialog();
    void destinationDialogCancelled();

private:
    // Gives the form the keyboard focus on w, as a click would.
    void focusOn(QWidget* w);
    // Runs the exit checks the last focus change queued.
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); }
    QString focusName() const;

    QTemporaryDir dir_;
    std::unique_ptr<GreetingServer> server_;
    std::unique_ptr<suite::ScriptedPresenter> ui_;
    TfrmGerArqPrev* form_ = nullptr;
    QString cwd_;
};

void TestForm::initTestCase() {
    QVERIFY(dir_.isValid());
    seedDatabase(dir_.path());
    server_ = std::make_unique<GreetingServer>();
    server_->useAsAppServer();
    cwd_ = QDir::currentPath();
}

void TestForm::init() {
    ui_ = std::make_unique<suite::ScriptedPresenter>();
    form_ = new TfrmGerArqPrev;
    form_->show();
    QApplication::setActiveWindow(form_);
}

void TestForm::cleanup() {
    delete form_;
    form_ = nullptr;
    ui_.reset();
    QDir::setCurrent(cwd_);
}

void TestForm::focusOn(QWidget* w) {
    w->setFocus(Qt::MouseFocusReason);
    settle();
}

QString TestForm::focusName() const {
    QWidget* f = QApplication::focusWidget();
    if (!f)
        return QStringLiteral("<none>");
    // A date edit takes the focus in its inner line edit.
    if (f->objectName().isEmpty() && f->parentWidget())
        return f->parentWidget()->objectName();
    return f->objectName();
}

void TestForm::windowAndBaseForm() {
    QCOMPARE(form_->windowTitle(),
             QStringLiteral("Gerar Arquivo Previdência Social (Portaria MPS/SRP nº 058)"));
    QCOMPARE(form_->size(), QSize(621, 425));
    QCOMPARE(form_->minimumSize(), form_->maximumSize());
    QCOMPARE(form_->HelpContext, 10680000);
    QCOMPARE(form_->lblCodTela->text(), QStringLiteral("KLT40500"));
    QCOMPARE(form_->grbDadosRel->geometry(), QRect(0, 0, 563, 425));
    QCOMPARE(form_->panMenu->width(), 58);
    QCOMPARE(form_->panMenu->x(), 563);
    QCOMPARE(form_->sbtConfirma->toolTip(), QStringLiteral("Gerar"));
    QCOMPARE(form_->sbtConfirma->parentWidget(), form_->panBotoes);
}

void TestForm::controlPlacement_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("geometry"); // height 0: not fixed by the layout

    auto row = [](const char* n, const char* p, const char* k, int l, int t, int w, int h = 0) {
        QTest::newRow(n) << QString::fromLatin1(n) << QString::fromLatin1(p)
                         << QString::fromLatin1(k) << QRect(l, t, w, h);
    };
    row("panEmpresa", "grbDadosRel", "QFrame", 1, 14, 561, 69);
    row("edtArqDest", "panEmpresa", "QLineEdit", 99, 6, 408);
    row("btpArvDest", "panEmpresa", "suite::TBtnPesquisa", 512, 6, 21, 21);
    row("edtCdEmpresa", "panEmpresa", "QLineEdit", 66, 38, 30);
    row("btpEmpresa", "panEmpresa", "suite::TBtnPesquisa", 99, 38, 21, 21);
    row("edtNmEmpresa", "panEmpresa", "QLineEdit", 124, 38, 410);
    row("panDados", "grbDadosRel", "QFrame", 1, 83, 561);
    row("GroupBox1", "panDados", "QGroupBox", 4, 5, 265, 48);
    row("depDataIni", "GroupBox1", "suite::TDateEditPlus", 25, 19, 100);
    row("depDataFin", "GroupBox1", "suite::TDateEditPlus", 158, 19, 100);
    row("depDataApu", "panDados", "suite::TDateEditPlus", 402, 20, 100);
    row("grbPerInfo", "panDados", "QGroupBox", 4, 68, 549, 85);
    row("depIniPerInfo", "grbPerInfo", "suite::TDateEditPlus", 25, 19, 104);
    row("depFinPerInfo", "grbPerInfo", "suite::TDateEditPlus", 158, 19, 100);
    row("medCargoInfo", "grbPerInfo", "suite::TMaskEdit", 133, 50, 404);
    row("grbPeriodCont", "panDados", "QGroupBox", 4, 166, 268, 48);
    row("depIniPerCont", "grbPeriodCont", "suite::TDateEditPlus", 25, 19, 104);
    row("depFinPerCont", "grbPeriodCont", "suite::TDateEditPlus", 158, 19, 100);
    row("grbCtaRes", "panDados", "QGroupBox", 288, 166, 268, 48);
    row("rbtTodosCtaRes", "grbCtaRes", "QRadioButton", 20, 21, 66);
    row("rbtListaCtaRes", "grbCtaRes", "QRadioButton", 134, 21, 66);
    row("sbtCtaRes", "grbCtaRes", "suite::TBtnPesquisa", 203, 17, 21, 21);
    row("cbbIndCentr", "panDados", "QComboBox", 181, 228, 376);
    row("cbbCodFin", "panDados", "QComboBox", 180, 256, 376);
    row("medCPF", "panDados", "suite::TMaskEdit", 69, 285, 165);
    row("medCEI", "panDados", "suite::TMaskEdit", 69, 310, 165);
    row("medNIT", "panDados", "suite::TMaskEdit", 368, 285, 165);
    row("medSuframa", "panDados", "suite::TMaskEdit", 368, 310, 165);
    row("panBarra", "panDados", "QFrame", 114, 78, 337, 81);
    row("grbBarra", "panBarra", "QGroupBox", 5, 1, 327, 74);
    // The bar leaves room for the cancel button beside it.
    row("prgBarra", "grbBarra", "QProgressBar", 8, 51, 226, 16);
    row("sbtCancelar", "grbBarra", "QPushButton", 241, 47, 78, 24);
    row("lblArqDest", "panEmpresa", "QLabel", 6, 8, 0);
    row("lblEmpresa", "panEmpresa", "QLabel", 6, 41, 0);
    row("Label4", "panDados", "QLabel", 342, 22, 0);
    row("lblCargoInfo", "grbPerInfo", "QLabel", 5, 52, 0);
    row("lblIndCentr", "panDados", "QLabel", 6, 229, 0);
    row("lblCodFin", "panDados", "QLabel", 6, 257, 0);
    row("lblSuframa", "panDados", "QLabel", 305, 312, 0);
    row("lblBarra", "grbBarra", "QLabel", 10, 29, 0);
}

void TestForm::controlPlacement() {
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QWidget* w = form_->control(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget()->objectName(), parent);
    QVERIFY2(w->inherits(kind.toLatin1().constData()), w->metaObject()->className());
    QCOMPARE(w->pos(), geometry.topLeft());
    if (geometry.width() > 0)
        QCOMPARE(w->width(), geometry.width());
    if (geometry.height() > 0)
        QCOMPARE(w->height(), geometry.height());
}

void TestForm::stateAfterCreation() {
    for (QLineEdit* e :
         {form_->edtArqDest, form_->edtCdEmpresa, form_->edtNmEmpresa,
          static_cast<QLineEdit*>(form_->medCargoInfo), static_cast<QLineEdit*>(form_->medCEI),
          static_cast<QLineEdit*>(form_->medNIT), static_cast<QLineEdit*>(form_->medSuframa)})
        QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    QCOMPARE(form_->medCPF->value(), QString());
    for (suite::TDateEditPlus* d :
         {form_->depDataIni, form_->depDataFin, form_->depDataApu, form_->depIniPerInfo,
          form_->depFinPerInfo, form_->depIniPerCont, form_->depFinPerCont}) {
        QVERIFY2(d->text().isEmpty(), qPrintable(d->objectName()));
        QVERIFY(!d->GetDate().isValid());
    }
    QCOMPARE(form_->cbbIndCentr->currentIndex(), -1);
    QCOMPARE(form_->cbbCodFin->currentIndex(), -1);
    QVERIFY(form_->rbtTodosCtaRes->isChecked());
    QVERIFY(!form_->rbtListaCtaRes->isChecked());
    QVERIFY(!form_->sbtCtaRes->isEnabled());
    QCOMPARE(form_->listaCtaRes(), QString());
    QVERIFY(form_->panBarra->isHidden());
    QCOMPARE(form_->lblBarra->text(), QString());
    QCOMPARE(form_->prgBarra->minimum(), 0);
    QCOMPARE(form_->prgBarra->maximum(), 120);
    QCOMPARE(form_->edtCdEmpresa->maxLength(), 2);
    QVERIFY(!form_->edtNmEmpresa->isEnabled());
    QCOMPARE(form_->edtArqDest->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xE1));
    QCOMPARE(form_->edtCdEmpresa->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xE1));
    QCOMPARE(form_->medCEI->palette().color(QPalette::Base), QColor(Qt::white));
    QVERIFY(form_->lblEmpresa->font().bold());
    QVERIFY(form_->grbCtaRes->font().bold());
    QVERIFY(!form_->edtCdEmpresa->font().bold());
    QCOMPARE(form_->depDataIni->EditStyle(), suite::TDateEditPlus::desUpDown);
    QCOMPARE(form_->depIniPerInfo->ValidDateColor(), QColor(Qt::blue));
    QCOMPARE(form_->depFinPerCont->NomeSemana().value(6), QStringLiteral("Sábado"));
    QCOMPARE(form_->btpEmpresa->EmptyError, QStringLiteral("Não há empresa cadastrada."));
    QCOMPARE(form_->btpEmpresa->Associate, form_->edtCdEmpresa);
    QCOMPARE(form_->sbtCtaRes->Title, QStringLiteral("Histórico Padrão"));
    QCOMPARE(form_->sbtCtaRes->property("Tag").toInt(), 100);
    QCOMPARE(form_->sdgArqPrev.Title, QStringLiteral("Gerar Arquivo Previdência Social"));
    QCOMPARE(form_->sdgArqPrev.DefaultExt, QStringLiteral("txt"));
}

void TestForm::creationConnectsAndReadsPictures() {
    QCOMPARE(form_->NetGerArqPrev.ServerName, QStringLiteral("KLT40500.rdmGerArqPrev"));
    QVERIFY(!form_->NetGerArqPrev.ThrowException);
    QVERIFY(form_->NetGerArqPrev.Connected());
    QCOMPARE(form_->NetGerArqPrev.Port(), server_->port());
    QCOMPARE(form_->qryCtaRes.FieldByName(QStringLiteral("CDCONTCTBL")).EditMask,
             QStringLiteral("9.9.99.999;0;_"));
    QVERIFY(PictConta);
    QCOMPARE(PictConta->GetTtNiveis(), 4);
    QVERIFY(!form_->qryEmpresa.Active());
    QVERIFY(!form_->qryCtaRes.Active());
}

void TestForm::listItems_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::newRow("centralisation 0")
        << "cbbIndCentr" << 0 << "0 - Estabelecimento sem centralização de escrituração.";
    QTest::newRow("centralisation 1")
        << "cbbIndCentr" << 1 << "1 - Estabelecimento centralizador de escrituração.";
    QTest::newRow("centralisation 2")
        << "cbbIndCentr" << 2 << "2 - Estabelecimento com escrituração centralizada.";
    QTest::newRow("purpose 61") << "cbbCodFin" << 0
                                << "61 - Solicitação de Auditor Fiscal da secretaria da Receita "
                                   "Previdenciária através da MPF.";
    QTest::newRow("purpose 62") << "cbbCodFin" << 1
                                << "62 - Entrega na secretaria de Receita Previdenciária - "
                                   "Movimento Anual de órgão público, conforme intimação.";
    QTest::newRow("purpose 90") << "cbbCodFin" << 2 << "90- Dados internos UF.";
}

void TestForm::listItems() {
    QFETCH(QString, list);
    QFETCH(int, index);
    QFETCH(QString, text);
    auto* box = qobject_cast<QComboBox*>(form_->control(list));
    QVERIFY(box);
    QCOMPARE(box->count(), 3);
    QVERIFY(!box->isEditable());
    QCOMPARE(box->itemText(index), text);
}

void TestForm::cpfValue_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("untouched") << ""
                               << ""
                               << "   .   .   -  ";
    QTest::newRow("eleven digits") << "52998224725"
                                   << "52998224725"
                                   << "529.982.247-25";
    QTest::newRow("partly typed") << "5299"
                                  << "5299"
                                  << "529.9  .   -  ";
    QTest::newRow("letters refused") << "52a9"
                                     << "529"
                                     << "529.   .   -  ";
}

void TestForm::cpfValue() {
    QFETCH(QString, typed);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    form_->medCPF->setFocus();
    form_->medCPF->home(false);
    QTest::keyClicks(form_->medCPF, typed);
    QCOMPARE(form_->medCPF->value(), value);
    QCOMPARE(form_->medCPF->displayText(), shown);
    QCOMPARE(form_->medCPF->maxLength(), 14);
}

namespace {
const QList<QPair<QString, QString>>& catalogueEntries() {
    static const QList<QPair<QString, QString>> entries = {
        {"Emp_Cad", "Empresa deve ser informada."},
        {"Emp_NCad", "Empresa não cadastrada."},
        {"Cta_Inf", "Conta analítica deve ser informada."},
        {"Cta_NCad", "Conta analítica não cadastrada."},
        {"CPF_Inv", "CPF Inválido"},
        {"Abert_Arquivo", "Abertura do arquivo digital e identificação do contribuinte..."},
        {"Import_Cont", "Importando dados do contabilista..."},
        {"Import_TecEmpr", "Importando dados do técnico / empresa..."},
        {"Abert_Bl0", "Abertura do bloco 0..."},
        {"Enc_Bl0", "Encerramento do bloco 0..."},
        {"Abert_BlI", "Abertura do bloco I..."},
        {"Enc_BlI", "Encerramento do bloco I..."},
        {"Import_IdEsc", "Importando Identificação de escrituração contábil..."},
        {"Import_PlCont", "Importando plano de contas..."},
        {"Import_CCus", "Importando centro de custos..."},
        {"Import_SMens", "Importando saldos mensais..."},
        {"Import_LCont", "Importando lançamento contábil..."},
        {"Import_SEnc", "Importando saldo das contas de resultado antes do encerramento..."},
        {"Cont", "Conta analítica de resultado"},
        {"Cont_NCad", "Não há conta analítica cadastrada."},
        {"Dir_Inf", "Diretório de destino deve ser informado."},
        {"Arq_exist", "Arquivo já existente. Deseja substituí-lo?"},
        {"Dir_NEx", "Diretório não existe."},
        {"Dt_Inv", "Data inicial deve ser menor ou igual a data final."},
        {"Cont_Arq", "Controle e encerramento do arquivo digital..."},
        {"Abert_Bl9", "Abertura do bloco 9..."},
        {"Import_RegBl", "Importando registros dos blocos..."},
        {"Enc_Bl9", "Encerramento do bloco 9..."},
        {"Enc_Arq", "Encerramento do arquivo digital..."},
        {"Ger_Ok", "Arquivo gerado com sucesso."},
        {"Dir_Inv", "Diretório de destino inválido."},
        {"Arq_Inf", "Arquivo de destino deve ser informado."},
        {"Arq_Inv", "Arquivo de destino inválido."},
        {"N_Aces", "Acesso negado."},
    };
    return entries;
}
} // namespace

void TestForm::catalogue_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    const auto& entries = catalogueEntries();
    for (int i = 0; i < entries.size(); ++i)
        QTest::newRow(qPrintable(entries[i].first)) << i << entries[i].first << entries[i].second;
}

void TestForm::catalogue() {
    QFETCH(int, position);
    QFETCH(QString, key);
    QFETCH(QString, text);
    // The stored order holds; later entries may follow the original 34.
    QCOMPARE(form_->msgPadrao.lines().value(position), key + u'|' + text);
    QCOMPARE(form_->msgPadrao.Msg(key), text);
}

void TestForm::tabOrder() {
    const QStringList expected = {
        "edtArqDest",     "edtCdEmpresa",  "depDataIni",   "depDataFin",    "depDataApu",
        "depIniPerInfo",  "depFinPerInfo", "medCargoInfo", "depIniPerCont", "depFinPerCont",
        "rbtTodosCtaRes", "cbbIndCentr",   "cbbCodFin",    "medCPF",        "medCEI",
        "medNIT",         "medSuframa",    "edtArqDest"};
    focusOn(form_->edtArqDest);
    QStringList seen = {focusName()};
    for (int i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        settle();
        seen.append(focusName());
    }
    QCOMPARE(seen, expected);
    // And back round the ring.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    settle();
    QCOMPARE(focusName(), QString("medSuframa"));
    QVERIFY(ui_->messages.isEmpty()); // empty fields pass every exit check
}

// ---- Company ----

void TestForm::companyCheck_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("required");
    QTest::addColumn<QString>("message"); // empty: passes
    QTest::addColumn<QString>("codeAfter");
    QTest::addColumn<QString>("name");
    QTest::newRow("empty, not required") << "" << false << ""
                                         << ""
                                         << "";
    QTest::newRow("empty, required") << "" << true << "Empresa deve ser informada."
                                     << ""
                                     << "";
    QTest::newRow("known") << "02" << true << ""
                           << "02"
                           << "Empresa Dois";
    QTest::newRow("one digit is fitted") << "1" << true << ""
                                         << "01"
                                         << "Empresa Um";
    QTest::newRow("unknown") << "99" << true << "Empresa não cadastrada."
                             << "99"
                             << "";
    QTest::newRow("unknown, not required") << "99" << false << "Empresa não cadastrada."
                                           << "99"
                                           << "";
    QTest::newRow("quote is only a value") << "'" << true << "Empresa não cadastrada."
                                           << "0'"
                                           << "";
}

void TestForm::companyCheck() {
    QFETCH(QString, code);
    QFETCH(bool, required);
    QFETCH(QString, message);
    QFETCH(QString, codeAfter);
    QFETCH(QString, name);
    // Leave the panel first: an exit check must not run on the code.
    focusOn(form_->medCEI);
    form_->edtCdEmpresa->setText(code);
    bool aborted = false;
    try {
        form_->Vd_Empresa(required);
    } catch (const suite::EAbort&) {
        aborted = true;
    }
    QCOMPARE(aborted, !message.isEmpty());
    QCOMPARE(ui_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(form_->edtCdEmpresa->text(), codeAfter);
    QCOMPARE(form_->edtNmEmpresa->text(), name);
    QCOMPARE(focusName(), aborted ? QStringLiteral("edtCdEmpresa") : QStringLiteral("medCEI"));
}

void TestForm::leavingCompanyPanel_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("focus");
    QTest::newRow("empty code") << ""
                                << ""
                                << ""
                                << "depDataIni";
    QTest::newRow("known code") << "01"
                                << ""
                                << "Empresa Um"
                                << "depDataIni";
    QTest::newRow("unknown code") << "77"
                                  << "Empresa não cadastrada."
                                  << ""
                                  << "edtCdEmpresa";
}

void TestForm::leavingCompanyPanel() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, name);
    QFETCH(QString, focus);
    focusOn(form_->edtCdEmpresa);
    QTest::keyClicks(form_->edtCdEmpresa, typed);
    // Moving between the panel's own fields is no exit.
    focusOn(form_->edtArqDest);
    QVERIFY(ui_->messages.isEmpty());
    focusOn(form_->edtCdEmpresa);
    QTest::keyClick(form_->edtCdEmpresa, Qt::Key_Tab);
    settle();
    QCOMPARE(ui_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(form_->edtNmEmpresa->text(), name);
    QCOMPARE(focusName(), focus);
}

void TestForm::destinationTypingClearsNameUntilPanelLeft() {
    form_->edtCdEmpresa->setText(QStringLiteral("01"));
    form_->Vd_Empresa(false);
    QCOMPARE(form_->edtNmEmpresa->text(), QStringLiteral("Empresa Um"));
    focusOn(form_->edtArqDest);
    QTest::keyClicks(form_->edtArqDest, QStringLiteral("/tmp/a.txt"));
    QCOMPARE(form_->edtNmEmpresa->text(), QString());
    focusOn(form_->medNIT);
    QCOMPARE(form_->edtNmEmpresa->text(), QStringLiteral("Empresa Um"));
    QVERIFY(ui_->messages.isEmpty());
}

void TestForm::companyPicker() {
    form_->edtCdEmpresa->setText(QStringLiteral("01"));
    form_->Vd_Empresa(false);
    ui_->answerPick(1);
    form_->btpEmpresa->click();
    QCOMPARE(ui_->pickers.size(), 1);
    const suite::PickList& list = ui_->pickers[0].list;
    QCOMPARE(list.title, QStringLiteral("Empresa"));
    QCOMPARE(list.headers, (QStringList{"Código", "Empresa"}));
    QCOMPARE(list.rows, (QList<QStringList>{{"01", "Empresa Um"}, {"02", "Empresa Dois"}}));
    QCOMPARE(form_->edtCdEmpresa->text(), QStringLiteral("02"));
    QCOMPARE(form_->edtNmEmpresa->text(), QStringLiteral("Empresa Dois"));

    // A cancelled picker changes nothing.
    form_->btpEmpresa->click();
    QCOMPARE(form_->edtCdEmpresa->text(), QStringLiteral("02"));
    QCOMPARE(form_->edtNmEmpresa->text(), QStringLiteral("Empresa Dois"));
    QVERIFY(ui_->messages.isEmpty());
}

void TestForm::companyPickerWithoutCompanies() {
    QSqlDatabase d = db::dtmDBGeral::dtbGeral();
    QVERIFY(d.transaction());
    QSqlQuery q(d);
    QVERIFY(q.exec(QStringLiteral("DELETE FROM EMPRESA")));
    form_->btpEmpresa->click();
    QVERIFY(d.rollback());
    QCOMPARE(ui_->texts(), QStringList{"Não há empresa cadastrada."});
    QVERIFY(ui_->pickers.isEmpty());
}

// ---- CPF ----

void TestForm::cpfExit_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty passes") << ""
                                  << "";
    QTest::newRow("valid") << "52998224725"
                           << "";
    QTest::newRow("wrong check digits") << "52998224724"
                                        << "CPF Inválido";
    QTest::newRow("all digits equal") << "11111111111"
                                      << "CPF Inválido";
    QTest::newRow("incomplete") << "529982"
                                << "CPF Inválido";
}

void TestForm::cpfExit() {
    QFETCH(QString, typed);
    QFETCH(QString, message);
    focusOn(form_->medCPF);
    form_->medCPF->home(false);
    QTest::keyClicks(form_->medCPF, typed);
    QTest::keyClick(form_->medCPF, Qt::Key_Tab);
    settle();
    QCOMPARE(ui_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(focusName(), message.isEmpty() ? QStringLiteral("medCEI") : QStringLiteral("medCPF"));
}

// ---- Result accounts ----

void TestForm::resultAccountsListAndSwitching() {
    form_->edtCdEmpresa->setText(QStringLiteral("01"));
    form_->rbtListaCtaRes->click();
    QVERIFY(form_->sbtCtaRes->isEnabled());

    ui_->answerPickMany({0, 1});
    form_->sbtCtaRes->click();
    QCOMPARE(ui_->pickers.size(), 1);
    const suite::ScriptedPresenter::Picker& p = ui_->pickers[0];
    QVERIFY(p.many);
    QCOMPARE(p.list.title, QStringLiteral("Conta analítica de resultado"));
    QCOMPARE(p.list.headers, (QStringList{"Código", "Nome"}));
    // Only the last level, in code order, shown through the edit mask.
    QCOMPARE(p.list.rows,
             (QList<QStringList>{{"4.1.01.001", "Mercadorias"}, {"4.1.01.002", "Serviços"}}));
    QCOMPARE(form_->listaCtaRes(), QStringLiteral("4101001;4101002"));

    // The current choice comes up marked the next time.
    ui_->answerPickMany({1});
    form_->sbtCtaRes->click();
    QCOMPARE(ui_->pickers[1].preselected, (QList<int>{0, 1}));
    QCOMPARE(form_->listaCtaRes(), QStringLiteral("4101002"));
    form_->sbtPrint->click();
    QVERIFY(ui_->messages.isEmpty());

    // Switching discards the list.
    form_->rbtTodosCtaRes->click();
    QCOMPARE(form_->listaCtaRes(), QString());
    QVERIFY(!form_->sbtCtaRes->isEnabled());
    form_->rbtListaCtaRes->click();
    QCOMPARE(form_->listaCtaRes(), QString());
    QVERIFY(form_->sbtCtaRes->isEnabled());

    focusOn(form_->medCEI);
    form_->sbtPreview->click();
    QCOMPARE(ui_->texts(), QStringList{"Conta analítica deve ser informada."});
    QCOMPARE(focusName(), QStringLiteral("rbtListaCtaRes"));
}

void TestForm::resultAccountPickerWithoutAccounts() {
    form_->rbtListaCtaRes->click();
    // A chart one level deeper than any stored account.
    PictConta = std::make_unique<suite::TDBPicture>(QStringLiteral("9.9.99.999.99"));
    form_->sbtCtaRes->click();
    QCOMPARE(ui_->texts(), QStringList{"Não há conta analítica cadastrada."});
    QVERIFY(ui_->pickers.isEmpty());
    QCOMPARE(form_->listaCtaRes(), QString());
}

void TestForm::reportButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("lista");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    for (const char* b : {"sbtPrint", "sbtPreview", "sbtSalvarComo", "sbtReportEdit"}) {
        const QByteArray n(b);
        QTest::newRow(n + " empty company") << b << "" << false << "Empresa deve ser informada."
                                            << "edtCdEmpresa";
        QTest::newRow(n + " unknown company") << b << "55" << true << "Empresa não cadastrada."
                                              << "edtCdEmpresa";
        QTest::newRow(n + " list without accounts")
            << b << "01" << true << "Conta analítica deve ser informada."
            << "rbtListaCtaRes";
        QTest::newRow(n + " all accounts") << b << "01" << false << ""
                                           << "medSuframa";
    }
}

void TestForm::reportButtons() {
    QFETCH(QString, button);
    QFETCH(QString, code);
    QFETCH(bool, lista);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    focusOn(form_->medSuframa);
    form_->edtCdEmpresa->setText(code);
    if (lista)
        form_->rbtListaCtaRes->click();
    auto* b = form_->findChild<suite::TButtonFlat*>(button);
    QVERIFY(b);
    b->click();
    QCOMPARE(ui_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(focusName(), focus);
}

// ---- Destination ----

void TestForm::destinationCheck_data() {
    QTest::addColumn<QString>("dest"); // "@" stands for a temporary folder
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("cwd"); // where the check leaves the process; empty: unchanged
    QTest::newRow("empty") << ""
                           << "Diretório de destino deve ser informado."
                           << "";
    QTest::newRow("blanks") << "   "
                            << "Diretório de destino deve ser informado."
                            << "";
    QTest::newRow("missing folder") << "@/nao/existe/saida.txt"
                                    << "Diretório de destino inválido."
                                    << "";
    QTest::newRow("existing folder") << "@"
                                     << "Arquivo de destino deve ser informado."
                                     << "@/..";
    QTest::newRow("folder with slash") << "@/"
                                       << "Arquivo de destino deve ser informado."
                                       << "@";
    QTest::newRow("root") << "/"
                          << "Arquivo de destino deve ser informado."
                          << "/";
    QTest::newRow("file in folder") << "@/saida.txt"
                                    << ""
                                    << "@";
    QTest::newRow("blanks around") << "  @/saida.txt  "
                                   << ""
                                   << "@";
    QTest::newRow("bare file name") << "saida.txt"
                                    << ""
                                    << "";
}

void TestForm::destinationCheck() {
    QFETCH(QString, dest);
    QFETCH(QString, message);
    QFETCH(QString, cwd);
    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).canonicalPath();
    dest.replace(u'@', root);
    cwd.replace(u'@', root);
    const QString before = QDir::currentPath();
    form_->edtArqDest->setText(dest);
    focusOn(form_->medCEI);
    bool aborted = false;
    try {
        form_->Vd_ArquivoDestino();
    } catch (const suite::EAbort&) {
        aborted = true;
    }
    QCOMPARE(aborted, !message.isEmpty());
    QCOMPARE(ui_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(focusName(), aborted ? QStringLiteral("edtArqDest") : QStringLiteral("medCEI"));
    QCOMPARE(QDir::currentPath(), cwd.isEmpty() ? before : QDir::cleanPath(cwd));
    QDir::setCurrent(cwd_);
}

void TestForm::destinationDialog() {
    form_->edtCdEmpresa->setText(QStringLiteral("01"));
    form_->Vd_Empresa(false);
    focusOn(form_->medNIT);
    ui_->answerSave(QStringLiteral("/tmp/manad/saida.txt"));
    form_->btpArvDest->click();
    QCOMPARE(ui_->saves.size(), 1);
    const suite::Presenter::SaveRequest& r = ui_->saves[0];
    QCOMPARE(r.title, QStringLiteral("Gerar Arquivo Previdência Social"));
    QCOMPARE(r.filter, QStringLiteral("Arquivos [*.txt] (*.txt);;Todos os arquivos [*.*] (*.*)"));
    QCOMPARE(r.defaultSuffix, QStringLiteral("txt"));
    QCOMPARE(r.initialDir, QDir::homePath()); // no "C:\" here
    QCOMPARE(form_->edtArqDest->text(), QStringLiteral("/tmp/manad/saida.txt"));
    QCOMPARE(form_->edtNmEmpresa->text(), QString()); // the change cleared it
    QCOMPARE(focusName(), QStringLiteral("edtCdEmpresa"));

    // The next dialog opens on the chosen file.
    ui_->cancelSave();
    form_->btpArvDest->click();
    QCOMPARE(ui_->saves[1].fileName, QStringLiteral("/tmp/manad/saida.txt"));
}

void TestForm::destinationDialogCancelled() {
    form_->edtArqDest->setText(QStringLiteral("/tmp/antes.txt"));
    form_->edtCdEmpresa->setText(QStringLiteral("01"));
    form_->Vd_Empresa(false);
    focusOn(form_->medNIT);
    ui_->cancelSave();
    form_->btpArvDest->click();
    QCOMPARE(form_->edtArqDest->text(), QStringLiteral("/tmp/antes.txt"));
    QCOMPARE(form_->edtNmEmpresa->text(), QStringLiteral("Empresa Um"));
    QCOMPARE(focusName(), QStringLiteral("medNIT"));
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
