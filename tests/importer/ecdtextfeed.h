#pragma once
#include "importer/ecdrecords.h"
#include <QByteArray>
#include <QString>

class QIODevice;

// A small stand-in for the import's reader, for tests of what reads typed
// records: splits a Latin-1 ECD text into lines and fields, hands each record
// it knows to the handler, and reports as findings what a well-written book
// never has (a line without CR LF, a wrong field count, 9900/9990/9999 counts
// that do not match). Not a reader: no encodings, versions or hierarchy.
namespace testfeed {

void feed(QIODevice& in, const QString& file, importer::EcdHandler& handler);
void feed(const QByteArray& text, const QString& file, importer::EcdHandler& handler);
bool feedFile(const QString& path, importer::EcdHandler& handler);

} // namespace testfeed
