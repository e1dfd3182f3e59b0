#pragma once
#include <QStringList>

// The screen's message catalogue, "key|text" per line, in its stored order.
// Kept apart from the form so the command line shows the very same texts.
QStringList gerArqPrevCatalogue();
