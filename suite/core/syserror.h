#pragma once
#include <QString>

namespace suite {

// A system error number as the user reads it: "disco cheio", "sem
// permissão", ...; an uncommon one by its number.
QString systemErrorText(int err);

} // namespace suite
