#include "screen/rundisplay.h"
#include "suite/core/presenter.h"
#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

namespace {

bool isUserInput(QEvent::Type t) {
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

// Every box of the run, the server's failures and the checks' errors
// included, goes through the presenter: the panel is brought up to date first.
struct RunDisplay::Boxes final : suite::Presenter {
    Boxes(RunDisplay& d) : display(d), inner(&suite::presenter()) { suite::setPresenter(this); }
    ~Boxes() override { suite::setPresenter(inner); }
    Boxes(const Boxes&) = delete;
    Boxes& operator=(const Boxes&) = delete;

    int message(const QString& text, suite::MsgType type, int buttons, QWidget* parent) override {
        display.flush();
        return inner->message(text, type, buttons, parent);
    }
    int detailedMessage(const QString& text, const QString& detail, suite::MsgType type,
                        int buttons, QWidget* parent) override {
        display.flush();
        return inner->detailedMessage(text, detail, type, buttons, parent);
    }
    int pickOne(const suite::PickList& list, QWidget* parent) override {
        return inner->pickOne(list, parent);
    }
    bool pickMany(const suite::PickList& list, QList<int>& chosen, QWidget* parent) override {
        return inner->pickMany(list, chosen, parent);
    }
    bool saveFile(const SaveRequest& request, QString& chosen, QWidget* parent) override {
        return inner->saveFile(request, chosen, parent);
    }

    RunDisplay& display;
    suite::Presenter* inner;
};

RunDisplay::RunDisplay(QWidget& form, QWidget& panel, QLabel& status, QProgressBar& bar,
                       QAbstractButton* cancel)
    : form_(&form), panel_(&panel), status_(&status), bar_(&bar), cancel_(cancel),
      boxes_(std::make_unique<Boxes>(*this)) {
    pendingStatus_ = status.text();
    pendingPosition_ = bar.value();
    if (cancel)
        connect(cancel, &QAbstractButton::clicked, this, [this] {
            cancelRequested_ = true;
            cancel_->setEnabled(false); // taken; the run stops at its next step
        });
    qApp->installEventFilter(this);
}

RunDisplay::~RunDisplay() {
    qApp->removeEventFilter(this);
}

void RunDisplay::setStatus(const QString& text) {
    pendingStatus_ = text;
    pending_ = true;
}

void RunDisplay::setProgress(int position) {
    pendingPosition_ = position;
    pending_ = true;
}

void RunDisplay::showPanel(bool visible) {
    if (!panel_)
        return;
    if (visible) {
        apply();
        panel_->raise();
        panel_->show();
        if (cancel_)
            cancel_->setEnabled(true);
        flush();
    } else {
        panel_->hide();
    }
}

void RunDisplay::apply() {
    if (!pending_)
        return;
    pending_ = false;
    if (status_ && status_->text() != pendingStatus_)
        status_->setText(pendingStatus_);
    if (bar_)
        bar_->setValue(pendingPosition_);
}

int RunDisplay::intervalMs_ = RunDisplay::kIntervalMs;

void RunDisplay::setIntervalMs(int ms) {
    intervalMs_ = ms;
}

void RunDisplay::tick() {
    if (sinceShown_.isValid() && sinceShown_.elapsed() < intervalMs_)
        return;
    flush();
}

void RunDisplay::flush() {
    apply();
    // The changed controls are painted (and nothing else of the form), with
    // whatever the window system asked to be painted meanwhile; timers run,
    // so the busy indicator moves.
    const bool outer = pumping_;
    pumping_ = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    pumping_ = outer;
    sinceShown_.start();
}

bool RunDisplay::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Closing the form, or a window holding it, would free it under the run.
    if (type == QEvent::Close && form_ && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w == form_ || w->isAncestorOf(form_)) {
            event->ignore();
            return true;
        }
    }
    // Input reaches the toolkit's window first and then the widget under
    // the pointer or with the focus: it is judged at the widget.
    if (!pumping_ || !isUserInput(type) || !watched->isWidgetType())
        return false;
    if (cancel_ && watched == cancel_)
        return false;
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        cancel_ && cancel_->isVisible() && cancel_->isEnabled())
        cancel_->click();
    return true; // dropped, not kept for after the run
}
