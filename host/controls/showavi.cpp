#include "controls/showavi.h"

#include "core/application.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cmath>

namespace {

// The animation: a framed box painted over its owner window, with dots running round (kind 6) or
// a bar sliding along (kind 1) and the text below. A child widget, never a window of its own, so
// it cannot take activation; it takes no focus either.
class AviOverlay : public QWidget
{
public:
    explicit AviOverlay(QWidget *window)
        : QWidget(window)
    {
        setObjectName(QStringLiteral("ShowAvi"));
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            ++m_frame;
            update();
        });
        m_timer.start(60);
    }

    void setup(int kind, const QString &text)
    {
        m_kind = kind;
        m_text = text;
        const QSize size(300, m_text.isEmpty() ? 90 : 120);
        const QRect area = parentWidget()->rect();
        setGeometry(QRect(area.center() - QPoint(size.width() / 2, size.height() / 2), size));
        raise();
        show();
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(palette().color(QPalette::Dark));
        p.setBrush(palette().color(QPalette::Window));
        p.drawRoundedRect(rect().adjusted(0, 0, -1, -1), 6, 6);
        const QColor ink = palette().color(QPalette::Highlight);
        const QRect art(rect().left() + 20, rect().top() + 15, width() - 40, 50);
        if (m_kind == 1) {
            const int span = art.width() / 4;
            const int x = art.left() + (m_frame * 8) % (art.width() + span) - span;
            p.setPen(Qt::NoPen);
            p.setBrush(palette().color(QPalette::Mid));
            p.drawRect(art.left(), art.center().y() - 6, art.width(), 12);
            p.setBrush(ink);
            p.drawRect(QRect(x, art.center().y() - 6, span, 12).intersected(art));
        } else {
            const QPointF centre = art.center();
            for (int i = 0; i < 8; ++i) {
                const double angle = (i + m_frame) * M_PI / 4;
                QColor dot = ink;
                dot.setAlphaF(0.2 + 0.1 * i);
                p.setPen(Qt::NoPen);
                p.setBrush(dot);
                p.drawEllipse(centre + QPointF(18 * std::cos(angle), 18 * std::sin(angle)), 4, 4);
            }
        }
        if (!m_text.isEmpty()) {
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(rect().adjusted(10, 70, -10, -8), Qt::AlignCenter | Qt::TextWordWrap,
                       m_text);
        }
    }

private:
    QTimer m_timer;
    int m_kind = 6;
    int m_frame = 0;
    QString m_text;
};

QPointer<AviOverlay> &overlayRef()
{
    static QPointer<AviOverlay> overlay;
    return overlay;
}

} // namespace

// The window to show the animation over: the shell's main window, else the active one.
static QWidget *aviWindow(QWidget *owner)
{
    if (owner)
        return owner->window();
    if (QWidget *main = host::MainForm())
        return main;
    return QApplication::activeWindow();
}

void ActiveShowAvi(QWidget *owner, int kind, const QString &text)
{
    QWidget *window = aviWindow(owner);
    if (!window)
        return;
    QPointer<AviOverlay> &overlay = overlayRef();
    if (overlay && overlay->parentWidget() != window)
        delete overlay.data();
    if (!overlay)
        overlay = new AviOverlay(window);
    overlay->setup(kind, text);
}

void DeactiveShowAvi()
{
    delete overlayRef().data();
}

bool ShowAviActive()
{
    return !overlayRef().isNull();
}
