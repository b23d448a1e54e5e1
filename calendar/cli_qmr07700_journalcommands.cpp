// The journal commands of the calendar screen: the history of the selected month, the undo of the
// calendar's newest change still in effect, and the preview of a calculation before it runs.

#include "cli_qmr07700.h"

#include "controls/showavi.h"
#include "controls/tdbcalendar.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/tmessages.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"
#include "screens/tchangeswindow.h"

#include <QAction>
#include <QMenu>
#include <QScopeGuard>
#include <QStyle>

namespace Cli_qmr07700 {

namespace {

// A change set's moment, which the server keeps in UTC, as the operator's local time.
QString localMoment(const TField *field)
{
    QDateTime moment = field->Value().toDateTime();
    moment.setTimeSpec(Qt::UTC);
    return moment.toLocalTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

} // namespace

void TfrmCaleProdu::bindJournalCommands()
{
    auto addCommand = [this](const char *name, const char *key, int left,
                             QStyle::StandardPixmap glyph, void (TfrmCaleProdu::*handler)()) {
        const QString caption = msgPadrao->Msg(QLatin1String(key));
        auto *button = new TSpeedButton(panMenu);
        button->setObjectName(QStringLiteral("sbt") + QLatin1String(name));
        button->SetHint(caption);
        button->SetShowHint(true);
        button->setAccessibleName(caption);
        button->SetGlyph(style()->standardIcon(glyph).pixmap(16, 16));
        button->SetBounds(left, 4, 21, 21);
        button->setEnabled(false);
        button->OnClick = [this, handler](QObject *) { (this->*handler)(); };
        QAction *item = mnuManutencao->addAction(caption);
        item->setObjectName(QStringLiteral("mnu") + QLatin1String(name));
        FollowButton(item, button);
        connect(item, &QAction::triggered, this,
                [this, handler] { host::guard(this, [this, handler] { (this->*handler)(); }); });
        m_journalCommands.append(button);
    };
    mnuManutencao->addSeparator();
    addCommand("Historico", "JOURNAL_HISTORICO", 368, QStyle::SP_FileDialogDetailedView,
               &TfrmCaleProdu::showHistory);
    addCommand("Desfazer", "JOURNAL_DESFAZER", 389, QStyle::SP_ArrowBack,
               &TfrmCaleProdu::undoNewestChange);
    addCommand("PreviaCalculo", "JOURNAL_PREVIA", 410, QStyle::SP_FileDialogInfoView,
               &TfrmCaleProdu::previewCalculation);
}

void TfrmCaleProdu::refreshJournalCommands()
{
    const bool alive = cdsCaleProdu->Active() && dtsPadrao->State() == TDataSetState::dsBrowse;
    for (TSpeedButton *button : m_journalCommands)
        button->setEnabled(alive);
}

QDate TfrmCaleProdu::selectedMonth() const
{
    const TDBCalendar *selected = SelectedCalendar();
    const TDBCalendar *shown = selected ? selected : Calendar(1);
    return QDate(shown->GetDateElement(TNCalendar::deYear),
                 shown->GetDateElement(TNCalendar::deMonth), 1);
}

QJsonObject TfrmCaleProdu::callJournal(const QString &method, const QVariantList &params)
{
    ActiveShowAvi(host::MainForm(), 1);
    auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
    return CheckResultServ(netCaleComp->AppServer()->Call(method, params), true, 0);
}

void TfrmCaleProdu::showHistory()
{
    const QDate month = selectedMonth();
    TClientDataSet history;
    history.SetData(
        callJournal(QStringLiteral("GetHistorico"),
                    {stCDFILIAL, stCDPERIPRODU, month, month.addDays(month.daysInMonth() - 1)}));
    const auto text = [this](const char *key) { return msgPadrao->Msg(QLatin1String(key)); };
    TChangesWindow window({text("HIST_TITULO"),
                           {text("HIST_NUMERO"), text("HIST_MOMENTO"), text("HIST_OPERADOR"),
                            text("HIST_COMANDO"), text("HIST_INCLUIDOS"), text("HIST_EXCLUIDOS")},
                           text("HIST_DETALHES"),
                           text("JOURNAL_FECHAR"),
                           text("JOURNAL_SALVAR"),
                           text("JOURNAL_IMPRIMIR"),
                           QStringLiteral("QMR07700")},
                          this);
    for (history.First(); !history.Eof(); history.Next()) {
        const auto field = [&history](const char *name) {
            return history.FieldByName(QLatin1String(name))->AsString();
        };
        const bool inEffect = field("IDVIGENTE") != QLatin1String("N");
        window.AddRow({field("NRALTERACAO"),
                       localMoment(history.FieldByName(QStringLiteral("DTHRALTERACAO"))),
                       field("NMOPERADOR"), field("NMMETODO"), field("QTINCLUIDOS"),
                       field("QTEXCLUIDOS")},
                      {text(inEffect ? "HIST_VIGENTE" : "HIST_DESFEITA")});
    }
    window.ShowModal();
}

void TfrmCaleProdu::undoNewestChange()
{
    TClientDataSet history;
    history.SetData(callJournal(QStringLiteral("GetHistorico"),
                                {stCDFILIAL, stCDPERIPRODU, QDate(1, 1, 1), QDate(9999, 12, 31)}));
    for (history.First(); !history.Eof(); history.Next())
        if (history.FieldByName(QStringLiteral("IDVIGENTE"))->AsString() != QLatin1String("N"))
            break;
    if (history.Eof()) {
        MensErro(msgPadrao->Msg(QStringLiteral("DESF_NENHUMA")), false);
        return;
    }
    const auto field = [&history](const char *name) {
        return history.FieldByName(QLatin1String(name))->AsString();
    };
    // The set's own counts: what it added is taken out again, what it removed comes back.
    const QString question =
        msgPadrao->Msg(QStringLiteral("DESF_CONFIRMA"))
            .arg(field("NRALTERACAO"), field("NMMETODO"), field("NMOPERADOR"),
                 localMoment(history.FieldByName(QStringLiteral("DTHRALTERACAO"))),
                 field("QTINCLUIDOS"), field("QTEXCLUIDOS"));
    if (MessageDlg(question, TMsgDlgType::mtConfirmation, mbYesNo) != mrYes)
        return;
    callJournal(QStringLiteral("GetDesfazer"), {field("NRALTERACAO").toInt()});
    cdsCaleProdu->Close();
    ReloadAfterServerChange(QStringLiteral("DESF_RECARREGA"));
}

void TfrmCaleProdu::previewCalculation()
{
    // The selected month, as "Calcular Produção no Mês" would; the year when none is selected.
    const bool oneMonth = SelectedCalendar() != nullptr;
    const QDate start = oneMonth ? selectedMonth() : QDate(selectedMonth().year(), 1, 1);
    TClientDataSet preview;
    preview.SetData(
        callJournal(QStringLiteral("GetPreviaCalculaProducao"),
                    {stCDFILIAL, stCDPERIPRODU, start, oneMonth ? 1 : 12, DataProc(stCDFILIAL)}));
    const auto text = [this](const char *key) { return msgPadrao->Msg(QLatin1String(key)); };
    TChangesWindow window(
        {text("PREV_TITULO"),
         {text("PREV_FILIAL"), text("PREV_NOME"), text("PREV_INCLUIDOS"), text("PREV_EXCLUIDOS")},
         text("PREV_DIAS"),
         text("JOURNAL_FECHAR"),
         text("JOURNAL_SALVAR"),
         text("JOURNAL_IMPRIMIR"),
         QStringLiteral("QMR07700")},
        this);
    const host::ChangeSummary summary =
        host::SummarizeChanges(preview, text("PREV_INCLUIDO"), text("PREV_EXCLUIDO"));
    window.ShowSummary(summary, text("PREV_TOTAL"));
    window.AddCommand(text("PREV_CALCULAR"),
                      [this, oneMonth] { CalculaProducao(oneMonth ? sbtCalcMes : sbtCalcAno); });
    window.ShowModal();
}

} // namespace Cli_qmr07700
