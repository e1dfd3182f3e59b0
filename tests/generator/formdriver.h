#pragma once
#include <QString>
#include <QStringList>

class TfrmGerArqPrev;

// Fills the parameter form from the command line's arguments of a run
// (--empresa, --inicio, ..., the same defaults), so the screen and the
// command line can be given the same parameters. dest goes into edtArqDest.
void fillForm(TfrmGerArqPrev& form, const QStringList& args, const QString& dest);

// The shared database module on a fresh SQLite file in dir, holding the
// company "01".
void seedCompany(const QString& dir);

// Points the client settings at a server that cannot exist, so creating a
// form does not reach for a real one.
void useNoAppServer(const QString& dir);
