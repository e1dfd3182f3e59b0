#pragma once
#include <QString>

class QWidget;

namespace suite {

// The save-file dialog component. Filter uses the suite's resource notation
// ("Texto|*.txt|Todos|*.*"); an InitialDir that does not exist on this
// machine (a drive path such as "C:\") opens the user's home instead. The
// dialog never asks before overwriting: whoever writes the file asks.
class TSaveDialog {
public:
    QString Title;
    QString Filter;
    QString DefaultExt;
    QString InitialDir;
    QString FileName; // the last file chosen; preselected at the next Execute

    // Runs the dialog through the presenter; false when cancelled, FileName
    // then stays as it was.
    bool Execute(QWidget* parent);
    // The folder the dialog opens in.
    QString startFolder() const;
};

} // namespace suite
