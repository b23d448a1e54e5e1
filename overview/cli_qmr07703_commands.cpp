// The overview's commands on its rows: open a branch's calendar, calculate the year on the selected
// branches (previewed first, undoable as one change), open the export dialog towards them.

#include "cli_qmr07703.h"

#include "calendar/cli_qmr07700.h"
#include "export/cli_qmr07702.h"

#include "controls/showavi.h"
#include "controls/tmaskedit.h"
#include "controls/tspinedit.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/tmessages.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"
#include "reporting/reportcommands.h"
#include "screens/tchangeswindow.h"

#include <QTableWidgetItem>

#include <QScopeGuard>

namespace Cli_qmr07703 {

namespace {

QList<BranchCalendar> liveOnly(const QList<BranchCalendar> &branches)
{
    QList<BranchCalendar> live;
    std::copy_if(branches.begin(), branches.end(), std::back_inserter(live),
                 [](const BranchCalendar &branch) { return !branch.rescinded; });
    return live;
}

int totalOf(const QList<BranchCalendar> &rows, const QString &code)
{
    for (const BranchCalendar &branch : rows) {
        if (branch.code == code)
            return branch.total;
    }
    return 0;
}

} // namespace

void TfrmVisaoGeral::AbrirCalendario(int row)
{
    if (row < 0 || row >= m_shown.size())
        return;
    const BranchCalendar &branch = m_rows.at(m_shown.at(row));
    Cli_qmr07700::AbreCaleProdu(branch.code, medCdPeriodicidade->Text(), speAno->Value());
}

void TfrmVisaoGeral::sbtCalcAnoClick(QObject *)
{
    const QList<BranchCalendar> selected = Selecionadas();
    if (selected.isEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("NENHUMA_SEL")), true);
    const QList<BranchCalendar> live = liveOnly(selected);
    if (live.isEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("NENHUMA_VIVA")), true);
    const int year = speAno->Value();
    QStringList codes;
    for (const BranchCalendar &branch : live)
        codes << branch.code;
    // One call for every branch, so that the calculation is one change set the server can undo.
    const QVariantList params{codes.join(QLatin1Char(',')), medCdPeriodicidade->Text(),
                              QString::number(year)};
    if (!MostrarPrevia(params))
        return;
    const QString question =
        msgPadrao->Msg(QStringLiteral("CALC_CONFIRMA")).arg(year).arg(live.size());
    if (MessageDlg(question, TMsgDlgType::mtConfirmation, mbYesNo) != mrYes)
        return;

    int change = 0;
    {
        ActiveShowAvi(host::MainForm(), 1, msgPadrao->Msg(QStringLiteral("CalProducao")));
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        TClientDataSet answer;
        answer.SetData(CheckResultServ(
            netVisao->AppServer()->Call(QStringLiteral("CalculaProducaoFiliais"), params), true,
            0));
        change = answer.FieldByName(QStringLiteral("NRALTERACAO"))->AsInteger();
    }
    const QList<BranchCalendar> before = m_rows;
    Carregar();
    QStringList summary{msgPadrao->Msg(QStringLiteral("CALC_RESUMO")).arg(year)};
    for (const BranchCalendar &branch : live) {
        summary << msgPadrao->Msg(QStringLiteral("CALC_LINHA"))
                       .arg(branch.code)
                       .arg(totalOf(before, branch.code))
                       .arg(totalOf(m_rows, branch.code));
    }
    if (change == 0) {
        summary << msgPadrao->Msg(QStringLiteral("CALC_NADA"));
        MessageDlg(summary.join(QLatin1Char('\n')), TMsgDlgType::mtInformation, mbOK);
        return;
    }
    summary << QString() << msgPadrao->Msg(QStringLiteral("CALC_DESFAZER")).arg(change);
    if (MessageDlg(summary.join(QLatin1Char('\n')), TMsgDlgType::mtConfirmation, mbYesNo) != mrYes)
        return;
    {
        ActiveShowAvi(host::MainForm(), 1, msgPadrao->Msg(QStringLiteral("Desfazendo")));
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        CheckResultServ(netVisao->AppServer()->Call(QStringLiteral("GetDesfazer"), {change}), true,
                        0);
    }
    Carregar();
    MessageDlg(msgPadrao->Msg(QStringLiteral("CALC_DESFEITO")).arg(change),
               TMsgDlgType::mtInformation, mbOK);
}

bool TfrmVisaoGeral::MostrarPrevia(const QVariantList &params)
{
    TClientDataSet preview;
    {
        ActiveShowAvi(host::MainForm(), 1, msgPadrao->Msg(QStringLiteral("GetPrevia")));
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        preview.SetData(CheckResultServ(
            netVisao->AppServer()->Call(QStringLiteral("GetPreviaCalculaProducaoFiliais"), params),
            true, 0));
    }
    const auto text = [this](const char *key) { return msgPadrao->Msg(QLatin1String(key)); };
    TChangesWindow window(
        {text("PREV_TITULO"),
         {text("PREV_FILIAL"), text("PREV_NOME"), text("PREV_INCLUIDOS"), text("PREV_EXCLUIDOS")},
         text("PREV_DIAS"),
         text("PREV_FECHAR"),
         text("PREV_SALVAR"),
         text("PREV_IMPRIMIR"),
         QStringLiteral("QMR07703")},
        this);
    window.setObjectName(QStringLiteral("wndPreviaCalculo"));
    const host::ChangeSummary summary =
        host::SummarizeChanges(preview, text("PREV_INCLUIDO"), text("PREV_EXCLUIDO"));
    window.ShowSummary(summary, text("PREV_TOTAL"));
    bool calculate = false;
    window.AddCommand(text("PREV_CALCULAR"), [&calculate] { calculate = true; });
    window.ShowModal();
    return calculate;
}

void TfrmVisaoGeral::sbtExportarClick(QObject *)
{
    const QList<BranchCalendar> selected = Selecionadas();
    if (selected.isEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("NENHUMA_SEL")), true);
    const QString source = medCdFilialRef->Text().trimmed();
    if (source.isEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("EXP_ORIGEM")), true);
    QStringList destinations;
    for (const BranchCalendar &branch : liveOnly(selected)) {
        if (branch.code != source)
            destinations << branch.code;
    }
    if (destinations.isEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("NENHUMA_VIVA")), true);
    Cli_qmr07702::TfrmExportCaleProdu *dialog =
        Cli_qmr07702::CreateExportDialog(source, medCdPeriodicidade->Text(), speAno->Text());
    dialog->PresetDestinations(destinations, netVisao);
    dialog->ShowModal();
}

ReportData TfrmVisaoGeral::Relatorio() const
{
    ReportData data;
    data.definition.code = QStringLiteral("QMR07703");
    data.definition.layout.kind = QStringLiteral("table");
    data.title = msgPadrao->Msg(QStringLiteral("Titulo_Rel"))
                     .arg(medCdPeriodicidade->Text(), speAno->Text());
    data.definition.title = data.title;
    data.issued = Now();
    // Names are wider than counts; the rest share what is left.
    static const int widths[] = {5, 18, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 8, 14};
    for (int column = 0; column < grdMeses->columnCount(); ++column) {
        const QString name = QStringLiteral("C%1").arg(column);
        data.columns.append(name);
        data.definition.columns.append(
            {name, grdMeses->horizontalHeaderItem(column)->text(), widths[column]});
    }
    for (int row = 0; row < grdMeses->rowCount(); ++row) {
        QVariantList values;
        for (int column = 0; column < grdMeses->columnCount(); ++column)
            values.append(grdMeses->item(row, column)->text());
        data.rows.append(values);
    }
    return data;
}

void TfrmVisaoGeral::sbtImprimirClick(QObject *)
{
    host::PreviewReport(this, Relatorio());
}

void TfrmVisaoGeral::mnuSalvarComoClick(QObject *)
{
    host::SaveReportAs(Relatorio());
}

} // namespace Cli_qmr07703
