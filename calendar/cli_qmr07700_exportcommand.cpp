// The export command of the calendar screen: asks the server whether the branch has a calendar
// and opens the export dialog for the branch, periodicity and year as the fields show them.

#include "cli_qmr07700.h"

#include "export/cli_qmr07702.h"

#include "controls/showavi.h"
#include "controls/tmaskedit.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/tmessages.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

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
