#pragma once
#include <QString>

namespace gen {

// The folder part of a path: the text up to its last "/", without that "/"
// unless it stands first or follows another "/" (the root keeps it); empty
// without any "/".
QString folderOf(const QString& path);

// The destination check of the form and the command line: the catalogue key
// of the first failure (no name typed, a folder that cannot be entered, a
// folder named instead of a file), empty when the name passes. The form makes
// the folder current, as it always has; the command line only looks at it.
enum class EnterFolder { Yes, No };
QString destinationRefusal(const QString& typed, EnterFolder enter);

} // namespace gen
