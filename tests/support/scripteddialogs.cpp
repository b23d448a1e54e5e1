#include "scripteddialogs.h"

#include <QDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

ScriptedDialogs::ScriptedDialogs()
    : m_previous(CurrentDialogs())
{
    SetDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    SetDialogs(m_previous);
}

int ScriptedDialogs::MessageBox(TMsgDlgType kind, const QString &text, TMsgDlgButtons buttons,
                                int helpContext)
{
    const Message message{kind, text, buttons, helpContext};
    messages.append(message);
    if (takeFocus) {
        QDialog box;
        box.setWindowTitle(QStringLiteral("message"));
        auto *layout = new QVBoxLayout(&box);
        auto *ok = new QPushButton(QStringLiteral("OK"), &box);
        layout->addWidget(ok);
        ok->setDefault(true);
        QTimer::singleShot(0, &box, [&] {
            box.activateWindow();
            ok->setFocus();
        });
        QTimer::singleShot(50, &box, [&] {
            if (whileShown)
                whileShown(message);
            box.accept();
        });
        box.exec();
    } else if (whileShown) {
        whileShown(message);
    }
    if (!answers.isEmpty())
        return answers.takeFirst();
    if (buttons & mbYes)
        return mrYes;
    return mrOk;
}

int ScriptedDialogs::Lookup(const QString &title, const QStringList &headers,
                            const QList<QStringList> &rows, const QString &emptyText)
{
    return LookupAt(title, headers, rows, emptyText, 0);
}

int ScriptedDialogs::LookupAt(const QString &title, const QStringList &headers,
                              const QList<QStringList> &rows, const QString &emptyText,
                              int currentRow)
{
    lookups.append({title, headers, rows, emptyText, {}, currentRow});
    return lookupAnswers.isEmpty() ? -1 : lookupAnswers.takeFirst();
}

bool ScriptedDialogs::ListSearch(const QString &title, const QStringList &headers,
                                 const QList<QStringList> &rows, QList<int> &chosenRows)
{
    listSearches.append({title, headers, rows, {}, chosenRows});
    if (listAnswers.isEmpty())
        return false;
    const std::optional<QList<int>> answer = listAnswers.takeFirst();
    if (!answer)
        return false;
    chosenRows = *answer;
    return true;
}

bool ScriptedDialogs::PrintSetup(QPrinter *printer)
{
    if (printAnswer && !printFile.isEmpty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(printFile);
    }
    return printAnswer;
}

QString ScriptedDialogs::SaveFileName(const QString &title, const QString &, const QString &)
{
    saveRequests.append(title);
    return saveAnswer;
}

void ScriptedDialogs::PrintPreview(QPrinter *printer, const std::function<void(QPrinter *)> &paint)
{
    ++previews;
    if (previewFile.isEmpty())
        return;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(previewFile);
    paint(printer);
}

bool ScriptedDialogs::InputQuery(const QString &caption, const QString &prompt, QString &value)
{
    inputPrompts.append(caption + QLatin1Char('|') + prompt);
    if (inputAnswer)
        value = *inputAnswer;
    return true;
}

QStringList ScriptedDialogs::texts() const
{
    QStringList result;
    for (const Message &message : messages)
        result.append(message.text);
    return result;
}

void ScriptedDialogs::clear()
{
    messages.clear();
    lookups.clear();
    listSearches.clear();
    saveRequests.clear();
    previews = 0;
    inputPrompts.clear();
}
