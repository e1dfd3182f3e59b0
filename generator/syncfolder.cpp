#include "generator/syncfolder.h"
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace gen {

bool syncFolder(const QString& folder, QString& error) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    int rc = 0;
    do
        rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    const int code = rc == 0 ? 0 : errno;
    ::close(fd);
    if (code != 0 && code != EINVAL) { // EINVAL: this file system keeps no folder to sync
        error = QString::fromLocal8Bit(std::strerror(code));
        return false;
    }
    return true;
}

} // namespace gen
