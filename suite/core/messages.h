#pragma once
#include "abort.h"
#include "presenter.h"
#include <QHash>
#include <QString>
#include <QStringList>

class QWidget;

namespace suite {

// A message catalogue: lines of "key|text". Lookups are by key.
class TMessages {
public:
    TMessages() = default;
    explicit TMessages(const QStringList& lines) { setLines(lines); }
    void setLines(const QStringList& lines);
    const QStringList& lines() const { return lines_; }
    // The text of key; an unknown key gives the key itself, so a missing
    // entry shows up on screen instead of an empty box.
    QString Msg(const QString& key) const;
    bool contains(const QString& key) const { return index_.contains(key); }
    // A modal box of the key's text; returns the button pressed (MsgResult).
    int ShowMsg(const QString& key, MsgType type, int buttons, int helpContext = 0,
                QWidget* parent = nullptr) const;

private:
    QStringList lines_;
    QHash<QString, QString> index_;
};

// Shows text as an error (with the technical detail, if any, for the user to
// open) and then throws the silent abort: it never returns.
[[noreturn]] void MensErro(const QString& text, bool abort = true,
                           AbortReason reason = AbortReason::Check, const QString& detail = {});

} // namespace suite
