#include "suite/widgets/rotigeral.h"
#include "suite/widgets/guarded.h"
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaMethod>
#include <QStyle>

namespace suite {

TButtonFlat::TButtonFlat(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(32, 32));
}

QVariantMap TRpDataDef::GetQueryParams() {
    QVariantMap params;
    bool flag = true;
    if (BeforeGetQueryParams)
        BeforeGetQueryParams(params, flag);
    return params;
}

TfrmRotiGeral::TfrmRotiGeral(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmRotiGeral"));
    setFixedSize(621, 425);

    grbDadosRel = new QGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    grbDadosRel->setGeometry(0, 0, 563, 425);

    panMenu = new QFrame(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFrameShape(QFrame::StyledPanel);
    panMenu->setGeometry(563, 0, 58, 425);

    panBotoes = new QFrame(panMenu);
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    panBotoes->setGeometry(2, 2, 54, 300);

    QStyle* st = style();
    auto makeButton = [&](const char* name, QStyle::StandardPixmap pix, const QString& hint,
                          int top) {
        auto* b = new TButtonFlat(panBotoes);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(st->standardIcon(pix));
        b->setToolTip(hint);
        b->setGeometry(3, top, 48, 44);
        return b;
    };
    sbtConfirma = makeButton("sbtConfirma", QStyle::SP_DialogApplyButton, QString(), 4);
    sbtPrint =
        makeButton("sbtPrint", QStyle::SP_FileDialogDetailedView, QStringLiteral("Imprimir"), 52);
    sbtPreview = makeButton("sbtPreview", QStyle::SP_FileDialogContentsView,
                            QStringLiteral("Visualizar"), 100);
    sbtSalvarComo = makeButton("sbtSalvarComo", QStyle::SP_DialogSaveButton,
                               QStringLiteral("Salvar como"), 148);
    sbtReportEdit = makeButton("sbtReportEdit", QStyle::SP_FileDialogListView,
                               QStringLiteral("Editar relatório"), 196);

    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignCenter);
    lblCodTela->setGeometry(0, 403, 58, 16);
    QFont small = lblCodTela->font();
    small.setPointSize(7);
    lblCodTela->setFont(small);

    rpddPadrao = new TRpDataDef(this);
    rpddPadrao->setObjectName(QStringLiteral("rpddPadrao"));
}

TfrmRotiGeral::~TfrmRotiGeral() = default;

bool TfrmRotiGeral::invokeByName(const QByteArray& name, int argc, void** argv) {
    const QMetaObject* mo = metaObject();
    for (int i = mo->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod m = mo->method(i);
        if (m.access() == QMetaMethod::Public && m.name() == name && m.parameterCount() == argc) {
            // Straight into the generated dispatcher: the handler's exceptions
            // reach our caller without crossing the toolkit's own frames.
            qt_metacall(QMetaObject::InvokeMetaMethod, i, argv);
            return true;
        }
    }
    return false;
}

void TfrmRotiGeral::bindButton(TButtonFlat* button, const QByteArray& slot) {
    connect(button, &QToolButton::clicked, this, [this, button, slot] {
        guarded(this, [&] {
            QObject* sender = button;
            void* argv[] = {nullptr, &sender};
            invokeByName(slot, 1, argv);
        });
    });
}

void TfrmRotiGeral::createForm() {
    if (created_)
        return;
    created_ = true;
    bindButton(sbtPrint, "sbtPrintClick");
    bindButton(sbtPreview, "sbtPreviewClick");
    bindButton(sbtSalvarComo, "sbtSalvarComoClick");
    bindButton(sbtReportEdit, "sbtReportEditClick");
    rpddPadrao->BeforeGetQueryParams = [this](QVariantMap& params, bool& flag) {
        void* argv[] = {nullptr, &params, &flag};
        invokeByName("rpddPadraoBeforeGetQueryParams", 2, argv);
    };
    QObject* sender = this;
    void* argv[] = {nullptr, &sender};
    invokeByName("FormCreate", 1, argv);
}

void TfrmRotiGeral::FormCreate(QObject*) {}

void TfrmRotiGeral::FormClose(QObject*, TCloseAction& Action) {
    Action = TCloseAction::caFree;
}

void TfrmRotiGeral::closeEvent(QCloseEvent* event) {
    TCloseAction action = TCloseAction::caHide;
    bool failed = false;
    guarded(this, [&] {
        try {
            QObject* sender = this;
            void* argv[] = {nullptr, &sender, &action};
            invokeByName("FormClose", 2, argv);
        } catch (...) {
            failed = true; // a failing close handler keeps the form open
            throw;
        }
    });
    if (failed || action == TCloseAction::caNone) {
        event->ignore();
        return;
    }
    QMdiSubWindow* sub = subWindow();
    if (action == TCloseAction::caMinimize) {
        event->ignore();
        if (sub)
            sub->showMinimized();
        else
            showMinimized();
        return;
    }
    event->accept();
    if (action == TCloseAction::caFree) {
        setAttribute(Qt::WA_DeleteOnClose);
        if (sub) {
            sub->setAttribute(Qt::WA_DeleteOnClose);
            sub->close(); // no-op when the frame itself started the closing
        }
    } else if (sub) {
        sub->hide();
    }
}

QMdiSubWindow* TfrmRotiGeral::subWindow() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

QWidget* TfrmRotiGeral::showAsChild(QMdiArea* area, QPoint pos) {
    if (!area) {
        setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
        move(pos);
        show();
        return this;
    }
    // Fixed single border: no maximise button, no resizing.
    auto* sub =
        area->addSubWindow(this, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                     Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                     Qt::WindowCloseButtonHint);
    sub->setWindowTitle(windowTitle());
    sub->setWindowIcon(windowIcon());
    sub->adjustSize();
    sub->setFixedSize(sub->sizeHint());
    sub->move(pos);
    sub->show();
    return sub;
}

void TfrmRotiGeral::bringToFrontNormal() {
    QWidget* frame = subWindow() ? static_cast<QWidget*>(subWindow()) : this;
    frame->showNormal();
    frame->raise();
    if (QMdiSubWindow* sub = subWindow())
        if (QMdiArea* area = sub->mdiArea())
            area->setActiveSubWindow(sub);
    activateWindow();
}

} // namespace suite
