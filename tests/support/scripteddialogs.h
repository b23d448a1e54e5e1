#pragma once

#include "core/dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Test double of the host's dialogs: records every message and list and answers as scripted.
// Installs itself while it lives and puts the previous dialogs back when destroyed.
class ScriptedDialogs : public Dialogs
{
public:
    struct Message
    {
        TMsgDlgType kind;
        QString text;
        TMsgDlgButtons buttons;
        int helpContext;
    };
    struct ListCall
    {
        QString title;
        QStringList headers;
        QList<QStringList> rows;
        QString emptyText;
        QList<int> chosenBefore;
        int currentRow = 0; // the row a lookup opened on
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    int MessageBox(TMsgDlgType kind, const QString &text, TMsgDlgButtons buttons,
                   int helpContext) override;
    int Lookup(const QString &title, const QStringList &headers, const QList<QStringList> &rows,
               const QString &emptyText) override;
    int LookupAt(const QString &title, const QStringList &headers, const QList<QStringList> &rows,
                 const QString &emptyText, int currentRow) override;
    bool ListSearch(const QString &title, const QStringList &headers,
                    const QList<QStringList> &rows, QList<int> &chosenRows) override;
    bool PrintSetup(QPrinter *printer) override;
    QString SaveFileName(const QString &title, const QString &fileName,
                         const QString &filter) override;
    // Records the preview and draws its pages into previewFile (a PDF) when one is set.
    void PrintPreview(QPrinter *printer, const std::function<void(QPrinter *)> &paint) override;
    // Records the prompt and accepts the proposed value, or inputAnswer when one is set.
    bool InputQuery(const QString &caption, const QString &prompt, QString &value) override;

    // The texts of the messages shown so far, in order.
    QStringList texts() const;
    void clear();

    // What was shown.
    QList<Message> messages;
    QList<ListCall> lookups;
    QList<ListCall> listSearches;
    QList<QString> saveRequests;
    int previews = 0;
    QStringList inputPrompts;

    // Answers, taken in order. A message with no scripted answer gets Yes or OK, whichever it
    // offers; a lookup with none is cancelled (-1); a list search with none is cancelled
    // (std::nullopt cancels too); print set-up is accepted unless printAnswer says otherwise.
    QList<int> answers;
    QList<int> lookupAnswers;
    QList<std::optional<QList<int>>> listAnswers;
    bool printAnswer = true;
    QString saveAnswer;
    QString previewFile;
    // When set, an accepted print set-up sends the pages to this PDF file instead of a printer.
    QString printFile;
    std::optional<QString> inputAnswer;

    // When true, each message opens a real modal window that takes the activation and the
    // focus while it is open, as a real message box does.
    bool takeFocus = false;
    // Runs while each message is shown (inside the modal window's loop when takeFocus is set).
    std::function<void(const Message &)> whileShown;

private:
    Dialogs *m_previous;
};
