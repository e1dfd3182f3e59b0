#pragma once
#include "datasets.h"
#include "suite/core/remote.h"
#include <QDate>
#include <QString>

// Every remote method of the application-server module, with its arguments in
// order and the dataset it loads. Each call checks the result
// (CheckResultServ(result, true, 0), which stops the run on a failure) and
// replaces the dataset's content with the packet.
class GerArqPrevServer {
public:
    GerArqPrevServer(suite::RemoteServer& server, GerArqPrevDatasets& datasets)
        : server_(server), ds_(datasets) {}

    // Period fetches: company, first day of the start month, last day of the
    // end month.
    void getsaldmens(const QString& company, const QDate& start, const QDate& end);
    void GetLancCont(const QString& company, const QDate& start, const QDate& end);
    void GetIdContrib(const QString& company, const QDate& start, const QDate& end);
    void GetDadosCont(const QString& company);
    void GetDadosTecEmpr(const QString& company);
    void GetPlanContas();
    void GetCentrCust();
    // One account's balance at the end of a day given as a plain day number.
    void GetSaldAntEncConta(const QString& company, const QString& account, double dayNumber);
    // The account's debits or its credits between the two days.
    enum class Movement { Debits, Credits };
    void getcreddeb(const QString& company, const QDate& first, const QDate& last,
                    Movement movement, const QString& account);
    void GetCcLanc(const QString& company, const QString& entry, const QString& sequence);
    // The selection's pre-closing balances; the server may hand back new
    // selection texts, which land in sel1 and sel2.
    void GetSaldAntEnc(const QString& company, QString& sel1, QString& sel2, const QDate& end);

    // The run's consistent read of the books (RemoteServer); a refusal
    // stops the run as any failed call does.
    void beginReadSnapshot();
    void endReadSnapshot() noexcept { server_.endReadSnapshot(); }

    // Calls made so far through this object.
    qint64 calls() const { return calls_; }

private:
    // Calls the method and loads its declared dataset.
    void load(const char* method, QList<suite::RemoteArg>& args);

    suite::RemoteServer& server_;
    GerArqPrevDatasets& ds_;
    qint64 calls_ = 0;
};
