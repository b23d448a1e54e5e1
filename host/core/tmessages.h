#pragma once

#include "calehost_export.h"
#include "core/dialogs.h"

#include <QList>
#include <QObject>
#include <QString>

#include <utility>

// A screen's keyed table of operator texts, kept in the order it was loaded.
class CALEHOST_EXPORT TMessages : public QObject
{
    Q_OBJECT
public:
    explicit TMessages(QObject *owner = nullptr);

    // Replaces the table by the lines "key|text" of a file or Qt resource; false when unreadable.
    bool LoadFromFile(const QString &path);
    // Replaces the table by the lines "key|text" of a text.
    void LoadFromString(const QString &text);
    // Adds an entry at the end, or replaces the text of an existing key in place.
    void Add(const QString &key, const QString &text);

    // The text of a key; empty when the key is missing.
    QString Msg(const QString &key) const;
    bool Contains(const QString &key) const;
    QStringList Keys() const;
    int Count() const { return int(m_entries.size()); }

    // Shows the text of a key in a modal box and returns the button chosen (mrYes = 6).
    int ShowMsg(const QString &key, TMsgDlgType dialogType, TMsgDlgButtons buttons,
                int helpContext = 0) const;

private:
    QList<std::pair<QString, QString>> m_entries;
};
