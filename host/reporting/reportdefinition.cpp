#include "reporting/reportdefinition.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString g_directory;

bool isPlainName(const QString &code)
{
    if (code.isEmpty())
        return false;
    return std::all_of(code.begin(), code.end(), [](QChar c) {
        return (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('_');
    });
}

// The SQL text: one string, or an array of lines.
QString sqlText(const QJsonValue &value)
{
    if (!value.isArray())
        return value.toString();
    QStringList lines;
    for (const QJsonValue &line : value.toArray())
        lines.append(line.toString());
    return lines.join(QLatin1Char('\n'));
}

ReportParameter readParameter(const QJsonObject &object)
{
    ReportParameter parameter;
    parameter.name = object.value(QLatin1String("name")).toString();
    parameter.label = object.value(QLatin1String("label")).toString(parameter.name);
    parameter.type = object.value(QLatin1String("type")).toString(QStringLiteral("string"));
    parameter.width = object.value(QLatin1String("width")).toInt();
    parameter.defaultValue = object.value(QLatin1String("default")).toVariant();
    parameter.required = object.value(QLatin1String("required")).toBool();
    return parameter;
}

ReportLayout readLayout(const QJsonObject &object)
{
    ReportLayout layout;
    layout.kind = object.value(QLatin1String("kind")).toString();
    for (const QJsonValue &value : object.value(QLatin1String("groups")).toArray()) {
        const QJsonObject group = value.toObject();
        layout.groups.append({group.value(QLatin1String("label")).toString(),
                              group.value(QLatin1String("code")).toString(),
                              group.value(QLatin1String("name")).toString()});
    }
    layout.dateField = object.value(QLatin1String("date")).toString();
    layout.from = object.value(QLatin1String("from")).toString();
    layout.to = object.value(QLatin1String("to")).toString();
    return layout;
}

} // namespace

const ReportParameter *ReportDefinition::Parameter(const QString &name) const
{
    for (const ReportParameter &parameter : parameters) {
        if (parameter.name.compare(name, Qt::CaseInsensitive) == 0)
            return &parameter;
    }
    return nullptr;
}

EReportNotFound::EReportNotFound(const QString &code, const QString &directory)
    : Exception(QStringLiteral("O arquivo contendo a definição do Relatório de código '%1' não "
                               "foi encontrado no diretório '%2'.")
                    .arg(code, directory))
    , m_code(code)
    , m_directory(directory)
{}

namespace host {

QString ReportsDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("CALEPRODU_REPORTS_DIR");
    if (!fromEnvironment.isEmpty())
        return QDir(fromEnvironment).absolutePath();
    if (!g_directory.isEmpty())
        return QDir(g_directory).absolutePath();
    const QDir binaries(QCoreApplication::applicationDirPath());
    const QStringList candidates{
        binaries.absoluteFilePath(QStringLiteral("../share/caleprodu/reports")),
        binaries.absoluteFilePath(QStringLiteral("reports"))};
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isDir())
            return QDir::cleanPath(candidate);
    }
    return QDir::cleanPath(candidates.first());
}

void SetReportsDirectory(const QString &directory)
{
    g_directory = directory;
}

ReportDefinition LoadReportDefinition(const QString &code)
{
    const QString directory = ReportsDirectory();
    if (!isPlainName(code))
        throw EReportNotFound(code, directory);
    const QString fileName = QDir(directory).absoluteFilePath(code + QStringLiteral(".json"));
    QFile file(fileName);
    if (!file.exists())
        throw EReportNotFound(code, directory);
    if (!file.open(QIODevice::ReadOnly))
        throw EDatabaseError(QStringLiteral("Não foi possível ler a definição do relatório %1: %2")
                                 .arg(fileName, file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonObject object = document.object();
    ReportDefinition definition;
    definition.fileName = fileName;
    definition.code = object.value(QLatin1String("code")).toString(code);
    definition.title = object.value(QLatin1String("title")).toString();
    definition.sql = sqlText(object.value(QLatin1String("sql")));
    for (const QJsonValue &value : object.value(QLatin1String("parameters")).toArray())
        definition.parameters.append(readParameter(value.toObject()));
    for (const QJsonValue &value : object.value(QLatin1String("columns")).toArray()) {
        const QJsonObject column = value.toObject();
        const QString name = column.value(QLatin1String("name")).toString();
        definition.columns.append({name, column.value(QLatin1String("label")).toString(name)});
    }
    for (const QJsonValue &value : object.value(QLatin1String("summary")).toArray()) {
        const QJsonObject entry = value.toObject();
        definition.summary.append({entry.value(QLatin1String("label")).toString(),
                                   entry.value(QLatin1String("all")).toString(),
                                   entry.value(QLatin1String("list")).toString(),
                                   entry.value(QLatin1String("from")).toString(),
                                   entry.value(QLatin1String("to")).toString()});
    }
    definition.layout = readLayout(object.value(QLatin1String("layout")).toObject());
    if (parseError.error != QJsonParseError::NoError || !document.isObject() ||
        definition.sql.trimmed().isEmpty() || definition.columns.isEmpty())
        throw EDatabaseError(QStringLiteral("Definição do relatório %1 inválida em %2%3.")
                                 .arg(code, fileName,
                                      parseError.error != QJsonParseError::NoError
                                          ? QStringLiteral(": ") + parseError.errorString()
                                          : QString()));
    return definition;
}

} // namespace host
