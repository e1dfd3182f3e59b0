#include "shell/shellwindow.h"
#include "suite/core/presenter.h"
#include <QDir>
#include <QLibrary>
#include <QMdiArea>
#include <QMenuBar>
#include <exception>

namespace {
using VoidFn = void (*)();
using ContextFn = void (*)(QMdiArea*);
} // namespace

ShellWindow::ShellWindow(QString packageDir, QList<ScreenEntry> screens, QWidget* parent)
    : QMainWindow(parent), packageDir_(std::move(packageDir)), screens_(std::move(screens)) {
    setObjectName(QStringLiteral("frmShell"));
    setWindowTitle(QStringLiteral("Suíte contábil"));
    area_ = new QMdiArea(this);
    area_->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(area_);

    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Telas"));
    for (const ScreenEntry& s : screens_) {
        QAction* a = menu->addAction(s.caption);
        a->setObjectName(s.package);
        connect(a, &QAction::triggered, this, [this, p = s.package] { openScreen(p); });
    }
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("&Sair")), &QAction::triggered, this, &QWidget::close);
    QMenu* windows = menuBar()->addMenu(QStringLiteral("&Janelas"));
    connect(windows->addAction(QStringLiteral("&Cascata")), &QAction::triggered, area_,
            &QMdiArea::cascadeSubWindows);
    connect(windows->addAction(QStringLiteral("&Lado a lado")), &QAction::triggered, area_,
            &QMdiArea::tileSubWindows);
}

ShellWindow::~ShellWindow() {
    // Screens go before the code that runs them is unloaded.
    area_->closeAllSubWindows();
    delete area_;
    area_ = nullptr;
    for (QLibrary* lib : std::as_const(loaded_)) {
        if (auto fin = reinterpret_cast<VoidFn>(lib->resolve("Finalize")))
            fin();
        // Left mapped: a package's Qt objects (deferred deletes, statics)
        // may still refer to its code until the process ends.
        delete lib;
    }
}

QList<ScreenEntry> ShellWindow::configuredScreens() {
    const QString env = qEnvironmentVariable("GERARQPREV_SHELL_SCREENS");
    if (env.isEmpty())
        return {{QStringLiteral("Pkg_klt40500"),
                 QStringLiteral("KLT40500 - Gerar Arquivo Previdência Social")}};
    QList<ScreenEntry> out;
    for (const QString& item : env.split(u';', Qt::SkipEmptyParts)) {
        const QString pkg = item.section(u'=', 0, 0).trimmed();
        const QString caption = item.section(u'=', 1).trimmed();
        out.append({pkg, caption.isEmpty() ? pkg : caption});
    }
    return out;
}

QLibrary* ShellWindow::load(const QString& package, QString& error) {
    if (QLibrary* lib = loaded_.value(package))
        return lib;
    auto* lib = new QLibrary(QDir(packageDir_).filePath(package));
    lib->setLoadHints(QLibrary::PreventUnloadHint);
    if (!lib->load()) {
        error = lib->errorString();
        delete lib;
        return nullptr;
    }
    auto init = reinterpret_cast<VoidFn>(lib->resolve("Initialize"));
    auto context = reinterpret_cast<ContextFn>(lib->resolve("SetShellContext"));
    if (!lib->resolve("IniProc")) {
        error = QStringLiteral("o pacote não exporta IniProc");
        delete lib;
        return nullptr;
    }
    if (init)
        init();
    if (context)
        context(area_);
    loaded_.insert(package, lib);
    return lib;
}

bool ShellWindow::openScreen(const QString& package) {
    QString error;
    QLibrary* lib = load(package, error);
    if (!lib) {
        suite::presenter().message(
            QStringLiteral("Não foi possível carregar o pacote %1: %2").arg(package, error),
            suite::MsgType::Error, suite::mbOK, this);
        return false;
    }
    try {
        reinterpret_cast<VoidFn>(lib->resolve("IniProc"))();
        return true;
    } catch (const std::exception& e) {
        suite::presenter().message(QString::fromUtf8(e.what()), suite::MsgType::Error, suite::mbOK,
                                   this);
    }
    return false;
}
