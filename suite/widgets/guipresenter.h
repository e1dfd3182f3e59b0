#pragma once
#include "suite/core/presenter.h"

namespace suite {

// The desktop presenter: message boxes with the suite's Portuguese buttons,
// pickers as a table in a modal dialog, the toolkit's save dialog.
class GuiPresenter final : public Presenter {
public:
    int message(const QString& text, MsgType type, int buttons, QWidget* parent) override;
    int detailedMessage(const QString& text, const QString& detail, MsgType type, int buttons,
                        QWidget* parent) override;
    int pickOne(const PickList& list, QWidget* parent) override;
    bool pickMany(const PickList& list, QList<int>& chosen, QWidget* parent) override;
    bool saveFile(const SaveRequest& request, QString& chosen, QWidget* parent) override;
};

// Installs a process-wide GuiPresenter unless another presenter is already
// in force (a test's scripted one, say). Safe to call more than once.
void installGuiPresenterIfNone();

// A dialog filter of the suite's resource form ("Texto|*.txt|Todos|*.*")
// in the toolkit's form ("Texto (*.txt);;Todos (*.*)").
QString qtFileFilter(const QString& pipeFilter);

} // namespace suite
