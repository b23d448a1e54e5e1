#include "tbtnpesquisa.h"

#include "dialogs.h"
#include "eventboundary.h"
#include "pesquisalista.h"
#include "tdataset.h"

TBtnPesquisa::TBtnPesquisa(QWidget *parent)
    : TSpeedButton(parent)
{
    SetHint(QStringLiteral("Pesquisar"));
    connect(this, &QToolButton::clicked, this,
            [this] { host::guard(this, [this] { Execute(); }); });
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
    const int chosen = CurrentDialogs()->Lookup(m_title, headers, rows, m_emptyError);
    if (chosen < 0 || chosen >= rows.size())
        return;
    dataSet->MoveTo(chosen);
    ::raise(OnAfterPesq, this);
}
