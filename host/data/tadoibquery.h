#pragma once

#include "calehost_export.h"
#include "data/tdataset.h"

#include <QDateTime>
#include <QStringList>

// A named parameter of a query, a text or a date; unassigned it binds as null.
class CALEHOST_EXPORT TParam
{
public:
    explicit TParam(const QString &name)
        : m_name(name)
    {}
    QString Name() const { return m_name; }
    QString AsString() const { return m_value.toString(); }
    void SetAsString(const QString &value)
    {
        m_value = value.isNull() ? QStringLiteral("") : value;
    }
    QDateTime AsDateTime() const { return m_value.toDateTime(); }
    void SetAsDateTime(const QDateTime &value) { m_value = value; }
    QVariant Value() const { return m_value; }
    void SetValue(const QVariant &value) { m_value = value; }
    bool IsNull() const { return !m_value.isValid(); }
    void Clear() { m_value = QVariant(); }

private:
    QString m_name;
    QVariant m_value;
};

// Read-only query on dtmDBGeral: prepared statement with bound parameters, all rows fetched on
// open. Fields the screen declares before opening keep their label, size and visibility.
class CALEHOST_EXPORT TADOIBQuery : public TDataSet
{
    Q_OBJECT
public:
    explicit TADOIBQuery(QObject *owner = nullptr);

    QString SQL() const { return m_sql; }
    // Sets the statement text; parameters of the same name keep their values.
    void SetSQL(const QString &sql);
    // Reads the statement text from a file or Qt resource; EDatabaseError when unreadable.
    void LoadSQL(const QString &path);

    QStringList ParamNames() const;
    // The parameter of that name (case-insensitive); EDatabaseError when the text has none.
    TParam *ParamByName(const QString &name);
    void SetParam(const QString &name, const QString &value)
    {
        ParamByName(name)->SetAsString(value);
    }

    // The parameters, in the order the text first names them.
    QList<TParam *> Params() const;

    // Runs the statement; a database failure raises EDatabaseError and leaves the query closed.
    void Open();
    bool IsOpen() const { return Active(); }

private:
    QString m_sql;
    QString m_positionalSql;    // the text with each :NAME replaced by ?
    QStringList m_placeholders; // parameter name of each ?, in order (repeats included)
    std::vector<std::unique_ptr<TParam>> m_params;
};
