// The overview's commands on its rows: open a branch's calendar, calculate the year on the selected
// branches, open the export dialog towards them.

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
#include "net/tnetconnection.h"
#include "reporting/reportcommands.h"

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
    const QString question =
        msgPadrao->Msg(QStringLiteral("CALC_CONFIRMA")).arg(year).arg(live.size());
    if (MessageDlg(question, TMsgDlgType::mtConfirmation, mbYesNo) != mrYes)
        return;

    const QString periodicity = medCdPeriodicidade->Text();
    QStringList failures;
    {
        ActiveShowAvi(host::MainForm(), 1, msgPadrao->Msg(QStringLiteral("CalProducao")));
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        for (const BranchCalendar &branch : live) {
            const TServerResult result = netVisao->AppServer()->Call(
                QStringLiteral("CalculaProducao"),
                {branch.code, periodicity, QDate(year, 1, 1), 12, DataProc(branch.code)});
            if (!result.ok)
                failures << msgPadrao->Msg(QStringLiteral("CALC_FALHA"))
                                .arg(branch.code, result.message);
        }
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
    summary << failures;
    MessageDlg(summary.join(QLatin1Char('\n')), TMsgDlgType::mtInformation, mbOK);
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
