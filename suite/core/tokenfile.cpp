#include "tokenfile.h"
#include <QFile>

namespace suite {

namespace {
// A token is a line of text; anything bigger is not the file meant.
constexpr qint64 kMaxTokenFile = 4096;
} // namespace

bool readTokenFile(const QString& path, QString& token, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("não foi possível ler o arquivo do token %1: %2")
                    .arg(path, f.errorString());
        return false;
    }
    const QByteArray bytes = f.read(kMaxTokenFile + 1);
    if (bytes.size() > kMaxTokenFile) {
        error = QStringLiteral("o arquivo do token %1 é grande demais para ser um token").arg(path);
        return false;
    }
    const QString text = QString::fromUtf8(bytes).trimmed();
    if (text.isEmpty()) {
        error = QStringLiteral("o arquivo do token %1 está vazio").arg(path);
        return false;
    }
    token = text;
    return true;
}

} // namespace suite
