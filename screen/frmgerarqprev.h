#pragma once
#include "interfaces/datasets.h"
#include "suite/data/adoibquery.h"
#include "suite/net/netconnection.h"
#include "suite/widgets/rotigeral.h"
#include "suite/widgets/savedialog.h"
#include <QString>
#include <QVariantMap>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace suite {
class TBtnPesquisa;
class TDateEditPlus;
class TMaskEdit;
} // namespace suite

// The parameter screen of the social-security accounting file (KLT40500).
//
// Controls are public members named as in the form resource, and every one
// also carries its name as objectName, so control(name) finds it. The
// generation run (GeraArquivo, defined with the run's adapter) reads them,
// the datasets, the catalogue and the connection through this interface.
class TfrmGerArqPrev : public suite::TfrmRotiGeral {
    Q_OBJECT
public:
    explicit TfrmGerArqPrev(QWidget* parent = nullptr);
    ~TfrmGerArqPrev() override;

    // The widget named `name` on this form, or null.
    QWidget* control(const QString& name) const;

    // Company panel.
    QFrame* panEmpresa = nullptr;
    QLabel* lblArqDest = nullptr;
    QLineEdit* edtArqDest = nullptr;
    suite::TBtnPesquisa* btpArvDest = nullptr;
    QFrame* Bevel2 = nullptr;
    QLabel* lblEmpresa = nullptr;
    QLineEdit* edtCdEmpresa = nullptr;
    suite::TBtnPesquisa* btpEmpresa = nullptr;
    QLineEdit* edtNmEmpresa = nullptr;
    QFrame* Bevel1 = nullptr;

    // Data panel.
    QFrame* panDados = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label2 = nullptr;
    suite::TDateEditPlus* depDataIni = nullptr;
    QLabel* Label3 = nullptr;
    suite::TDateEditPlus* depDataFin = nullptr;
    QLabel* Label4 = nullptr;
    suite::TDateEditPlus* depDataApu = nullptr;
    QGroupBox* grbPerInfo = nullptr;
    QLabel* lblDePerInfo = nullptr;
    suite::TDateEditPlus* depIniPerInfo = nullptr;
    QLabel* lblAtePerInfo = nullptr;
    suite::TDateEditPlus* depFinPerInfo = nullptr;
    QLabel* lblCargoInfo = nullptr;
    suite::TMaskEdit* medCargoInfo = nullptr;
    QGroupBox* grbPeriodCont = nullptr;
    QLabel* lblDePerCont = nullptr;
    suite::TDateEditPlus* depIniPerCont = nullptr;
    QLabel* lblAtePerCont = nullptr;
    suite::TDateEditPlus* depFinPerCont = nullptr;
    QGroupBox* grbCtaRes = nullptr;
    QRadioButton* rbtTodosCtaRes = nullptr;
    QRadioButton* rbtListaCtaRes = nullptr;
    suite::TBtnPesquisa* sbtCtaRes = nullptr;
    QLabel* lblIndCentr = nullptr;
    QComboBox* cbbIndCentr = nullptr;
    QLabel* lblCodFin = nullptr;
    QComboBox* cbbCodFin = nullptr;
    QLabel* lblCpf = nullptr;
    suite::TMaskEdit* medCPF = nullptr;
    QLabel* lblCEI = nullptr;
    suite::TMaskEdit* medCEI = nullptr;
    QLabel* lblNIT = nullptr;
    suite::TMaskEdit* medNIT = nullptr;
    QLabel* lblSuframa = nullptr;
    suite::TMaskEdit* medSuframa = nullptr;

    // Progress panel, shown over the service-period groups during a run.
    QFrame* panBarra = nullptr;
    QGroupBox* grbBarra = nullptr;
    QLabel* lblBarra = nullptr;
    QProgressBar* prgBarra = nullptr;
    QPushButton* sbtCancelar = nullptr; // the one control taking input during a run

    // Non-visual components.
    suite::TSaveDialog sdgArqPrev;
    suite::TNetConnection NetGerArqPrev;
    suite::TADOIBQuery qryEmpresa;
    suite::TADOIBQuery qryCtaRes;
    suite::TDataSource dtsEmpresa;
    suite::TDataSource dtsCtaRes;
    GerArqPrevDatasets Datasets; // cdsSaldMens ... cdsCredDeb

    // The result-account selection: empty, "T" for all, or the picker's list.
    const QString& listaCtaRes() const { return ListaCtaRes; }
    void setListaCtaRes(const QString& s) { ListaCtaRes = s; }

    // Checks. A failure shows its catalogue text, puts the focus on the
    // offending control and throws suite::EAbort; any other exception inside
    // takes the same way out.
    void Vd_Empresa(bool required);
    void Vd_CtaRes();
    void Vd_ArquivoDestino();

    // The generation run, started by the confirm button and the report
    // component. Defined beside the run's adapter.
    void GeraArquivo();

public slots:
    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender, suite::TCloseAction& Action);
    void sbtConfirmaClick(QObject* Sender);
    void rpddPadraoBeforeGetQueryParams(QVariantMap& Params, bool& Flag);
    void sbtPrintClick(QObject* Sender);
    void sbtPreviewClick(QObject* Sender);
    void sbtSalvarComoClick(QObject* Sender);
    void sbtReportEditClick(QObject* Sender);
    void btpEmpresaBeforePesq(QObject* Sender, bool& Flag);
    void btpEmpresaAfterPesq(QObject* Sender);
    void edtCdEmpresaChange(QObject* Sender);
    void panEmpresaExit(QObject* Sender);
    void medCPFExit(QObject* Sender);
    void rbtTodosCtaResClick(QObject* Sender);
    void sbtCtaResClick(QObject* Sender);
    void btpArvDestClick(QObject* Sender);
    void NetGerArqPrevBeforeConnect(QObject* Sender);

protected:
    bool focusNextPrevChild(bool next) override;

private:
    void buildCompanyPanel();
    void buildDataPanel();
    void buildQueries();
    void buildCatalogue();
    void bindHandlers();
    void setTabOrders();
    void onFocusChanged(QWidget* old, QWidget* now);

    QString ListaCtaRes;
};
