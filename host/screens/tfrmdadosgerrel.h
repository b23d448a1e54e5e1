#pragma once

#include "calehost_export.h"
#include "screens/formcreation.h"

#include <QDialog>

#include <utility>

class QComboBox;
class QFrame;
class QMenu;
class TGroupBox;
class TLabel;
class TMessages;
class TPanel;
class TReportDesignerDialog;
class TSpeedButton;
struct ReportData;

// Base of the report dialogs: a modal dialog that previews, prints or saves (PDF or CSV) the
// report whose code its lblCodRel shows. A screen places its parameter controls in grbDadosRel,
// sets the query's parameters in rpddPadrao's BeforeGetQueryParams, and overrides the handlers
// below, calling the base one where it wants the base's handling.
class CALEHOST_EXPORT TfrmDadosGerRel : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget *parent = nullptr);
    ~TfrmDadosGerRel() override;

    // Constructs a dialog and runs its FormCreate; a failing FormCreate deletes it and goes on.
    template <class Form, class... Args> static Form *Create(Args &&...args)
    {
        return host::CreateForm<Form>(std::forward<Args>(args)...);
    }

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString &caption) { setWindowTitle(caption); }
    void SetHelpFile(const QString &file) { m_helpFile = file; }
    void SetHelpContext(int context) { m_helpContext = context; }
    int HelpContext() const { return m_helpContext; }

    // Handlers; a screen overrides them and calls the base where it wants its handling.
    // Reads the report's title into the report name box.
    virtual void FormCreate(QObject *Sender);
    // Runs at every activation of the dialog, also when a message box or list closes.
    virtual void FormActivate(QObject *Sender);
    virtual void sbtPreviewClick(QObject *Sender);
    virtual void sbtPrintClick(QObject *Sender);
    // Asks the title to print (NovoCaption, NovoPrompt) and the file, then writes PDF or CSV by
    // the file's extension.
    virtual void sbtSalvarComoClick(QObject *Sender);

    TPanel *panMenu = nullptr;
    TPanel *panBotoes = nullptr;
    TSpeedButton *sbtPreview = nullptr;
    TSpeedButton *sbtPrint = nullptr;
    TSpeedButton *sbtSalvarComo = nullptr;
    TSpeedButton *sbtAjuda = nullptr;
    TSpeedButton *sbtFechar = nullptr;
    TLabel *lblCodRel = nullptr;
    TGroupBox *grbDadosRel = nullptr;
    QFrame *bvlSeparator = nullptr;
    TPanel *panRelat = nullptr;
    TLabel *lblReportNames = nullptr;
    QComboBox *cbbReportNames = nullptr;
    TLabel *lblCodTela = nullptr;
    QMenu *ppmSalvarRelatorio = nullptr;
    TMessages *msgPadrao = nullptr;
    TReportDesignerDialog *rpddPadrao = nullptr;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildToolBar();
    void buildDataGroup();
    // Gives the focus to the first parameter control of grbDadosRel in tab order.
    void focusFirstParameter();
    // Runs the report's query; false when the run was dropped. A missing definition shows
    // Arq_Rel_Err and ends the running handler.
    bool runReport(ReportData *data);

    QString m_helpFile;
    int m_helpContext = 0;
    QString m_saveFilter;
    bool m_shown = false;
};
