#pragma once

#include "calehost_export.h"
#include "core/events.h"
#include "screens/formcreation.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <utility>

class QAbstractButton;
class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QVBoxLayout;
class TDBGrid;
class TDataSource;
class TLabel;
class TMessages;
class TPageControl;
class TPanel;
class TSpeedButton;
class TTabSheet;

// What happens to a screen once its close handler has run.
inline constexpr int caNone = 0;
inline constexpr int caHide = 1;
inline constexpr int caFree = 2;
inline constexpr int caMinimize = 3;

// Base of the maintenance screens: a widget that the shell puts in an MDI sub-window. It builds
// its tool bar, maintenance menu, grid page, data source and message tables in code; a screen
// places its own widgets with AlignTop and in the pages, and overrides the handlers below, calling
// the base one where it needs it.
class CALEHOST_EXPORT TfrmPadraoGrid : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPadraoGrid(QWidget *parent = nullptr);
    ~TfrmPadraoGrid() override;

    // Constructs a screen and runs its FormCreate; a failing FormCreate deletes it and goes on.
    template <class Form, class... Args> static Form *Create(Args &&...args)
    {
        return host::CreateForm<Form>(std::forward<Args>(args)...);
    }

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString &caption) { setWindowTitle(caption); }
    // Outer geometry of the screen's window (its sub-window once in an MDI area).
    void SetBounds(int left, int top, int width, int height);
    QString HelpFile() const { return m_helpFile; }
    void SetHelpFile(const QString &file) { m_helpFile = file; }
    int HelpContext() const { return m_helpContext; }
    void SetHelpContext(int context) { m_helpContext = context; }

    // The sub-window that holds the screen, once the shell has put it in an MDI area.
    QMdiSubWindow *SubWindow() const;
    // The control that has the focus inside the screen, as the focus tracker sees it.
    QWidget *ActiveControl() const;
    // True when the screen's sub-window is its MDI area's current one; a message box or the wait
    // animation in between does not change that.
    bool IsActiveWindow() const;
    // The screen's menus, for the shell's menu bar.
    QList<QMenu *> Menus() const;
    // Places a widget across the screen below the tool bar and any widget placed before it.
    void AlignTop(QWidget *widget);
    // The size the screen first opened at: Cascade gives a screen back its designed size.
    QSize sizeHint() const override;
    // Makes a menu item take the enabled state of a button whenever the button's changes.
    static void FollowButton(QAction *item, QAbstractButton *button);

    // Handlers; a screen overrides them and calls the base where it wants its handling.
    virtual void FormCreate(QObject *Sender);
    // Runs each time the screen's sub-window becomes the active one.
    virtual void FormActivate(QObject *Sender);
    // The base releases the screen: Action becomes caFree.
    virtual void FormClose(QObject *Sender, int &Action);
    // Enables Confirm and Cancel while inserting or editing, the other data commands in browse.
    // Bound to dtsPadrao's state changes: a screen gives dtsPadrao its data set only once the
    // controls its override touches exist.
    virtual void dtsPadraoStateChange(QObject *Sender);
    virtual void sbtIncluirClick(QObject *Sender);
    virtual void sbtAlterarClick(QObject *Sender);
    // Asks "Excl" and deletes the current row on Yes.
    virtual void sbtExcluirClick(QObject *Sender);
    virtual void sbtProcurarClick(QObject *Sender);
    virtual void sbtVerificarClick(QObject *Sender);
    virtual void sbtConfirmarClick(QObject *Sender);
    virtual void sbtCancelarClick(QObject *Sender);
    virtual void sbtImprimirClick(QObject *Sender);
    virtual void sbtAjudaClick(QObject *Sender);
    virtual void sbtFecharClick(QObject *Sender);

    TPanel *panMenu = nullptr;
    TSpeedButton *sbtIncluir = nullptr;
    TSpeedButton *sbtAlterar = nullptr;
    TSpeedButton *sbtExcluir = nullptr;
    TSpeedButton *sbtProcurar = nullptr;
    TSpeedButton *sbtVerificar = nullptr;
    TSpeedButton *sbtConfirmar = nullptr;
    TSpeedButton *sbtCancelar = nullptr;
    TSpeedButton *sbtImprimir = nullptr;
    TSpeedButton *sbtAjuda = nullptr;
    TSpeedButton *sbtFechar = nullptr;
    TLabel *lblCodTela = nullptr;
    QMenu *mnuManutencao = nullptr;
    QAction *mnuIncluir = nullptr;
    QAction *mnuAlterar = nullptr;
    QAction *mnuExcluir = nullptr;
    QAction *mnuProcurar = nullptr;
    QAction *mnuVerificar = nullptr;
    QAction *mnuCancelar = nullptr;
    QAction *mnuConfirmar = nullptr;
    QAction *mnuImprimir = nullptr;
    QAction *mnuAjuda = nullptr;
    QAction *mnuFechar = nullptr;
    TPageControl *pgcPadrao = nullptr;
    TTabSheet *tshPadrao = nullptr;
    TDBGrid *dbgPadrao = nullptr;
    TPanel *panNavigator = nullptr;
    TDataSource *dtsPadrao = nullptr;
    TMessages *msgPadrao = nullptr;
    TMessages *msgMensagensPadroes = nullptr;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolBar();
    void buildMenu();
    void attachToSubWindow();
    void subWindowActivated(QMdiSubWindow *window);
    void activate();
    void firstShow();
    void keepCommonItemsLast();
    void fitMinimumSize();
    void focusFirstControl();

    QVBoxLayout *m_layout = nullptr;
    int m_topCount = 0;
    QString m_helpFile;
    int m_helpContext = 0;
    QRect m_bounds;
    QPointer<QMdiArea> m_area;
    bool m_current = false;
    bool m_boundsApplied = false;
    bool m_shown = false;
    bool m_activated = false;
    QSize m_openedSize;
    QList<QAction *> m_commonItems;
};
