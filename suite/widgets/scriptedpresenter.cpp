#include "suite/widgets/scriptedpresenter.h"

namespace suite {

ScriptedPresenter::ScriptedPresenter(bool install) : installed_(install) {
    if (install)
        previous_ = setPresenter(this);
}

ScriptedPresenter::~ScriptedPresenter() {
    if (installed_)
        setPresenter(previous_);
}

QStringList ScriptedPresenter::texts() const {
    QStringList out;
    for (const Shown& s : messages)
        out.append(s.text);
    return out;
}

QString ScriptedPresenter::lastText() const {
    return messages.isEmpty() ? QString() : messages.last().text;
}

void ScriptedPresenter::clear() {
    messages.clear();
    pickers.clear();
    saves.clear();
    messageAnswers_.clear();
    pickAnswers_.clear();
    manyAnswers_.clear();
    saveAnswers_.clear();
}

int ScriptedPresenter::message(const QString& text, MsgType type, int buttons, QWidget* parent) {
    return detailedMessage(text, QString(), type, buttons, parent);
}

int ScriptedPresenter::detailedMessage(const QString& text, const QString& detail, MsgType type,
                                       int buttons, QWidget*) {
    messages.append({text, type, buttons, detail});
    if (onMessage)
        onMessage(messages.last());
    if (!messageAnswers_.isEmpty())
        return messageAnswers_.takeFirst();
    if (buttons & mbOK)
        return mrOK;
    if (buttons & mbYes)
        return mrYes;
    return mrCancel;
}

int ScriptedPresenter::pickOne(const PickList& list, QWidget*) {
    pickers.append({list, {}, false});
    const int row = pickAnswers_.isEmpty() ? -1 : pickAnswers_.takeFirst();
    return row >= 0 && row < list.rows.size() ? row : -1;
}

bool ScriptedPresenter::pickMany(const PickList& list, QList<int>& chosen, QWidget*) {
    pickers.append({list, chosen, true});
    if (manyAnswers_.isEmpty())
        return false;
    const std::optional<QList<int>> answer = manyAnswers_.takeFirst();
    if (!answer)
        return false;
    chosen = *answer;
    return true;
}

bool ScriptedPresenter::saveFile(const SaveRequest& request, QString& chosen, QWidget*) {
    saves.append(request);
    if (saveAnswers_.isEmpty())
        return false;
    const std::optional<QString> answer = saveAnswers_.takeFirst();
    if (!answer)
        return false;
    chosen = *answer;
    return true;
}

} // namespace suite
