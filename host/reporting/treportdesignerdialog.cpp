#include "reporting/treportdesignerdialog.h"

#include "data/hostfunctions.h"
#include "data/operatorcontext.h"
#include "data/tadoibquery.h"

TReportParams::TReportParams(TADOIBQuery *query)
    : m_query(query)
{}

TParam *TReportParams::ParamByName(const QString &name) const
{
    return m_query->ParamByName(name);
}

QList<TParam *> TReportParams::Items() const
{
    return m_query->Params();
}

namespace host {

QString NormalizeCodeList(const QString &parameter, const QString &list, int width)
{
    QStringList codes;
    for (const QString &element : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString code = element.trimmed();
        if (code.isEmpty())
            continue;
        const bool digits = std::all_of(code.begin(), code.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!digits || (width > 0 && code.size() > width))
            throw EDatabaseError(QStringLiteral("Parâmetro %1: código inválido '%2' na lista.")
                                     .arg(parameter, code));
        const QString full = Ajusta(code, width);
        if (!codes.contains(full))
            codes.append(full);
    }
    codes.sort();
    return codes.join(QLatin1Char(','));
}

} // namespace host

namespace {

// Checks a value against its declared kind and gives the value to bind.
QVariant boundValue(const ReportParameter *declared, const TParam *param)
{
    const QVariant value = param->Value();
    if (!declared)
        return value;
    const bool missing = !value.isValid() || value.isNull() ||
                         (value.typeId() == QMetaType::QString && value.toString().isEmpty());
    if (declared->type == QLatin1String("date")) {
        if (missing) {
            if (declared->required)
                throw EDatabaseError(QStringLiteral("Parâmetro %1 (%2) não informado.")
                                         .arg(param->Name(), declared->label));
            return value;
        }
        QDate date = value.toDate();
        if (value.typeId() == QMetaType::QString)
            date = QDate::fromString(value.toString().trimmed(), Qt::ISODate);
        if (!date.isValid())
            throw EDatabaseError(
                QStringLiteral("Parâmetro %1: data inválida '%2' (use AAAA-MM-DD).")
                    .arg(param->Name(), value.toString()));
        // Days are stored without a time: a date-time would not compare equal to them.
        return date;
    }
    if (declared->type == QLatin1String("codelist"))
        return host::NormalizeCodeList(param->Name(), value.toString(), declared->width);
    if (missing && declared->required)
        throw EDatabaseError(
            QStringLiteral("Parâmetro %1 (%2) não informado.").arg(param->Name(), declared->label));
    return value;
}

} // namespace

TReportDesignerDialog::TReportDesignerDialog(QObject *owner)
    : QObject(owner)
{}

ReportDefinition TReportDesignerDialog::Definition() const
{
    return host::LoadReportDefinition(m_reportCode);
}

bool TReportDesignerDialog::Execute(const QString &title, ReportData *data)
{
    ReportDefinition definition = Definition();
    TADOIBQuery query;
    query.setObjectName(definition.code);
    query.SetSQL(definition.sql);
    for (TParam *param : query.Params()) {
        if (const ReportParameter *declared = definition.Parameter(param->Name());
            declared && declared->defaultValue.isValid())
            param->SetValue(declared->defaultValue);
    }
    TReportParams params(&query);
    bool proceed = true;
    if (BeforeGetQueryParams)
        BeforeGetQueryParams(&params, proceed);
    if (!proceed)
        return false;

    data->parameters.clear();
    for (TParam *param : query.Params()) {
        const QVariant value = boundValue(definition.Parameter(param->Name()), param);
        param->SetValue(value);
        data->parameters.append({param->Name(), value});
    }
    const ReportLayout &layout = definition.layout;
    if (!layout.from.isEmpty() && !layout.to.isEmpty() &&
        data->Parameter(layout.from).toDate() > data->Parameter(layout.to).toDate())
        throw EDatabaseError(
            QStringLiteral("Período inválido: %1 é posterior a %2.")
                .arg(data->Parameter(layout.from).toDate().toString(QStringLiteral("dd/MM/yyyy")),
                     data->Parameter(layout.to).toDate().toString(QStringLiteral("dd/MM/yyyy"))));
    query.Open();

    data->columns.clear();
    QList<int> indexes;
    for (const ReportColumn &column : std::as_const(definition.columns)) {
        data->columns.append(column.name);
        indexes.append(query.FieldIndex(column.name));
        if (indexes.last() < 0)
            throw EDatabaseError(QStringLiteral("%1: a consulta não retorna o campo '%2'.")
                                     .arg(definition.code, column.name));
    }
    data->rows.clear();
    for (int row = 0; row < query.RecordCount(); ++row) {
        QVariantList values;
        for (int index : std::as_const(indexes))
            values.append(query.ValueAt(row, index));
        data->rows.append(values);
    }
    data->title = title.trimmed().isEmpty() ? definition.title : title.trimmed();
    data->definition = std::move(definition);
    data->issued = Now();
    return true;
}
