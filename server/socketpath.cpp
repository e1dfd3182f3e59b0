#include "server/socketpath.h"
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace server {
namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// 0 when a server accepted a connection on the socket, else the errno of
// the attempt (ECONNREFUSED: nobody listens).
int tryConnect(const QByteArray& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    int rc = 0;
    do
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    while (rc != 0 && errno == EINTR);
    const int result = rc == 0 ? 0 : errno;
    ::close(fd);
    return result;
}

} // namespace

bool claimSocketPath(const QString& path, QString& error) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || static_cast<size_t>(name.size()) >= sizeof(sockaddr_un::sun_path)) {
        error = QStringLiteral("caminho de socket vazio ou longo demais: %1").arg(path);
        return false;
    }
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        error = QStringLiteral("não foi possível examinar %1: %2").arg(path, systemError(errno));
        return false;
    }
    if (!S_ISSOCK(st.st_mode)) {
        error = QStringLiteral("%1 já existe e não é um socket; não foi apagado. "
                               "Escolha outro caminho para --socket.")
                    .arg(path);
        return false;
    }
    const int attempt = tryConnect(name);
    if (attempt == 0) {
        error = QStringLiteral("já há um servidor atendendo em %1.").arg(path);
        return false;
    }
    if (attempt != ECONNREFUSED) {
        error = QStringLiteral("não foi possível verificar o socket %1: %2")
                    .arg(path, systemError(attempt));
        return false;
    }
    // Nobody answers: the file of a server that is gone.
    if (::unlink(name.constData()) != 0 && errno != ENOENT) {
        error = QStringLiteral("não foi possível remover o socket abandonado %1: %2")
                    .arg(path, systemError(errno));
        return false;
    }
    return true;
}

} // namespace server
