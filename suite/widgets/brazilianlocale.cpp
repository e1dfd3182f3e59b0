#include "suite/widgets/brazilianlocale.h"
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace suite {

bool useBrazilianPortuguese() {
    static bool loaded = false;
    static bool done = false;
    if (done || !QCoreApplication::instance())
        return loaded;
    done = true;
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    QLocale::setDefault(brazil);
    // Owned by the application, so it goes with it.
    auto* qt = new QTranslator(QCoreApplication::instance());
    loaded = qt->load(brazil, QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded)
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return loaded;
}

} // namespace suite
