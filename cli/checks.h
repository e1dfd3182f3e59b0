#pragma once
#include "suite/core/messages.h"
#include <QDate>
#include <QHash>
#include <QString>
#include <optional>

namespace cli {

// A date typed as DD/MM/AAAA: two digits, two digits, four digits and a real
// day; nullopt for anything else.
std::optional<QDate> parseDate(const QString& s);

// The CPF as the screen's masked edit hands it over: the digits alone.
QString cpfDigits(const QString& typed);

// The first of gerar's values (option name → value) that the screen would not
// let through or the server would refuse later, as the message for the user;
// empty when every value passes. Checked before anything is opened or
// written. The period's own dates, when they are not dates at all, are left to
// the run, which says so in the screen's words.
QString refusedValue(const QHash<QString, QString>& values, const suite::TMessages& messages);

} // namespace cli
