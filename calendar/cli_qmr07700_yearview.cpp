// The year view of the calendar screen: selection of a month, re-dating on a year change, the
// resting and live looks, and the rule that enables the screen's commands.

#include "cli_qmr07700.h"

#include "controls/hostcolors.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdbcalendar.h"
#include "controls/tlabel.h"
#include "controls/tmaskedit.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "data/hostfunctions.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

#include <QFont>
#include <QScopeGuard>

namespace Cli_qmr07700 {

namespace {

bool Editing(const TDataSet *dataSet)
{
    return dataSet->State() == TDataSetState::dsInsert || dataSet->State() == TDataSetState::dsEdit;
}

} // namespace

void TfrmCaleProdu::GenericOnEnter(QObject *Sender)
{
    if (Editing(cdsCaleProdu))
        cdsCaleProdu->Post();
    const int month = qobject_cast<TNCalendar *>(Sender)->Tag();
    if (month != inSelectDbc) {
        MonthLabel(month)->SetFontColor(clBlack);
        Calendar(month)->SetColor(clWindow);
        if (inSelectDbc != 0) {
            MonthLabel(inSelectDbc)->SetFontColor(clGray);
            Calendar(inSelectDbc)->SetColor(clSilver);
        }
        inSelectDbc = month;
    }
    if (inSelectDbc == 1) {
        MonthLabel(1)->SetFontColor(clBlack);
        Calendar(1)->SetColor(clWindow);
    }
    refreshCommands();
}

void TfrmCaleProdu::GenericChange(QObject *)
{
    if (Editing(cdsCaleProdu))
        cdsCaleProdu->Post();
    refreshCommands();
}

// Runs the command rule as the screen's own call: the base's state handling stays out of it.
void TfrmCaleProdu::refreshCommands()
{
    boPassarChange = false;
    auto restore = qScopeGuard([] { boPassarChange = true; });
    dtsPadraoStateChange(dtsPadrao);
}

void TfrmCaleProdu::speYearChange(QObject *)
{
    // The spin buttons change the year while a calendar keeps the focus.
    try {
        ResolvePendingDay();
    } catch (...) {
        RestoreShownYear();
        throw;
    }
    try {
        const int year = speYear->Value();
        for (int month = 1; month <= 12; ++month) {
            TDBCalendar *calendar = Calendar(month);
            // Detach the change event: re-dating twelve calendars must not refresh the commands
            // twelve times.
            calendar->OnChange = nullptr;
            auto reattach = qScopeGuard([&] { calendar->OnChange = m_genericChange; });
            calendar->SetDateElement(TNCalendar::deMonth, month);
            calendar->SetDateElement(TNCalendar::deYear, year);
        }
        GetCaleProdu();
    } catch (const std::exception &) {
        // A year the calendars cannot show, or a failed load, leaves the view at rest below.
    }
    PutYearViewToRest();
}

void TfrmCaleProdu::RestoreShownYear()
{
    const TNotifyEvent change = speYear->OnChange;
    speYear->OnChange = nullptr;
    auto reattach = qScopeGuard([&] { speYear->OnChange = change; });
    speYear->SetText(QStringLiteral("%1").arg(Calendar(1)->GetDateElement(TNCalendar::deYear), 4,
                                              10, QLatin1Char('0')));
}

void TfrmCaleProdu::scbFormularioExit(QObject *)
{
    ResolvePendingDay();
}

void TfrmCaleProdu::dtsPadraoStateChange(QObject *Sender)
{
    if (boPassarChange)
        TfrmPadraoGrid::dtsPadraoStateChange(Sender);

    QDate selectedDate(1899, 12, 30);
    QString selectedYear;
    if (TDBCalendar *selected = SelectedCalendar()) {
        selectedDate = selected->Date();
        selectedYear = QString::number(selected->GetDateElement(TNCalendar::deYear));
        if (IsActiveWindow()) {
            try {
                const TServerResult result = netCaleComp->AppServer()->Call(
                    QStringLiteral("GetCaleProduAux"), {stCDFILIAL, stCDPERIPRODU, selectedDate});
                cdsCaleProduAux->SetData(CheckResultServ(result, true, 0));
            } catch (const std::exception &) {
                // The commands follow what the day record held before.
            }
        }
    }

    const TDataSetState state = dtsPadrao->State();
    const bool browse = state == TDataSetState::dsBrowse;
    const bool inserting = state == TDataSetState::dsInsert;
    const QDate processing = DataProc(FiliProc());
    const QString processingYear = QString::number(processing.year());
    // Years are compared as texts: "999" is not less than "2026".
    const bool yearOpen = QString::compare(selectedYear, processingYear) >= 0;
    const bool dateOpen = processing <= selectedDate;
    const int total = int(cdsCaleProduAux->FieldByName(QStringLiteral("TOTAL"))->AsFloat());
    QWidget *focused = ActiveControl();
    const bool filterFocused = focused == medCdFilial || focused == medCdPeriodicidade ||
                               focused == speYear || (focused && speYear->isAncestorOf(focused));

    sbtIncluir->setEnabled(dateOpen && total == 0 && browse);
    ExplainIncluir(dateOpen, total, selectedDate, processing);
    sbtExcluir->setEnabled(yearOpen && !cdsCaleProduAux->IsEmpty() && browse);
    sbtAlterar->setEnabled(false);
    sbtProcurar->setEnabled(false);
    const bool branchOpen = !ModuFili() && !inserting;
    medCdFilial->setEnabled(branchOpen);
    btpFilial->setEnabled(branchOpen);
    lblFilial->setEnabled(branchOpen);
    for (QWidget *control :
         {static_cast<QWidget *>(medCdPeriodicidade), static_cast<QWidget *>(lblPeriodicidade),
          static_cast<QWidget *>(btpServico), static_cast<QWidget *>(speYear),
          static_cast<QWidget *>(lblYear)})
        control->setEnabled(!inserting);
    sbtVerificar->setEnabled(sbtExcluir->isEnabled());
    sbtCalcAno->setEnabled(yearOpen && browse && !filterFocused);
    sbtCalcMes->setEnabled(dateOpen && browse && !filterFocused);
    refreshJournalCommands();
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = Calendar(month);
        calendar->SetShowCurrentDay(focused == calendar);
    }
}

void TfrmCaleProdu::Abilitar(bool Value)
{
    if (Value && EmptyString(medCdPeriodicidade->Text()))
        return;
    for (int month = 1; month <= 12; ++month)
        Calendar(month)->setEnabled(Value);
    dtsPadrao->SetEnabled(Value);
}

TDBCalendar *TfrmCaleProdu::SelectedCalendar() const
{
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = Calendar(month);
        if (calendar && calendar->Color() == clWindow)
            return calendar;
    }
    return nullptr;
}

void TfrmCaleProdu::PutYearViewToRest()
{
    cdsCaleProdu->Close();
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = Calendar(month);
        calendar->SetDataField(QString());
        MonthLabel(month)->SetFontColor(clGray);
        calendar->SetColor(clSilver);
        calendar->SetHollidayColor(clNone);
    }
    for (TSpeedButton *button : {sbtIncluir, sbtExcluir, sbtVerificar, sbtCalcAno, sbtCalcMes})
        button->setEnabled(false);
    refreshJournalCommands();
}

void TfrmCaleProdu::BringYearViewLive()
{
    Abilitar(true);
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = Calendar(month);
        calendar->SetDataField(QStringLiteral("DTPRODUCAO"));
        calendar->SetHollidayColor(clGreen);
    }
}

void TfrmCaleProdu::setupYearView()
{
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = Calendar(month);
        Q_ASSERT(calendar && calendar->Tag() == month);
        calendar->SetColor(clBtnFace);
        calendar->SetShowCurrentDay(false);
        calendar->SetDataSource(dtsPadrao);
        calendar->SetDataField(QStringLiteral("DTPRODUCAO"));
        calendar->setFocusPolicy(Qt::StrongFocus);
        TLabel *label = MonthLabel(month);
        label->SetFontColor(clGray);
        // Captions are sized in pixels so that they fit above the calendars at any screen DPI.
        QFont font = label->font();
        font.setPixelSize(month == 1 ? 11 : 10);
        label->setFont(font);
    }
    Label1->SetFontColor(clWhite);
    Label1->SetColor(clGreen);
    Label2->SetFontColor(clHighlightText);
    Label2->SetColor(clHighlight);
}

} // namespace Cli_qmr07700
