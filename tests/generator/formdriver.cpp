#include "formdriver.h"
#include "db/dbgeral.h"
#include "screen/frmgerarqprev.h"
#include "suite/core/config.h"
#include "suite/widgets/dateeditplus.h"
#include "suite/widgets/maskedit.h"
#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlError>
#include <QSqlQuery>
#include <stdexcept>

void fillForm(TfrmGerArqPrev& form, const QStringList& args, const QString& dest) {
    QHash<QString, QString> v;
    for (qsizetype i = 0; i < args.size(); ++i)
        if (args[i].startsWith(QStringLiteral("--")) && i + 1 < args.size() &&
            !args[i + 1].startsWith(QStringLiteral("--"))) {
            v.insert(args[i], args[i + 1]);
            ++i;
        }

    form.edtArqDest->setText(dest);
    form.edtCdEmpresa->setText(v.value("--empresa"));
    const QList<QPair<const char*, suite::TDateEditPlus*>> dates = {
        {"--inicio", form.depDataIni},       {"--fim", form.depDataFin},
        {"--apuracao", form.depDataApu},     {"--info-inicio", form.depIniPerInfo},
        {"--info-fim", form.depFinPerInfo},  {"--contab-inicio", form.depIniPerCont},
        {"--contab-fim", form.depFinPerCont}};
    for (const auto& [option, edit] : dates)
        edit->setText(v.value(QString::fromLatin1(option)));
    QString cpf = v.value("--cpf");
    cpf.remove(u'.').remove(u'-');
    form.medCPF->setValue(cpf);
    form.medCEI->setText(v.value("--cei"));
    form.medNIT->setText(v.value("--nit"));
    form.medSuframa->setText(v.value("--suframa"));
    form.medCargoInfo->setText(v.value("--cargo"));
    // The command line's defaults are the last entry of each list.
    form.cbbIndCentr->setCurrentIndex(
        static_cast<int>(QStringList{"0", "1", "2"}.indexOf(v.value("--centralizacao", "2"))));
    form.cbbCodFin->setCurrentIndex(
        static_cast<int>(QStringList{"61", "62", "90"}.indexOf(v.value("--finalidade", "90"))));
    const QString contas = v.value("--contas", "T");
    if (contas == QLatin1String("T")) {
        form.rbtTodosCtaRes->setChecked(true);
    } else {
        form.rbtListaCtaRes->setChecked(true);
        form.setListaCtaRes(contas);
    }
}

void seedCompany(const QString& dir) {
    db::dtmDBGeral::connectTo(dir + QStringLiteral("/geral.db"));
    QSqlQuery q(db::dtmDBGeral::dtbGeral());
    q.prepare(QStringLiteral(
        "INSERT INTO EMPRESA (CDEMPRESA, NMEMPRESA, NMRAZSOCEMPR) VALUES (?, ?, ?)"));
    q.addBindValue(QStringLiteral("01"));
    q.addBindValue(QStringLiteral("Empresa Um"));
    q.addBindValue(QStringLiteral("Empresa Um S/A"));
    if (!q.exec())
        throw std::runtime_error(q.lastError().text().toStdString());
}

void useNoAppServer(const QString& dir) {
    suite::Config c = suite::config();
    c.unixSocket = dir + QStringLiteral("/no-server.sock");
    c.timeoutMs = 1000;
    suite::setConfig(c);
}
