#pragma once
#include "suite/core/presenter.h"
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace suite {

// A presenter for tests: answers come from queues filled beforehand and every
// box, picker and dialog shown is recorded. Installs itself while it lives.
//
// Unscripted questions: a message box gets its first button (OK, else Yes),
// a picker and a save dialog are cancelled.
class ScriptedPresenter final : public Presenter {
public:
    struct Shown {
        QString text;
        MsgType type;
        int buttons;
        QString detail;
    };
    struct Picker {
        PickList list;
        QList<int> preselected; // pickMany only
        bool many = false;
    };

    explicit ScriptedPresenter(bool install = true);
    ~ScriptedPresenter() override;
    ScriptedPresenter(const ScriptedPresenter&) = delete;
    ScriptedPresenter& operator=(const ScriptedPresenter&) = delete;

    // Queues.
    void answerMessage(int result) { messageAnswers_.append(result); }
    void answerPick(int row) { pickAnswers_.append(row); } // -1 cancels
    void answerPickMany(const QList<int>& rows) { manyAnswers_.append(rows); }
    void cancelPickMany() { manyAnswers_.append(std::nullopt); }
    void answerSave(const QString& path) { saveAnswers_.append(path); }
    void cancelSave() { saveAnswers_.append(std::nullopt); }

    // What was shown.
    QList<Shown> messages;
    QList<Picker> pickers;
    QList<SaveRequest> saves;
    QStringList texts() const; // every message text, in order
    QString lastText() const;  // empty when none
    // Called as each message box is shown, before it is answered (tests look
    // at the screen at that moment).
    std::function<void(const Shown&)> onMessage;
    void clear(); // forgets what was shown and what is queued

    int message(const QString& text, MsgType type, int buttons, QWidget* parent) override;
    int detailedMessage(const QString& text, const QString& detail, MsgType type, int buttons,
                        QWidget* parent) override;
    int pickOne(const PickList& list, QWidget* parent) override;
    bool pickMany(const PickList& list, QList<int>& chosen, QWidget* parent) override;
    bool saveFile(const SaveRequest& request, QString& chosen, QWidget* parent) override;

private:
    QList<int> messageAnswers_;
    QList<int> pickAnswers_;
    QList<std::optional<QList<int>>> manyAnswers_;
    QList<std::optional<QString>> saveAnswers_;
    Presenter* previous_ = nullptr;
    bool installed_ = false;
};

} // namespace suite
