#include "controls/tanimate.h"

#include <QPainter>

#include <cmath>

TAnimate::TAnimate(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    m_timer.setInterval(80);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = m_frame % FrameCount + 1;
        update();
    });
}

void TAnimate::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active) {
        m_frame = 1;
        m_timer.start();
    } else {
        m_timer.stop();
        m_frame = m_stopFrame;
    }
    update();
}

void TAnimate::SetStopFrame(int frame)
{
    m_stopFrame = qBound(1, frame, int(FrameCount));
    if (!Active()) {
        m_frame = m_stopFrame;
        update();
    }
}

void TAnimate::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(2, 2, -2, -2);
    // The sheet with its lines of text.
    const QRectF sheet(area.left(), area.top(), area.height() * 0.75, area.height());
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    for (int line = 1; line <= 5; ++line) {
        const double y = sheet.top() + line * sheet.height() / 6;
        p.drawLine(QPointF(sheet.left() + 4, y), QPointF(sheet.right() - 4, y));
    }
    // The magnifier goes round over the sheet, one turn per cycle of frames.
    const double angle = 2 * M_PI * (m_frame - 1) / FrameCount;
    const double radius = area.height() * 0.18;
    const QPointF centre(sheet.center().x() + sheet.width() * 0.3 * std::cos(angle),
                         sheet.center().y() + sheet.height() * 0.25 * std::sin(angle));
    p.setPen(QPen(QColor(0x60, 0x40, 0x20), 3));
    p.drawLine(centre + QPointF(radius * 0.7, radius * 0.7),
               centre + QPointF(radius * 1.8, radius * 1.8));
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(0xA0, 0xD0, 0xFF, 0x90));
    p.drawEllipse(centre, radius, radius);
}
