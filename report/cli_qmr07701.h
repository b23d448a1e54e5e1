#pragma once

#include "screens/tfrmdadosgerrel.h"

#include <QPointer>
#include <QString>

#include <memory>

class TADOIBQuery;
class TButtonFlat;
class TDataSource;
class TDateEditPlus;
class TGroupBox;
class TLabel;
class TRadioButton;
class TReportParams;

namespace Ui {
class frmListCaleProdu;
}

// The report dialog's unit: the dialog, its entry point and its module-wide variables.
namespace Cli_qmr07701 {

// Collects the branches, periodicities and months of the production calendar report QMR077.
class TfrmListCaleProdu : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TfrmListCaleProdu(QWidget *parent = nullptr);
    ~TfrmListCaleProdu() override;

    void FormCreate(QObject *Sender) override;
    void FormActivate(QObject *Sender) override;
    void rdtVerificaClickGenericFili(QObject *Sender);
    void rdtVerificaClickGenericPeri(QObject *Sender);
    void sbtFiliClick(QObject *Sender);
    void sbtPeriClick(QObject *Sender);
    void rbtListaFiliKeyDown(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift);
    void rbtListaPeriKeyDown(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift);
    void sbtPreviewClick(QObject *Sender) override;
    void sbtPrintClick(QObject *Sender) override;
    void sbtSalvarComoClick(QObject *Sender) override;
    void Vd_DataProdu(bool check);
    void depIniExit(QObject *Sender);
    void depFimExit(QObject *Sender);
    void rpddPadraoBeforeGetQueryParams(TReportParams *Params, bool &Continue);

    TGroupBox *grbFilial;
    TRadioButton *rbtTodosFili;
    TRadioButton *rbtListaFili;
    TButtonFlat *sbtFili;
    TGroupBox *grbPeriEntr;
    TRadioButton *rbtTodosPeri;
    TRadioButton *rbtListaPeri;
    TButtonFlat *sbtPeri;
    TGroupBox *grbDts;
    TLabel *Label1;
    TDateEditPlus *depIni;
    TLabel *Label2;
    TDateEditPlus *depFim;
    TADOIBQuery *qryFilial;
    TADOIBQuery *qryPeriProdu;
    TDataSource *dtsFilial;
    TDataSource *dtsPeriProdu;

private:
    void createQueries();
    void setupControls();
    void bindHandlers();
    // The checks every report command runs before the base's handling.
    void checkChoices();
    // Reopens a lookup query and lets the operator tick its rows into a list.
    void searchList(TADOIBQuery *query, const QString &emptyKey, TDataSource *source,
                    const QString &keyField, const QString &titleKey, QString &list);

    std::unique_ptr<Ui::frmListCaleProdu> ui;
};

// The report dialog created last; null once that dialog is destroyed.
extern QPointer<TfrmListCaleProdu> frmListCaleProdu;
// The branch and periodicity choices, as the list search returned them.
extern QString stListaFili;
extern QString stListaPeri;
// True from a dialog's creation until its first activation.
extern bool boPrimVez;

// Creates a report dialog and shows it modally.
void CriaListCaleProdu();

void Initialization();
void Finalization();

} // namespace Cli_qmr07701
