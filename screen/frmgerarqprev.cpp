#include "screen/frmgerarqprev.h"
#include "db/dbgeral.h"
#include "generator/destination.h"
#include "generator/runhost.h"
#include "package/unitstate.h"
#include "screen/catalogue.h"
#include "suite/core/config.h"
#include "suite/core/utils.h"
#include "suite/data/dbpicture.h"
#include "suite/widgets/btnpesquisa.h"
#include "suite/widgets/dateeditplus.h"
#include "suite/widgets/guarded.h"
#include "suite/widgets/maskedit.h"
#include "suite/widgets/pesquisalista.h"
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <optional>

namespace {

using suite::TBtnPesquisa;
using suite::TDateEditPlus;
using suite::TMaskEdit;

// The system's info-background colour of the entry fields the user fills first.
const QColor clInfoBk(0xFF, 0xFF, 0xE1);

QFont captionFont(bool bold) {
    // Where the suite's font is missing, a face of the same narrow metrics
    // keeps the captions within the room the layout gives them.
    static const bool substituted = [] {
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                    QStringLiteral("Nimbus Sans"),
                                    QStringLiteral("DejaVu Sans Condensed")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    f.setBold(bold);
    return f;
}

template <class W> W* make(QWidget* parent, const char* name) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* l = make<QLabel>(parent, name);
    l->setText(caption);
    l->setFont(captionFont(true));
    l->move(left, top);
    l->adjustSize();
    return l;
}

void paint(QWidget* w, const QColor& base) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Base, base);
    w->setPalette(pal);
}

QLineEdit* edit(QWidget* parent, const char* name, int left, int top, int width) {
    auto* e = make<QLineEdit>(parent, name);
    e->setFont(captionFont(false));
    e->setGeometry(left, top, width, 21);
    paint(e, Qt::white);
    return e;
}

TMaskEdit* maskEdit(QWidget* parent, const char* name, int left, int top, int width) {
    auto* e = make<TMaskEdit>(parent, name);
    e->setFont(captionFont(false));
    e->setGeometry(left, top, width, 21);
    paint(e, Qt::white);
    return e;
}

const QStringList& nomeSemana() {
    static const QStringList names = {QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                                      QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                                      QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                                      QStringLiteral("Sábado")};
    return names;
}

// Settings A are the period and assessment dates, B the service periods.
TDateEditPlus* dateEdit(QWidget* parent, const char* name, int left, int top, int width,
                        bool settingsA) {
    auto* d = make<TDateEditPlus>(parent, name);
    d->setFont(captionFont(false));
    d->setGeometry(left, top, width, 21);
    paint(d->lineEdit(), Qt::white);
    if (settingsA) {
        d->setEditStyle(TDateEditPlus::desUpDown);
        d->setShowDia(false);
    }
    d->setValidDateColor(Qt::blue);
    d->setSaveTime(false);
    d->setNomeSemana(nomeSemana());
    return d;
}

QGroupBox* group(QWidget* parent, const char* name, const QString& title, int left, int top,
                 int width, int height) {
    auto* g = make<QGroupBox>(parent, name);
    g->setTitle(title);
    g->setFont(captionFont(true));
    g->setGeometry(left, top, width, height);
    return g;
}

// A bevel drawn as its bottom line only.
QFrame* bottomLine(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* holder = make<QFrame>(parent, name);
    holder->setGeometry(left, top, width, height);
    auto* line = new QFrame(holder);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, height - 2, width, 2);
    return holder;
}

TBtnPesquisa* searchButton(QWidget* parent, const char* name, int left, int top,
                           QWidget* associate) {
    auto* b = make<TBtnPesquisa>(parent, name);
    b->setGeometry(left, top, 21, 21);
    b->setToolTip(QStringLiteral("Pesquisar"));
    b->Associate = associate;
    return b;
}

// Runs a check so that any failure leaves with the focus on `where`.
template <class F> void focusOnFailure(QWidget* where, F&& check) {
    try {
        check();
    } catch (...) {
        where->setFocus(Qt::OtherFocusReason);
        throw;
    }
}

} // namespace

TfrmGerArqPrev::TfrmGerArqPrev(QWidget* parent)
    : suite::TfrmRotiGeral(parent), NetGerArqPrev(QStringLiteral("KLT40500.rdmGerArqPrev")),
      dtsEmpresa(&qryEmpresa.Query), dtsCtaRes(&qryCtaRes.Query) {
    setObjectName(QStringLiteral("frmGerArqPrev"));
    setWindowTitle(QStringLiteral("Gerar Arquivo Previdência Social (Portaria MPS/SRP nº 058)"));
    setFixedSize(621, 425);
    HelpContext = 10680000;
    lblCodTela->setText(QStringLiteral("KLT40500"));
    sbtConfirma->setToolTip(QStringLiteral("Gerar"));

    buildCompanyPanel();
    buildDataPanel();
    buildQueries();
    buildCatalogue();
    setTabOrders();

    sdgArqPrev.Title = QStringLiteral("Gerar Arquivo Previdência Social");
    sdgArqPrev.Filter = QStringLiteral("Arquivos [*.txt]|*.txt|Todos os arquivos [*.*]|*.*");
    sdgArqPrev.DefaultExt = QStringLiteral("txt");
    sdgArqPrev.InitialDir = QStringLiteral("C:\\");

    NetGerArqPrev.ThrowException = false;
    NetGerArqPrev.BeforeConnect = [this](suite::TNetConnection&) {
        NetGerArqPrevBeforeConnect(this);
    };

    bindHandlers();
    createForm();
}

TfrmGerArqPrev::~TfrmGerArqPrev() {
    // The base widget's destructor moves the focus, and the toolkit would
    // deliver that to this object's slot after this part of it is gone.
    disconnect(qApp, &QApplication::focusChanged, this, &TfrmGerArqPrev::onFocusChanged);
}

QWidget* TfrmGerArqPrev::control(const QString& name) const {
    if (objectName() == name)
        return const_cast<TfrmGerArqPrev*>(this);
    return findChild<QWidget*>(name);
}

void TfrmGerArqPrev::buildCompanyPanel() {
    // The group box's client area starts below the (empty) caption line.
    panEmpresa = make<QFrame>(grbDadosRel, "panEmpresa");
    panEmpresa->setFrameShape(QFrame::NoFrame);
    panEmpresa->setGeometry(1, 14, 561, 69);

    lblArqDest = label(panEmpresa, "lblArqDest", QStringLiteral("Arquivo Destino"), 6, 8);
    edtArqDest = edit(panEmpresa, "edtArqDest", 99, 6, 408);
    paint(edtArqDest, clInfoBk);
    btpArvDest = searchButton(panEmpresa, "btpArvDest", 512, 6, edtArqDest);
    Bevel2 = bottomLine(panEmpresa, "Bevel2", 0, 25, 567, 9);

    lblEmpresa = label(panEmpresa, "lblEmpresa", QStringLiteral("Empresa"), 6, 41);
    edtCdEmpresa = edit(panEmpresa, "edtCdEmpresa", 66, 38, 30);
    edtCdEmpresa->setMaxLength(2);
    paint(edtCdEmpresa, clInfoBk);
    btpEmpresa = searchButton(panEmpresa, "btpEmpresa", 99, 38, edtCdEmpresa);
    btpEmpresa->Title = QStringLiteral("Empresa");
    btpEmpresa->DataSource = &dtsEmpresa;
    btpEmpresa->EmptyError = QStringLiteral("Não há empresa cadastrada.");
    edtNmEmpresa = edit(panEmpresa, "edtNmEmpresa", 124, 38, 410);
    edtNmEmpresa->setEnabled(false);
    edtNmEmpresa->setFocusPolicy(Qt::NoFocus);
    paint(edtNmEmpresa, palette().color(QPalette::Button));
    Bevel1 = bottomLine(panEmpresa, "Bevel1", 0, 69 - 7, 561, 7);
}

void TfrmGerArqPrev::buildDataPanel() {
    panDados = make<QFrame>(grbDadosRel, "panDados");
    panDados->setFrameShape(QFrame::NoFrame);
    panDados->setGeometry(1, 14 + 69, 561, 425 - 14 - 69 - 1);

    GroupBox1 = group(panDados, "GroupBox1", QStringLiteral("Período"), 4, 5, 265, 48);
    Label2 = label(GroupBox1, "Label2", QStringLiteral("de"), 5, 22);
    depDataIni = dateEdit(GroupBox1, "depDataIni", 25, 19, 100, true);
    Label3 = label(GroupBox1, "Label3", QStringLiteral("até"), 135, 22);
    depDataFin = dateEdit(GroupBox1, "depDataFin", 158, 19, 100, true);
    Label4 = label(panDados, "Label4", QStringLiteral("Apuração"), 342, 22);
    depDataApu = dateEdit(panDados, "depDataApu", 402, 20, 100, true);

    grbPerInfo = group(panDados, "grbPerInfo",
                       QStringLiteral("Prestação do serviço de Informática"), 4, 68, 549, 85);
    lblDePerInfo = label(grbPerInfo, "lblDePerInfo", QStringLiteral("de"), 5, 22);
    depIniPerInfo = dateEdit(grbPerInfo, "depIniPerInfo", 25, 19, 104, false);
    lblAtePerInfo = label(grbPerInfo, "lblAtePerInfo", QStringLiteral("até"), 135, 22);
    depFinPerInfo = dateEdit(grbPerInfo, "depFinPerInfo", 158, 19, 100, false);
    lblCargoInfo = label(grbPerInfo, "lblCargoInfo", QStringLiteral("Cargo do responsável"), 5, 52);
    medCargoInfo = maskEdit(grbPerInfo, "medCargoInfo", 133, 50, 404);

    grbPeriodCont = group(panDados, "grbPeriodCont",
                          QStringLiteral("Prestação do serviço de contabilidade"), 4, 166, 268, 48);
    lblDePerCont = label(grbPeriodCont, "lblDePerCont", QStringLiteral("de"), 5, 22);
    depIniPerCont = dateEdit(grbPeriodCont, "depIniPerCont", 25, 19, 104, false);
    lblAtePerCont = label(grbPeriodCont, "lblAtePerCont", QStringLiteral("até"), 135, 22);
    depFinPerCont = dateEdit(grbPeriodCont, "depFinPerCont", 158, 19, 100, false);

    grbCtaRes = group(panDados, "grbCtaRes", QStringLiteral("Conta Analítica de Resultado"), 288,
                      166, 268, 48);
    rbtTodosCtaRes = make<QRadioButton>(grbCtaRes, "rbtTodosCtaRes");
    rbtTodosCtaRes->setText(QStringLiteral("Todos"));
    rbtTodosCtaRes->setFont(captionFont(true));
    rbtTodosCtaRes->setGeometry(20, 21, 66, 17);
    rbtTodosCtaRes->setChecked(true);
    rbtListaCtaRes = make<QRadioButton>(grbCtaRes, "rbtListaCtaRes");
    rbtListaCtaRes->setText(QStringLiteral("Lista"));
    rbtListaCtaRes->setFont(captionFont(true));
    rbtListaCtaRes->setGeometry(134, 21, 66, 17);
    sbtCtaRes = searchButton(grbCtaRes, "sbtCtaRes", 203, 17, rbtListaCtaRes);
    sbtCtaRes->setEnabled(false);
    sbtCtaRes->setProperty("Tag", 100);
    sbtCtaRes->Title = QStringLiteral("Histórico Padrão");
    sbtCtaRes->PictType = suite::TPictType::ptContCtbl;

    lblIndCentr =
        label(panDados, "lblIndCentr", QStringLiteral("Centralização de escrituração"), 6, 229);
    cbbIndCentr = make<QComboBox>(panDados, "cbbIndCentr");
    cbbIndCentr->setEditable(false);
    cbbIndCentr->setFont(captionFont(false));
    cbbIndCentr->setGeometry(181, 228, 376, 21);
    cbbIndCentr->addItems({
        QStringLiteral("0 - Estabelecimento sem centralização de escrituração."),
        QStringLiteral("1 - Estabelecimento centralizador de escrituração."),
        QStringLiteral("2 - Estabelecimento com escrituração centralizada."),
    });
    cbbIndCentr->setCurrentIndex(-1);

    lblCodFin = label(panDados, "lblCodFin", QStringLiteral("Finalidade do arquivo"), 6, 257);
    cbbCodFin = make<QComboBox>(panDados, "cbbCodFin");
    cbbCodFin->setEditable(false);
    cbbCodFin->setFont(captionFont(false));
    cbbCodFin->setGeometry(180, 256, 376, 21);
    cbbCodFin->addItems({
        QStringLiteral("61 - Solicitação de Auditor Fiscal da secretaria da Receita "
                       "Previdenciária através da MPF."),
        QStringLiteral("62 - Entrega na secretaria de Receita Previdenciária - Movimento Anual "
                       "de órgão público, conforme intimação."),
        QStringLiteral("90- Dados internos UF."),
    });
    cbbCodFin->setCurrentIndex(-1);

    lblCpf = label(panDados, "lblCpf", QStringLiteral("CPF"), 6, 287);
    medCPF = maskEdit(panDados, "medCPF", 69, 285, 165);
    medCPF->setEditMask(QStringLiteral("999.999.999-99;0; "));
    medCPF->setMaxLength(14);
    lblCEI = label(panDados, "lblCEI", QStringLiteral("CEI"), 6, 312);
    medCEI = maskEdit(panDados, "medCEI", 69, 310, 165);
    lblNIT = label(panDados, "lblNIT", QStringLiteral("NIT"), 305, 287);
    medNIT = maskEdit(panDados, "medNIT", 368, 285, 165);
    lblSuframa = label(panDados, "lblSuframa", QStringLiteral("SUFRAMA"), 305, 312);
    medSuframa = maskEdit(panDados, "medSuframa", 368, 310, 165);

    panBarra = make<QFrame>(panDados, "panBarra");
    panBarra->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panBarra->setLineWidth(1);
    panBarra->setAutoFillBackground(true);
    panBarra->setGeometry(114, 78, 337, 81);
    grbBarra = group(panBarra, "grbBarra", QString(), 5, 1, 327, 74);
    lblBarra = label(grbBarra, "lblBarra", QString(), 10, 29);
    lblBarra->resize(300, 16);
    prgBarra = make<QProgressBar>(grbBarra, "prgBarra");
    prgBarra->setGeometry(8, 51, 226, 16);
    prgBarra->setRange(0, gen::kProgressMax);
    prgBarra->setValue(0);
    prgBarra->setTextVisible(false);
    // Its caption comes from the catalogue, filled later.
    sbtCancelar = make<QPushButton>(grbBarra, "sbtCancelar");
    sbtCancelar->setGeometry(241, 47, 78, 24);
    sbtCancelar->setFont(captionFont(false));
    sbtCancelar->setFocusPolicy(Qt::NoFocus);
    sbtCancelar->setAutoDefault(false);
    panBarra->hide();
    panBarra->raise();
}

void TfrmGerArqPrev::buildQueries() {
    qryEmpresa.SQL = {QStringLiteral("SELECT CDEMPRESA, NMEMPRESA"), QStringLiteral("FROM EMPRESA"),
                      QStringLiteral("ORDER BY CDEMPRESA")};
    qryEmpresa.SQL_ORACLE = qryEmpresa.SQL;
    qryEmpresa.SQL_MSSQL = qryEmpresa.SQL;
    qryEmpresa.SQL_IB = qryEmpresa.SQL;
    qryEmpresa.Query.AddField(QStringLiteral("CDEMPRESA"), 2, QStringLiteral("Código"));
    qryEmpresa.Query.AddField(QStringLiteral("NMEMPRESA"), 40, QStringLiteral("Empresa"));

    qryCtaRes.SQL = {QStringLiteral("SELECT"),
                     QStringLiteral("   CDCONTCTBL, NMCONTCTBL"),
                     QStringLiteral("FROM "),
                     QStringLiteral("   CONTCTBL"),
                     QStringLiteral("WHERE "),
                     QStringLiteral("   CDNVCONTCTBL = :P_NVCONTCTBL"),
                     QStringLiteral("ORDER BY CDCONTCTBL")};
    qryCtaRes.AddParam(QStringLiteral("P_NVCONTCTBL"));
    qryCtaRes.Query.AddField(QStringLiteral("CDCONTCTBL"), 20, QStringLiteral("Código"));
    qryCtaRes.Query.AddField(QStringLiteral("NMCONTCTBL"), 40, QStringLiteral("Nome"));
}

void TfrmGerArqPrev::buildCatalogue() {
    msgPadrao.setLines(gerArqPrevCatalogue());
    sbtCancelar->setText(msgPadrao.Msg(QStringLiteral("Canc_Ger")));
}

void TfrmGerArqPrev::setTabOrders() {
    // Date edits take the focus in their inner line edit.
    const QList<QWidget*> chain = {edtArqDest,
                                   edtCdEmpresa,
                                   depDataIni->lineEdit(),
                                   depDataFin->lineEdit(),
                                   depDataApu->lineEdit(),
                                   depIniPerInfo->lineEdit(),
                                   depFinPerInfo->lineEdit(),
                                   medCargoInfo,
                                   depIniPerCont->lineEdit(),
                                   depFinPerCont->lineEdit(),
                                   rbtTodosCtaRes,
                                   rbtListaCtaRes,
                                   cbbIndCentr,
                                   cbbCodFin,
                                   medCPF,
                                   medCEI,
                                   medNIT,
                                   medSuframa};
    for (qsizetype i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain[i], chain[i + 1]);
}

// The order ends at SUFRAMA and starts again at the destination file. The
// date edits' frames stay in the toolkit's chain where they were made, so
// the ring is closed here rather than by the chain.
bool TfrmGerArqPrev::focusNextPrevChild(bool next) {
    if (next && medSuframa->hasFocus()) {
        edtArqDest->setFocus(Qt::TabFocusReason);
        return true;
    }
    return suite::TfrmRotiGeral::focusNextPrevChild(next);
}

void TfrmGerArqPrev::bindHandlers() {
    // What the form resource binds: every handler runs behind the boundary.
    connect(sbtConfirma, &QToolButton::clicked, this,
            suite::handler(this, [this] { sbtConfirmaClick(sbtConfirma); }));
    connect(edtCdEmpresa, &QLineEdit::textChanged, this,
            suite::handler(this, [this] { edtCdEmpresaChange(edtCdEmpresa); }));
    connect(edtArqDest, &QLineEdit::textChanged, this,
            suite::handler(this, [this] { edtCdEmpresaChange(edtArqDest); }));
    connect(rbtTodosCtaRes, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            suite::guarded(this, [this] { rbtTodosCtaResClick(rbtTodosCtaRes); });
    });
    connect(rbtListaCtaRes, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            suite::guarded(this, [this] { rbtTodosCtaResClick(rbtListaCtaRes); });
    });
    connect(sbtCtaRes, &QToolButton::clicked, this,
            suite::handler(this, [this] { sbtCtaResClick(sbtCtaRes); }));
    connect(btpArvDest, &QToolButton::clicked, this,
            suite::handler(this, [this] { btpArvDestClick(btpArvDest); }));
    btpEmpresa->OnBeforePesq = [this](QObject* s, bool& flag) { btpEmpresaBeforePesq(s, flag); };
    btpEmpresa->OnAfterPesq = [this](QObject* s) { btpEmpresaAfterPesq(s); };
    // Exit handlers: the focus moving from inside a control (or the company
    // panel) to another control of this form. A focus going to another window
    // (a message box, another screen) is not an exit. The check runs once the
    // focus change is complete, so its message box and its focus move do not
    // nest inside the toolkit's focus handling.
    connect(qApp, &QApplication::focusChanged, this, &TfrmGerArqPrev::onFocusChanged);
}

void TfrmGerArqPrev::onFocusChanged(QWidget* old, QWidget* now) {
    if (!old || !now || !isAncestorOf(now))
        return;
    const auto inside = [](QWidget* area, QWidget* w) {
        return w == area || area->isAncestorOf(w);
    };
    if (inside(panEmpresa, old) && !inside(panEmpresa, now))
        QMetaObject::invokeMethod(
            this, [this] { suite::guarded(this, [this] { panEmpresaExit(panEmpresa); }); },
            Qt::QueuedConnection);
    if (old == medCPF && now != medCPF)
        QMetaObject::invokeMethod(
            this, [this] { suite::guarded(this, [this] { medCPFExit(medCPF); }); },
            Qt::QueuedConnection);
}

// ---- Creation and closing ----

void TfrmGerArqPrev::FormCreate(QObject* Sender) {
    suite::TfrmRotiGeral::FormCreate(Sender);
    NetGerArqPrev.SetConnected(true);
    qryCtaRes.Query.FieldByName(QStringLiteral("CDCONTCTBL")).EditMask = suite::DBPict(2);
    PictConta = std::make_unique<suite::TDBPicture>(suite::DBPict(0));
}

void TfrmGerArqPrev::FormClose(QObject* Sender, suite::TCloseAction& Action) {
    bostcriado = false;
    suite::TfrmRotiGeral::FormClose(Sender, Action);
}

void TfrmGerArqPrev::NetGerArqPrevBeforeConnect(QObject*) {
    NetGerArqPrev.SetPort(suite::WebPort());
    NetGerArqPrev.SetHost(suite::WebURL());
}

// ---- The run's two starters ----

void TfrmGerArqPrev::sbtConfirmaClick(QObject*) {
    GeraArquivo();
}

void TfrmGerArqPrev::rpddPadraoBeforeGetQueryParams(QVariantMap&, bool&) {
    GeraArquivo();
}

// ---- Report buttons: validation only ----

void TfrmGerArqPrev::sbtPrintClick(QObject*) {
    Vd_Empresa(true);
    Vd_CtaRes();
}

void TfrmGerArqPrev::sbtPreviewClick(QObject*) {
    Vd_Empresa(true);
    Vd_CtaRes();
}

void TfrmGerArqPrev::sbtSalvarComoClick(QObject*) {
    Vd_Empresa(true);
    Vd_CtaRes();
}

void TfrmGerArqPrev::sbtReportEditClick(QObject*) {
    Vd_Empresa(true);
    Vd_CtaRes();
}

// ---- Company ----

void TfrmGerArqPrev::Vd_Empresa(bool required) {
    focusOnFailure(edtCdEmpresa, [&] {
        const QString code = suite::Ajusta(edtCdEmpresa->text(), 2);
        edtCdEmpresa->setText(code); // a changed text clears the name
        if (suite::EmptyString(code)) {
            if (required)
                suite::MensErro(msgPadrao.Msg(QStringLiteral("Emp_Cad")), true);
            return;
        }
        QSqlDatabase db = db::dtmDBGeral::dtbGeral();
        const std::optional<QString> name = db::companyName(db, code);
        if (!name)
            suite::MensErro(msgPadrao.Msg(QStringLiteral("Emp_NCad")), true);
        edtNmEmpresa->setText(name.value_or(QString()));
    });
}

void TfrmGerArqPrev::btpEmpresaBeforePesq(QObject*, bool&) {
    qryEmpresa.Close();
}

void TfrmGerArqPrev::btpEmpresaAfterPesq(QObject*) {
    // The code first: setting it clears the name.
    edtCdEmpresa->setText(qryEmpresa.FieldByName(QStringLiteral("CDEMPRESA")).AsString());
    edtNmEmpresa->setText(qryEmpresa.FieldByName(QStringLiteral("NMEMPRESA")).AsString());
}

void TfrmGerArqPrev::edtCdEmpresaChange(QObject*) {
    edtNmEmpresa->clear();
}

void TfrmGerArqPrev::panEmpresaExit(QObject*) {
    Vd_Empresa(false);
}

// ---- CPF ----

void TfrmGerArqPrev::medCPFExit(QObject*) {
    focusOnFailure(medCPF, [&] {
        const QString cpf = medCPF->value();
        if (suite::EmptyString(cpf))
            return;
        if (!suite::CPFOk(cpf))
            suite::MensErro(msgPadrao.Msg(QStringLiteral("CPF_Inv")), true);
    });
}

// ---- Result accounts ----

void TfrmGerArqPrev::rbtTodosCtaResClick(QObject*) {
    ListaCtaRes.clear();
    sbtCtaRes->setEnabled(rbtListaCtaRes->isChecked());
}

void TfrmGerArqPrev::sbtCtaResClick(QObject*) {
    qryCtaRes.Close();
    const int levels = PictConta ? PictConta->GetTtNiveis() : 0;
    qryCtaRes.ParamByName(QStringLiteral("P_NVCONTCTBL")).SetAsString(QString::number(levels));
    qryCtaRes.Open();
    const QString caption =
        msgPadrao.Msg(QStringLiteral("Cont")) + u'|' + msgPadrao.Msg(QStringLiteral("Cont_NCad"));
    suite::PesquisaLista(&dtsCtaRes, QStringLiteral("CDCONTCTBL"), caption, false, ListaCtaRes);
}

void TfrmGerArqPrev::Vd_CtaRes() {
    focusOnFailure(rbtListaCtaRes, [&] {
        if (rbtListaCtaRes->isChecked() && ListaCtaRes.isEmpty())
            suite::MensErro(msgPadrao.Msg(QStringLiteral("Cta_Inf")), true);
    });
}

// ---- Destination ----

void TfrmGerArqPrev::btpArvDestClick(QObject*) {
    if (!edtArqDest->text().isEmpty())
        sdgArqPrev.FileName = edtArqDest->text();
    // A cancelled dialog leaves the destination as it was.
    if (!sdgArqPrev.Execute(this))
        return;
    edtArqDest->setText(sdgArqPrev.FileName);
    edtCdEmpresa->setFocus(Qt::OtherFocusReason);
}

void TfrmGerArqPrev::Vd_ArquivoDestino() {
    focusOnFailure(edtArqDest, [&] {
        const QString key = gen::destinationRefusal(edtArqDest->text(), gen::EnterFolder::Yes);
        if (!key.isEmpty())
            suite::MensErro(msgPadrao.Msg(key), true);
    });
}
