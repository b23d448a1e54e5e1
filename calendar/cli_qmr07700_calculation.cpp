// The production calculation of the calendar screen: the server calculates the selected month or
// the whole year of the branch and periodicity in force, and the calendar is loaded again.

#include "cli_qmr07700.h"

#include "controls/showavi.h"
#include "controls/tdbcalendar.h"
#include "controls/tspeedbutton.h"
#include "core/application.h"
#include "core/tmessages.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

#include <QScopeGuard>

namespace Cli_qmr07700 {

namespace {

// The button tag that asks for the selected month; any other asks for the year.
constexpr int MonthTag = 2;

} // namespace

void TfrmCaleProdu::CalculaProducao(QObject *Sender)
{
    const auto *button = qobject_cast<TSpeedButton *>(Sender);
    QDate start;
    int months = 12;
    if (button && button->Tag() == MonthTag) {
        const TDBCalendar *selected = SelectedCalendar();
        if (!selected)
            return;
        start = QDate(selected->GetDateElement(TNCalendar::deYear),
                      selected->GetDateElement(TNCalendar::deMonth), 1);
        months = 1;
    } else {
        start = QDate(Calendar(1)->GetDateElement(TNCalendar::deYear), 1, 1);
    }

    ActiveShowAvi(host::MainForm(), 1, msgPadrao->Msg(QStringLiteral("CalProducao")));
    {
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        const TServerResult result = netCaleComp->AppServer()->Call(
            QStringLiteral("CalculaProducao"),
            {stCDFILIAL, stCDPERIPRODU, start, months, DataProc(stCDFILIAL)});
        CheckResultServ(result, true, 0);
    }
    // A day still pending is dropped: the calculated calendar replaces it.
    if (cdsCaleProdu->State() == TDataSetState::dsInsert ||
        cdsCaleProdu->State() == TDataSetState::dsEdit) {
        cdsCaleProdu->Cancel();
        EnableCalendars();
    }
    cdsCaleProdu->Close();
    ReloadAfterServerChange(QStringLiteral("CALC_RECARREGA"));
}

void TfrmCaleProdu::mnuCalcMesClick(QObject *)
{
    CalculaProducao(sbtCalcMes);
}

void TfrmCaleProdu::mnuCalcAnoClick(QObject *)
{
    CalculaProducao(sbtCalcAno);
}

} // namespace Cli_qmr07700
