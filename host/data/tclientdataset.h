#pragma once

#include "calehost_export.h"
#include "data/tdataset.h"

#include <QJsonObject>

// In-memory record set with a change log, filled from and sent back as data packets.
class CALEHOST_EXPORT TClientDataSet : public TDataSet
{
    Q_OBJECT
public:
    explicit TClientDataSet(QObject *owner = nullptr);

    // Opens the set empty on its declared fields.
    void CreateDataSet();
    // Opens the set empty when it is closed; an open set stays as it is.
    void Open();
    void Close() override;

    void Append() override;
    void Insert() override;
    void Edit() override;
    void Post() override;
    void Cancel() override;
    void Delete() override;

    // Loads a packet as the whole content and opens the set; the change log starts empty.
    // A malformed packet raises EDatabaseError and leaves the set as it was.
    void SetData(const QJsonObject &packet);
    // The current content as a packet.
    QJsonObject Data() const;
    // The changes since the last load or merge as a change-set packet.
    QJsonObject Delta() const;
    // Number of rows inserted, deleted or changed since the last load or merge.
    int ChangeCount() const;
    // The dates of the rows inserted or changed since the last load or merge.
    QSet<QDate> PendingDateSet(const QString &fieldName) const override;
    // Makes the current content the base, emptying the change log.
    void MergeChangeLog();
    // Discards every change since the last load or merge, a pending record included.
    void CancelUpdates();

    TNotifyEvent BeforeInsert;
    TNotifyEvent OnNewRecord;
    TNotifyEvent AfterInsert;
    TNotifyEvent BeforePost;
    TNotifyEvent AfterPost;
    TNotifyEvent BeforeDelete;
    TNotifyEvent AfterDelete;

    // The packet type name of a field type ("string", "integer", "float", "date", "datetime").
    static QString TypeName(TFieldType type);

private:
    void BeginInsert(bool append);
    void OpenWith(QList<QVariantList> rows);
    QJsonObject FieldsPacket() const;

    QList<qint64> m_rowIds;     // identity of each current row, parallel to m_rows
    QList<QVariantList> m_base; // content at the last load or merge
    QList<qint64> m_baseIds;
    qint64 m_nextId = 1;
    int m_insertPos = -1;
};
