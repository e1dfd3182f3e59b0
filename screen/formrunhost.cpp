#include "screen/formrunhost.h"
#include "generator/run.h"
#include "package/unitstate.h"
#include "screen/frmgerarqprev.h"
#include "screen/rundisplay.h"
#include "suite/core/messages.h"
#include "suite/core/presenter.h"
#include "suite/widgets/dateeditplus.h"
#include "suite/widgets/maskedit.h"
#include "suite/widgets/showavi.h"
#include <QComboBox>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

using gen::Control;

namespace {

// Servers put in place of a form's connection, by form.
QHash<const TfrmGerArqPrev*, suite::RemoteServer*>& serverOverrides() {
    static QHash<const TfrmGerArqPrev*, suite::RemoteServer*> overrides;
    return overrides;
}

} // namespace

void setFormRemoteServer(TfrmGerArqPrev& form, suite::RemoteServer* server) {
    auto& overrides = serverOverrides();
    const bool known = overrides.contains(&form);
    if (!server) {
        overrides.remove(&form);
        return;
    }
    overrides.insert(&form, server);
    // A form freed while pointed elsewhere must not leave its entry for a
    // later form at the same address.
    if (!known) {
        const TfrmGerArqPrev* key = &form;
        QObject::connect(&form, &QObject::destroyed, [key] { serverOverrides().remove(key); });
    }
}

suite::RemoteServer& formRemoteServer(TfrmGerArqPrev& form) {
    if (suite::RemoteServer* s = serverOverrides().value(&form))
        return *s;
    return form.NetGerArqPrev.AppServer();
}

QWidget* FormRunHost::widget(Control c) const {
    switch (c) {
    case Control::ArqDest:
        return form_.edtArqDest;
    case Control::CdEmpresa:
        return form_.edtCdEmpresa;
    case Control::DataIni:
        return form_.depDataIni;
    case Control::DataFin:
        return form_.depDataFin;
    case Control::DataApu:
        return form_.depDataApu;
    case Control::IniPerInfo:
        return form_.depIniPerInfo;
    case Control::FinPerInfo:
        return form_.depFinPerInfo;
    case Control::IniPerCont:
        return form_.depIniPerCont;
    case Control::FinPerCont:
        return form_.depFinPerCont;
    case Control::Cpf:
        return form_.medCPF;
    case Control::Cei:
        return form_.medCEI;
    case Control::Nit:
        return form_.medNIT;
    case Control::Suframa:
        return form_.medSuframa;
    case Control::CargoInfo:
        return form_.medCargoInfo;
    }
    return nullptr;
}

QString FormRunHost::text(Control c) const {
    QWidget* w = widget(c);
    // Date edits give the digits ddmmyyyy, masked edits their value without
    // the literals their mask leaves out.
    if (auto* d = qobject_cast<suite::TDateEditPlus*>(w))
        return d->text();
    if (auto* m = qobject_cast<suite::TMaskEdit*>(w))
        return m->value();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    return {};
}

std::optional<QDate> FormRunHost::date(Control c) const {
    auto* d = qobject_cast<suite::TDateEditPlus*>(widget(c));
    if (!d)
        return std::nullopt;
    const QDate value = d->GetDate();
    if (!value.isValid())
        return std::nullopt;
    return value;
}

int FormRunHost::centralisationIndex() const {
    return form_.cbbIndCentr->currentIndex();
}

int FormRunHost::purposeIndex() const {
    return form_.cbbCodFin->currentIndex();
}

bool FormRunHost::allResultAccounts() const {
    return form_.rbtTodosCtaRes->isChecked();
}

QString FormRunHost::resultSelection() const {
    return form_.listaCtaRes();
}

void FormRunHost::setResultSelection(const QString& s) {
    form_.setListaCtaRes(s);
}

void FormRunHost::checkDestination() {
    form_.Vd_ArquivoDestino();
}

void FormRunHost::checkCompany() {
    form_.Vd_Empresa(true);
}

QString FormRunHost::msg(const QString& key) const {
    return form_.msgPadrao.Msg(key);
}

void FormRunHost::fail(Control c, const QString& text, suite::AbortReason reason,
                       const QString& detail) {
    if (QWidget* w = widget(c))
        w->setFocus(Qt::OtherFocusReason);
    suite::MensErro(text, true, reason, detail);
}

int FormRunHost::ask(const QString& key) {
    return form_.msgPadrao.ShowMsg(key, suite::MsgType::Warning, suite::mbYes | suite::mbNo,
                                   form_.HelpContext, &form_);
}

void FormRunHost::inform(const QString& text, const QString& detail) {
    suite::presenter().detailedMessage(text, detail, suite::MsgType::Information, suite::mbOK,
                                       &form_);
}

void FormRunHost::showProgress(bool visible) {
    display_.showPanel(visible);
}

void FormRunHost::setStatus(const QString& text) {
    display_.setStatus(text);
}

void FormRunHost::setProgress(int position) {
    display_.setProgress(position);
}

// Called after every status change and step; the display paints what
// changed no more often than a screen shows it.
void FormRunHost::repaint() {
    display_.tick();
}

void FormRunHost::busy(bool on) {
    if (on)
        suite::ActiveShowAvi(form_.window(), 6);
    else
        suite::DeactiveShowAvi();
}

bool FormRunHost::cancelRequested() {
    return display_.cancelRequested();
}

gen::RunHost::UnitCounters FormRunHost::unitCounters() {
    return {&InNRegSaldMens, &InNRegLancCont, &InNRegSaldAntEnc};
}

void TfrmGerArqPrev::GeraArquivo() {
    RunDisplay display(*this, *panBarra, *lblBarra, *prgBarra, sbtCancelar);
    FormRunHost host(*this, display);
    gen::GerArqPrevRun run(host, Datasets, formRemoteServer(*this));
    run.execute();
}
