#include "reporting/reportcommands.h"

#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "reporting/reportdata.h"
#include "reporting/reportrenderer.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

namespace host {

namespace {

// Preview, print and the saved PDF share the paper, so their pages match.
void setUpPrinter(QPrinter &printer, const ReportData &data)
{
    printer.setPageLayout(ReportPageLayout());
    printer.setDocName(data.title);
}

} // namespace

void PreviewReport(QObject *context, const ReportData &data)
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, data);
    CurrentDialogs()->PrintPreview(&printer, [context, &data](QPrinter *target) {
        guard(context, [&] { PaintReport(data, target); });
    });
}

void PrintReport(const ReportData &data)
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, data);
    if (CurrentDialogs()->PrintSetup(&printer))
        PaintReport(data, &printer);
}

void SaveReportAs(const ReportData &data)
{
    const QString pdf = QStringLiteral("PDF (*.pdf)");
    const QString csv = QStringLiteral("CSV (*.csv)");
    const QString suggested = QDir::home().absoluteFilePath(data.definition.code + ".pdf");
    QString fileName = CurrentDialogs()->SaveFileName(QStringLiteral("Salvar relatório"), suggested,
                                                      pdf + QStringLiteral(";;") + csv);
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".pdf");
    QString error;
    if (!WriteReportFile(data, fileName, &error, CsvStyle::Spreadsheet))
        MensErro(error, true);
}

} // namespace host
