#include "data/tadoibquery.h"

#include "core/exceptions.h"
#include "data/dtmdbgeral.h"

#include <QFile>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

TFieldType fieldTypeOf(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return TFieldType::ftInteger;
    case QMetaType::Double:
    case QMetaType::Float:
        return TFieldType::ftFloat;
    case QMetaType::QDate:
        return TFieldType::ftDate;
    case QMetaType::QDateTime:
        return TFieldType::ftDateTime;
    default:
        return TFieldType::ftString;
    }
}

} // namespace

TADOIBQuery::TADOIBQuery(QObject *owner)
    : TDataSet(owner)
{}

void TADOIBQuery::SetSQL(const QString &sql)
{
    Close();
    m_sql = sql;
    m_positionalSql.clear();
    m_placeholders.clear();

    // Replace each :NAME outside literals, quoted names and comments by a positional marker, so
    // that every engine binds it the same way; "::" is a type cast, not a parameter.
    enum { Plain, Single, Double, Line, Block } mode = Plain;
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        switch (mode) {
        case Single:
            if (c == QLatin1Char('\''))
                mode = Plain;
            break;
        case Double:
            if (c == QLatin1Char('"'))
                mode = Plain;
            break;
        case Line:
            if (c == QLatin1Char('\n'))
                mode = Plain;
            break;
        case Block:
            if (c == QLatin1Char('*') && next == QLatin1Char('/')) {
                m_positionalSql += c;
                ++i;
                m_positionalSql += next;
                mode = Plain;
                continue;
            }
            break;
        case Plain:
            if (c == QLatin1Char('\''))
                mode = Single;
            else if (c == QLatin1Char('"'))
                mode = Double;
            else if (c == QLatin1Char('-') && next == QLatin1Char('-'))
                mode = Line;
            else if (c == QLatin1Char('/') && next == QLatin1Char('*'))
                mode = Block;
            else if (c == QLatin1Char(':') && next == QLatin1Char(':')) {
                m_positionalSql += QStringLiteral("::");
                ++i;
                continue;
            } else if (c == QLatin1Char(':') && (next.isLetter() || next == QLatin1Char('_'))) {
                qsizetype end = i + 1;
                while (end < n && isNameChar(sql[end]))
                    ++end;
                m_placeholders.append(sql.mid(i + 1, end - i - 1).toUpper());
                m_positionalSql += QLatin1Char('?');
                i = end - 1;
                continue;
            }
            break;
        }
        m_positionalSql += c;
    }

    // Keep the values of parameters that the new text still names.
    std::vector<std::unique_ptr<TParam>> params;
    for (const QString &name : std::as_const(m_placeholders)) {
        if (std::any_of(params.begin(), params.end(), [&](auto &p) { return p->Name() == name; }))
            continue;
        auto old = std::find_if(m_params.begin(), m_params.end(),
                                [&](auto &p) { return p && p->Name() == name; });
        params.push_back(old != m_params.end() ? std::move(*old) : std::make_unique<TParam>(name));
    }
    m_params = std::move(params);
}

void TADOIBQuery::LoadSQL(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EDatabaseError(QStringLiteral("%1: não foi possível ler o texto da consulta %2.")
                                 .arg(objectName(), path));
    SetSQL(QString::fromUtf8(file.readAll()));
}

QStringList TADOIBQuery::ParamNames() const
{
    QStringList names;
    for (const auto &p : m_params)
        names.append(p->Name());
    return names;
}

QList<TParam *> TADOIBQuery::Params() const
{
    QList<TParam *> params;
    for (const auto &p : m_params)
        params.append(p.get());
    return params;
}

TParam *TADOIBQuery::ParamByName(const QString &name)
{
    for (const auto &p : m_params) {
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    }
    throw EDatabaseError(
        QStringLiteral("%1: parâmetro '%2' não encontrado.").arg(objectName(), name));
}

void TADOIBQuery::Open()
{
    if (Active())
        return;
    QSqlQuery query;
    QString reason;
    const bool read = dtmDBGeral::Read(
        query,
        [this](QSqlQuery &q) {
            q.setForwardOnly(true);
            if (!q.prepare(m_positionalSql))
                return false;
            for (const QString &name : std::as_const(m_placeholders)) {
                const QVariant value = ParamByName(name)->Value();
                q.addBindValue(value.isValid() ? value : QVariant(QMetaType::fromType<QString>()));
            }
            return q.exec();
        },
        &reason);
    const auto failure = [this](const QString &text) {
        return EDatabaseError(
            QStringLiteral("Erro ao consultar o banco de dados (%1): %2").arg(objectName(), text));
    };
    if (!read)
        throw failure(reason);

    const QSqlRecord record = query.record();
    QList<ColumnSpec> columns;
    QList<TFieldType> targetTypes;
    for (int c = 0; c < record.count(); ++c) {
        const QSqlField column = record.field(c);
        const TFieldType type = fieldTypeOf(column.metaType());
        columns.append({column.name().toUpper(), type, qMax(0, column.length())});
        const TField *declared = FindField(column.name());
        targetTypes.append(declared && !IsDynamic(declared) ? declared->DataType() : type);
    }
    for (const auto &field : m_fields) {
        const bool returned = std::any_of(columns.begin(), columns.end(), [&](auto &c) {
            return c.name.compare(field->FieldName(), Qt::CaseInsensitive) == 0;
        });
        if (!IsDynamic(field.get()) && !returned)
            throw EDatabaseError(QStringLiteral("%1: a consulta não retorna o campo '%2'.")
                                     .arg(objectName(), field->FieldName()));
    }

    QList<QVariantList> fetched;
    while (query.next()) {
        QVariantList values;
        values.reserve(columns.size());
        for (int c = 0; c < columns.size(); ++c)
            values.append(query.isNull(c) ? QVariant() : Coerce(query.value(c), targetTypes[c]));
        fetched.append(values);
    }
    if (query.lastError().isValid())
        throw failure(query.lastError().text());

    const QList<int> map = BindColumns(columns);
    m_rows.clear();
    m_rows.reserve(fetched.size());
    for (const QVariantList &values : fetched) {
        QVariantList row(qsizetype(m_fields.size()));
        for (qsizetype c = 0; c < values.size(); ++c)
            row[map[c]] = values[c];
        m_rows.append(row);
    }
    m_cursor = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
    SetState(TDataSetState::dsBrowse);
    emit dataChanged();
    raise(AfterOpen, this);
}
