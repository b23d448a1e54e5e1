// The way between the calendar screen and the overview: the command that opens the overview, and
// the calendar of one branch shown for a row the overview chose.

#include "cli_qmr07700.h"

#include "controls/tmaskedit.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/tmessages.h"
#include "data/hostfunctions.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"

#include <QAction>
#include <QMenu>
#include <QScopeGuard>
#include <QStyle>

namespace Cli_qmr07700 {

std::function<void()> AbreVisaoGeral;

void TfrmCaleProdu::bindOverviewCommand()
{
    sbtVisaoGeral = new TSpeedButton(panMenu);
    sbtVisaoGeral->setObjectName(QStringLiteral("sbtVisaoGeral"));
    sbtVisaoGeral->SetHint(QStringLiteral("Visão Geral dos Calendários"));
    sbtVisaoGeral->SetShowHint(true);
    sbtVisaoGeral->SetGlyph(style()->standardIcon(QStyle::SP_FileDialogListView).pixmap(16, 16));
    sbtVisaoGeral->SetBounds(353, 4, 21, 21);
    sbtVisaoGeral->OnClick = [](QObject *) {
        if (AbreVisaoGeral)
            AbreVisaoGeral();
    };
    mnuVisaoGeral = mnuManutencao->addAction(QStringLiteral("&Visão Geral dos Calendários"));
    mnuVisaoGeral->setObjectName(QStringLiteral("mnuVisaoGeral"));
    connect(mnuVisaoGeral, &QAction::triggered, this,
            [this] { host::guard(this, [this] { sbtVisaoGeral->OnClick(sbtVisaoGeral); }); });
}

void TfrmCaleProdu::ShowCalendarOf(const QString &branch, const QString &periodicity, int year)
{
    if (boPrimAtiv)
        FormActivate(this);
    if (ModuFili() && Ajusta(branch, 4) != FiliProc())
        MensErro(msgPadrao->Msg(QStringLiteral("FILI_OUTRA")).arg(FiliProc()), true);
    ResolvePendingDay();
    medCdFilial->OnChange = nullptr;
    medCdPeriodicidade->OnChange = nullptr;
    auto restore = qScopeGuard([this] {
        medCdFilial->OnChange = m_medCdFilialChange;
        medCdPeriodicidade->OnChange = m_medCdPeriodicidadeChange;
    });
    medCdFilial->SetText(branch);
    medCdPeriodicidade->SetText(periodicity);
    speYear->SetText(QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0')));
    cdsCaleProdu->Close();
    panRestIngeExit(panRestInge);
}

void AbreCaleProdu(const QString &branch, const QString &periodicity, int year)
{
    CriaCaleProdu();
    frmCaleProdu->ShowCalendarOf(branch, periodicity, year);
}

} // namespace Cli_qmr07700
