// Editing production days on the calendar screen: the new day with its holiday check, its upload
// as soon as it is posted, the scoped deletions on the server and the reload after each change.

#include "cli_qmr07700.h"

#include "controls/showavi.h"
#include "controls/tdbcalendar.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/exceptions.h"
#include "core/tmessages.h"
#include "data/hostfunctions.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

#include <QAction>
#include <QMenu>
#include <QScopeGuard>

namespace Cli_qmr07700 {

namespace {

bool Editing(const TDataSet *dataSet)
{
    return dataSet->State() == TDataSetState::dsInsert || dataSet->State() == TDataSetState::dsEdit;
}

} // namespace

void TfrmCaleProdu::bindEditingHandlers()
{
    cdsCaleProdu->AfterOpen = [this](QObject *s) { cdsCaleProduAfterOpen(s); };
    cdsCaleProdu->BeforeInsert = [this](QObject *s) { cdsCaleProduBeforeInsert(s); };
    cdsCaleProdu->OnNewRecord = [this](QObject *s) { cdsCaleProduNewRecord(s); };
    cdsCaleProdu->AfterInsert = [this](QObject *s) { cdsCaleProduAfterInsert(s); };
    cdsCaleProdu->BeforePost = [this](QObject *s) { cdsCaleProduBeforePost(s); };
    cdsCaleProdu->AfterPost = [this](QObject *s) { cdsCaleProduAfterPost(s); };
    cdsCaleProdu->AfterDelete = [this](QObject *s) { cdsCaleProduAfterPost(s); };

    sbtCalcAno->OnClick = [this](QObject *s) { CalculaProducao(s); };
    sbtCalcMes->OnClick = [this](QObject *s) { CalculaProducao(s); };
    auto bindItem = [this](QAction *item, void (TfrmCaleProdu::*handler)(QObject *)) {
        connect(item, &QAction::triggered, this,
                [this, item, handler] { host::guard(this, [&] { (this->*handler)(item); }); });
    };
    bindItem(mnuCalcMes, &TfrmCaleProdu::mnuCalcMesClick);
    bindItem(mnuCalcAno, &TfrmCaleProdu::mnuCalcAnoClick);
    bindItem(mnuDia, &TfrmCaleProdu::mnuDiaClick);
    bindItem(mnuMes, &TfrmCaleProdu::mnuMesClick);
    bindItem(mnuAno, &TfrmCaleProdu::mnuAnoClick);
}

QDate TfrmCaleProdu::SelectedDate() const
{
    const TDBCalendar *selected = SelectedCalendar();
    return selected ? selected->Date() : QDate(1899, 12, 30);
}

void TfrmCaleProdu::EnableCalendars()
{
    for (int month = 1; month <= 12; ++month)
        Calendar(month)->setEnabled(true);
}

void TfrmCaleProdu::sbtIncluirClick(QObject *Sender)
{
    TfrmPadraoGrid::sbtIncluirClick(Sender);
    if (!Editing(cdsCaleProdu))
        return;
    // While the new day is pending only its own month can be clicked.
    const TDBCalendar *selected = SelectedCalendar();
    for (int month = 1; month <= 12; ++month)
        Calendar(month)->setEnabled(Calendar(month) == selected);
}

void TfrmCaleProdu::sbtConfirmarClick(QObject *Sender)
{
    TfrmPadraoGrid::sbtConfirmarClick(Sender);
    EnableCalendars();
}

void TfrmCaleProdu::sbtCancelarClick(QObject *Sender)
{
    TfrmPadraoGrid::sbtCancelarClick(Sender);
    EnableCalendars();
}

void TfrmCaleProdu::sbtVerificarClick(QObject *)
{
    if (Editing(cdsCaleProdu)) {
        cdsCaleProdu->CancelUpdates();
        EnableCalendars();
    }
    GetCaleProdu();
}

void TfrmCaleProdu::cdsCaleProduAfterOpen(QObject *)
{
    for (int month = 1; month <= 12; ++month) {
        if (TDBCalendar *calendar = Calendar(month))
            calendar->update();
    }
}

void TfrmCaleProdu::cdsCaleProduBeforeInsert(QObject *)
{
    const QDate date = SelectedDate();
    if (STIDDIANUTILP != QLatin1String("S"))
        return;
    ActiveShowAvi(host::MainForm(), 6);
    {
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        const TServerResult result = netCaleComp->AppServer()->Call(
            QStringLiteral("GetVerificaDiaUtil"), {stCDFILIAL, date});
        cdsVerificaDiaUtil->SetData(CheckResultServ(result, true, 0));
    }
    if (!cdsVerificaDiaUtil->IsEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("DT_FERIADO")), true);
}

void TfrmCaleProdu::cdsCaleProduNewRecord(QObject *)
{
    cdsCaleProdu->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(stCDFILIAL);
    cdsCaleProdu->FieldByName(QStringLiteral("CDPERIPRODU"))->SetAsString(stCDPERIPRODU);
}

void TfrmCaleProdu::cdsCaleProduAfterInsert(QObject *)
{
    cdsCaleProdu->FieldByName(QStringLiteral("DTPRODUCAO"))->SetAsDate(SelectedDate());
}

void TfrmCaleProdu::cdsCaleProduBeforePost(QObject *)
{
    EnableCalendars();
    Seta_Campo_Null(cdsCaleProdu);
}

bool TfrmCaleProdu::HasPendingDay() const
{
    return cdsCaleProdu->Active() && (Editing(cdsCaleProdu) || cdsCaleProdu->ChangeCount() > 0);
}

void TfrmCaleProdu::ResolvePendingDay()
{
    if (!HasPendingDay())
        return;
    switch (msgPadrao->ShowMsg(QStringLiteral("DIA_PENDENTE"), TMsgDlgType::mtConfirmation,
                               mbYesNoCancel, 0)) {
    case mrYes:
        // A failed upload ends here with its error: the day stays pending and the operator stays.
        if (Editing(cdsCaleProdu))
            cdsCaleProdu->Post();
        else
            cdsCaleProduAfterPost(cdsCaleProdu);
        break;
    case mrNo:
        cdsCaleProdu->CancelUpdates();
        EnableCalendars();
        refreshCommands();
        break;
    default:
        throw EAbort();
    }
}

void TfrmCaleProdu::cdsCaleProduAfterPost(QObject *)
{
    if (cdsCaleProdu->ChangeCount() <= 0)
        return;
    ActiveShowAvi(host::MainForm(), 1, msgPadrao->Msg(QStringLiteral("SetCaleProdu")));
    {
        // On a failure the change log stays as it is: the day travels with the next upload.
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        const TServerResult result =
            netCaleComp->AppServer()->Call(QStringLiteral("SetCaleProdu"), {cdsCaleProdu->Delta()});
        CheckResultServ(result, true, 0);
    }
    cdsCaleProdu->MergeChangeLog();
    GetCaleProdu();
    refreshCommands();
}

void TfrmCaleProdu::sbtExcluirClick(QObject *)
{
    const QDate date = SelectedDate();
    const QDate processing = DataProc(FiliProc());
    const QDate monthStart(processing.year(), processing.month(), 1);
    const int total = int(cdsCaleProduAux->FieldByName(QStringLiteral("TOTAL"))->AsFloat());
    mnuDia->setEnabled(processing <= date && total != 0);
    mnuMes->setEnabled(monthStart <= date && !cdsCaleProduAux->IsEmpty());
    const QPoint corner(sbtExcluir->x(), sbtExcluir->y() + sbtExcluir->height());
    pmnExcluir->popup(panMenu->mapToGlobal(corner));
}

void TfrmCaleProdu::mnuDiaClick(QObject *)
{
    const TDBCalendar *selected = SelectedCalendar();
    if (!selected || !ConfirmDeletion())
        return;
    DeleteOnServer(QStringLiteral("GetDelCaleProdu"),
                   {stCDFILIAL, stCDPERIPRODU, selected->Date()});
}

void TfrmCaleProdu::mnuMesClick(QObject *)
{
    const TDBCalendar *selected = SelectedCalendar();
    if (!selected || !ConfirmDeletion())
        return;
    const QString monthText = StrZero(selected->GetDateElement(TNCalendar::deMonth), 2, 0) +
                              QLatin1Char('/') +
                              QString::number(selected->GetDateElement(TNCalendar::deYear));
    DeleteOnServer(QStringLiteral("GetDelCaleProduMes"),
                   {stCDFILIAL, stCDPERIPRODU, DataProc(FiliProc()), monthText});
}

void TfrmCaleProdu::mnuAnoClick(QObject *)
{
    const TDBCalendar *selected = SelectedCalendar();
    if (!selected || !ConfirmDeletion())
        return;
    const QString yearText = QString::number(selected->GetDateElement(TNCalendar::deYear));
    DeleteOnServer(QStringLiteral("GetDelCaleProduAno"),
                   {stCDFILIAL, stCDPERIPRODU, DataProc(FiliProc()), yearText});
}

bool TfrmCaleProdu::ConfirmDeletion()
{
    if (dtsPadrao->State() != TDataSetState::dsBrowse)
        return false;
    return msgMensagensPadroes->ShowMsg(QStringLiteral("Excl"), TMsgDlgType::mtConfirmation,
                                        mbYesNo, 0) == mrYes;
}

void TfrmCaleProdu::DeleteOnServer(const QString &method, const QVariantList &arguments)
{
    ActiveShowAvi(host::MainForm(), 1, msgPadrao->Msg(QStringLiteral("DelCaleProdu")));
    {
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        CheckResultServ(netCaleComp->AppServer()->Call(method, arguments), true, 0);
    }
    cdsCaleProdu->Close();
    ReloadAfterServerChange(QStringLiteral("EXCL_RECARREGA"));
    refreshCommands();
}

void TfrmCaleProdu::ReloadAfterServerChange(const QString &doneKey)
{
    try {
        GetCaleProdu();
        return;
    } catch (const EAbort &) {
        throw;
    } catch (const Exception &e) {
        // The change is on the server: the operator must know it, and may load it at once.
        if (MessageDlg(msgPadrao->Msg(doneKey).arg(e.Message()), TMsgDlgType::mtConfirmation,
                       mbYesNo) != mrYes) {
            RestAfterRefusal();
            throw EAbort();
        }
    }
    try {
        GetCaleProdu();
    } catch (...) {
        RestAfterRefusal();
        throw;
    }
}

} // namespace Cli_qmr07700
