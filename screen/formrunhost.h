#pragma once
#include "generator/runhost.h"

class QWidget;
class RunDisplay;
class TfrmGerArqPrev;
namespace suite {
class RemoteServer;
}

// The generation run's view of the parameter form: it reads the controls,
// checks through the form's own checks, talks through its catalogue and the
// suite's presenter, and drives the progress panel.
class FormRunHost final : public gen::RunHost {
public:
    FormRunHost(TfrmGerArqPrev& form, RunDisplay& display) : form_(form), display_(display) {}

    QString text(gen::Control c) const override;
    std::optional<QDate> date(gen::Control c) const override;
    int centralisationIndex() const override;
    int purposeIndex() const override;
    bool allResultAccounts() const override;
    QString resultSelection() const override;
    void setResultSelection(const QString& s) override;

    void checkDestination() override;
    void checkCompany() override;

    QString msg(const QString& key) const override;
    [[noreturn]] void fail(gen::Control c, const QString& text, suite::AbortReason reason,
                           const QString& detail = {}) override;
    int ask(const QString& key) override;
    void inform(const QString& text, const QString& detail = {}) override;

    void showProgress(bool visible) override;
    void setStatus(const QString& text) override;
    void setProgress(int position) override;
    void repaint() override;
    void busy(bool on) override;
    bool cancelRequested() override;

    UnitCounters unitCounters() override;

    // The control behind c.
    QWidget* widget(gen::Control c) const;

private:
    TfrmGerArqPrev& form_;
    RunDisplay& display_;
};

// Where the form's remote calls go. By default the application server of
// NetGerArqPrev; setFormRemoteServer points one form at another server (an
// in-process one, a scripted one in tests) until it is called with null or
// the form is destroyed. The server is not owned.
void setFormRemoteServer(TfrmGerArqPrev& form, suite::RemoteServer* server);
suite::RemoteServer& formRemoteServer(TfrmGerArqPrev& form);
