#include "core/application.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

namespace host {

namespace {
QPointer<QWidget> g_mainForm;
QPointer<QMdiArea> g_mdiArea;
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
    if (!sub || sub->mdiArea() != g_mdiArea) {
        sub = g_mdiArea->addSubWindow(screen);
        sub->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Opening a screen that the operator minimised brings it back.
    if (sub->isMinimized())
        sub->showNormal();
    sub->show();
    screen->show();
    g_mdiArea->setActiveSubWindow(sub);
    return sub;
}

} // namespace host
