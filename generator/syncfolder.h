#pragma once
#include <QString>

namespace gen {

// Writes a folder's entries to disk, so that a file just renamed into it is
// still there after a power cut. False with the system's reason in error; a
// file system that cannot sync folders counts as done.
bool syncFolder(const QString& folder, QString& error);

} // namespace gen
