#include "reporting/reportcommands.h"

#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "reporting/reportdata.h"
#include "reporting/reportrenderer.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>

namespace host {

void PreviewReport(QObject *context, const ReportData &data)
{
    QPrinter printer(QPrinter::HighResolution);
    // Preview, print and the saved PDF share the paper, so their pages match.
    printer.setPageLayout(ReportPageLayout());
    printer.setDocName(data.title);
    CurrentDialogs()->PrintPreview(&printer, [context, &data](QPrinter *target) {
        guard(context, [&] { PaintReport(data, target); });
    });
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
