#pragma once

#include "screens/tfrmpadrimportexport.h"

#include <QDate>
#include <QJsonObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include <memory>

class TADOIBQuery;
class TAnimate;
class TBtnPesquisa;
class TButtonFlat;
class TClientDataSet;
class TDataSource;
class TDateEditPlus;
class TEdit;
class TField;
class TGroupBox;
class TLabel;
class TMaskEdit;
class TNetConnection;
class TPanel;
class TRadioButton;

namespace Ui {
class frmExportCaleProdu;
}

// The export dialog's unit: the dialog, its entry point and its module-wide variable.
namespace Cli_qmr07702 {

// Has the server copy the calendar of a source branch and periodicity, for a range of months, to
// every other branch or to a chosen list of branches.
class TfrmExportCaleProdu : public TfrmPadrImportExport
{
    Q_OBJECT
public:
    explicit TfrmExportCaleProdu(QWidget *parent = nullptr);
    ~TfrmExportCaleProdu() override;

    void FormCreate(QObject *Sender) override;
    void FormActivate(QObject *Sender) override;
    void sbtImportExportClick(QObject *Sender) override;

    void medCdFilialChange(QObject *Sender);
    void medCdFilialExit(QObject *Sender);
    void btpFilialBeforePesq(QObject *Sender, bool &Continue);
    void btpFilialAfterPesq(QObject *Sender);
    void medCdPeriodicidadeChange(QObject *Sender);
    void medCdPeriodicidadeExit(QObject *Sender);
    void btpPeriEntrBeforePesq(QObject *Sender, bool &Continue);
    void btpPeriEntrAfterPesq(QObject *Sender);
    void depDtIniExit(QObject *Sender);
    void depDtFimExit(QObject *Sender);
    void rbtTodasClick(QObject *Sender);
    void rbtListaClick(QObject *Sender);
    void rbtListaKeyDown(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift);
    void sbtFilialDestClick(QObject *Sender);
    void qryPeriProduIDTIPODIAPGetText(TField *Sender, QString &Text, bool DisplayText);

    void Vd_Filial(bool mandatory);
    void Vd_PeriProdu(bool mandatory);
    // The input checks, then the export run.
    void Validacao();
    // The same checks, then the window of what the export would change, from which the operator
    // may run it.
    void sbtPreviaClick(QObject *Sender);

    // The destination choice: "T" for every other branch, a list of codes, or empty for none.
    QString ListaFiliDest() const { return stListaFiliDest; }
    // Opens with "Lista" chosen and these branches as the destination list (the overview's
    // selected rows), calling the server through the given connection.
    void PresetDestinations(const QStringList &codes, TNetConnection *connection);
    bool PrimAtiv() const { return boPrimAtiv; }

    TLabel *lblFilial;
    TMaskEdit *medCdFilial;
    TBtnPesquisa *btpFilial;
    TEdit *edtNmFilial;
    TLabel *lblServico;
    TMaskEdit *medCdPeriodicidade;
    TBtnPesquisa *btpPeriEntr;
    TEdit *edtNmPeriEntr;
    TGroupBox *grbDts;
    TLabel *lblMes;
    TDateEditPlus *depDtIni;
    TLabel *lblDtIni;
    TDateEditPlus *depDtFim;
    TGroupBox *grbFilial;
    TRadioButton *rbtTodas;
    TRadioButton *rbtLista;
    TButtonFlat *sbtFilialDest;
    TButtonFlat *sbtPrevia;
    TPanel *panAnimacao;
    TPanel *panMensagem2;
    TLabel *lblMens;
    TAnimate *amnTempo;
    TADOIBQuery *qryFilial;
    TADOIBQuery *qryPeriProdu;
    TADOIBQuery *qryDiasProdu;
    TADOIBQuery *qryFilialDest;
    TClientDataSet *cdsCaleProdu;
    TClientDataSet *cdsVerifica;
    TClientDataSet *cdsInsDel;
    TDataSource *dtsCaleProdu;
    TDataSource *dtsPeriProdu;
    TDataSource *dtsFilialDest;

private:
    void createDataModule();
    void placeControls();
    void bindHandlers();
    void openFilial(const QString &code);
    void openPeriProdu(const QString &code);
    // The calendar screen's server connection; refuses when that screen is gone.
    TNetConnection *serverConnection();
    // Calls a server method inside the progress animation and returns its checked payload.
    QJsonObject callServer(const QString &method, const QVariantList &params);
    // Shows or hides the progress panel of the copy, with its animation.
    void showProgress(bool shown);
    // Refuses (focused on the field) the inputs an export cannot run with.
    void validateInputs();
    // Refuses a source without days in the months.
    void checkSourceHasDays();
    void exportCalendar();
    void showExportPreview();
    void placePreviewCommand();
    // Whether the copy's answer tells that it reached no destination.
    bool copyReachedNoBranch(const QJsonObject &answer);

    std::unique_ptr<Ui::frmExportCaleProdu> ui;
    bool boPrimAtiv = true;
    QString stListaFiliDest;
    QStringList m_presetDestinations;
    QPointer<TNetConnection> m_connection;
};

// The export dialog created last; null once that dialog is released.
extern QPointer<TfrmExportCaleProdu> frmExportCaleProdu;

// Creates an export dialog for a branch, a periodicity and a year, shows it modally and returns
// when it has closed.
void CriaExportCaleProdu(QString branch, QString periodicity, QString year);
// The first two steps of CriaExportCaleProdu: creates and presets the dialog without showing it.
TfrmExportCaleProdu *CreateExportDialog(const QString &branch, const QString &periodicity,
                                        const QString &year);

void Initialization();
void Finalization();

} // namespace Cli_qmr07702
