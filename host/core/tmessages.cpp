#include "core/tmessages.h"

#include <QFile>

TMessages::TMessages(QObject *owner)
    : QObject(owner)
{}

bool TMessages::LoadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    LoadFromString(QString::fromUtf8(file.readAll()));
    return true;
}

void TMessages::LoadFromString(const QString &text)
{
    m_entries.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar <= 0)
            continue;
        Add(line.left(bar), line.mid(bar + 1));
    }
}

void TMessages::Add(const QString &key, const QString &text)
{
    for (auto &entry : m_entries) {
        if (entry.first == key) {
            entry.second = text;
            return;
        }
    }
    m_entries.append({key, text});
}

QString TMessages::Msg(const QString &key) const
{
    for (const auto &entry : m_entries) {
        if (entry.first == key)
            return entry.second;
    }
    return {};
}

bool TMessages::Contains(const QString &key) const
{
    for (const auto &entry : m_entries) {
        if (entry.first == key)
            return true;
    }
    return false;
}

QStringList TMessages::Keys() const
{
    QStringList keys;
    keys.reserve(m_entries.size());
    for (const auto &entry : m_entries)
        keys.append(entry.first);
    return keys;
}

int TMessages::ShowMsg(const QString &key, TMsgDlgType dialogType, TMsgDlgButtons buttons,
                       int helpContext) const
{
    return MessageDlg(Msg(key), dialogType, buttons, helpContext);
}
