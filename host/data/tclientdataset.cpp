#include "data/tclientdataset.h"

#include "core/exceptions.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QTime>

namespace {

bool fieldTypeFromName(const QString &name, TFieldType *type)
{
    static const QHash<QString, TFieldType> types = {
        {QStringLiteral("string"), TFieldType::ftString},
        {QStringLiteral("integer"), TFieldType::ftInteger},
        {QStringLiteral("float"), TFieldType::ftFloat},
        {QStringLiteral("date"), TFieldType::ftDate},
        {QStringLiteral("datetime"), TFieldType::ftDateTime},
    };
    const auto it = types.constFind(name.toLower());
    if (it == types.constEnd())
        return false;
    *type = *it;
    return true;
}

QJsonValue toJson(const QVariant &value, TFieldType type)
{
    if (!value.isValid())
        return QJsonValue::Null;
    switch (type) {
    case TFieldType::ftString:
        return value.toString();
    case TFieldType::ftInteger:
        return value.toInt();
    case TFieldType::ftFloat:
        return value.toDouble();
    case TFieldType::ftDate:
        return value.toDate().toString(Qt::ISODate);
    case TFieldType::ftDateTime: {
        // Days without a time travel as plain dates, the form every method expects.
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate)
                                        : dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    }
    }
    return QJsonValue::Null;
}

QJsonArray rowToJson(const QVariantList &row, const std::vector<std::unique_ptr<TField>> &fields)
{
    QJsonArray array;
    for (size_t i = 0; i < fields.size(); ++i)
        array.append(toJson(row.value(int(i)), fields[i]->DataType()));
    return array;
}

[[noreturn]] void badPacket(const QString &what)
{
    throw EDatabaseError(QStringLiteral("Pacote de dados inválido: %1").arg(what));
}

} // namespace

TClientDataSet::TClientDataSet(QObject *owner)
    : TDataSet(owner)
{}

QString TClientDataSet::TypeName(TFieldType type)
{
    switch (type) {
    case TFieldType::ftString:
        return QStringLiteral("string");
    case TFieldType::ftInteger:
        return QStringLiteral("integer");
    case TFieldType::ftFloat:
        return QStringLiteral("float");
    case TFieldType::ftDate:
        return QStringLiteral("date");
    case TFieldType::ftDateTime:
        return QStringLiteral("datetime");
    }
    return {};
}

void TClientDataSet::CreateDataSet()
{
    if (m_fields.empty())
        throw EDatabaseError(QStringLiteral("%1: nenhum campo definido.").arg(objectName()));
    if (Active())
        Close();
    OpenWith({});
}

void TClientDataSet::Open()
{
    if (!Active())
        CreateDataSet();
}

void TClientDataSet::Close()
{
    m_rowIds.clear();
    m_base.clear();
    m_baseIds.clear();
    m_insertPos = -1;
    TDataSet::Close();
}

void TClientDataSet::OpenWith(QList<QVariantList> rows)
{
    m_editBuffer.clear();
    m_insertPos = -1;
    m_rows = std::move(rows);
    m_rowIds.clear();
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        m_rowIds.append(m_nextId++);
    m_base = m_rows;
    m_baseIds = m_rowIds;
    m_cursor = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
    SetState(TDataSetState::dsBrowse);
    emit dataChanged();
    raise(AfterOpen, this);
}

void TClientDataSet::SetData(const QJsonObject &packet)
{
    // Parse and convert everything first: a bad packet must leave the current content intact.
    const QJsonValue fieldsValue = packet.value(QStringLiteral("fields"));
    const QJsonValue rowsValue = packet.value(QStringLiteral("rows"));
    if (!fieldsValue.isUndefined() && !fieldsValue.isArray())
        badPacket(QStringLiteral("\"fields\" não é uma lista."));
    if (!rowsValue.isUndefined() && !rowsValue.isArray())
        badPacket(QStringLiteral("\"rows\" não é uma lista."));

    QList<ColumnSpec> columns;
    QList<TFieldType> targetTypes;
    for (const QJsonValue &f : fieldsValue.toArray()) {
        const QJsonObject field = f.toObject();
        const QString name = field.value(QStringLiteral("name")).toString();
        TFieldType type = TFieldType::ftString;
        if (name.isEmpty())
            badPacket(QStringLiteral("campo sem nome."));
        if (!fieldTypeFromName(field.value(QStringLiteral("type")).toString(), &type))
            badPacket(QStringLiteral("tipo desconhecido no campo %1.").arg(name));
        for (const ColumnSpec &c : columns) {
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                badPacket(QStringLiteral("campo %1 repetido.").arg(name));
        }
        columns.append({name, type, field.value(QStringLiteral("size")).toInt()});
        const TField *declared = FindField(name);
        targetTypes.append(declared && !IsDynamic(declared) ? declared->DataType() : type);
    }

    QList<QVariantList> converted;
    for (const QJsonValue &r : rowsValue.toArray()) {
        const QJsonArray row = r.toArray();
        if (!r.isArray() || row.size() != columns.size())
            badPacket(QStringLiteral("linha com %1 valores para %2 campos.")
                          .arg(row.size())
                          .arg(columns.size()));
        QVariantList values;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QJsonValue cell = row.at(c);
            const QVariant value = Coerce(cell.toVariant(), targetTypes[c]);
            if (!cell.isNull() && !value.isValid() &&
                !(cell.isString() && cell.toString().trimmed().isEmpty()))
                badPacket(QStringLiteral("valor inválido no campo %1.").arg(columns[c].name));
            values.append(value);
        }
        converted.append(values);
    }

    const QList<int> map = BindColumns(columns);
    QList<QVariantList> rows;
    rows.reserve(converted.size());
    for (const QVariantList &values : converted) {
        QVariantList row(qsizetype(m_fields.size()));
        for (qsizetype c = 0; c < values.size(); ++c)
            row[map[c]] = values[c];
        rows.append(row);
    }
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        SetState(TDataSetState::dsBrowse);
    OpenWith(std::move(rows));
}

QJsonObject TClientDataSet::FieldsPacket() const
{
    QJsonArray fields;
    for (const auto &field : m_fields) {
        QJsonObject f{{QStringLiteral("name"), field->FieldName()},
                      {QStringLiteral("type"), TypeName(field->DataType())}};
        if (field->Size() > 0)
            f.insert(QStringLiteral("size"), field->Size());
        fields.append(f);
    }
    return {{QStringLiteral("fields"), fields}};
}

QJsonObject TClientDataSet::Data() const
{
    QJsonObject packet = FieldsPacket();
    QJsonArray rows;
    if (Active()) {
        for (const QVariantList &row : m_rows)
            rows.append(rowToJson(row, m_fields));
    }
    packet.insert(QStringLiteral("rows"), rows);
    return packet;
}

QJsonObject TClientDataSet::Delta() const
{
    QJsonArray deletes, updates, inserts;
    QHash<qint64, qsizetype> current;
    for (qsizetype i = 0; i < m_rowIds.size(); ++i)
        current.insert(m_rowIds[i], i);
    QSet<qint64> inBase;
    for (qsizetype b = 0; b < m_baseIds.size(); ++b) {
        inBase.insert(m_baseIds[b]);
        const auto it = current.constFind(m_baseIds[b]);
        if (it == current.constEnd()) {
            deletes.append(QJsonObject{{QStringLiteral("op"), QStringLiteral("delete")},
                                       {QStringLiteral("row"), rowToJson(m_base[b], m_fields)}});
        } else if (m_rows[*it] != m_base[b]) {
            updates.append(QJsonObject{{QStringLiteral("op"), QStringLiteral("update")},
                                       {QStringLiteral("old"), rowToJson(m_base[b], m_fields)},
                                       {QStringLiteral("new"), rowToJson(m_rows[*it], m_fields)}});
        }
    }
    for (qsizetype i = 0; i < m_rowIds.size(); ++i) {
        if (!inBase.contains(m_rowIds[i]))
            inserts.append(QJsonObject{{QStringLiteral("op"), QStringLiteral("insert")},
                                       {QStringLiteral("row"), rowToJson(m_rows[i], m_fields)}});
    }
    // Deletions first: a day removed and added again must end up present.
    QJsonArray changes = deletes;
    for (const QJsonValue &v : updates)
        changes.append(v);
    for (const QJsonValue &v : inserts)
        changes.append(v);
    QJsonObject packet = FieldsPacket();
    packet.insert(QStringLiteral("rows"), QJsonArray());
    packet.insert(QStringLiteral("changes"), changes);
    return packet;
}

int TClientDataSet::ChangeCount() const
{
    return int(Delta().value(QStringLiteral("changes")).toArray().size());
}

QSet<QDate> TClientDataSet::PendingDateSet(const QString &fieldName) const
{
    QSet<QDate> dates;
    const int index = FieldIndex(fieldName);
    if (!Active() || index < 0)
        return dates;
    QHash<qint64, qsizetype> base;
    for (qsizetype b = 0; b < m_baseIds.size(); ++b)
        base.insert(m_baseIds[b], b);
    for (qsizetype i = 0; i < m_rowIds.size(); ++i) {
        const auto it = base.constFind(m_rowIds[i]);
        if (it != base.constEnd() && m_base[*it] == m_rows[i])
            continue;
        if (const QDate date = DateOf(m_rows[i].at(index)); date.isValid())
            dates.insert(date);
    }
    return dates;
}

void TClientDataSet::MergeChangeLog()
{
    m_base = m_rows;
    m_baseIds = m_rowIds;
    // Nothing is unsaved any more: controls that show unsaved rows apart repaint.
    emit dataChanged();
}

void TClientDataSet::CancelUpdates()
{
    if (!Active())
        return;
    m_editBuffer.clear();
    m_insertPos = -1;
    m_rows = m_base;
    m_rowIds = m_baseIds;
    m_cursor = m_rows.isEmpty() ? -1 : qBound(0, m_cursor, int(m_rows.size()) - 1);
    m_eof = m_rows.isEmpty();
    SetState(TDataSetState::dsBrowse);
    emit dataChanged();
}

void TClientDataSet::Append()
{
    BeginInsert(true);
}

void TClientDataSet::Insert()
{
    BeginInsert(false);
}

void TClientDataSet::BeginInsert(bool append)
{
    CheckBrowseMode();
    raise(BeforeInsert, this);
    m_editBuffer = QVariantList(qsizetype(m_fields.size()));
    m_insertPos = append || m_cursor < 0 ? int(m_rows.size()) : m_cursor;
    SetState(TDataSetState::dsInsert);
    try {
        raise(OnNewRecord, this);
    } catch (...) {
        m_editBuffer.clear();
        m_insertPos = -1;
        SetState(TDataSetState::dsBrowse);
        throw;
    }
    raise(AfterInsert, this);
}

void TClientDataSet::Edit()
{
    CheckActive();
    if (m_state != TDataSetState::dsBrowse)
        return;
    if (m_cursor < 0)
        throw EDatabaseError(QStringLiteral("%1: conjunto vazio.").arg(objectName()));
    m_editBuffer = m_rows[m_cursor];
    SetState(TDataSetState::dsEdit);
}

void TClientDataSet::Post()
{
    CheckActive();
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        return;
    raise(BeforePost, this);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i]->Required() && !m_editBuffer.value(int(i)).isValid())
            throw EDatabaseError(
                QStringLiteral("Campo '%1' deve ser informado.").arg(m_fields[i]->DisplayLabel()));
    }
    if (m_state == TDataSetState::dsInsert) {
        const int pos = qBound(0, m_insertPos, int(m_rows.size()));
        m_rows.insert(pos, m_editBuffer);
        m_rowIds.insert(pos, m_nextId++);
        m_cursor = pos;
    } else {
        m_rows[m_cursor] = m_editBuffer;
    }
    m_eof = false;
    m_editBuffer.clear();
    m_insertPos = -1;
    SetState(TDataSetState::dsBrowse);
    emit dataChanged();
    raise(AfterPost, this);
}

void TClientDataSet::Cancel()
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        return;
    m_editBuffer.clear();
    m_insertPos = -1;
    SetState(TDataSetState::dsBrowse);
    emit dataChanged();
}

void TClientDataSet::Delete()
{
    CheckActive();
    if (m_state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    Cancel();
    if (m_cursor < 0)
        throw EDatabaseError(QStringLiteral("%1: conjunto vazio.").arg(objectName()));
    raise(BeforeDelete, this);
    m_rows.removeAt(m_cursor);
    m_rowIds.removeAt(m_cursor);
    if (m_cursor >= m_rows.size())
        m_cursor = int(m_rows.size()) - 1;
    m_eof = m_rows.isEmpty();
    emit dataChanged();
    raise(AfterDelete, this);
}
