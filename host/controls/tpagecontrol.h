#pragma once

#include "calehost_export.h"
#include "core/twincontrol.h"

#include <QTabWidget>

class TPageControl;

// One page of a page control; its tab may be hidden while it stays the active page.
class CALEHOST_EXPORT TTabSheet : public QWidget, public TWinControl
{
    Q_OBJECT
public:
    explicit TTabSheet(QWidget *parent = nullptr);

    TPageControl *PageControl() const { return m_pageControl; }
    // Adds the sheet to a page control as its last page.
    void SetPageControl(TPageControl *pageControl);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption);
    bool TabVisible() const { return m_tabVisible; }
    void SetTabVisible(bool visible);

private:
    TPageControl *m_pageControl = nullptr;
    QString m_caption;
    bool m_tabVisible = true;
};

// Pages with tabs.
class CALEHOST_EXPORT TPageControl : public QTabWidget, public TWinControl
{
    Q_OBJECT
public:
    explicit TPageControl(QWidget *parent = nullptr);

    TTabSheet *ActivePage() const;
    void SetActivePage(TTabSheet *page);
    int PageCount() const { return count(); }
    TTabSheet *Pages(int index) const;
};
