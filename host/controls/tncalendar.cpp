#include "controls/tncalendar.h"

#include "core/eventboundary.h"
#include "core/exceptions.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <array>

namespace {

// The date a calendar shows until the screen dates it.
constexpr int kInitialYear = 1999, kInitialMonth = 11, kInitialDay = 9;

constexpr int kColumns = 7;
constexpr int kRows = 7; // the weekday header and six weeks

constexpr std::array<const char *, kColumns> kWeekdayInitials = {"D", "S", "T", "Q", "Q", "S", "S"};
constexpr std::array<const char *, 12> kMonthNames = {
    "Janeiro", "Fevereiro", "Março",    "Abril",   "Maio",     "Junho",
    "Julho",   "Agosto",    "Setembro", "Outubro", "Novembro", "Dezembro"};

bool yearInRange(int year)
{
    return year >= 1 && year <= 9999;
}

QDate clampedDate(int year, int month, int day)
{
    return QDate(year, month, qMin(day, QDate(year, month, 1).daysInMonth()));
}

QColor contrastingText(const QColor &background, const QPalette &palette)
{
    if (!background.isValid())
        return palette.color(QPalette::Text);
    return background.lightness() >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

} // namespace

TNCalendar::TNCalendar(QWidget *parent)
    : QWidget(parent)
    , m_date(kInitialYear, kInitialMonth, kInitialDay)
{
    setFocusPolicy(Qt::StrongFocus);
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(9);
    setFont(small);
    resize(sizeHint());
    updateAccessibleName();
    updateAccessibleDescription();
}

void TNCalendar::SetDate(const QDate &date)
{
    if (!date.isValid())
        throw Exception(QStringLiteral("Data inválida."));
    if (!yearInRange(date.year()))
        throw Exception(QStringLiteral("Ano %1 fora do intervalo de 1 a 9999.").arg(date.year()));
    applyDate(date);
}

int TNCalendar::GetDateElement(int element) const
{
    switch (element) {
    case deYear:
        return m_date.year();
    case deMonth:
        return m_date.month();
    case deDay:
        return m_date.day();
    }
    Q_ASSERT_X(false, "TNCalendar::GetDateElement", "element must be 1, 2 or 3");
    return 0;
}

void TNCalendar::SetDateElement(int element, int value)
{
    switch (element) {
    case deYear:
        if (!yearInRange(value))
            throw Exception(QStringLiteral("Ano %1 fora do intervalo de 1 a 9999.").arg(value));
        applyDate(clampedDate(value, m_date.month(), m_date.day()));
        return;
    case deMonth:
        if (value < 1 || value > 12)
            throw Exception(QStringLiteral("Mês %1 fora do intervalo de 1 a 12.").arg(value));
        applyDate(clampedDate(m_date.year(), value, m_date.day()));
        return;
    case deDay:
        if (value < 1 || value > m_date.daysInMonth())
            throw Exception(QStringLiteral("Dia %1 fora do intervalo de 1 a %2.")
                                .arg(value)
                                .arg(m_date.daysInMonth()));
        applyDate(QDate(m_date.year(), m_date.month(), value));
        return;
    }
    Q_ASSERT_X(false, "TNCalendar::SetDateElement", "element must be 1, 2 or 3");
}

void TNCalendar::SetColor(TColor color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
}

void TNCalendar::SetShowCurrentDay(bool show)
{
    if (m_showCurrentDay == show)
        return;
    m_showCurrentDay = show;
    update();
}

QRect TNCalendar::dayRect(int day) const
{
    if (day < 1 || day > m_date.daysInMonth())
        return QRect();
    const int index = leadingBlanks() + day - 1;
    return cell(1 + index / kColumns, index % kColumns);
}

int TNCalendar::dayAt(const QPoint &pos) const
{
    for (int day = 1; day <= m_date.daysInMonth(); ++day) {
        if (dayRect(day).contains(pos))
            return day;
    }
    return 0;
}

QSize TNCalendar::sizeHint() const
{
    return QSize(148, 78);
}

QSize TNCalendar::minimumSizeHint() const
{
    return QSize(kColumns * 12, kRows * 9);
}

QColor TNCalendar::dayMarkColor(int) const
{
    return QColor();
}

bool TNCalendar::dayMarkPending(int) const
{
    return false;
}

QBrush ClosedDayBrush()
{
    // Dots dark enough to show on the window colour and on the resting grey alike.
    return QBrush(QColor(0, 0, 0, 110), Qt::Dense6Pattern);
}

bool TNCalendar::dayShaded(int) const
{
    return false;
}

QString TNCalendar::dayStatus(int) const
{
    return QString();
}

void TNCalendar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    const QColor background = ColorToQColor(m_color);
    if (background.isValid())
        painter.fillRect(rect(), background);

    const QColor text = isEnabled() ? contrastingText(background, pal)
                                    : pal.color(QPalette::Disabled, QPalette::Text);
    const QRect sample = cell(1, 0);
    QFont dayFont = font();
    dayFont.setPixelSize(qBound(7, qMin(sample.height() - 2, sample.width() / 2), 24));
    painter.setFont(dayFont);

    painter.setPen(text);
    for (int column = 0; column < kColumns; ++column)
        painter.drawText(cell(0, column), Qt::AlignCenter,
                         QString::fromLatin1(kWeekdayInitials[column]));
    const QRect header = cell(0, 0);
    QColor rule = text;
    rule.setAlpha(90);
    painter.setPen(rule);
    painter.drawLine(0, header.bottom(), width() - 1, header.bottom());

    const int current = m_date.day();
    for (int day = 1; day <= m_date.daysInMonth(); ++day) {
        const QRect box = dayRect(day);
        // A one-pixel gap keeps neighbouring filled days apart.
        const QRect fill = box.adjusted(0, 0, -1, -1);
        const QColor mark = dayMarkColor(day);
        QColor dayText = text;
        if (dayShaded(day) && !mark.isValid())
            painter.fillRect(fill, ClosedDayBrush());
        if (m_showCurrentDay && day == current) {
            painter.fillRect(fill, pal.color(QPalette::Highlight));
            dayText = pal.color(QPalette::HighlightedText);
            // Keep a marked day recognisable while it carries the highlight.
            if (mark.isValid()) {
                painter.setPen(QPen(mark, 2));
                painter.drawRect(fill.adjusted(1, 1, -1, -1));
            }
        } else if (mark.isValid() && dayMarkPending(day)) {
            // An unsaved day must never be taken for a saved one: hatched, with a dashed frame.
            painter.fillRect(fill, QBrush(mark, Qt::BDiagPattern));
            painter.setPen(QPen(mark, 1, Qt::DashLine));
            painter.drawRect(fill.adjusted(0, 0, -1, -1));
        } else if (mark.isValid()) {
            painter.fillRect(fill, mark);
            dayText = isEnabled() ? QColor(Qt::white) : mark.lighter(160);
        }
        if (!m_showCurrentDay && day == current && hasFocus()) {
            QColor frame = text;
            frame.setAlpha(140);
            painter.setPen(QPen(frame, 1, Qt::DotLine));
            painter.drawRect(box.adjusted(0, 0, -1, -1));
        }
        painter.setPen(dayText);
        painter.drawText(box, Qt::AlignCenter, QString::number(day));
    }
}

void TNCalendar::keyPressEvent(QKeyEvent *event)
{
    int target = m_date.day();
    switch (event->key()) {
    case Qt::Key_Left:
        target -= 1;
        break;
    case Qt::Key_Right:
        target += 1;
        break;
    case Qt::Key_Up:
        target -= kColumns;
        break;
    case Qt::Key_Down:
        target += kColumns;
        break;
    case Qt::Key_Home:
        target = 1;
        break;
    case Qt::Key_End:
        target = m_date.daysInMonth();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    target = qBound(1, target, m_date.daysInMonth());
    userSetDate(QDate(m_date.year(), m_date.month(), target));
}

void TNCalendar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    // Qt focuses the calendar before the press arrives; when an exit handler elsewhere refused to
    // let the focus go, the click must not change the date behind the operator's back.
    if ((focusPolicy() & Qt::ClickFocus) && !hasFocus())
        return;
    if (const int day = dayAt(event->position().toPoint()))
        userSetDate(QDate(m_date.year(), m_date.month(), day));
}

void TNCalendar::applyDate(const QDate &date)
{
    if (date == m_date)
        return;
    const bool monthChanged = date.year() != m_date.year() || date.month() != m_date.month();
    m_date = date;
    if (monthChanged)
        updateAccessibleName();
    updateAccessibleDescription();
    update();
    ::raise(OnChange, this);
}

void TNCalendar::userSetDate(const QDate &date)
{
    host::guard(this, [&] { applyDate(date); });
}

QRect TNCalendar::cell(int row, int column) const
{
    // Integer boundaries so that the cells tile the widget without gaps at any size.
    const int left = column * width() / kColumns;
    const int right = (column + 1) * width() / kColumns;
    const int top = row * height() / kRows;
    const int bottom = (row + 1) * height() / kRows;
    return QRect(left, top, right - left, bottom - top);
}

int TNCalendar::leadingBlanks() const
{
    return QDate(m_date.year(), m_date.month(), 1).dayOfWeek() % 7;
}

void TNCalendar::updateAccessibleName()
{
    setAccessibleName(QStringLiteral("%1 de %2")
                          .arg(QString::fromUtf8(kMonthNames[m_date.month() - 1]))
                          .arg(m_date.year()));
}

void TNCalendar::updateAccessibleDescription()
{
    // "Dia selecionado: 2 de março de 2026, dia de produção"
    QString text = QStringLiteral("Dia selecionado: %1 de %2 de %3")
                       .arg(m_date.day())
                       .arg(QString::fromUtf8(kMonthNames[m_date.month() - 1]).toLower())
                       .arg(m_date.year());
    if (const QString status = dayStatus(m_date.day()); !status.isEmpty())
        text += QStringLiteral(", ") + status;
    if (text != accessibleDescription())
        setAccessibleDescription(text);
}
