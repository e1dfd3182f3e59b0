#pragma once
#include <QString>

namespace server {

// Makes a Unix socket path ready to listen on. A missing path is fine; a
// socket file on which nobody answers (left by a server that died) is
// removed. Anything else is left untouched and refused with the reason in
// error: a file or folder that is not a socket, or a socket where a server
// answers.
bool claimSocketPath(const QString& path, QString& error);

} // namespace server
