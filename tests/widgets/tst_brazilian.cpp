// The toolkit's own texts and the widgets' locale in Brazilian Portuguese,
// on a machine whose locale is not Brazilian.
#include "suite/widgets/brazilianlocale.h"
#include <QApplication>
#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>

class TstBrazilian : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(suite::useBrazilianPortuguese(),
                 "the toolkit's pt_BR translations (qt6-translations-l10n) are missing");
    }

    void toolkitTexts_data() {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("portuguese");
        QTest::newRow("standard button") << "QPlatformTheme"
                                         << "Cancel"
                                         << "Cancelar";
        QTest::newRow("save dialog's button") << "QPlatformTheme"
                                              << "Save"
                                              << "Salvar";
        QTest::newRow("message box details") << "QMessageBox"
                                             << "Show Details..."
                                             << "Mostrar detalhes...";
    }
    void toolkitTexts() {
        QFETCH(QString, context);
        QFETCH(QString, english);
        QFETCH(QString, portuguese);
        QCOMPARE(QCoreApplication::translate(qPrintable(context), qPrintable(english)), portuguese);
    }

    void widgetsTakeTheBrazilianLocale() {
        QCalendarWidget calendar;
        QCOMPARE(calendar.locale().name(), QString("pt_BR"));
        QCOMPARE(calendar.locale().monthName(3), QString("março"));
        QCOMPARE(calendar.locale().dayName(6), QString("sábado"));
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString("Cancelar"));
    }
};

QTEST_MAIN(TstBrazilian)
#include "tst_brazilian.moc"
