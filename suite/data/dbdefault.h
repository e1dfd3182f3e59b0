#pragma once

namespace suite {

// Makes an empty database url mean the configured database (Config), for
// the database module, which does not know the suite's settings. Each
// program calls it first thing in main().
void installDatabaseDefault();

} // namespace suite
