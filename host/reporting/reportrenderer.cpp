#include "reporting/reportrenderer.h"

#include "core/exceptions.h"
#include "reporting/calendarlayout.h"
#include "reporting/reportdata.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

void checkLayout(const ReportData &data)
{
    if (data.definition.layout.kind != QLatin1String("calendar"))
        throw EDatabaseError(QStringLiteral("Relatório %1: leiaute '%2' desconhecido.")
                                 .arg(data.definition.code, data.definition.layout.kind));
}

QString csvField(const QVariant &value)
{
    QString text;
    if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
        text = value.toDate().toString(Qt::ISODate);
    else
        text = value.toString();
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

bool failWith(QString *error, const QString &fileName, const QString &reason)
{
    if (error)
        *error = QStringLiteral("Não foi possível gravar %1: %2").arg(fileName, reason);
    return false;
}

} // namespace

namespace host {

QPageLayout ReportPageLayout()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12),
                       QPageLayout::Millimeter);
}

void PaintReport(const ReportData &data, QPagedPaintDevice *device)
{
    checkLayout(data);
    PaintCalendarReport(data, device);
}

bool WriteReportPdf(const ReportData &data, const QString &fileName, QString *error)
{
    checkLayout(data);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return failWith(error, fileName, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(ReportPageLayout());
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("%1 - %2").arg(data.definition.code, data.title));
        writer.setCreator(QStringLiteral("caleprodu"));
        PaintReport(data, &writer);
    }
    if (!file.commit())
        return failWith(error, fileName, file.errorString());
    return true;
}

bool WriteReportCsv(const ReportData &data, const QString &fileName, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return failWith(error, fileName, file.errorString());
    QStringList lines{data.columns.join(QLatin1Char(','))};
    for (const QVariantList &row : data.rows) {
        QStringList fields;
        for (const QVariant &value : row)
            fields.append(csvField(value));
        lines.append(fields.join(QLatin1Char(',')));
    }
    file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    if (!file.commit())
        return failWith(error, fileName, file.errorString());
    return true;
}

bool WriteReportFile(const ReportData &data, const QString &fileName, QString *error)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return WriteReportPdf(data, fileName, error);
    if (suffix == QLatin1String("csv"))
        return WriteReportCsv(data, fileName, error);
    if (error)
        *error =
            QStringLiteral("Formato de saída desconhecido: %1 (use .pdf ou .csv).").arg(fileName);
    return false;
}

} // namespace host
