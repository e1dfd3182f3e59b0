#include "suite/widgets/showavi.h"
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

namespace suite {

namespace {
QPointer<QFrame> indicator;
bool active = false;
int starts = 0;

QString captionOf(int kind) {
    switch (kind) {
    case 6:
        return QStringLiteral("Buscando dados...");
    default:
        return QStringLiteral("Aguarde...");
    }
}
} // namespace

void ActiveShowAvi(QWidget* mainForm, int kind) {
    ++starts;
    if (active)
        return;
    active = true;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return; // no screen to show it on
    auto* f = new QFrame(mainForm, mainForm ? Qt::Widget : Qt::ToolTip | Qt::FramelessWindowHint);
    f->setObjectName(QStringLiteral("frmShowAvi"));
    // It only shows: a click on it is for what lies under it (a cancel button).
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    auto* lay = new QVBoxLayout(f);
    lay->setContentsMargins(8, 6, 8, 6);
    lay->addWidget(new QLabel(captionOf(kind), f));
    auto* bar = new QProgressBar(f);
    bar->setRange(0, 0); // the toolkit's endless busy bar
    bar->setTextVisible(false);
    bar->setFixedHeight(10);
    lay->addWidget(bar);
    f->resize(180, 50);
    if (mainForm)
        f->move((mainForm->width() - f->width()) / 2, (mainForm->height() - f->height()) / 2);
    f->show();
    f->raise();
    f->repaint();
    indicator = f;
}

void DeactiveShowAvi() {
    active = false;
    if (indicator) {
        indicator->hide();
        indicator->deleteLater();
        indicator = nullptr;
    }
}

bool ShowAviActive() {
    return active;
}
int ShowAviStarts() {
    return starts;
}
void ResetShowAviCount() {
    starts = 0;
}

} // namespace suite
