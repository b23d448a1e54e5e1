#pragma once

#include "overviewrows.h"
#include "reporting/reportdata.h"
#include "screens/tfrmpadraogrid.h"

#include <QPointer>
#include <QStringList>
#include <QTableWidget>

#include <memory>

class QCheckBox;
class TADOIBQuery;
class TBtnPesquisa;
class TEdit;
class TLabel;
class TMaskEdit;
class TNetConnection;
class TSpeedButton;
class TSpinEdit;
class TTabSheet;

namespace Ui {
class frmVisaoGeral;
}

namespace Cli_qmr07703 {

// The branches' grid: Enter or a double click on a row chooses it.
class TGridVisao : public QTableWidget
{
    Q_OBJECT
public:
    explicit TGridVisao(QWidget *parent = nullptr);

signals:
    void rowChosen(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

// Every branch's calendar of one periodicity and year at a glance, worst situations flagged.
class TfrmVisaoGeral : public TfrmPadraoGrid
{
    Q_OBJECT
public:
    explicit TfrmVisaoGeral(QWidget *parent = nullptr);
    ~TfrmVisaoGeral() override;

    void FormCreate(QObject *Sender) override;
    void FormActivate(QObject *Sender) override;
    void FormClose(QObject *Sender, int &Action) override;

    // Shows the periodicity and year given (empty periodicity: the first one), checked and
    // loaded; onlyWarnings sets "Somente com aviso".
    void ShowOverview(const QString &periodicity, int year, bool onlyWarnings);
    // Asks the server for the overview of the periodicity and year in the filter and fills the
    // grid.
    void Carregar();
    // Fills the grid again from the rows last loaded, with the filter's reference and check.
    void PreencherGrade();
    // The branches of the rows selected in the grid, in grid order.
    QList<BranchCalendar> Selecionadas() const;
    SituationRule Regra() const;

    // Commands.
    void AbrirCalendario(int row);
    // The year calculated on the selected live branches as one change: its preview first, then
    // one confirmation, the summary per branch, and the offer to undo it.
    void sbtCalcAnoClick(QObject *Sender);
    // Shows what the calculation with these arguments would change; true when the operator
    // chose to calculate.
    bool MostrarPrevia(const QVariantList &params);
    void sbtExportarClick(QObject *Sender);
    // Print preview of the grid as it is shown; "Salvar como" writes it as PDF or CSV.
    void sbtImprimirClick(QObject *Sender) override;
    void mnuSalvarComoClick(QObject *Sender);
    // The grid's shown rows as a report of the table layout.
    ReportData Relatorio() const;

    TLabel *lblPeriodicidade;
    TMaskEdit *medCdPeriodicidade;
    TBtnPesquisa *btpPeriodicidade;
    TEdit *edtNmPeriodicidade;
    TLabel *lblAno;
    TSpinEdit *speAno;
    TLabel *lblFilialRef;
    TMaskEdit *medCdFilialRef;
    TBtnPesquisa *btpFilialRef;
    TEdit *edtNmFilialRef;
    QCheckBox *chkSomenteAviso;
    TTabSheet *tshVisao;
    TGridVisao *grdMeses;
    TSpeedButton *sbtCalcAno;
    TSpeedButton *sbtExportar;
    QAction *mnuCalcAno;
    QAction *mnuExportar;
    QAction *mnuSalvarComo;
    TADOIBQuery *qryPeri;
    TADOIBQuery *qryFilial;
    TDataSource *dtsPeri;
    TDataSource *dtsFilial;
    TNetConnection *netVisao;

private:
    void createDataModule();
    void placeControls();
    void setupGrid();
    void bindHandlers();
    void Vd_Periodicidade();
    void Vd_FilialRef();
    void Vd_Ano();
    // Loads when periodicity and year are both valid; an invalid field only refuses.
    void filterChanged();
    void fillRow(int row, const BranchCalendar &branch, const BranchCalendar *reference);
    const BranchCalendar *reference() const;
    void refreshCommands();

    std::unique_ptr<Ui::frmVisaoGeral> ui;
    QList<BranchCalendar> m_rows;
    QList<int> m_shown; // index into m_rows of each grid row
    QString m_loadedKey;
    bool m_firstActivation = true;
};

// The overview screen created last; null once it is released.
extern QPointer<TfrmVisaoGeral> frmVisaoGeral;

// Opens the overview screen (once) and shows it.
TfrmVisaoGeral *CriaVisaoGeral();
// The shell's and the calendar screen's entry point.
void IniProc();
// Opens the overview on a periodicity and the current year, showing only branches in warning.
void IniProcAvisos(const QString &periodicity);

// The start-up warning: "N filiais com calendário a vencer" when live branches' calendars of the
// periodicity, this year, are in warning; empty when none is.
QString AvisoInicial(const QString &periodicity);

void Initialization();
void Finalization();

} // namespace Cli_qmr07703
