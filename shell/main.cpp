#include "shell/shellwindow.h"
#include "suite/data/dbdefault.h"
#include "suite/widgets/brazilianlocale.h"
#include "suite/widgets/guipresenter.h"
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    suite::installDatabaseDefault();
    QApplication::setApplicationName(QStringLiteral("suite-shell"));
    suite::useBrazilianPortuguese();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Moldura das telas da suíte contábil."));
    parser.addHelpOption();
    QCommandLineOption open(QStringLiteral("abrir"),
                            QStringLiteral("Abre a tela do pacote ao iniciar."),
                            QStringLiteral("pacote"));
    QCommandLineOption dir(QStringLiteral("pacotes"),
                           QStringLiteral("Pasta dos pacotes (padrão: ../lib do programa)."),
                           QStringLiteral("pasta"));
    parser.addOption(open);
    parser.addOption(dir);
    parser.process(app);

    suite::installGuiPresenterIfNone();

    QString packageDir = parser.value(dir);
    if (packageDir.isEmpty())
        packageDir = qEnvironmentVariable("GERARQPREV_PACKAGE_DIR");
    if (packageDir.isEmpty())
        packageDir = QDir(QApplication::applicationDirPath()).filePath(QStringLiteral("../lib"));

    ShellWindow w(QDir::cleanPath(packageDir), ShellWindow::configuredScreens());
    w.resize(1180, 800);
    w.show();
    for (const QString& p : parser.values(open))
        QTimer::singleShot(0, &w, [&w, p] { w.openScreen(p); });
    return QApplication::exec();
}
