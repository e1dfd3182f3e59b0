#include "presenter.h"
#include <QTextStream>
#include <cstdio>

namespace suite {
namespace {

// Without a window: messages go to standard error, questions take the first
// button offered, pickers and dialogs are cancelled.
class ConsolePresenter final : public Presenter {
public:
    int message(const QString& text, MsgType, int buttons, QWidget*) override {
        QTextStream(stderr) << text << Qt::endl;
        if (buttons & mbOK)
            return mrOK;
        if (buttons & mbYes)
            return mrYes;
        if (buttons & mbNo)
            return mrNo;
        return mrCancel;
    }
    int pickOne(const PickList&, QWidget*) override { return -1; }
    bool pickMany(const PickList&, QList<int>&, QWidget*) override { return false; }
    bool saveFile(const SaveRequest&, QString&, QWidget*) override { return false; }
};

ConsolePresenter& consolePresenter() {
    static ConsolePresenter p;
    return p;
}

Presenter* current = nullptr;

} // namespace

Presenter& presenter() {
    return current ? *current : consolePresenter();
}

Presenter* setPresenter(Presenter* p) {
    Presenter* old = current;
    current = p;
    return old;
}

} // namespace suite
