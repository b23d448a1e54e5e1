#include "screens/tchangeswindow.h"

#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/exceptions.h"
#include "data/tdataset.h"
#include "reporting/reportcommands.h"
#include "reporting/reportdata.h"
#include "reporting/reportrenderer.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace host {

ChangeSummary SummarizeChanges(TDataSet &preview, const QString &addedText,
                               const QString &removedText)
{
    ChangeSummary summary;
    for (preview.First(); !preview.Eof(); preview.Next()) {
        const QString code = preview.FieldByName(QStringLiteral("CDFILIAL"))->AsString();
        if (summary.lines.isEmpty() || summary.lines.last().code != code)
            summary.lines.append(
                {code, preview.FieldByName(QStringLiteral("NMFILIAL"))->AsString(), 0, 0, {}});
        ChangeSummary::Line &line = summary.lines.last();
        const bool added = preview.FieldByName(QStringLiteral("IDACAO"))->AsString() == "I";
        (added ? line.added : line.removed)++;
        (added ? summary.added : summary.removed)++;
        line.days.append(
            preview.FieldByName(QStringLiteral("DTPRODUCAO"))->AsDate().toString("dd/MM/yyyy") +
            QStringLiteral("  ") + (added ? addedText : removedText));
    }
    return summary;
}

} // namespace host

TChangesWindow::TChangesWindow(const Texts &texts, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TChangesWindow"));
    setWindowTitle(texts.title);
    setAccessibleName(texts.title);
    resize(560, 420);

    m_table = new QTableWidget(0, int(texts.headers.size()), this);
    m_table->setObjectName(QStringLiteral("grdAlteracoes"));
    m_table->setAccessibleName(texts.title);
    m_table->setHorizontalHeaderLabels(texts.headers);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_details = new QListWidget(this);
    m_details->setObjectName(QStringLiteral("lstDetalhes"));
    m_details->setAccessibleName(texts.details);
    m_details->setMaximumHeight(110);

    m_detailsButton = new QPushButton(texts.details, this);
    m_detailsButton->setObjectName(QStringLiteral("btnDetalhes"));
    m_detailsButton->setAccessibleName(texts.details);
    m_code = texts.code;
    m_save = new QPushButton(texts.save, this);
    m_save->setObjectName(QStringLiteral("btnSalvar"));
    m_save->setAccessibleName(texts.save);
    m_print = new QPushButton(texts.print, this);
    m_print->setObjectName(QStringLiteral("btnImprimir"));
    m_print->setAccessibleName(texts.print);
    m_close = new QPushButton(texts.close, this);
    m_close->setObjectName(QStringLiteral("btnFechar"));
    m_close->setAccessibleName(texts.close);

    m_commands = new QHBoxLayout;
    m_commands->addWidget(m_detailsButton);
    m_commands->addWidget(m_save);
    m_commands->addWidget(m_print);
    m_commands->addStretch();
    m_commands->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_details);
    layout->addLayout(m_commands);

    connect(m_detailsButton, &QPushButton::clicked, this, &TChangesWindow::showDetails);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &TChangesWindow::showDetails);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, [this] { host::guard(this, [this] { save(); }); });
    connect(m_print, &QPushButton::clicked, this,
            [this] { host::guard(this, [this] { print(); }); });
}

void TChangesWindow::AddRow(const QStringList &cells, const QStringList &details)
{
    // Rows go above the total.
    const int row = m_table->rowCount() - (m_hasTotal ? 1 : 0);
    m_table->insertRow(row);
    for (int column = 0; column < cells.size(); ++column)
        m_table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    m_rowDetails.insert(row, details);
    if (row == 0)
        m_table->selectRow(0);
}

void TChangesWindow::SetTotal(const QStringList &cells)
{
    if (!m_hasTotal) {
        m_table->insertRow(m_table->rowCount());
        m_rowDetails.append(QStringList());
        m_hasTotal = true;
    }
    const int row = m_table->rowCount() - 1;
    for (int column = 0; column < cells.size(); ++column) {
        auto *item = new QTableWidgetItem(cells.at(column));
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        m_table->setItem(row, column, item);
    }
}

void TChangesWindow::ShowSummary(const host::ChangeSummary &summary, const QString &totalText)
{
    for (const host::ChangeSummary::Line &line : summary.lines)
        AddRow({line.code, line.name, QString::number(line.added), QString::number(line.removed)},
               line.days);
    SetTotal(
        {totalText, QString(), QString::number(summary.added), QString::number(summary.removed)});
}

QPushButton *TChangesWindow::AddCommand(const QString &caption, std::function<void()> action)
{
    auto *button = new QPushButton(caption, this);
    button->setAccessibleName(caption);
    m_commands->insertWidget(m_commands->count() - 1, button);
    connect(button, &QPushButton::clicked, this, [this, action = std::move(action)] {
        accept();
        // Run from the event loop: a refusal ends here, shown, and never reaches Qt.
        host::guard(this, action);
    });
    return button;
}

void TChangesWindow::save()
{
    const QString fileName = CurrentDialogs()->SaveFileName(
        windowTitle(), m_code + QStringLiteral(".pdf"), QStringLiteral("PDF (*.pdf);;CSV (*.csv)"));
    if (!fileName.isEmpty())
        SaveTo(fileName);
}

void TChangesWindow::print()
{
    host::PrintReport(Report());
}

ReportData TChangesWindow::Report() const
{
    ReportData data;
    data.definition.code = m_code;
    data.definition.title = windowTitle();
    data.definition.layout.kind = QStringLiteral("table");
    data.title = windowTitle();
    data.issued = QDateTime::currentDateTime();
    for (int column = 0; column < m_table->columnCount(); ++column) {
        const QString header = m_table->horizontalHeaderItem(column)->text();
        data.columns.append(header);
        data.definition.columns.append({header, header});
    }
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QVariantList values;
        for (int column = 0; column < m_table->columnCount(); ++column)
            values.append(m_table->item(row, column) ? m_table->item(row, column)->text()
                                                     : QString());
        data.rows.append(values);
    }
    return data;
}

void TChangesWindow::SaveTo(const QString &fileName)
{
    QString error;
    if (!host::WriteReportFile(Report(), fileName, &error, host::CsvStyle::Spreadsheet))
        throw Exception(error);
}

void TChangesWindow::showDetails()
{
    m_details->clear();
    const int row = m_table->currentRow();
    if (row >= 0 && row < m_rowDetails.size())
        m_details->addItems(m_rowDetails.at(row));
}
