#include "server.h"
#include "suite/core/messages.h"
#include "suite/core/utils.h"

using suite::RemoteArg;

void GerArqPrevServer::load(const QString& method, QList<RemoteArg>& args,
                            suite::TClientDataSet& target) {
    ++calls_;
    suite::RemoteResult result = server_.call(method, args);
    if (!result.ok()) {
        // Which call failed is for whoever looks into it, beside the text.
        const QString where =
            QStringLiteral("Método %1, código %2").arg(method).arg(static_cast<int>(result.error));
        result.detail =
            result.detail.isEmpty() ? where : where + QStringLiteral(": ") + result.detail;
    }
    const suite::DataPacket packet = suite::CheckResultServ(result, true, 0);
    try {
        target.SetData(packet);
    } catch (const suite::EDataSetError& e) {
        // A packet that does not fit the dataset is the server's fault.
        suite::MensErro(QStringLiteral("O servidor de aplicação enviou dados diferentes dos "
                                       "esperados. Verifique se ele e este programa são da "
                                       "mesma versão."),
                        true, suite::AbortReason::Server,
                        QStringLiteral("Método %1: %2").arg(method, QString::fromUtf8(e.what())));
    }
}

void GerArqPrevServer::beginReadSnapshot() {
    suite::CheckResultServ(server_.beginReadSnapshot(), true, 0);
}

void GerArqPrevServer::getsaldmens(const QString& company, const QDate& start, const QDate& end) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::date(start), RemoteArg::date(end)};
    load(QStringLiteral("getsaldmens"), a, ds_.cdsSaldMens);
}

void GerArqPrevServer::GetLancCont(const QString& company, const QDate& start, const QDate& end) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::date(start), RemoteArg::date(end)};
    load(QStringLiteral("GetLancCont"), a, ds_.cdsLancCont);
}

void GerArqPrevServer::GetIdContrib(const QString& company, const QDate& start, const QDate& end) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::date(start), RemoteArg::date(end)};
    load(QStringLiteral("GetIdContrib"), a, ds_.cdsIdContrib);
}

void GerArqPrevServer::GetDadosCont(const QString& company) {
    QList<RemoteArg> a{RemoteArg::text(company)};
    load(QStringLiteral("GetDadosCont"), a, ds_.cdsDadosCont);
}

void GerArqPrevServer::GetDadosTecEmpr(const QString& company) {
    QList<RemoteArg> a{RemoteArg::text(company)};
    load(QStringLiteral("GetDadosTecEmpr"), a, ds_.cdsDadosTecEmpr);
}

void GerArqPrevServer::GetPlanContas() {
    QList<RemoteArg> a;
    load(QStringLiteral("GetPlanContas"), a, ds_.cdsPlanContas);
}

void GerArqPrevServer::GetCentrCust() {
    QList<RemoteArg> a;
    load(QStringLiteral("GetCentrCust"), a, ds_.cdsCentrCust);
}

void GerArqPrevServer::GetSaldAntEncConta(const QString& company, const QString& account,
                                          double dayNumber) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::text(u'_' + account + u'_'),
                       RemoteArg::text(QString()), RemoteArg::real(dayNumber)};
    load(QStringLiteral("GetSaldAntEnc"), a, ds_.cdsSaldAntEnc);
}

void GerArqPrevServer::getcreddeb(const QString& company, const QDate& first, const QDate& last,
                                  const QString& flag1, const QString& flag2,
                                  const QString& account) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::date(first), RemoteArg::date(last),
                       RemoteArg::text(flag1),   RemoteArg::text(flag2), RemoteArg::text(account)};
    load(QStringLiteral("getcreddeb"), a, ds_.cdsCredDeb);
}

void GerArqPrevServer::GetCcLanc(const QString& company, const QString& entry,
                                 const QString& sequence) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::text(entry), RemoteArg::text(sequence)};
    load(QStringLiteral("GetCcLanc"), a, ds_.cdsCcLanc);
}

void GerArqPrevServer::GetSaldAntEnc(const QString& company, QString& sel1, QString& sel2,
                                     const QDate& end) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::textRef(sel1), RemoteArg::textRef(sel2),
                       RemoteArg::date(end)};
    load(QStringLiteral("GetSaldAntEnc"), a, ds_.cdsSaldAntEnc);
    // The by-reference texts come back in the arguments (the server updates
    // them in place).
    if (a.size() > 2) {
        sel1 = a[1].value.toString();
        sel2 = a[2].value.toString();
    }
}
