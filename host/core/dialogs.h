#pragma once

#include "calehost_export.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

// Kind of a message box.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons of a message box, combined as flags.
using TMsgDlgButtons = int;
inline constexpr TMsgDlgButtons mbYes = 0x1;
inline constexpr TMsgDlgButtons mbNo = 0x2;
inline constexpr TMsgDlgButtons mbOK = 0x4;
inline constexpr TMsgDlgButtons mbCancel = 0x8;
inline constexpr TMsgDlgButtons mbYesNo = mbYes | mbNo;
inline constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;
inline constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;

// Button codes a message box returns.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// Every dialog the host and the screens open goes through one of these, so tests can script them.
class CALEHOST_EXPORT Dialogs
{
public:
    virtual ~Dialogs();

    // Shows a modal message box and returns the code of the button chosen (mrYes, mrOk, ...).
    virtual int MessageBox(TMsgDlgType kind, const QString &text, TMsgDlgButtons buttons,
                           int helpContext) = 0;
    // Lets the operator pick one row of a list; returns its index, or -1 when cancelled.
    virtual int Lookup(const QString &title, const QStringList &headers,
                       const QList<QStringList> &rows, const QString &emptyText) = 0;
    // The same, with the list opening on currentRow (the row of the code already in the field);
    // by default the plain Lookup.
    virtual int LookupAt(const QString &title, const QStringList &headers,
                         const QList<QStringList> &rows, const QString &emptyText, int currentRow);
    // Lets the operator tick any rows of a list; chosenRows comes in with the rows already chosen
    // and goes out with the choice. Returns false when cancelled.
    virtual bool ListSearch(const QString &title, const QStringList &headers,
                            const QList<QStringList> &rows, QList<int> &chosenRows) = 0;
    // Lets the operator set up a printer; returns false when cancelled.
    virtual bool PrintSetup(QPrinter *printer) = 0;
    // Asks for the name of a file to write; empty when cancelled.
    virtual QString SaveFileName(const QString &title, const QString &fileName,
                                 const QString &filter) = 0;
    // Shows pages in a print preview from which the operator may print them; paint draws every
    // page on the printer it is given. The default is the real Qt preview.
    virtual void PrintPreview(QPrinter *printer, const std::function<void(QPrinter *)> &paint);
    // Asks the operator for a text, value coming in as the proposal; false when cancelled. The
    // default is the real Qt input box.
    virtual bool InputQuery(const QString &caption, const QString &prompt, QString &value);
};

// The dialogs in force: the installed ones, else the real Qt dialogs.
CALEHOST_EXPORT Dialogs *CurrentDialogs();

// Installs the dialogs to use (nullptr: back to the real Qt dialogs); the caller keeps ownership.
CALEHOST_EXPORT void SetDialogs(Dialogs *dialogs);

// Shows an error box with an OK button.
CALEHOST_EXPORT void ShowError(const QString &text);

// Shows an error box; with abandon true then ends the running event by a silent EAbort.
CALEHOST_EXPORT void MensErro(const QString &text, bool abandon);

// Shows a message box through the dialogs in force and returns the button chosen.
CALEHOST_EXPORT int MessageDlg(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons,
                               int helpContext = 0);

// Opens a help topic; installed by the shell.
using HelpHandler = std::function<void(const QString &helpFile, int helpContext)>;

// Installs the handler that opens help topics (nullptr: help does nothing).
CALEHOST_EXPORT void SetHelpHandler(HelpHandler handler);

// Opens a help topic through the installed handler, if any.
CALEHOST_EXPORT void ShowHelp(const QString &helpFile, int helpContext);
