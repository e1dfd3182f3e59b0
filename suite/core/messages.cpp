#include "messages.h"

namespace suite {

void TMessages::setLines(const QStringList& lines) {
    lines_ = lines;
    index_.clear();
    for (const QString& line : lines) {
        const qsizetype bar = line.indexOf(u'|');
        if (bar < 0)
            continue;
        // The first entry of a key wins, as a linear lookup would find it.
        const QString key = line.left(bar);
        if (!index_.contains(key))
            index_.insert(key, line.mid(bar + 1));
    }
}

QString TMessages::Msg(const QString& key) const {
    const auto it = index_.constFind(key);
    return it == index_.constEnd() ? key : it.value();
}

int TMessages::ShowMsg(const QString& key, MsgType type, int buttons, int helpContext,
                       QWidget* parent) const {
    Q_UNUSED(helpContext);
    return presenter().message(Msg(key), type, buttons, parent);
}

void MensErro(const QString& text, bool abort, AbortReason reason, const QString& detail) {
    presenter().detailedMessage(text, detail, MsgType::Error, mbOK, nullptr);
    Q_UNUSED(abort); // the caller relies on never getting control back
    throw EAbort(reason);
}

} // namespace suite
