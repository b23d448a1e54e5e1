#include "screens/tfrmpadraogrid.h"

#include "controls/tdbgrid.h"
#include "controls/tlabel.h"
#include "controls/toolicons.h"
#include "controls/tpagecontrol.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/focustracker.h"
#include "core/tmessages.h"
#include "data/tdataset.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVBoxLayout>

#include <utility>

namespace {

// Keeps a menu item's enabled state equal to the state the program set on a button.
class ButtonFollower : public QObject
{
public:
    ButtonFollower(QAction *item, QAbstractButton *button)
        : QObject(item)
        , m_item(item)
    {
        button->installEventFilter(this);
        sync(button);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            sync(static_cast<QAbstractButton *>(watched));
        return false;
    }

private:
    void sync(QAbstractButton *button)
    {
        m_item->setEnabled(!button->testAttribute(Qt::WA_ForceDisabled));
    }

    QAction *m_item;
};

bool isEditing(TDataSetState state)
{
    return state == TDataSetState::dsInsert || state == TDataSetState::dsEdit;
}

} // namespace

TfrmPadraoGrid::TfrmPadraoGrid(QWidget *parent)
    : QWidget(parent)
{
    host::FocusTracker::EnsureTracking();
    setObjectName(QStringLiteral("frmPadraoGrid"));

    dtsPadrao = new TDataSource(this);
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));
    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    msgMensagensPadroes = new TMessages(this);
    msgMensagensPadroes->setObjectName(QStringLiteral("msgMensagensPadroes"));
    msgMensagensPadroes->Add(QStringLiteral("Excl"), QStringLiteral("Confirma Exclusão?"));

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    buildToolBar();
    buildMenu();

    pgcPadrao = new TPageControl(this);
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    tshPadrao = new TTabSheet;
    tshPadrao->setObjectName(QStringLiteral("tshPadrao"));
    tshPadrao->SetCaption(QStringLiteral("Padrão"));
    tshPadrao->SetPageControl(pgcPadrao);
    dbgPadrao = new TDBGrid(tshPadrao);
    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    dbgPadrao->SetDataSource(dtsPadrao);
    auto *pageLayout = new QVBoxLayout(tshPadrao);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(dbgPadrao);
    m_layout->addWidget(pgcPadrao, 1);

    panNavigator = new TPanel(this);
    panNavigator->setObjectName(QStringLiteral("panNavigator"));
    panNavigator->setFixedHeight(25);
    m_layout->addWidget(panNavigator);

    dtsPadrao->OnStateChange = [this](QObject *sender) { dtsPadraoStateChange(sender); };
    TfrmPadraoGrid::dtsPadraoStateChange(dtsPadrao);
}

TfrmPadraoGrid::~TfrmPadraoGrid() = default;

void TfrmPadraoGrid::buildToolBar()
{
    panMenu = new TPanel(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setFixedHeight(28);
    panMenu->SetBevel(2);
    m_layout->addWidget(panMenu);

    struct ButtonPlace
    {
        TSpeedButton *TfrmPadraoGrid::*member;
        const char *name;
        const char *hint;
        int left;
        int width;
        const char *icon;
        void (TfrmPadraoGrid::*handler)(QObject *);
    };
    // Pictures by their freedesktop names; close is a window's close, apart from cancel's undo.
    const ButtonPlace places[] = {
        {&TfrmPadraoGrid::sbtIncluir, "sbtIncluir", "Incluir", 4, 21, "document-new",
         &TfrmPadraoGrid::sbtIncluirClick},
        {&TfrmPadraoGrid::sbtAlterar, "sbtAlterar", "Alterar", 25, 21, "document-properties",
         &TfrmPadraoGrid::sbtAlterarClick},
        {&TfrmPadraoGrid::sbtExcluir, "sbtExcluir", "Excluir", 46, 21, "edit-delete",
         &TfrmPadraoGrid::sbtExcluirClick},
        {&TfrmPadraoGrid::sbtProcurar, "sbtProcurar", "Procurar", 67, 21, "edit-find",
         &TfrmPadraoGrid::sbtProcurarClick},
        {&TfrmPadraoGrid::sbtVerificar, "sbtVerificar", "Verificar", 89, 20, "view-refresh",
         &TfrmPadraoGrid::sbtVerificarClick},
        {&TfrmPadraoGrid::sbtCancelar, "sbtCancelar", "Cancelar", 125, 21, "edit-undo",
         &TfrmPadraoGrid::sbtCancelarClick},
        {&TfrmPadraoGrid::sbtConfirmar, "sbtConfirmar", "Confirmar", 146, 21, "document-save",
         &TfrmPadraoGrid::sbtConfirmarClick},
        {&TfrmPadraoGrid::sbtImprimir, "sbtImprimir", "Imprimir", 182, 21, "document-print",
         &TfrmPadraoGrid::sbtImprimirClick},
        {&TfrmPadraoGrid::sbtAjuda, "sbtAjuda", "Ajuda", 218, 21, "help-contents",
         &TfrmPadraoGrid::sbtAjudaClick},
        {&TfrmPadraoGrid::sbtFechar, "sbtFechar", "Fechar", 254, 21, "window-close",
         &TfrmPadraoGrid::sbtFecharClick},
    };
    for (const ButtonPlace &place : places) {
        auto *button = new TSpeedButton(panMenu);
        button->setObjectName(QLatin1String(place.name));
        button->SetHint(QString::fromUtf8(place.hint));
        button->SetGlyph(host::ToolIcon(QLatin1String(place.icon)).pixmap(16, 16));
        button->SetBounds(place.left, 4, place.width, 21);
        // Bound through the virtual handler, so a screen's override takes the base's place.
        const auto handler = place.handler;
        button->OnClick = [this, handler](QObject *sender) { (this->*handler)(sender); };
        this->*place.member = button;
    }

    lblCodTela = new TLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setGeometry(540, 7, 80, 14);
}

void TfrmPadraoGrid::buildMenu()
{
    mnuManutencao = new QMenu(QStringLiteral("&Manutenção"), this);
    mnuManutencao->setObjectName(QStringLiteral("mnuManutencao"));
    struct Item
    {
        QAction *TfrmPadraoGrid::*member;
        const char *name;
        const char *caption;
        TSpeedButton *button;
    };
    // Every tool-bar command has an item, so the keyboard reaches it through the menu's mnemonic.
    const Item items[] = {
        {&TfrmPadraoGrid::mnuIncluir, "mnuIncluir", "&Incluir", sbtIncluir},
        {&TfrmPadraoGrid::mnuAlterar, "mnuAlterar", "&Alterar", sbtAlterar},
        {&TfrmPadraoGrid::mnuExcluir, "mnuExcluir", "&Excluir", sbtExcluir},
        {&TfrmPadraoGrid::mnuProcurar, "mnuProcurar", "&Procurar", sbtProcurar},
        {&TfrmPadraoGrid::mnuVerificar, "mnuVerificar", "&Verificar", sbtVerificar},
        {&TfrmPadraoGrid::mnuCancelar, "mnuCancelar", "&Cancelar", sbtCancelar},
        {&TfrmPadraoGrid::mnuConfirmar, "mnuConfirmar", "C&onfirmar", sbtConfirmar},
        {nullptr, nullptr, nullptr, nullptr},
        {&TfrmPadraoGrid::mnuImprimir, "mnuImprimir", "Imp&rimir", sbtImprimir},
        {&TfrmPadraoGrid::mnuAjuda, "mnuAjuda", "A&juda", sbtAjuda},
        {&TfrmPadraoGrid::mnuFechar, "mnuFechar", "&Fechar", sbtFechar},
    };
    bool common = false;
    for (const Item &item : items) {
        if (!item.member) {
            QAction *separator = mnuManutencao->addSeparator();
            separator->setObjectName(QStringLiteral("mnuSepComuns"));
            m_commonItems.append(separator);
            common = true;
            continue;
        }
        QAction *action = mnuManutencao->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QLatin1String(item.name));
        TSpeedButton *button = item.button;
        action->setIcon(button->icon());
        connect(action, &QAction::triggered, button, &QAbstractButton::click);
        FollowButton(action, button);
        this->*item.member = action;
        if (common)
            m_commonItems.append(action);
    }
    // F1 works wherever the focus is inside the screen, whether or not its menu is in a menu bar.
    mnuAjuda->setShortcut(QKeySequence::HelpContents);
    mnuAjuda->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(mnuAjuda);
}

void TfrmPadraoGrid::FollowButton(QAction *item, QAbstractButton *button)
{
    if (item && button)
        new ButtonFollower(item, button);
}

void TfrmPadraoGrid::SetBounds(int left, int top, int width, int height)
{
    m_bounds = QRect(left, top, width, height);
    if (QMdiSubWindow *sub = SubWindow())
        sub->setGeometry(m_bounds);
    else if (isWindow())
        setGeometry(m_bounds);
    else
        resize(width, height);
}

QMdiSubWindow *TfrmPadraoGrid::SubWindow() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

QWidget *TfrmPadraoGrid::ActiveControl() const
{
    QWidget *control = host::FocusTracker::instance()->LogicalFocus(this);
    return control && isAncestorOf(control) ? control : nullptr;
}

bool TfrmPadraoGrid::IsActiveWindow() const
{
    if (QMdiSubWindow *sub = SubWindow())
        return sub->mdiArea() && sub->mdiArea()->currentSubWindow() == sub;
    return isActiveWindow();
}

QList<QMenu *> TfrmPadraoGrid::Menus() const
{
    return {mnuManutencao};
}

void TfrmPadraoGrid::AlignTop(QWidget *widget)
{
    m_layout->insertWidget(1 + m_topCount++, widget);
}

QSize TfrmPadraoGrid::sizeHint() const
{
    if (m_openedSize.isValid())
        return m_openedSize.expandedTo(minimumSizeHint());
    return QWidget::sizeHint();
}

bool TfrmPadraoGrid::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        attachToSubWindow();
        break;
    case QEvent::Show:
        // The MDI area places a new sub-window after taking it: give it the screen's bounds
        // when it first shows.
        if (!m_area)
            attachToSubWindow();
        if (!m_shown) {
            m_shown = true;
            firstShow();
        }
        if (!m_boundsApplied && m_bounds.isValid() && SubWindow()) {
            m_boundsApplied = true;
            SubWindow()->setGeometry(m_bounds);
            m_openedSize = size();
        }
        break;
    case QEvent::WindowActivate:
        if (isWindow() && !m_current)
            activate();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TfrmPadraoGrid::attachToSubWindow()
{
    QMdiSubWindow *sub = SubWindow();
    QMdiArea *area = sub ? sub->mdiArea() : nullptr;
    if (m_area && m_area != area)
        disconnect(m_area, nullptr, this, nullptr);
    m_area = area;
    if (!area)
        return;
    connect(area, &QMdiArea::subWindowActivated, this, &TfrmPadraoGrid::subWindowActivated,
            Qt::UniqueConnection);
    if (m_bounds.isValid())
        sub->setGeometry(m_bounds);
}

void TfrmPadraoGrid::subWindowActivated(QMdiSubWindow *window)
{
    // A null window means the whole application lost activation (a message box, another
    // program): the screen is still the current one and is not activated again on return.
    if (!window)
        return;
    if (window != SubWindow()) {
        m_current = false;
        return;
    }
    if (!m_current)
        activate();
}

void TfrmPadraoGrid::activate()
{
    m_current = true;
    host::guard(this, [this] { FormActivate(this); });
    // A screen that opens takes the keys at once; later activations find the focus where the
    // operator left it.
    if (!std::exchange(m_activated, true))
        focusFirstControl();
}

void TfrmPadraoGrid::firstShow()
{
    keepCommonItemsLast();
    fitMinimumSize();
}

void TfrmPadraoGrid::keepCommonItemsLast()
{
    // A screen appends its own items after the base's; print, help and close stay at the end.
    for (QAction *item : std::as_const(m_commonItems)) {
        mnuManutencao->removeAction(item);
        mnuManutencao->addAction(item);
    }
}

void TfrmPadraoGrid::fitMinimumSize()
{
    // Bars placed across the screen hold controls at fixed places: the screen may not become
    // narrower than the rightmost of them, or Cascade and Tile would cut them off.
    QList<QWidget *> bars{panMenu};
    for (int i = 1; i <= m_topCount; ++i) {
        if (QWidget *widget = m_layout->itemAt(i)->widget())
            bars.append(widget);
    }
    for (QWidget *bar : std::as_const(bars)) {
        if (bar->layout())
            continue;
        int right = 0;
        for (QWidget *child : bar->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow() && child->isVisibleTo(bar))
                right = qMax(right, child->geometry().right() + 1);
        }
        const QMargins margins = bar->contentsMargins();
        bar->setMinimumWidth(qMax(bar->minimumWidth(), right + margins.right()));
    }
}

void TfrmPadraoGrid::focusFirstControl()
{
    QWidget *target = focusWidget();
    if (!target || !isAncestorOf(target)) {
        // The first control in tab order that the operator could reach with Tab.
        target = nullptr;
        for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
            if (isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() &&
                w->isEnabled() && w->isVisibleTo(this)) {
                target = w;
                break;
            }
        }
        if (!target)
            return;
        target->setFocus(Qt::TabFocusReason);
    }
    // As when entered by the keyboard: what the operator types replaces the text.
    if (auto *edit = qobject_cast<QLineEdit *>(target))
        edit->selectAll();
}

void TfrmPadraoGrid::closeEvent(QCloseEvent *event)
{
    QMdiSubWindow *sub = SubWindow();
    int action = sub ? caMinimize : caHide;
    if (!host::guard(this, [this, &action] { FormClose(this, action); }))
        action = caNone;
    QWidget *window = sub ? static_cast<QWidget *>(sub) : this;
    switch (action) {
    case caFree:
        window->setAttribute(Qt::WA_DeleteOnClose, true);
        event->accept();
        break;
    case caHide:
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        event->accept();
        break;
    case caMinimize:
        event->ignore();
        window->showMinimized();
        break;
    default:
        event->ignore();
        break;
    }
}

void TfrmPadraoGrid::FormCreate(QObject *) {}

void TfrmPadraoGrid::FormActivate(QObject *)
{
    update();
}

void TfrmPadraoGrid::FormClose(QObject *, int &Action)
{
    Action = caFree;
}

void TfrmPadraoGrid::dtsPadraoStateChange(QObject *)
{
    const TDataSetState state = dtsPadrao->State();
    const bool browse = state == TDataSetState::dsBrowse;
    TDataSet *dataSet = dtsPadrao->DataSet();
    const bool hasRows = browse && dataSet && !dataSet->IsEmpty();
    sbtConfirmar->setEnabled(isEditing(state));
    sbtCancelar->setEnabled(isEditing(state));
    sbtIncluir->setEnabled(browse);
    sbtAlterar->setEnabled(hasRows);
    sbtExcluir->setEnabled(hasRows);
    sbtProcurar->setEnabled(browse);
    sbtVerificar->setEnabled(browse);
}

void TfrmPadraoGrid::sbtIncluirClick(QObject *)
{
    if (TDataSet *dataSet = dtsPadrao->DataSet())
        dataSet->Append();
}

void TfrmPadraoGrid::sbtAlterarClick(QObject *)
{
    TDataSet *dataSet = dtsPadrao->DataSet();
    if (dataSet && !dataSet->IsEmpty())
        dataSet->Edit();
}

void TfrmPadraoGrid::sbtExcluirClick(QObject *)
{
    TDataSet *dataSet = dtsPadrao->DataSet();
    if (!dataSet || dataSet->IsEmpty())
        return;
    if (msgMensagensPadroes->ShowMsg(QStringLiteral("Excl"), TMsgDlgType::mtConfirmation, mbYesNo,
                                     0) == mrYes)
        dataSet->Delete();
}

void TfrmPadraoGrid::sbtProcurarClick(QObject *) {}

void TfrmPadraoGrid::sbtVerificarClick(QObject *) {}

void TfrmPadraoGrid::sbtConfirmarClick(QObject *)
{
    TDataSet *dataSet = dtsPadrao->DataSet();
    if (dataSet && isEditing(dataSet->State()))
        dataSet->Post();
}

void TfrmPadraoGrid::sbtCancelarClick(QObject *)
{
    TDataSet *dataSet = dtsPadrao->DataSet();
    if (dataSet && isEditing(dataSet->State()))
        dataSet->Cancel();
}

void TfrmPadraoGrid::sbtImprimirClick(QObject *) {}

void TfrmPadraoGrid::sbtAjudaClick(QObject *)
{
    ShowHelp(m_helpFile, m_helpContext);
}

void TfrmPadraoGrid::sbtFecharClick(QObject *)
{
    if (QMdiSubWindow *sub = SubWindow())
        sub->close();
    else
        close();
}
