#include "controls/tbtnpesquisa.h"

#include "controls/pesquisalista.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "data/tdataset.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

// The text of a code field, whichever kind of edit it is.
QString codeText(QWidget *associate)
{
    QWidget *editor = associate;
    while (editor && editor->focusProxy())
        editor = editor->focusProxy();
    const auto *edit = qobject_cast<QLineEdit *>(editor);
    return edit ? edit->text().trimmed() : QString();
}

// The row whose code (the first column shown) is the typed code, the typed code completed with
// leading zeros to the column's width included ("1" finds "0001"); -1 when none is.
int rowOfCode(const QList<QStringList> &rows, const QString &code)
{
    if (code.isEmpty())
        return -1;
    for (int row = 0; row < rows.size(); ++row) {
        const QString key = rows[row].value(0).trimmed();
        if (key == code ||
            (key.size() > code.size() && key == code.rightJustified(key.size(), QLatin1Char('0'))))
            return row;
    }
    return -1;
}

} // namespace

TBtnPesquisa::TBtnPesquisa(QWidget *parent)
    : TSpeedButton(parent)
{
    SetHint(QStringLiteral("Pesquisar"));
    connect(this, &QToolButton::clicked, this,
            [this] { host::guard(this, [this] { Execute(); }); });
}

void TBtnPesquisa::SetAssociate(QWidget *edit)
{
    if (m_associate)
        m_associate->removeEventFilter(this);
    m_associate = edit;
    if (edit)
        edit->installEventFilter(this);
}

bool TBtnPesquisa::eventFilter(QObject *watched, QEvent *event)
{
    // F9 in the code field opens its lookup, as a click on the button does, with or without
    // modifier keys; a disabled button leaves the key alone.
    if (watched == m_associate && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_F9 && isEnabled()) {
        host::guard(this, [this] { Execute(); });
        return true;
    }
    return TSpeedButton::eventFilter(watched, event);
}

void TBtnPesquisa::Execute()
{
    bool proceed = true;
    ::raise(OnBeforePesq, this, proceed);
    if (!proceed)
        return;
    TDataSet *dataSet = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (!dataSet || dataSet->IsEmpty()) {
        if (!m_emptyError.isEmpty())
            ShowError(m_emptyError);
        return;
    }
    QStringList headers;
    QList<QStringList> rows;
    host::listRows(dataSet, headers, rows);
    const int current = qMax(0, rowOfCode(rows, codeText(m_associate)));
    const int chosen = CurrentDialogs()->LookupAt(m_title, headers, rows, m_emptyError, current);
    if (chosen < 0 || chosen >= rows.size())
        return;
    dataSet->MoveTo(chosen);
    ::raise(OnAfterPesq, this);
}
