#include "dbdefault.h"
#include "db/dbgeral.h"
#include "suite/core/config.h"

namespace suite {

void installDatabaseDefault() {
    db::setDefaultUrlProvider([] {
        const QString url = config().database;
        return url.isEmpty() ? Config::defaultDatabase() : url;
    });
}

} // namespace suite
