#include "data/tdataset.h"

#include "core/exceptions.h"

#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cmath>

namespace {

QDate parseDate(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    QDate d = QDate::fromString(t.left(10), Qt::ISODate);
    if (!d.isValid())
        d = QDate::fromString(t.left(10), QStringLiteral("dd/MM/yyyy"));
    return d;
}

QDateTime parseDateTime(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (dt.isValid())
        return dt;
    const QDate d = parseDate(t);
    return d.isValid() ? QDateTime(d, QTime(0, 0)) : QDateTime();
}

bool isStringType(const QVariant &value)
{
    return value.typeId() == QMetaType::QString;
}

} // namespace

// ---- TField ------------------------------------------------------------------------------------

TField::TField(TDataSet *dataSet, const QString &name, TFieldType type, int size)
    : m_dataSet(dataSet)
    , m_name(name)
    , m_type(type)
    , m_size(size)
{}

QVariant TField::Value() const
{
    const int index = m_dataSet ? m_dataSet->IndexOfField(this) : -1;
    return index < 0 ? QVariant() : m_dataSet->CurrentValue(index);
}

void TField::SetValue(const QVariant &value)
{
    const int index = m_dataSet ? m_dataSet->IndexOfField(this) : -1;
    if (index < 0)
        throw EDatabaseError(
            QStringLiteral("Campo '%1' não pertence ao conteúdo atual.").arg(m_name));
    m_dataSet->SetCurrentValue(index, value);
}

bool TField::IsNull() const
{
    return !Value().isValid();
}

QString TField::AsString() const
{
    const QVariant v = Value();
    if (!v.isValid())
        return {};
    switch (m_type) {
    case TFieldType::ftDate:
        return v.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case TFieldType::ftDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("dd/MM/yyyy"))
                                        : dt.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    }
    case TFieldType::ftFloat:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

int TField::AsInteger() const
{
    const QVariant v = Value();
    if (!v.isValid())
        return 0;
    if (m_type == TFieldType::ftFloat)
        return int(std::lround(v.toDouble()));
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : 0;
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    bool ok = false;
    const double d = v.isValid() ? v.toDouble(&ok) : 0.0;
    return ok ? d : 0.0;
}

QDate TField::AsDate() const
{
    const QVariant v = Value();
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate();
    case QMetaType::QDateTime:
        return v.toDateTime().date();
    case QMetaType::QString:
        return parseDate(v.toString());
    default:
        return {};
    }
}

QString TField::DisplayText() const
{
    QString text = AsString();
    if (OnGetText)
        OnGetText(const_cast<TField *>(this), text, true);
    return text;
}

// ---- TDataSet ----------------------------------------------------------------------------------

TDataSet::TDataSet(QObject *owner)
    : QObject(owner)
{}

TDataSet::~TDataSet() = default;

TField *TDataSet::AddField(const QString &name, TFieldType type, int size)
{
    if (Active())
        throw EDatabaseError(
            QStringLiteral("Não é possível criar o campo '%1' com o conjunto aberto.").arg(name));
    if (FindField(name))
        throw EDatabaseError(QStringLiteral("Campo '%1' duplicado.").arg(name));
    m_fields.push_back(std::make_unique<TField>(this, name, type, size));
    return m_fields.back().get();
}

TField *TDataSet::FindField(const QString &name) const
{
    const int index = FieldIndex(name);
    return index < 0 ? nullptr : m_fields[size_t(index)].get();
}

TField *TDataSet::FieldByName(const QString &name) const
{
    if (TField *field = FindField(name))
        return field;
    throw EDatabaseError(QStringLiteral("%1: campo '%2' não encontrado.").arg(objectName(), name));
}

int TDataSet::FieldIndex(const QString &name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i]->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int TDataSet::IndexOfField(const TField *field) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].get() == field)
            return int(i);
    }
    return -1;
}

QVariant TDataSet::ValueAt(int row, int fieldIndex) const
{
    if (!Active() || row < 0 || row >= m_rows.size() || fieldIndex < 0 ||
        fieldIndex >= m_rows[row].size())
        return {};
    return m_rows[row][fieldIndex];
}

QSet<QDate> TDataSet::DateSet(const QString &fieldName) const
{
    QSet<QDate> dates;
    const int index = FieldIndex(fieldName);
    if (!Active() || index < 0)
        return dates;
    for (const QVariantList &row : m_rows) {
        const QDate d = DateOf(row.at(index));
        if (d.isValid())
            dates.insert(d);
    }
    return dates;
}

QSet<QDate> TDataSet::PendingDateSet(const QString &) const
{
    return {};
}

QDate TDataSet::DateOf(const QVariant &value)
{
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
}

void TDataSet::CheckActive() const
{
    if (!Active())
        throw EDatabaseError(
            QStringLiteral("%1: operação não permitida com o conjunto fechado.").arg(objectName()));
}

void TDataSet::CheckBrowseMode()
{
    CheckActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        Post();
}

void TDataSet::First()
{
    CheckBrowseMode();
    m_cursor = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
}

void TDataSet::Next()
{
    CheckBrowseMode();
    if (m_cursor + 1 < m_rows.size())
        ++m_cursor;
    else
        m_eof = true;
}

bool TDataSet::Eof() const
{
    return !Active() || m_rows.isEmpty() || m_eof;
}

void TDataSet::MoveTo(int row)
{
    CheckBrowseMode();
    if (m_rows.isEmpty())
        return;
    m_cursor = qBound(0, row, int(m_rows.size()) - 1);
    m_eof = false;
}

void TDataSet::Close()
{
    if (!Active())
        return;
    m_editBuffer.clear();
    m_rows.clear();
    m_cursor = -1;
    m_eof = true;
    SetState(TDataSetState::dsInactive);
    emit dataChanged();
    raise(AfterClose, this);
}

void TDataSet::Append()
{
    throw EDatabaseError(QStringLiteral("%1: conjunto somente leitura.").arg(objectName()));
}

void TDataSet::Insert()
{
    Append();
}

void TDataSet::Edit()
{
    Append();
}

void TDataSet::Delete()
{
    Append();
}

// A read-only set never holds a pending record, so there is nothing to post or cancel.
void TDataSet::Post() {}

void TDataSet::Cancel() {}

void TDataSet::SetState(TDataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
    raise(OnStateChange, this);
}

QVariant TDataSet::CurrentValue(int fieldIndex) const
{
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert)
        return fieldIndex < m_editBuffer.size() ? m_editBuffer[fieldIndex] : QVariant();
    return ValueAt(m_cursor, fieldIndex);
}

void TDataSet::SetCurrentValue(int fieldIndex, const QVariant &value)
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        throw EDatabaseError(
            QStringLiteral("%1: o registro não está em inclusão ou alteração.").arg(objectName()));
    const TField *field = m_fields[size_t(fieldIndex)].get();
    const QVariant converted = Coerce(value, field->DataType());
    const bool blankText = isStringType(value) && value.toString().trimmed().isEmpty();
    if (value.isValid() && !converted.isValid() && !blankText)
        throw EDatabaseError(QStringLiteral("'%1' não é um valor válido para o campo '%2'.")
                                 .arg(value.toString(), field->FieldName()));
    m_editBuffer[fieldIndex] = converted;
}

QList<int> TDataSet::BindColumns(const QList<ColumnSpec> &columns)
{
    QList<int> map;
    QSet<int> used;
    for (const ColumnSpec &column : columns) {
        int index = FieldIndex(column.name);
        if (index >= 0 && m_fields[size_t(index)]->m_dynamic) {
            m_fields[size_t(index)]->m_type = column.type;
            m_fields[size_t(index)]->m_size = column.size;
        }
        if (index < 0) {
            // A field retired by earlier content comes back, so pointers taken then stay live.
            auto it = std::find_if(m_retiredFields.begin(), m_retiredFields.end(), [&](auto &f) {
                return f->FieldName().compare(column.name, Qt::CaseInsensitive) == 0;
            });
            if (it != m_retiredFields.end()) {
                m_fields.push_back(std::move(*it));
                m_retiredFields.erase(it);
                m_fields.back()->m_type = column.type;
                m_fields.back()->m_size = column.size;
            } else {
                m_fields.push_back(
                    std::make_unique<TField>(this, column.name, column.type, column.size));
                m_fields.back()->m_dynamic = true;
            }
            index = int(m_fields.size()) - 1;
        }
        map.append(index);
        used.insert(index);
    }
    // Fields of earlier content that this content lacks leave the list but stay alive.
    for (size_t i = m_fields.size(); i-- > 0;) {
        if (m_fields[i]->m_dynamic && !used.contains(int(i))) {
            m_retiredFields.push_back(std::move(m_fields[i]));
            m_fields.erase(m_fields.begin() + std::ptrdiff_t(i));
            for (int &m : map) {
                if (m > int(i))
                    --m;
            }
        }
    }
    return map;
}

QVariant TDataSet::Coerce(const QVariant &value, TFieldType type)
{
    if (!value.isValid() || value.isNull())
        return {};
    bool ok = false;
    switch (type) {
    case TFieldType::ftString:
        switch (value.typeId()) {
        case QMetaType::QDate:
            return value.toDate().toString(Qt::ISODate);
        case QMetaType::Double:
            return QString::number(value.toDouble(), 'g', 15);
        default:
            return value.toString();
        }
    case TFieldType::ftInteger: {
        if (value.typeId() == QMetaType::Double) {
            const double d = value.toDouble();
            return std::isfinite(d) ? QVariant(int(std::lround(d))) : QVariant();
        }
        const int n = value.toString().trimmed().toInt(&ok);
        return ok ? QVariant(n) : QVariant();
    }
    case TFieldType::ftFloat: {
        const double d = value.typeId() == QMetaType::QString
                             ? value.toString().trimmed().toDouble(&ok)
                             : value.toDouble(&ok);
        return ok ? QVariant(d) : QVariant();
    }
    case TFieldType::ftDate: {
        QDate d;
        if (value.typeId() == QMetaType::QDate)
            d = value.toDate();
        else if (value.typeId() == QMetaType::QDateTime)
            d = value.toDateTime().date();
        else
            d = parseDate(value.toString());
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::ftDateTime: {
        QDateTime dt;
        if (value.typeId() == QMetaType::QDate)
            dt = value.toDate().isValid() ? QDateTime(value.toDate(), QTime(0, 0)) : QDateTime();
        else if (value.typeId() == QMetaType::QDateTime)
            dt = value.toDateTime();
        else
            dt = parseDateTime(value.toString());
        return dt.isValid() ? QVariant(dt) : QVariant();
    }
    }
    return {};
}

// ---- TDataSource -------------------------------------------------------------------------------

TDataSource::TDataSource(QObject *owner)
    : QObject(owner)
{}

void TDataSource::SetDataSet(TDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    if (m_dataSet) {
        connect(m_dataSet, &TDataSet::stateChanged, this, &TDataSource::dataSetStateChanged);
        connect(m_dataSet, &TDataSet::dataChanged, this, [this] {
            if (m_enabled)
                emit dataChanged();
        });
        connect(m_dataSet, &QObject::destroyed, this, [this] {
            m_dataSet = nullptr;
            dataSetStateChanged();
        });
    }
    dataSetStateChanged();
    if (m_enabled)
        emit dataChanged();
}

void TDataSource::SetEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    dataSetStateChanged();
    emit dataChanged();
}

TDataSetState TDataSource::State() const
{
    return m_enabled && m_dataSet ? m_dataSet->State() : TDataSetState::dsInactive;
}

void TDataSource::dataSetStateChanged()
{
    const TDataSetState state = State();
    if (state == m_lastState)
        return;
    m_lastState = state;
    emit stateChanged();
    raise(OnStateChange, this);
}
