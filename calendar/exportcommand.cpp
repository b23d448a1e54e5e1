// The export command of the calendar screen: asks the server whether the branch has a calendar
// and opens the export dialog for the branch, periodicity and year as the fields show them.

#include "cli_qmr07700.h"

#include "export/cli_qmr07702.h"

#include "application.h"
#include "dialogs.h"
#include "eventboundary.h"
#include "showavi.h"
#include "tclientdataset.h"
#include "tmaskedit.h"
#include "tmessages.h"
#include "tnetconnection.h"
#include "tspeedbutton.h"
#include "tspinedit.h"

#include <QAction>
#include <QScopeGuard>

namespace Cli_qmr07700 {

void TfrmCaleProdu::sbtExportarClick(QObject *)
{
    ActiveShowAvi(host::MainForm(), 6);
    {
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        const TServerResult result = netCaleComp->AppServer()->Call(
            QStringLiteral("GetPesqCaleProdu"), {medCdFilial->Text()});
        cdsPesqCaleProdu->SetData(CheckResultServ(result, true, 0));
    }
    if (cdsPesqCaleProdu->IsEmpty()) {
        MensErro(msgPadrao->Msg(QStringLiteral("FIL_N_CALECOMP")), false);
        return;
    }
    Cli_qmr07702::CriaExportCaleProdu(medCdFilial->Text(), medCdPeriodicidade->Text(),
                                      speYear->Text());
}

void TfrmCaleProdu::mnuExportarClick(QObject *)
{
    sbtExportarClick(sbtExportar);
}

void TfrmCaleProdu::bindExportCommand()
{
    sbtExportar->OnClick = [this](QObject *s) { sbtExportarClick(s); };
    connect(mnuExportar, &QAction::triggered, this,
            [this] { host::guard(this, [this] { mnuExportarClick(mnuExportar); }); });
}

} // namespace Cli_qmr07700
