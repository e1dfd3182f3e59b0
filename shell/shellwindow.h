#pragma once
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <memory>

class QLibrary;
class QMdiArea;

// One screen package the shell offers in its menu.
struct ScreenEntry {
    QString package; // library base name, e.g. "Pkg_klt40500"
    QString caption; // menu text
};

// The suite's desktop frame: a main window whose MDI area holds the screens.
// Packages are loaded on first use with QLibrary from packageDir; opening a
// screen calls the package's IniProc (after Initialize and SetShellContext at
// load). Load failures and errors from a package are shown in a box.
class ShellWindow : public QMainWindow {
    Q_OBJECT
public:
    ShellWindow(QString packageDir, QList<ScreenEntry> screens, QWidget* parent = nullptr);
    ~ShellWindow() override;

    QMdiArea* mdiArea() const { return area_; }
    // Loads the package when needed and calls its IniProc. False (after
    // showing why) when it cannot.
    bool openScreen(const QString& package);

    // The default list, or the one in $GERARQPREV_SHELL_SCREENS
    // ("Pkg_a=Caption;Pkg_b=Caption").
    static QList<ScreenEntry> configuredScreens();

private:
    QLibrary* load(const QString& package, QString& error);

    QString packageDir_;
    QList<ScreenEntry> screens_;
    QMdiArea* area_ = nullptr;
    QHash<QString, QLibrary*> loaded_;
};
