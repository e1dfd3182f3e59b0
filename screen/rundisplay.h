#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QAbstractButton;
class QLabel;
class QProgressBar;
class QWidget;

// What the user sees and may do while a generation run works on the user
// interface thread. The run reports every step; the panel's status and bar
// change on screen at most every kIntervalMs, by letting the window system's
// paint and expose events through (so covered or restored parts of the
// window are painted too), and always before a message box is shown. User
// input meanwhile is dropped, except on the cancel button (and Esc, which
// presses it); the form's window cannot be closed under the run.
class RunDisplay final : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 40;
    // Another interval for every run from now on; 0 shows every step (tests
    // that act in the middle of a short run).
    static void setIntervalMs(int ms);

    // form: the parameter form; panel and the others: the progress panel and
    // its controls.
    RunDisplay(QWidget& form, QWidget& panel, QLabel& status, QProgressBar& bar,
               QAbstractButton* cancel);
    ~RunDisplay() override;
    RunDisplay(const RunDisplay&) = delete;
    RunDisplay& operator=(const RunDisplay&) = delete;

    // Noted now, shown at the next tick.
    void setStatus(const QString& text);
    void setProgress(int position);
    // Shows or hides the panel with what was noted, painted at once.
    void showPanel(bool visible);

    // Shows what changed if the last showing is kIntervalMs old.
    void tick();
    // Shows what changed now.
    void flush();

    // The user pressed the cancel button since the run began.
    bool cancelRequested() const { return cancelRequested_; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    QPointer<QWidget> form_;
    QPointer<QWidget> panel_;
    QPointer<QLabel> status_;
    QPointer<QProgressBar> bar_;
    QPointer<QAbstractButton> cancel_;
    QString pendingStatus_;
    int pendingPosition_ = 0;
    bool pending_ = false;
    bool pumping_ = false;
    bool cancelRequested_ = false;
    QElapsedTimer sinceShown_;
    static int intervalMs_;
    struct Boxes;
    std::unique_ptr<Boxes> boxes_; // flushes before every message box
};
