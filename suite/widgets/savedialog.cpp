#include "suite/widgets/savedialog.h"
#include "suite/core/presenter.h"
#include "suite/widgets/guipresenter.h"
#include <QDir>

namespace suite {

QString TSaveDialog::startFolder() const {
    if (!InitialDir.isEmpty() && QDir(InitialDir).exists())
        return InitialDir;
    return QDir::homePath();
}

bool TSaveDialog::Execute(QWidget* parent) {
    Presenter::SaveRequest request;
    request.title = Title;
    request.filter = qtFileFilter(Filter);
    request.defaultSuffix = DefaultExt;
    request.initialDir = startFolder();
    request.fileName = FileName;
    QString chosen;
    if (!presenter().saveFile(request, chosen, parent))
        return false;
    FileName = chosen;
    return true;
}

} // namespace suite
