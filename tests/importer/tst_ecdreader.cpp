#include "importer/ecdreader.h"
#include <QTest>
class TstEcdReader : public QObject {
    Q_OBJECT
private slots:
    void nothing() {}
};
QTEST_GUILESS_MAIN(TstEcdReader)
#include "tst_ecdreader.moc"
