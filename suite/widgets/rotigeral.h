#pragma once
#include "suite/core/messages.h"
#include <QByteArray>
#include <QToolButton>
#include <QVariantMap>
#include <QWidget>
#include <functional>

class QCloseEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace suite {

// What closing a form does with it.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// The flat button of the suite's button column.
class TButtonFlat : public QToolButton {
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr);
};

// The report component of the base form. Before a report fetches its query
// parameters it hands them to BeforeGetQueryParams; the base form runs no
// report of its own, so only GetQueryParams() triggers it.
class TRpDataDef : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    std::function<void(QVariantMap& params, bool& flag)> BeforeGetQueryParams;
    QVariantMap GetQueryParams();
};

// The suite's standard screen: data group on the left, button column on the
// right, the screen code, the message catalogue and the report component.
//
// Handlers are bound by name: a derived form declares public slots named
// FormCreate(QObject*), FormClose(QObject*, suite::TCloseAction&),
// sbtPrintClick(QObject*), sbtPreviewClick(QObject*), sbtSalvarComoClick(QObject*),
// sbtReportEditClick(QObject*) and
// rpddPadraoBeforeGetQueryParams(QVariantMap&, bool&), and the base form
// calls them. The derived constructor ends with createForm(), which binds them
// and runs FormCreate; an exception there passes on to whoever creates the form.
class TfrmRotiGeral : public QWidget {
    Q_OBJECT
public:
    explicit TfrmRotiGeral(QWidget* parent = nullptr);
    ~TfrmRotiGeral() override;

    QLabel* lblCodTela = nullptr;
    QGroupBox* grbDadosRel = nullptr;
    QFrame* panMenu = nullptr;
    QFrame* panBotoes = nullptr;
    TButtonFlat* sbtConfirma = nullptr;
    TButtonFlat* sbtPrint = nullptr;
    TButtonFlat* sbtPreview = nullptr;
    TButtonFlat* sbtSalvarComo = nullptr;
    TButtonFlat* sbtReportEdit = nullptr;
    TRpDataDef* rpddPadrao = nullptr;
    TMessages msgPadrao;
    int HelpContext = 0;

    // Puts the form into area as a fixed-size MDI child at pos (top-level
    // window when area is null) and returns the frame shown.
    QWidget* showAsChild(QMdiArea* area, QPoint pos);
    // The MDI frame holding the form, or null.
    QMdiSubWindow* subWindow() const;
    // Shows, raises and puts the window in the normal state.
    void bringToFrontNormal();

    // Calls the most derived public slot called `name` taking argc arguments;
    // argv[0] is the return slot, argv[1..] point to the arguments. False
    // when the form has no such slot. Exceptions pass through unchanged.
    bool invokeByName(const QByteArray& name, int argc, void** argv);

public slots:
    void FormCreate(QObject* Sender);
    // Frees the form on closing: the next opening makes a new one.
    void FormClose(QObject* Sender, suite::TCloseAction& Action);

protected:
    void createForm();
    void closeEvent(QCloseEvent* event) override;

private:
    void bindButton(TButtonFlat* button, const QByteArray& slot);
    bool created_ = false;
};

} // namespace suite
