#pragma once

#include "calehost_export.h"
#include "core/events.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
enum class TFieldType { ftString, ftInteger, ftFloat, ftDate, ftDateTime };

class TDataSet;
class TField;

using TFieldGetTextEvent = std::function<void(TField *Sender, QString &Text, bool DisplayText)>;

// One column of a data set, read and written at the data set's current record.
class CALEHOST_EXPORT TField
{
public:
    TField(TDataSet *dataSet, const QString &name, TFieldType type, int size = 0);

    QString FieldName() const { return m_name; }
    TFieldType DataType() const { return m_type; }
    int Size() const { return m_size; }
    QString DisplayLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    void SetDisplayLabel(const QString &label) { m_label = label; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool Required() const { return m_required; }
    void SetRequired(bool required) { m_required = required; }
    TDataSet *DataSet() const { return m_dataSet; }

    // Null on a closed or empty data set; null reads as 0, empty text or a null date.
    QVariant Value() const;
    void SetValue(const QVariant &value);
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;
    double AsFloat() const;
    QDate AsDate() const;
    void SetAsString(const QString &value) { SetValue(value); }
    void SetAsDate(const QDate &value) { SetValue(value); }
    void Clear() { SetValue(QVariant()); }
    // The text shown for the value: OnGetText when set, else AsString (dates as dd/MM/yyyy).
    QString DisplayText() const;

    TFieldGetTextEvent OnGetText;

private:
    friend class TDataSet;

    TDataSet *m_dataSet;
    QString m_name;
    TFieldType m_type;
    int m_size;
    QString m_label;
    bool m_visible = true;
    bool m_required = false;
    bool m_dynamic = false; // created from loaded content rather than declared by the screen
};

// Common ground of the client record set and the read-only query: fields, rows, a cursor, a state.
class CALEHOST_EXPORT TDataSet : public QObject
{
    Q_OBJECT
public:
    explicit TDataSet(QObject *owner = nullptr);
    ~TDataSet() override;

    TField *AddField(const QString &name, TFieldType type, int size = 0);
    TField *FindField(const QString &name) const;   // case-insensitive; null when absent
    TField *FieldByName(const QString &name) const; // throws EDatabaseError when absent
    const std::vector<std::unique_ptr<TField>> &Fields() const { return m_fields; }

    bool Active() const { return m_state != TDataSetState::dsInactive; }
    TDataSetState State() const { return m_state; }
    bool IsEmpty() const { return !Active() || m_rows.isEmpty(); }
    int RecordCount() const { return Active() ? int(m_rows.size()) : 0; }
    int RecNo() const { return m_cursor; } // 0-based; -1 when none
    void First();
    void Next();
    bool Eof() const;
    void MoveTo(int row);

    // Value of a field at a row without moving the cursor (for painting and lists).
    QVariant ValueAt(int row, int fieldIndex) const;
    int FieldIndex(const QString &name) const; // -1 when absent
    // Every date of a date column (null dates left out), for controls that paint a set of days.
    QSet<QDate> DateSet(const QString &fieldName) const;
    // The dates of that column in rows changed since they were loaded and not yet saved; none for
    // a set that keeps no change log.
    virtual QSet<QDate> PendingDateSet(const QString &fieldName) const;

    virtual void Close();
    // Editing; a read-only set refuses Append, Insert, Edit and Delete with EDatabaseError and has
    // nothing to Post or Cancel.
    virtual void Append();
    virtual void Insert();
    virtual void Edit();
    virtual void Post();
    virtual void Cancel();
    virtual void Delete();

    // Raised after every change of State.
    TNotifyEvent OnStateChange;
    TNotifyEvent AfterOpen;
    TNotifyEvent AfterClose;

signals:
    void stateChanged();
    // The rows changed (opened, posted, deleted, closed): bound controls repaint.
    void dataChanged();

protected:
    friend class TField;
    void SetState(TDataSetState state);
    QVariant CurrentValue(int fieldIndex) const;
    virtual void SetCurrentValue(int fieldIndex, const QVariant &value);
    int IndexOfField(const TField *field) const;
    // Posts a pending record before the cursor moves, so no edit is lost.
    void CheckBrowseMode();
    void CheckActive() const;
    // The date a date or date-time value holds; invalid for null.
    static QDate DateOf(const QVariant &value);

    struct ColumnSpec
    {
        QString name;
        TFieldType type;
        int size;
    };
    // Matches loaded columns to the fields by name (declared fields keep their settings) and
    // returns, per column, the index of its field.
    QList<int> BindColumns(const QList<ColumnSpec> &columns);
    // Fields created from loaded content, as opposed to those the screen declared.
    static bool IsDynamic(const TField *field) { return field->m_dynamic; }
    // Converts a loaded or assigned value to the canonical type of a field; invalid: null.
    static QVariant Coerce(const QVariant &value, TFieldType type);

    std::vector<std::unique_ptr<TField>> m_fields;
    // Fields of earlier content that the current one lacks; kept so that pointers stay valid.
    std::vector<std::unique_ptr<TField>> m_retiredFields;
    QList<QVariantList> m_rows;
    QVariantList m_editBuffer; // the record being inserted or edited
    int m_cursor = -1;
    bool m_eof = true;
    TDataSetState m_state = TDataSetState::dsInactive;
};

// The link between a data set and data-aware controls.
class CALEHOST_EXPORT TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject *owner = nullptr);

    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    // Inactive when disabled or without a data set.
    TDataSetState State() const;

    TNotifyEvent OnStateChange;

signals:
    void stateChanged();
    void dataChanged();

private:
    void dataSetStateChanged();

    TDataSet *m_dataSet = nullptr;
    bool m_enabled = true;
    TDataSetState m_lastState = TDataSetState::dsInactive;
};
