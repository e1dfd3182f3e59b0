#pragma once
#include <QSqlDatabase>
#include <QStringList>
#include <QTextStream>

namespace cli {

// `gerarqprev cadastro --empresa CD [--banco URL] [--campo valor ...]`: what
// the file needs and the books do not carry (the accounting office's data
// beside the accountant, the software supplier). Without data options it
// shows what is kept. Statuses as importar's (ImportStatus).
int runCadastro(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace cli
