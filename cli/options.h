#pragma once
#include <QHash>
#include <QSet>
#include <QStringList>
#include <QTextStream>

namespace cli {

// The program's usage text, every command in it.
extern const char* const kUsage;

// A command's options: "--name value", "--name=value", flags, and, for the
// commands that take them, plain arguments (file names).
struct Options {
    QHash<QString, QString> values;
    QSet<QString> flags;
    QStringList positional;
    QString value(const char* k) const { return values.value(QString::fromLatin1(k)); }
    bool has(const char* k) const { return values.contains(QString::fromLatin1(k)); }
};

// False with a message and the usage on err for an unknown option, a
// missing value, or a plain argument where the command takes none.
bool parse(const QStringList& args, const QStringList& valued, const QStringList& flags, Options& o,
           QTextStream& err, bool positional = false);

} // namespace cli
