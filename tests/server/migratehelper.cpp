// One process starting on a database: opens it, waits for the agreed moment
// so that several such processes collide, then migrates it.
// Usage: srv_migrate_helper URL START_MS_SINCE_EPOCH
#include "db/dbgeral.h"
#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    int rc = 0;
    {
        try {
            QSqlDatabase db = db::open(args[1], QStringLiteral("migrate"));
            const qint64 wait = args[2].toLongLong() - QDateTime::currentMSecsSinceEpoch();
            if (wait > 0)
                QThread::msleep(static_cast<unsigned long>(wait));
            db::applyMigrations(db);
            db.close();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            rc = 1;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("migrate"));
    return rc;
}
