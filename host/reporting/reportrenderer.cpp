#include "reporting/reportrenderer.h"

#include "core/exceptions.h"
#include "reporting/calendarlayout.h"
#include "reporting/reportdata.h"
#include "reporting/tablelayout.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

void checkLayout(const ReportData &data)
{
    if (data.definition.layout.kind != QLatin1String("calendar") &&
        data.definition.layout.kind != QLatin1String("table"))
        throw EDatabaseError(QStringLiteral("Relatório %1: leiaute '%2' desconhecido.")
                                 .arg(data.definition.code, data.definition.layout.kind));
}

// A date, whether the driver gives it as a date (PostgreSQL) or as ISO text (SQLite).
QDate dateValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime)
        return value.toDate();
    const QString text = value.toString();
    static const QRegularExpression isoDate(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    return isoDate.match(text).hasMatch() ? QDate::fromString(text, Qt::ISODate) : QDate();
}

QString csvField(const QVariant &value, host::CsvStyle style)
{
    const QChar separator =
        style == host::CsvStyle::Spreadsheet ? QLatin1Char(';') : QLatin1Char(',');
    QString text = value.toString();
    if (const QDate date = dateValue(value); date.isValid())
        text = style == host::CsvStyle::Spreadsheet ? date.toString(QStringLiteral("dd/MM/yyyy"))
                                                    : date.toString(Qt::ISODate);
    if (text.contains(separator) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

QString columnLabel(const ReportData &data, const QString &name)
{
    for (const ReportColumn &column : data.definition.columns) {
        if (column.name == name && !column.label.isEmpty())
            return column.label;
    }
    return name;
}

// The header: the columns' names for programs, their labels for people.
QVariantList csvHeader(const ReportData &data, host::CsvStyle style)
{
    QVariantList header;
    for (const QString &name : data.columns)
        header.append(style == host::CsvStyle::Spreadsheet ? columnLabel(data, name) : name);
    return header;
}

QString csvLine(const QVariantList &values, host::CsvStyle style)
{
    QStringList fields;
    for (const QVariant &value : values)
        fields.append(csvField(value, style));
    return fields.join(style == host::CsvStyle::Spreadsheet ? QLatin1Char(';') : QLatin1Char(','));
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
    if (data.definition.layout.kind == QLatin1String("table"))
        PaintTableReport(data, device);
    else
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

bool WriteReportCsv(const ReportData &data, const QString &fileName, QString *error, CsvStyle style)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return failWith(error, fileName, file.errorString());
    // The byte order mark is how a spreadsheet knows the file is UTF-8.
    if (style == CsvStyle::Spreadsheet)
        file.write("\xEF\xBB\xBF");
    QStringList lines{csvLine(csvHeader(data, style), style)};
    for (const QVariantList &row : data.rows)
        lines.append(csvLine(row, style));
    file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    if (!file.commit())
        return failWith(error, fileName, file.errorString());
    return true;
}

bool WriteReportFile(const ReportData &data, const QString &fileName, QString *error,
                     CsvStyle style)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return WriteReportPdf(data, fileName, error);
    if (suffix == QLatin1String("csv"))
        return WriteReportCsv(data, fileName, error, style);
    if (error)
        *error =
            QStringLiteral("Formato de saída desconhecido: %1 (use .pdf ou .csv).").arg(fileName);
    return false;
}

} // namespace host
