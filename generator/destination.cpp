#include "generator/destination.h"
#include "suite/core/utils.h"
#include <QDir>
#include <QFileInfo>

namespace gen {

QString folderOf(const QString& path) {
    const qsizetype last = path.lastIndexOf(u'/');
    if (last < 0)
        return {};
    if (last == 0 || path.at(last - 1) == u'/')
        return path.left(last + 1);
    return path.left(last);
}

QString destinationRefusal(const QString& typed, EnterFolder enter) {
    if (suite::EmptyString(typed))
        return QStringLiteral("Dir_Inf");
    // A bare file name has no folder: it is written in the current one.
    const QString folder = folderOf(suite::AllTrim(typed));
    if (!folder.isEmpty() &&
        !(enter == EnterFolder::Yes ? QDir::setCurrent(folder) : QFileInfo(folder).isDir()))
        return QStringLiteral("Dir_Inv");
    if (QFileInfo(typed).isDir())
        return QStringLiteral("Arq_Inf");
    return {};
}

} // namespace gen
