// The parameter form while its run works, offscreen: what is painted and
// when, which input gets through, and the end of the run as the user sees it.
#include "formdriver.h"
#include "screen/formrunhost.h"
#include "screen/frmgerarqprev.h"
#include "screen/rundisplay.h"
#include "scriptedserver.h"
#include "suite/widgets/maskedit.h"
#include "suite/widgets/scriptedpresenter.h"
#include "suite/widgets/showavi.h"
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {
QString goldenDir() {
    return qEnvironmentVariable("GERARQPREV_SOURCE_DIR") + "/tests/generator/golden";
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject loadCase(const QString& name) {
    return QJsonDocument::fromJson(readAll(goldenDir() + "/" + name + "/case.json")).object();
}

QStringList argsOf(const QJsonObject& c) {
    QStringList s;
    for (const auto& v : c.value("args").toArray())
        s << v.toString();
    return s;
}

// Runs `at` just before the n-th remote call (from 1), in the middle of the run.
class Hooked final : public suite::RemoteServer {
public:
    explicit Hooked(suite::RemoteServer& inner) : inner_(inner) {}
    suite::RemoteResult call(const QString& method, QList<suite::RemoteArg>& args) override {
        ++calls;
        if (calls == atCall && at)
            at();
        return inner_.call(method, args);
    }
    int calls = 0;
    int atCall = 0;
    std::function<void()> at;

private:
    suite::RemoteServer& inner_;
};

// A click as the window system delivers it: to the window, which hands it to
// the widget under the pointer.
void clickThroughWindow(QWidget* w) {
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      w->mapTo(top, w->rect().center()));
}

// Notes each paint of a control and what it showed then.
class PaintLog final : public QObject {
public:
    explicit PaintLog(QWidget* w) : w_(w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            if (auto* l = qobject_cast<QLabel*>(w_))
                shown = l->text();
            if (auto* b = qobject_cast<QProgressBar*>(w_))
                shown = QString::number(b->value());
        }
        return false;
    }
    int paints = 0;
    QString shown;

private:
    QWidget* w_;
};
} // namespace

class TstScreenDisplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void lastStatePaintedBeforeEachBox();
    void panelPaintedOverTheForm();
    void inputDroppedDuringTheRun_data();
    void inputDroppedDuringTheRun();
    void cancelStopsTheRun_data();
    void cancelStopsTheRun();
    void serverFailureWithDetail();
    void boxesAfterSuccessNameTheFile_data();
    void boxesAfterSuccessNameTheFile();

private:
    // Fills the form for a golden case writing to a fresh folder.
    void prepare(const QString& name);

    QTemporaryDir dir_;
    std::unique_ptr<TfrmGerArqPrev> form_;
    std::unique_ptr<QTemporaryDir> out_;
    std::unique_ptr<ScriptedServer> server_;
    std::unique_ptr<Hooked> hooked_;
    QString dest_;
};

void TstScreenDisplay::initTestCase() {
    QVERIFY(dir_.isValid());
    useNoAppServer(dir_.path());
    seedCompany(dir_.path());
    // Every step shows, so that input sent in the middle of a short run is
    // taken in the middle of it.
    RunDisplay::setIntervalMs(0);
}

void TstScreenDisplay::init() {
    QDir::setCurrent(dir_.path());
    form_ = std::make_unique<TfrmGerArqPrev>();
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TstScreenDisplay::cleanup() {
    form_.reset();
    hooked_.reset();
    server_.reset();
    out_.reset();
    QDir::setCurrent(dir_.path());
}

void TstScreenDisplay::prepare(const QString& name) {
    const QJsonObject c = loadCase(name);
    out_ = std::make_unique<QTemporaryDir>();
    dest_ = out_->filePath("MANAD.txt");
    server_ = std::make_unique<ScriptedServer>(c.value("answers").toObject());
    hooked_ = std::make_unique<Hooked>(*server_);
    setFormRemoteServer(*form_, hooked_.get());
    fillForm(*form_, argsOf(c), dest_);
}

// The bar and the status are painted only now and then, but what a message
// box comes up over is the run's last state; the rest of the form is not
// painted again.
void TstScreenDisplay::lastStatePaintedBeforeEachBox() {
    prepare("example");
    PaintLog bar(form_->prgBarra), status(form_->lblBarra), dest(form_->edtArqDest);
    QApplication::processEvents();
    const int destBefore = dest.paints;

    suite::ScriptedPresenter presenter;
    QStringList atBox;
    presenter.onMessage = [&](const suite::ScriptedPresenter::Shown&) {
        atBox << bar.shown + " / " + status.shown;
    };
    form_->sbtConfirma->click();

    QCOMPARE(presenter.texts().value(0), QString("Arquivo gerado com sucesso."));
    QCOMPARE(atBox.value(0), QString("120 / Encerramento do arquivo digital..."));
    QCOMPARE(dest.paints, destBefore);
}

// Mid-run, what the window shows (its backing store, not a fresh rendering)
// has the panel drawn over the service-period group: its own background and
// frame, not the job-title edit behind it.
void TstScreenDisplay::panelPaintedOverTheForm() {
    prepare("example");
    QImage shot;
    hooked_->atCall = 20;
    hooked_->at = [&] { shot = form_->screen()->grabWindow(form_->winId()).toImage(); };
    suite::ScriptedPresenter presenter;
    form_->sbtConfirma->click();
    QCOMPARE(presenter.texts().value(0), QString("Arquivo gerado com sucesso."));
    QVERIFY(!shot.isNull());
    const qreal dpr = shot.devicePixelRatio();
    auto pixel = [&](QWidget* w, QPoint p) {
        const QPoint at = w->mapTo(form_.get(), p) * dpr;
        return shot.pixelColor(at);
    };

    // Between the status line and the bar, right over the job-title edit.
    QWidget* panel = form_->panBarra;
    auto inPanel = [&](QWidget* w, QPoint p) {
        return panel->mapFrom(form_.get(), w->mapTo(form_.get(), p));
    };
    const QRect edit(inPanel(form_->medCargoInfo, QPoint(0, 0)), form_->medCargoInfo->size());
    QVERIFY(panel->rect().intersects(edit));
    const int gapY = (form_->lblBarra->mapTo(panel, QPoint(0, form_->lblBarra->height())).y() +
                      form_->prgBarra->mapTo(panel, QPoint(0, 0)).y()) /
                     2;
    QVERIFY(gapY > edit.top() && gapY < edit.bottom());
    const QColor background = panel->palette().color(QPalette::Window);
    const QColor editBase = form_->medCargoInfo->palette().color(QPalette::Base);
    QVERIFY(background != editBase);
    // The group inside the panel may shade its own area a little.
    const int barEnd = inPanel(form_->prgBarra, QPoint(form_->prgBarra->width(), 0)).x();
    for (int x = edit.left() + 10; x < qMin(edit.right(), barEnd); x += 25) {
        const QColor got = pixel(panel, QPoint(x, gapY));
        QVERIFY2(got != editBase && qAbs(got.lightness() - background.lightness()) < 12,
                 qPrintable(QString("x %1: %2").arg(x).arg(got.name())));
    }
    // The frame: the panel's edge differs from its inside.
    QVERIFY(pixel(panel, QPoint(0, panel->height() / 2)) != background);
}

void TstScreenDisplay::inputDroppedDuringTheRun_data() {
    QTest::addColumn<QString>("what");
    QTest::newRow("click on confirm") << "click";
    QTest::newRow("typing into the company code") << "keys";
    QTest::newRow("closing the form") << "close";
}

// Input sent to the form during the run is dropped, not kept for after it:
// no second run, no edited field, the form still open.
void TstScreenDisplay::inputDroppedDuringTheRun() {
    QFETCH(QString, what);
    prepare("example");
    form_->edtCdEmpresa->setFocus();
    hooked_->atCall = 5;
    // Sent the way the window system sends it, at the run's next showing.
    hooked_->at = [&] {
        QTimer::singleShot(0, form_.get(), [&] {
            if (what == "click")
                clickThroughWindow(form_->sbtConfirma);
            else if (what == "keys")
                QTest::keyClick(form_->windowHandle(), Qt::Key_9);
            else
                QCoreApplication::postEvent(form_.get(), new QCloseEvent);
        });
    };
    suite::ScriptedPresenter presenter;
    form_->sbtConfirma->click();
    QApplication::processEvents();

    QCOMPARE(presenter.texts(), QStringList{"Arquivo gerado com sucesso."});
    const int oneRun = hooked_->calls;
    QCOMPARE(oneRun, server_->trace.size());
    QCOMPARE(form_->edtCdEmpresa->text(), QString("01"));
    QVERIFY(form_->isVisible());
    // The form still takes input once the run is over.
    QTest::mouseClick(form_->sbtConfirma, Qt::LeftButton);
    QCOMPARE(presenter.texts().size(), 3); // overwrite question, then success
}

// "Cancelar" during the run: the notice, the destination as it was with
// nothing beside it, no success message, the run's reads ended and the form
// ready for the next run.
void TstScreenDisplay::cancelStopsTheRun_data() {
    QTest::addColumn<bool>("escape");
    QTest::newRow("Cancelar clicked") << false;
    QTest::newRow("Esc pressed") << true;
}

void TstScreenDisplay::cancelStopsTheRun() {
    QFETCH(bool, escape);
    prepare("example");
    const QByteArray before = "conteúdo anterior\r\n";
    {
        QFile f(dest_);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    QVERIFY(form_->sbtCancelar->text() == QString("Cancelar"));
    hooked_->atCall = 20;
    bool shownThen = false;
    hooked_->at = [&] {
        shownThen = form_->sbtCancelar->isVisible() && form_->sbtCancelar->isEnabled();
        QTimer::singleShot(0, form_.get(), [&] {
            if (escape)
                QTest::keyClick(form_->windowHandle(), Qt::Key_Escape);
            else
                clickThroughWindow(form_->sbtCancelar);
        });
    };
    suite::ScriptedPresenter presenter;
    form_->sbtConfirma->click();

    QVERIFY(shownThen);
    QCOMPARE(presenter.texts(),
             (QStringList{"Arquivo já existente. Deseja substituí-lo?",
                          "Geração cancelada. O arquivo de destino não foi alterado."}));
    QVERIFY(server_->trace.size() < 30); // of 180
    QCOMPARE(server_->readsBegun, server_->readsEnded);
    QCOMPARE(readAll(dest_), before);
    QCOMPARE(QDir(out_->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"MANAD.txt"});
    QVERIFY(form_->panBarra->isHidden());
    QVERIFY(!suite::ShowAviActive());

    // The next run is not cancelled by the earlier press.
    presenter.clear();
    hooked_->at = nullptr;
    form_->sbtConfirma->click();
    QCOMPARE(presenter.texts().value(1), QString("Arquivo gerado com sucesso."));
}

// The server's own words in the box, which method failed in its detail.
void TstScreenDisplay::serverFailureWithDetail() {
    prepare("server_failure");
    suite::ScriptedPresenter presenter;
    form_->sbtConfirma->click();
    QVERIFY(!presenter.messages.isEmpty());
    const auto& box = presenter.messages.last();
    QCOMPARE(box.type, suite::MsgType::Error);
    QCOMPARE(box.text, QString("Falha no banco de dados."));
    QVERIFY2(box.detail.startsWith("Método "), qPrintable(box.detail));
}

void TstScreenDisplay::boxesAfterSuccessNameTheFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("boxes");
    QTest::newRow("success alone") << "example" << 1;
    QTest::newRow("success and the separator notice") << "separators" << 2;
}

// The success text stays as it was; the full path and the number of lines
// are its detail, and that of every notice after it.
void TstScreenDisplay::boxesAfterSuccessNameTheFile() {
    QFETCH(QString, name);
    QFETCH(int, boxes);
    prepare(name);
    suite::ScriptedPresenter presenter;
    form_->sbtConfirma->click();
    QCOMPARE(presenter.messages.size(), boxes);
    QCOMPARE(presenter.messages.front().text, QString("Arquivo gerado com sucesso."));
    const int lines = int(readAll(dest_).count("\r\n"));
    QVERIFY(lines > 20);
    const QString detail = QString("Arquivo: %1\nLinhas: %2").arg(dest_).arg(lines);
    for (const auto& box : presenter.messages)
        QCOMPARE(box.detail, detail);
}

QTEST_MAIN(TstScreenDisplay)
#include "tst_screen_display.moc"
