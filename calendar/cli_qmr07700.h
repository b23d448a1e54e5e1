#pragma once

#include "screens/tfrmpadraogrid.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class TADOIBQuery;
class TBtnPesquisa;
class TClientDataSet;
class TDBCalendar;
class TEdit;
class TField;
class TGroupBox;
class TLabel;
class TMaskEdit;
class TNetConnection;
class TPanel;
class TScrollBox;
class TSpeedButton;
class TSpinEdit;
class TTabSheet;

namespace Ui {
class frmCaleProdu;
}

// The calendar screen's unit: the screen, its entry points and its module-wide variables.
namespace Cli_qmr07700 {

// The production calendar of one branch, one periodicity and one year, as twelve month calendars.
class TfrmCaleProdu : public TfrmPadraoGrid
{
    Q_OBJECT
public:
    explicit TfrmCaleProdu(QWidget *parent = nullptr);
    ~TfrmCaleProdu() override;

    // Lifecycle and server connection.
    void FormCreate(QObject *Sender) override;
    void FormActivate(QObject *Sender) override;
    void FormClose(QObject *Sender, int &Action) override;
    void netCaleCompBeforeConnect(QObject *Sender);
    // Loads the calendar of the branch, periodicity and year in force into cdsCaleProdu.
    void GetCaleProdu();

    // Year view.
    void GenericOnEnter(QObject *Sender);
    void GenericChange(QObject *Sender);
    void speYearChange(QObject *Sender);
    void dtsPadraoStateChange(QObject *Sender) override;
    void Abilitar(bool Value);
    // The calendar whose background is clWindow, first in month order; null when none is.
    TDBCalendar *SelectedCalendar() const;
    void PutYearViewToRest();
    void BringYearViewLive();
    TDBCalendar *Calendar(int month) const;
    TLabel *MonthLabel(int month) const;

    // Editing production days.
    void sbtIncluirClick(QObject *Sender) override;
    void sbtConfirmarClick(QObject *Sender) override;
    void sbtCancelarClick(QObject *Sender) override;
    void sbtVerificarClick(QObject *Sender) override;
    void sbtExcluirClick(QObject *Sender) override;
    void mnuDiaClick(QObject *Sender);
    void mnuMesClick(QObject *Sender);
    void mnuAnoClick(QObject *Sender);
    void cdsCaleProduAfterOpen(QObject *Sender);
    void cdsCaleProduBeforeInsert(QObject *Sender);
    void cdsCaleProduNewRecord(QObject *Sender);
    void cdsCaleProduAfterInsert(QObject *Sender);
    void cdsCaleProduBeforePost(QObject *Sender);
    void cdsCaleProduAfterPost(QObject *Sender);
    // The date of the selected calendar; the zero date (30 December 1899) when none is selected.
    QDate SelectedDate() const;
    // A day included and not yet on the server: the row being inserted, or one whose upload
    // failed.
    bool HasPendingDay() const;
    // Before the calendar of this branch and year is left: the operator saves the pending day,
    // drops it, or stays where he is (EAbort).
    void ResolvePendingDay();
    // Focus leaving the twelve calendars for the filter panel.
    void scbFormularioExit(QObject *Sender);

    // Production calculation.
    void CalculaProducao(QObject *Sender);
    void mnuCalcMesClick(QObject *Sender);
    void mnuCalcAnoClick(QObject *Sender);

    // Filter panel.
    void panRestIngeEnter(QObject *Sender);
    void panRestIngeExit(QObject *Sender);
    void medCdFilialChange(QObject *Sender);
    void medCdFilialEnter(QObject *Sender);
    void medCdFilialExit(QObject *Sender);
    void btpFilialBeforePesq(QObject *Sender, bool &Continue);
    void btpFilialAfterPesq(QObject *Sender);
    void medCdPeriodicidadeChange(QObject *Sender);
    void medCdPeriodicidadeEnter(QObject *Sender);
    void medCdPeriodicidadeExit(QObject *Sender);
    void btpServicoBeforePesq(QObject *Sender, bool &Continue);
    void btpServicoAfterPesq(QObject *Sender);
    void speYearEnter(QObject *Sender);
    void speYearExit(QObject *Sender);
    void speYearKeyPress(QObject *Sender, QChar &Key);
    void qryPeriIDTIPODIAPGetText(TField *Sender, QString &Text, bool DisplayText);
    void Vd_CdFilial(bool mandatory);
    void Vd_CdPeriodicidade(bool mandatory);
    void Vd_Year();

    // Export command.
    void sbtExportarClick(QObject *Sender);
    void mnuExportarClick(QObject *Sender);
    void bindExportCommand();
    // History, undo and calculation preview: tool bar, maintenance menu and handlers.
    void bindJournalCommands();
    void refreshJournalCommands();
    void showHistory();
    void undoNewestChange();
    void previewCalculation();

    // Why days cannot change: holidays and the closed period on the calendars, in the legend and
    // in the hint of a disabled "Incluir".
    void setupDayNotes();
    // Reads the holidays of the branch and year shown and hands them to the twelve calendars.
    void LoadDayNotes();
    void ExplainIncluir(bool dateOpen, int total, const QDate &selected, const QDate &processing);

    // Overview command: opens the overview of every branch; ShowCalendarOf comes back from it.
    void bindOverviewCommand();
    // Shows the calendar of a branch, periodicity and year as if the operator had filled the
    // panel and left it.
    void ShowCalendarOf(const QString &branch, const QString &periodicity, int year);

    // Report command: opens the report dialog, which chooses its own branches and months.
    void sbtImprimirClick(QObject *Sender) override;

    // Components of the screen.
    TPanel *panRestInge;
    TLabel *lblFilial;
    TMaskEdit *medCdFilial;
    TBtnPesquisa *btpFilial;
    TEdit *edtNmFilial;
    TLabel *lblPeriodicidade;
    TMaskEdit *medCdPeriodicidade;
    TBtnPesquisa *btpServico;
    TEdit *edtNmServico;
    TLabel *lblYear;
    TSpinEdit *speYear;
    TGroupBox *grbLegenda;
    TLabel *Label1;
    TLabel *Label2;
    TTabSheet *tshCalendario;
    TPanel *panFormulario;
    TScrollBox *scbFormulario;
    TSpeedButton *sbtCalcAno;
    TSpeedButton *sbtExportar;
    TSpeedButton *sbtCalcMes;
    QAction *N1;
    QAction *mnuExportar;
    TSpeedButton *sbtVisaoGeral = nullptr;
    QAction *mnuVisaoGeral = nullptr;
    QAction *mnuCalcMes;
    QAction *mnuCalcAno;
    QMenu *pmnExcluir;
    QAction *mnuDia;
    QAction *mnuMes;
    QAction *mnuAno;
    TClientDataSet *cdsCaleProdu;
    TClientDataSet *cdsCaleProduAux;
    TClientDataSet *cdsPesqCaleProdu;
    TClientDataSet *cdsVerificaDiaUtil;
    TADOIBQuery *qryFilial;
    TADOIBQuery *qryPeri;
    TADOIBQuery *qryDiasProdu;
    TADOIBQuery *qryFeriado = nullptr;
    TLabel *Label3 = nullptr;
    TLabel *Label4 = nullptr;
    TDataSource *dtsFilial;
    TDataSource *dtsPeri;
    TNetConnection *netCaleComp;

private:
    // The selected month's first day; January when no month is selected.
    QDate selectedMonth() const;
    QJsonObject callJournal(const QString &method, const QVariantList &params);
    QList<TSpeedButton *> m_journalCommands;
    void createDataModule();
    void placeToolBarAndMenu();
    void bindHandlers();
    void refreshCommands();
    void setupFilterPanel();
    void setupYearView();
    void bindEditingHandlers();
    void EnableCalendars();
    // Asks the standard deletion question; false outside browse state or on any answer but Yes.
    bool ConfirmDeletion();
    // Runs a deletion on the server, then reloads the year and refreshes the commands.
    void DeleteOnServer(const QString &method, const QVariantList &arguments);
    // Loads the year after a change the server made. When the load fails, says that the change
    // was made and offers the load once more; declined or failing again, the view rests.
    void ReloadAfterServerChange(const QString &doneKey);
    // Puts the year back in the field when a year change was refused.
    void RestoreShownYear();
    // Puts the year view to rest after the panel refused to be left.
    void RestAfterRefusal();

    std::unique_ptr<Ui::frmCaleProdu> ui;
    bool boPrimAtiv = true;
    TNotifyEvent m_medCdFilialChange;
    TNotifyEvent m_medCdPeriodicidadeChange;
    TNotifyEvent m_genericChange;
};

// The calendar screen created last; null once that screen is destroyed.
extern QPointer<TfrmCaleProdu> frmCaleProdu;
// The branch, periodicity and holiday flag in force.
extern QString stCDFILIAL;
extern QString stCDPERIPRODU;
extern QString STIDDIANUTILP;
// Month number of the selected calendar; 0 when none is.
extern int inSelectDbc;
// When true the data-state handler runs the base screen's handling first.
extern bool boPassarChange;
extern QDateTime dtInicial;

// Creates the calendar screen once and shows it.
void CriaCaleProdu();
// Opens the calendar screen on a branch, periodicity and year (the overview's rows).
void AbreCaleProdu(const QString &branch, const QString &periodicity, int year);
// Opens the overview screen; the package sets it, as the overview's unit comes after this one.
extern std::function<void()> AbreVisaoGeral;
// The shell's entry point: opens the calendar screen.
void IniProc();
// True while a calendar screen exists and has not been closed since it was created.
bool FormCriado();

void Initialization();
void Finalization();

} // namespace Cli_qmr07700
