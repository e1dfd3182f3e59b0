#include "syserror.h"
#include <cerrno>

namespace suite {

QString systemErrorText(int err) {
    switch (err) {
    case ENOSPC:
        return QStringLiteral("disco cheio");
    case EDQUOT:
        return QStringLiteral("cota de disco esgotada");
    case EACCES:
    case EPERM:
        return QStringLiteral("sem permissão");
    case EROFS:
        return QStringLiteral("disco somente para leitura");
    case EIO:
        return QStringLiteral("erro de leitura ou gravação no disco");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("pasta inexistente");
    case ENAMETOOLONG:
        return QStringLiteral("nome longo demais");
    case EFBIG:
        return QStringLiteral("arquivo grande demais para o disco");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("arquivos abertos demais");
    case ESTALE:
    case ENOLINK:
        return QStringLiteral("pasta de rede indisponível");
    default:
        return QStringLiteral("erro do sistema nº %1").arg(err);
    }
}

} // namespace suite
