#include "controls/tpagecontrol.h"

#include <QTabBar>

TTabSheet::TTabSheet(QWidget *parent)
    : QWidget(parent)
{}

void TTabSheet::SetPageControl(TPageControl *pageControl)
{
    if (m_pageControl == pageControl)
        return;
    if (m_pageControl)
        m_pageControl->removeTab(m_pageControl->indexOf(this));
    m_pageControl = pageControl;
    if (pageControl) {
        const int index = pageControl->addTab(this, m_caption);
        pageControl->setTabVisible(index, m_tabVisible);
    }
}

void TTabSheet::SetCaption(const QString &caption)
{
    m_caption = caption;
    if (m_pageControl)
        m_pageControl->setTabText(m_pageControl->indexOf(this), caption);
}

void TTabSheet::SetTabVisible(bool visible)
{
    m_tabVisible = visible;
    if (m_pageControl)
        m_pageControl->setTabVisible(m_pageControl->indexOf(this), visible);
}

TPageControl::TPageControl(QWidget *parent)
    : QTabWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    tabBar()->setFocusPolicy(Qt::NoFocus);
}

TTabSheet *TPageControl::ActivePage() const
{
    return qobject_cast<TTabSheet *>(currentWidget());
}

void TPageControl::SetActivePage(TTabSheet *page)
{
    setCurrentWidget(page);
}

TTabSheet *TPageControl::Pages(int index) const
{
    return qobject_cast<TTabSheet *>(widget(index));
}
