#include "core/dialogs.h"

#include "core/exceptions.h"
#include "core/focustracker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

QString captionFor(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtWarning:
        return QStringLiteral("Atenção");
    case TMsgDlgType::mtError:
        return QStringLiteral("Erro");
    case TMsgDlgType::mtInformation:
        return QStringLiteral("Informação");
    case TMsgDlgType::mtConfirmation:
        return QStringLiteral("Confirmação");
    case TMsgDlgType::mtCustom:
        break;
    }
    return QApplication::applicationDisplayName();
}

QMessageBox::Icon iconFor(TMsgDlgType kind)
{
    switch (kind) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

// A table of display texts in a modal dialog with OK and Cancelar.
class ListDialog : public QDialog
{
public:
    ListDialog(const QString &title, const QStringList &headers, const QList<QStringList> &rows,
               bool checkable)
        : QDialog(QApplication::activeWindow())
    {
        setWindowTitle(title);
        auto *layout = new QVBoxLayout(this);
        m_table = new QTableWidget(int(rows.size()), int(headers.size()), this);
        m_table->setHorizontalHeaderLabels(headers);
        m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_table->setSelectionMode(QAbstractItemView::SingleSelection);
        m_table->verticalHeader()->hide();
        m_table->horizontalHeader()->setStretchLastSection(true);
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < headers.size(); ++c) {
                auto *item = new QTableWidgetItem(rows[r].value(c));
                if (checkable && c == 0) {
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(Qt::Unchecked);
                }
                m_table->setItem(r, c, item);
            }
        }
        m_table->resizeColumnsToContents();
        layout->addWidget(m_table);
        auto *buttons = new QDialogButtonBox(this);
        buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        if (!checkable)
            connect(m_table, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
        layout->addWidget(buttons);
        if (!rows.isEmpty())
            m_table->selectRow(0);
        resize(480, 320);
    }

    QTableWidget *table() const { return m_table; }

    // Selects a row and scrolls it into view; out of range leaves the first row selected.
    void showRow(int row)
    {
        if (row < 0 || row >= m_table->rowCount())
            return;
        m_table->selectRow(row);
        m_table->scrollToItem(m_table->item(row, 0), QAbstractItemView::PositionAtCenter);
    }

private:
    QTableWidget *m_table;
};

class QtDialogs final : public Dialogs
{
public:
    int MessageBox(TMsgDlgType kind, const QString &text, TMsgDlgButtons buttons,
                   int /*helpContext*/) override
    {
        QMessageBox box(iconFor(kind), captionFor(kind), text, QMessageBox::NoButton,
                        QApplication::activeWindow());
        const std::pair<TMsgDlgButtons, std::pair<QString, int>> order[] = {
            {mbYes, {QStringLiteral("Sim"), mrYes}},
            {mbNo, {QStringLiteral("Não"), mrNo}},
            {mbOK, {QStringLiteral("OK"), mrOk}},
            {mbCancel, {QStringLiteral("Cancelar"), mrCancel}},
        };
        QList<std::pair<QAbstractButton *, int>> codes;
        for (const auto &[flag, button] : order) {
            if (!(buttons & flag))
                continue;
            const auto role = flag == mbNo || flag == mbCancel ? QMessageBox::RejectRole
                                                               : QMessageBox::AcceptRole;
            codes.append({box.addButton(button.first, role), button.second});
        }
        if (codes.isEmpty())
            codes.append({box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole), mrOk});
        box.setDefaultButton(qobject_cast<QPushButton *>(codes.first().first));
        box.exec();
        for (const auto &[button, code] : codes) {
            if (box.clickedButton() == button)
                return code;
        }
        return buttons & mbCancel ? mrCancel : (buttons & mbNo ? mrNo : mrOk);
    }

    int Lookup(const QString &title, const QStringList &headers, const QList<QStringList> &rows,
               const QString &emptyText) override
    {
        return LookupAt(title, headers, rows, emptyText, 0);
    }

    int LookupAt(const QString &title, const QStringList &headers, const QList<QStringList> &rows,
                 const QString &emptyText, int currentRow) override
    {
        if (rows.isEmpty()) {
            if (!emptyText.isEmpty())
                MessageBox(TMsgDlgType::mtError, emptyText, mbOK, 0);
            return -1;
        }
        ListDialog dialog(title, headers, rows, false);
        dialog.showRow(currentRow);
        if (dialog.exec() != QDialog::Accepted)
            return -1;
        return dialog.table()->currentRow();
    }

    bool ListSearch(const QString &title, const QStringList &headers,
                    const QList<QStringList> &rows, QList<int> &chosenRows) override
    {
        ListDialog dialog(title, headers, rows, true);
        for (int row : std::as_const(chosenRows)) {
            if (auto *item = dialog.table()->item(row, 0))
                item->setCheckState(Qt::Checked);
        }
        if (dialog.exec() != QDialog::Accepted)
            return false;
        chosenRows.clear();
        for (int r = 0; r < dialog.table()->rowCount(); ++r) {
            const QTableWidgetItem *item = dialog.table()->item(r, 0);
            if (item && item->checkState() == Qt::Checked)
                chosenRows.append(r);
        }
        return true;
    }

    bool PrintSetup(QPrinter *printer) override
    {
        QPrintDialog dialog(printer, QApplication::activeWindow());
        return dialog.exec() == QDialog::Accepted;
    }

    QString SaveFileName(const QString &title, const QString &fileName,
                         const QString &filter) override
    {
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, fileName, filter);
    }
};

Dialogs *&installedDialogs()
{
    static Dialogs *dialogs = nullptr;
    return dialogs;
}

HelpHandler &installedHelp()
{
    static HelpHandler handler;
    return handler;
}

} // namespace

Dialogs::~Dialogs() = default;

void Dialogs::PrintPreview(QPrinter *printer, const std::function<void(QPrinter *)> &paint)
{
    QPrintPreviewDialog dialog(printer, QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Visualizar impressão: %1").arg(printer->docName()));
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&paint](QPrinter *target) { paint(target); });
    dialog.exec();
}

bool Dialogs::InputQuery(const QString &caption, const QString &prompt, QString &value)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    // The title bar shows the caption beside the window's icon and buttons: leave room for both.
    // The dialog's layout fixes its width, so the text box is what widens it; the layout is built
    // when its size is first asked.
    const int titleBarControls = 120;
    const int width = dialog.fontMetrics().horizontalAdvance(caption) + titleBarControls;
    dialog.minimumSizeHint();
    if (auto *edit = dialog.findChild<QLineEdit *>(); edit && dialog.layout()) {
        const QMargins margins = dialog.layout()->contentsMargins();
        edit->setMinimumWidth(width - margins.left() - margins.right());
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

int Dialogs::LookupAt(const QString &title, const QStringList &headers,
                      const QList<QStringList> &rows, const QString &emptyText, int)
{
    return Lookup(title, headers, rows, emptyText);
}

Dialogs *CurrentDialogs()
{
    static QtDialogs qtDialogs;
    Dialogs *installed = installedDialogs();
    return installed ? installed : &qtDialogs;
}

void SetDialogs(Dialogs *dialogs)
{
    installedDialogs() = dialogs;
}

void ShowError(const QString &text)
{
    // The box takes the activation; what gives the focus back after it must not leave the field
    // the error is about, or leaving it again would show the box again.
    if (QWidget *focus = QApplication::focusWidget())
        host::FocusTracker::instance()->HoldFocus(host::FocusTracker::FormOf(focus));
    CurrentDialogs()->MessageBox(TMsgDlgType::mtError, text, mbOK, 0);
}

void MensErro(const QString &text, bool abandon)
{
    ShowError(text);
    if (abandon)
        throw EAbort();
}

int MessageDlg(const QString &text, TMsgDlgType kind, TMsgDlgButtons buttons, int helpContext)
{
    return CurrentDialogs()->MessageBox(kind, text, buttons, helpContext);
}

void SetHelpHandler(HelpHandler handler)
{
    installedHelp() = std::move(handler);
}

void ShowHelp(const QString &helpFile, int helpContext)
{
    if (const HelpHandler &handler = installedHelp())
        handler(helpFile, helpContext);
}
