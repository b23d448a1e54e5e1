#pragma once

#include "calehost_export.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QListWidget;
class TDataSet;
class QPushButton;
class QTableWidget;
struct ReportData;

namespace host {

// What a preview packet (CDFILIAL, NMFILIAL, DTPRODUCAO, IDACAO "I" or "E") holds, per branch.
struct ChangeSummary
{
    struct Line
    {
        QString code;
        QString name;
        int added = 0;
        int removed = 0;
        QStringList days; // "dd/MM/yyyy  <what>"
    };
    QList<Line> lines; // in the packet's branch order
    int added = 0;
    int removed = 0;
};
CALEHOST_EXPORT ChangeSummary SummarizeChanges(TDataSet &preview, const QString &addedText,
                                               const QString &removedText);

} // namespace host

// A window that lists changes of the calendar (what a write would do, what was done): one row
// per line with its details (the days) shown on demand, an optional total row, and commands at
// the bottom, "Fechar" always last. Every text comes from the screen's message table.
class CALEHOST_EXPORT TChangesWindow : public QDialog
{
    Q_OBJECT
public:
    struct Texts
    {
        QString title;
        QStringList headers;
        QString details; // the command that shows the selected row's details
        QString close;
        QString save;  // the command that saves the rows as PDF or CSV through the report engine
        QString print; // the command that prints the rows through the report engine
        QString code;  // the screen's code, printed on the saved pages
    };

    TChangesWindow(const Texts &texts, QWidget *parent = nullptr);

    void AddRow(const QStringList &cells, const QStringList &details = {});
    // The row that sums the others, kept last.
    void SetTotal(const QStringList &cells);
    // A row per branch of a preview's summary (code, name, added, removed, its days on demand)
    // and the total row, headed `totalText`.
    void ShowSummary(const host::ChangeSummary &summary, const QString &totalText);
    // A command before "Fechar": closes the window, then runs `action`.
    QPushButton *AddCommand(const QString &caption, std::function<void()> action);

    QTableWidget *Table() const { return m_table; }
    QListWidget *Details() const { return m_details; }
    QPushButton *DetailsButton() const { return m_detailsButton; }
    QPushButton *CloseButton() const { return m_close; }
    QPushButton *SaveButton() const { return m_save; }
    QPushButton *PrintButton() const { return m_print; }
    // The rows shown (the total included) as a table report under the window's title.
    ReportData Report() const;
    // Writes that report to a PDF or CSV file, by its extension.
    void SaveTo(const QString &fileName);
    int ShowModal() { return exec(); }

private:
    void showDetails();
    void save();
    void print();

    QTableWidget *m_table = nullptr;
    QListWidget *m_details = nullptr;
    QPushButton *m_detailsButton = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_print = nullptr;
    QString m_code;
    class QHBoxLayout *m_commands = nullptr;
    QList<QStringList> m_rowDetails;
    bool m_hasTotal = false;
};
