#pragma once

#include "calehost_export.h"
#include "screens/formcreation.h"

#include <QDialog>
#include <QPixmap>

#include <utility>

class QLabel;
class QProgressBar;
class TButtonFlat;
class TGroupBox;
class TLabel;
class TMessages;
class TPanel;
class TSpeedButton;

// Base of the import and export dialogs: a fixed-size modal dialog with a frame for the inputs
// (grbDadosRel) on the left and a button panel (panMenu) on the right holding the action button,
// help, close and the screen code. A dialog places its own widgets in grbDadosRel and overrides
// the handlers below, calling the base where it wants its handling. The dialog is released when
// it closes.
class CALEHOST_EXPORT TfrmPadrImportExport : public QDialog
{
    Q_OBJECT
public:
    // Width of the button panel at the right of the client area.
    static constexpr int ButtonPanelWidth = 55;

    // Owned by the shell's main window when there is one.
    explicit TfrmPadrImportExport(QWidget *parent = nullptr);
    ~TfrmPadrImportExport() override;

    // Constructs a dialog and runs its FormCreate; a failing FormCreate deletes it and goes on.
    template <class Form, class... Args> static Form *Create(Args &&...args)
    {
        return host::CreateForm<Form>(std::forward<Args>(args)...);
    }

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString &caption) { setWindowTitle(caption); }
    // Fixes the client area; the input frame takes all but the button panel.
    void SetClientSize(int width, int height);
    QString HelpFile() const { return m_helpFile; }
    void SetHelpFile(const QString &file) { m_helpFile = file; }
    int HelpContext() const { return m_helpContext; }
    void SetHelpContext(int context) { m_helpContext = context; }
    // Shows the dialog modally and returns when it has closed.
    int ShowModal();

    // The export picture (Image1) and the import picture (Image2).
    static QPixmap ExportPicture();
    static QPixmap ImportPicture();

    virtual void FormCreate(QObject *Sender);
    // Runs each time the dialog becomes the active window; the base repaints it.
    virtual void FormActivate(QObject *Sender);
    virtual void sbtImportExportClick(QObject *Sender);
    virtual void sbtAjudaClick(QObject *Sender);
    virtual void sbtFecharClick(QObject *Sender);

    TGroupBox *grbDadosRel = nullptr;
    TPanel *panMenu = nullptr;
    TButtonFlat *sbtImportExport = nullptr;
    TSpeedButton *sbtAjuda = nullptr;
    TSpeedButton *sbtFechar = nullptr;
    TLabel *lblCodTela = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *Image2 = nullptr;
    TPanel *panProgresso = nullptr;
    QProgressBar *pgbProgresso = nullptr;
    TMessages *msgPadrao = nullptr;

protected:
    bool event(QEvent *event) override;

private:
    QString m_helpFile;
    int m_helpContext = 0;
};
