#include "package/pkg_klt40500.h"
#include "package/unitstate.h"
#include "screen/frmgerarqprev.h"
#include "suite/data/dbdefault.h"
#include "suite/widgets/brazilianlocale.h"
#include "suite/widgets/guipresenter.h"
#include <QApplication>
#include <QMdiArea>
#include <QPointer>

namespace {

QPointer<QMdiArea> shellArea;
// Guards against a form destroyed without closing (its MDI area went away):
// bostcriado alone would then point at a dead instance.
QPointer<TfrmGerArqPrev> liveForm;

// The hourglass while the screen opens, restored however the opening ends.
class WaitCursor {
public:
    WaitCursor() {
        if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            set_ = true;
        }
    }
    ~WaitCursor() {
        if (set_)
            QApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool set_ = false;
};

const char* const unitNames[] = {"Cli_klt40500"};
const PackageInfoTable infoTable = {1, unitNames};

} // namespace

extern "C" {

void Initialize() {
    // The form's look-ups open the configured database whichever program
    // loads the package.
    suite::installDatabaseDefault();
    InitUnitCli_klt40500();
}

void Finalize() {
    // The unit has no finalisation of its own.
}

const PackageInfoTable* GetPackageInfoTable() {
    return &infoTable;
}

void SetShellContext(QMdiArea* area) {
    shellArea = area;
}

void CriaGerArqPrev() {
    WaitCursor cursor;
    if (!bostcriado || !liveForm) {
        auto* form = new TfrmGerArqPrev(nullptr);
        frmGerArqPrev = form;
        liveForm = form;
        bostcriado = true;
        form->showAsChild(shellArea, QPoint(246, 188));
    }
    frmGerArqPrev->bringToFrontNormal();
}

void IniProc() {
    suite::installGuiPresenterIfNone();
    // Whichever shell loads the screen.
    suite::useBrazilianPortuguese();
    CriaGerArqPrev();
}
}
