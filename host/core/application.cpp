#include "core/application.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

namespace host {

namespace {
QPointer<QWidget> g_mainForm;
QPointer<QMdiArea> g_mdiArea;
// The centre of the area, or its top left corner when the window is larger, so that its title
// bar stays in reach.
QPoint centredIn(const QSize &area, const QSize &window)
{
    return QPoint(qMax(0, (area.width() - window.width()) / 2),
                  qMax(0, (area.height() - window.height()) / 2));
}

// Keeps a newly opened sub-window centred while the work area settles (the main window may be
// maximised by the window system after the screen opened), until something else moves it.
class CentreUntilMoved : public QObject
{
public:
    CentreUntilMoved(QMdiSubWindow *sub, QWidget *viewport)
        : QObject(sub)
        , m_sub(sub)
        , m_viewport(viewport)
    {
        viewport->installEventFilter(this);
        sub->installEventFilter(this);
        centre();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The event's type first: the sub-window's own destructor still sends it events, and
        // comparing with the pointer would then cast an object that is no longer one.
        if (event->type() == QEvent::Resize && watched == m_viewport)
            centre();
        else if (event->type() == QEvent::Move && !m_centring && watched == m_sub)
            deleteLater();
        return false;
    }

private:
    void centre()
    {
        if (!m_sub || !m_viewport || m_sub->isMaximized() || m_sub->isMinimized())
            return;
        m_centring = true;
        m_sub->move(centredIn(m_viewport->size(), m_sub->size()));
        m_centring = false;
    }

    QPointer<QMdiSubWindow> m_sub;
    QPointer<QWidget> m_viewport;
    bool m_centring = false;
};

} // namespace

void SetMainForm(QWidget *mainForm, QMdiArea *mdiArea)
{
    g_mainForm = mainForm;
    g_mdiArea = mdiArea;
}

QWidget *MainForm()
{
    return g_mainForm;
}

QMdiArea *MdiArea()
{
    return g_mdiArea;
}

QMdiSubWindow *ShowMdiChild(QWidget *screen)
{
    if (!g_mdiArea) {
        screen->show();
        screen->activateWindow();
        return nullptr;
    }
    auto *sub = qobject_cast<QMdiSubWindow *>(screen->parentWidget());
    const bool opening = !sub || sub->mdiArea() != g_mdiArea;
    if (opening) {
        sub = g_mdiArea->addSubWindow(screen);
        sub->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Opening a screen that the operator minimised brings it back.
    if (sub->isMinimized())
        sub->showNormal();
    sub->show();
    screen->show();
    if (opening)
        new CentreUntilMoved(sub, g_mdiArea->viewport());
    g_mdiArea->setActiveSubWindow(sub);
    return sub;
}

} // namespace host
