#pragma once

#include "calehost_export.h"
#include "controls/tspeedbutton.h"
#include "core/events.h"

#include <QPointer>

class TDataSource;

// A lookup button: lists the rows of its data source's data set and, when the operator picks one,
// leaves the data set on that row and raises OnAfterPesq. Hint "Pesquisar"; takes no focus. F9 in
// its associated edit runs it too, and the list opens on the row of the code in that edit.
class CALEHOST_EXPORT TBtnPesquisa : public TSpeedButton
{
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);

    QWidget *Associate() const { return m_associate; }
    void SetAssociate(QWidget *edit);
    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }
    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source) { m_dataSource = source; }
    // Shown as an error instead of the list when the data set has no rows.
    QString EmptyError() const { return m_emptyError; }
    void SetEmptyError(const QString &text) { m_emptyError = text; }

    // Runs the lookup as a click does: OnBeforePesq, the list, OnAfterPesq on a choice.
    void Execute();

    // Raised before the list; setting Continue to false ends the lookup.
    TBeforePesqEvent OnBeforePesq;
    // Raised after the operator chose a row, with the data set on that row.
    TNotifyEvent OnAfterPesq;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_associate;
    QPointer<TDataSource> m_dataSource;
    QString m_title;
    QString m_emptyError;
};
