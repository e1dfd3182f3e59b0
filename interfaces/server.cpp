#include "server.h"
#include "remotemethods.h"
#include "suite/core/messages.h"
#include "suite/core/utils.h"

using suite::RemoteArg;

void GerArqPrevServer::load(const char* name, QList<RemoteArg>& args) {
    const remote::MethodDecl& decl = remote::method(name);
    const QString method = QString::fromLatin1(decl.name);
    Q_ASSERT(args.size() == qsizetype(decl.args.size()));
    suite::TClientDataSet& target = *ds_.byName(QString::fromLatin1(decl.dataset));
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
    load("getsaldmens", a);
}

void GerArqPrevServer::GetLancCont(const QString& company, const QDate& start, const QDate& end) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::date(start), RemoteArg::date(end)};
    load("GetLancCont", a);
}

void GerArqPrevServer::GetIdContrib(const QString& company, const QDate& start, const QDate& end) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::date(start), RemoteArg::date(end)};
    load("GetIdContrib", a);
}

void GerArqPrevServer::GetDadosCont(const QString& company) {
    QList<RemoteArg> a{RemoteArg::text(company)};
    load("GetDadosCont", a);
}

void GerArqPrevServer::GetDadosTecEmpr(const QString& company) {
    QList<RemoteArg> a{RemoteArg::text(company)};
    load("GetDadosTecEmpr", a);
}

void GerArqPrevServer::GetPlanContas() {
    QList<RemoteArg> a;
    load("GetPlanContas", a);
}

void GerArqPrevServer::GetCentrCust() {
    QList<RemoteArg> a;
    load("GetCentrCust", a);
}

void GerArqPrevServer::GetSaldAntEncConta(const QString& company, const QString& account,
                                          double dayNumber) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::text(u'_' + account + u'_'),
                       RemoteArg::text(QString()), RemoteArg::real(dayNumber)};
    load("GetSaldAntEnc", a);
}

void GerArqPrevServer::getcreddeb(const QString& company, const QDate& first, const QDate& last,
                                  Movement movement, const QString& account) {
    QList<RemoteArg> a{RemoteArg::text(company),   RemoteArg::date(first),
                       RemoteArg::date(last),      RemoteArg::text(QString()),
                       RemoteArg::text(QString()), RemoteArg::text(account)};
    const int flag = movement == Movement::Debits ? remote::kDebitsFlag : remote::kCreditsFlag;
    a[flag] = RemoteArg::text(QString::fromLatin1(remote::kFlagOn));
    load("getcreddeb", a);
}

void GerArqPrevServer::GetCcLanc(const QString& company, const QString& entry,
                                 const QString& sequence) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::text(entry), RemoteArg::text(sequence)};
    load("GetCcLanc", a);
}

void GerArqPrevServer::GetSaldAntEnc(const QString& company, QString& sel1, QString& sel2,
                                     const QDate& end) {
    QList<RemoteArg> a{RemoteArg::text(company), RemoteArg::textRef(sel1), RemoteArg::textRef(sel2),
                       RemoteArg::date(end)};
    load("GetSaldAntEnc", a);
    // The by-reference texts come back in the arguments (the server updates
    // them in place).
    if (a.size() > 2) {
        sel1 = a[1].value.toString();
        sel2 = a[2].value.toString();
    }
}
