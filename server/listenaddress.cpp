#include "server/listenaddress.h"

namespace server {

bool listenAddress(const QString& host, bool hasToken, QHostAddress& address, QString& error) {
    const QString h = host.trimmed();
    if (h == QLatin1String("*"))
        address = QHostAddress::Any;
    else if (h.isEmpty() || h == QLatin1String("localhost"))
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(h)) {
        error = QStringLiteral("endereço inválido: %1").arg(host);
        return false;
    }
    if (!hasToken && !address.isLoopback()) {
        error = QStringLiteral("recusado escutar em %1 sem token: qualquer computador da rede "
                               "poderia chamar o servidor. Defina um token (servidor/token, "
                               "GERARQPREV_TOKEN ou --token-arquivo) ou escute em 127.0.0.1.")
                    .arg(h);
        return false;
    }
    return true;
}

} // namespace server
