#include "reporting/calendarlayout.h"

#include "reporting/reportdata.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <functional>

namespace {

const char *const monthNames[] = {"Janeiro",  "Fevereiro", "Março",    "Abril",
                                  "Maio",     "Junho",     "Julho",    "Agosto",
                                  "Setembro", "Outubro",   "Novembro", "Dezembro"};
const char *const weekdayLetters[] = {"D", "S", "T", "Q", "Q", "S", "S"};

// Sizes in points.
constexpr double headerHeight = 48;
constexpr double footerHeight = 20;
constexpr double groupHeight = 24;
constexpr double yearHeight = 20;
constexpr double gridTitle = 14;
constexpr double gridWeekdays = 11;
constexpr double cellHeight = 13;
constexpr double gridFooter = 14;
constexpr double gridHeight = gridTitle + gridWeekdays + 6 * cellHeight + gridFooter;
constexpr double rowGap = 10;
constexpr double columnGap = 16;
constexpr int gridsPerRow = 3;

const QColor shade(0xB8, 0xB8, 0xB8);
const QColor band(0xE6, 0xE6, 0xE6);
const QColor faint(0xA0, 0xA0, 0xA0);

QDate asDate(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return QDate::fromString(value.toString().left(10), Qt::ISODate);
    return value.toDate();
}

QString monthYear(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("MM/yyyy")) : QStringLiteral("—");
}

QString dayCount(int count)
{
    return count == 1 ? QStringLiteral("1 dia") : QStringLiteral("%1 dias").arg(count);
}

// Drawing in points on a device of any resolution.
class Canvas
{
public:
    Canvas(QPainter *painter, double pixelsPerPoint, const QSizeF &page)
        : painter(painter)
        , k(pixelsPerPoint)
        , width(page.width())
        , height(page.height())
    {}

    QRectF rect(double x, double y, double w, double h) const
    {
        return QRectF(x * k, y * k, w * k, h * k);
    }
    void text(double x, double y, double w, double h, int flags, const QString &text, double size,
              bool bold = false, const QColor &color = Qt::black) const
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(size);
        font.setBold(bold);
        painter->setFont(font);
        painter->setPen(color);
        const QString shown =
            QFontMetricsF(font, painter->device()).elidedText(text, Qt::ElideRight, w * k);
        painter->drawText(rect(x, y, w, h), flags | Qt::TextSingleLine, shown);
    }
    void fill(double x, double y, double w, double h, const QColor &color) const
    {
        painter->fillRect(rect(x, y, w, h), color);
    }
    void frame(double x, double y, double w, double h, double line = 0.5) const
    {
        painter->setPen(QPen(Qt::black, line * k));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect(x, y, w, h));
    }
    void rule(double y, double line = 0.7) const
    {
        painter->setPen(QPen(Qt::black, line * k));
        painter->drawLine(QPointF(0, y * k), QPointF(width * k, y * k));
    }

    QPainter *painter;
    double k;
    double width;
    double height;
};

using PageOp = std::function<void(const Canvas &)>;

// The rows of one calendar: the captions of its group levels and its production days.
struct CalendarGroup
{
    QStringList key;
    QStringList captions;
    QSet<QDate> days;
};

QList<CalendarGroup> calendarGroups(const ReportData &data)
{
    const ReportLayout &layout = data.definition.layout;
    const int dateColumn = data.Column(layout.dateField);
    if (dateColumn < 0)
        throw EDatabaseError(QStringLiteral("%1: o leiaute pede a coluna '%2', que a consulta "
                                            "não tem.")
                                 .arg(data.definition.code, layout.dateField));
    QList<CalendarGroup> groups;
    for (const QVariantList &row : data.rows) {
        QStringList key;
        QStringList captions;
        for (const ReportGroup &level : layout.groups) {
            const QString code = row.value(data.Column(level.code)).toString().trimmed();
            const QString name = row.value(data.Column(level.name)).toString().trimmed();
            key.append(code);
            captions.append(QStringLiteral("%1 %2 – %3").arg(level.label, code, name));
        }
        if (groups.isEmpty() || groups.last().key != key)
            groups.append({key, captions, {}});
        groups.last().days.insert(asDate(row.value(dateColumn)));
    }
    return groups;
}

QString summaryLine(const ReportData &data)
{
    QStringList parts;
    for (const ReportSummary &entry : data.definition.summary) {
        if (!entry.from.isEmpty()) {
            parts.append(QStringLiteral("%1: %2 a %3")
                             .arg(entry.label, monthYear(asDate(data.Parameter(entry.from))),
                                  monthYear(asDate(data.Parameter(entry.to)))));
            continue;
        }
        const bool all = data.Parameter(entry.all).toString() == QLatin1String("T");
        QString list = data.Parameter(entry.list).toString();
        list.replace(QLatin1Char(','), QStringLiteral(", "));
        parts.append(QStringLiteral("%1: %2").arg(
            entry.label,
            all ? QStringLiteral("Todas") : (list.isEmpty() ? QStringLiteral("—") : list)));
    }
    return parts.join(QStringLiteral("     "));
}

// One month as on a wall calendar: weeks from Sunday, production days shaded, days outside the
// range faint, the month's count below.
void paintMonth(const Canvas &c, double x, double y, double w, const QDate &month,
                const QSet<QDate> &days, const QDate &from, const QDate &to)
{
    c.fill(x, y, w, gridTitle, band);
    c.text(x, y, w, gridTitle, Qt::AlignCenter,
           QStringLiteral("%1 de %2")
               .arg(QString::fromUtf8(monthNames[month.month() - 1]))
               .arg(month.year()),
           8.5, true);
    const double cell = w / 7;
    for (int d = 0; d < 7; ++d)
        c.text(x + d * cell, y + gridTitle, cell, gridWeekdays, Qt::AlignCenter,
               QLatin1String(weekdayLetters[d]), 6.5, true, faint);
    int count = 0;
    const int lead = month.dayOfWeek() % 7;
    for (int day = 1; day <= month.daysInMonth(); ++day) {
        const QDate date(month.year(), month.month(), day);
        const int slot = lead + day - 1;
        const double cx = x + (slot % 7) * cell;
        const double cy = y + gridTitle + gridWeekdays + (slot / 7) * cellHeight;
        const bool inRange = date >= from && date <= to;
        const bool producing = inRange && days.contains(date);
        if (producing) {
            ++count;
            c.fill(cx + 1, cy + 1, cell - 2, cellHeight - 2, shade);
        }
        c.text(cx, cy, cell, cellHeight, Qt::AlignCenter, QString::number(day), 7.5, producing,
               inRange ? QColor(Qt::black) : faint);
    }
    const double footerTop = y + gridTitle + gridWeekdays + 6 * cellHeight;
    c.text(x, footerTop, w, gridFooter, Qt::AlignCenter,
           QStringLiteral("Produção: %1").arg(dayCount(count)), 7.5, true);
    c.frame(x, y, w, gridHeight);
}

// The months of one year that fall in the range, and the production days counted in them.
struct YearBlock
{
    int year = 0;
    QDate first; // the range's part of the year
    QDate last;
    QList<QDate> months;
    int total = 0;
};

QList<YearBlock> yearBlocks(const CalendarGroup &group, const QDate &from, const QDate &to)
{
    QList<YearBlock> blocks;
    if (!from.isValid() || !to.isValid())
        return blocks;
    for (int year = from.year(); year <= to.year(); ++year) {
        YearBlock block{
            year, std::max(from, QDate(year, 1, 1)), std::min(to, QDate(year, 12, 31)), {}, 0};
        for (const QDate &day : group.days)
            block.total += day >= block.first && day <= block.last;
        // A year without a production day says nothing about the calendar.
        if (block.total == 0)
            continue;
        for (QDate month(year, block.first.month(), 1); month <= block.last;
             month = month.addMonths(1))
            block.months.append(month);
        blocks.append(block);
    }
    return blocks;
}

// What the year's total counts: the year, its whole months ("janeiro a março de 2026"), or days.
QString blockRange(const YearBlock &block)
{
    const bool wholeMonths = block.first.day() == 1 && block.last.day() == block.last.daysInMonth();
    if (!wholeMonths)
        return QStringLiteral("%1 a %2").arg(block.first.toString(QStringLiteral("dd/MM/yyyy")),
                                             block.last.toString(QStringLiteral("dd/MM/yyyy")));
    if (block.first.month() == 1 && block.last.month() == 12)
        return QString::number(block.year);
    const QString first = QString::fromUtf8(monthNames[block.first.month() - 1]).toLower();
    if (block.first.month() == block.last.month())
        return QStringLiteral("%1 de %2").arg(first).arg(block.year);
    return QStringLiteral("%1 a %2 de %3")
        .arg(first, QString::fromUtf8(monthNames[block.last.month() - 1]).toLower())
        .arg(block.year);
}

double blockHeight(const YearBlock &block)
{
    const qsizetype rows = (block.months.size() + gridsPerRow - 1) / gridsPerRow;
    return yearHeight + double(rows) * (gridHeight + rowGap);
}

// Fills pages from top to bottom. Every page opens with the heading of the calendar it shows, so a
// page read alone still says whose calendar it is.
class PageFlow
{
public:
    PageFlow(double width, double top, double bottom)
        : m_width(width)
        , m_top(top)
        , m_bottom(bottom)
        , m_y(top)
    {}

    QList<QList<PageOp>> pages{{}};

    // Starts the calendar on this page when it has room for its heading and first block.
    void startGroup(const CalendarGroup &group, double firstBlock)
    {
        m_group = &group;
        if (m_y > m_top && m_y + groupGap + groupHeight + firstBlock > m_bottom) {
            pages.append(QList<PageOp>());
            m_y = m_top;
        }
        if (m_y > m_top)
            m_y += groupGap;
        heading(false);
    }
    // Room for a block of that height: on this page, else on the next one; a block taller than a
    // page starts on a page of its own.
    void reserve(double height)
    {
        if (m_y + height > m_bottom && !m_onlyHeading)
            newPage();
    }
    void add(double height, const std::function<void(const Canvas &, double y)> &paint)
    {
        place(height, paint);
        m_onlyHeading = false;
    }
    double width() const { return m_width; }

private:
    static constexpr double groupGap = 8;
    static constexpr double continuedWidth = 70;

    void newPage()
    {
        pages.append(QList<PageOp>());
        m_y = m_top;
        heading(true);
    }
    void heading(bool continued)
    {
        const QString caption = m_group->captions.join(QStringLiteral("     "));
        place(groupHeight, [caption, continued, width = m_width](const Canvas &c, double y) {
            const double mark = continued ? continuedWidth : 0;
            c.fill(0, y, width, groupHeight - 4, band);
            c.text(6, y, width - 12 - mark, groupHeight - 4, Qt::AlignLeft | Qt::AlignVCenter,
                   caption, 10, true);
            if (continued)
                c.text(width - 6 - mark, y, mark, groupHeight - 4,
                       Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("(continuação)"), 8.5);
        });
        m_onlyHeading = true;
    }
    void place(double height, const std::function<void(const Canvas &, double y)> &paint)
    {
        pages.last().append([paint, y = m_y](const Canvas &c) { paint(c, y); });
        m_y += height;
    }

    double m_width;
    double m_top;
    double m_bottom;
    double m_y;
    bool m_onlyHeading = false;
    const CalendarGroup *m_group = nullptr;
};

void placeYear(PageFlow &flow, const YearBlock &block, const QSet<QDate> &days, const QDate &from,
               const QDate &to)
{
    // A year stays on one page when it fits on one; else it breaks between rows of months.
    flow.reserve(blockHeight(block));
    flow.add(yearHeight, [block](const Canvas &c, double y) {
        c.text(0, y, c.width, yearHeight - 4, Qt::AlignLeft | Qt::AlignVCenter,
               QString::number(block.year), 11, true);
        c.text(0, y, c.width, yearHeight - 4, Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Total de %1: %2 de produção")
                   .arg(blockRange(block), dayCount(block.total)),
               9, true);
    });
    const double gridWidth = (flow.width() - (gridsPerRow - 1) * columnGap) / gridsPerRow;
    for (qsizetype first = 0; first < block.months.size(); first += gridsPerRow) {
        flow.reserve(gridHeight + rowGap);
        const QList<QDate> row = block.months.mid(first, gridsPerRow);
        flow.add(gridHeight + rowGap, [=](const Canvas &c, double y) {
            for (qsizetype i = 0; i < row.size(); ++i)
                paintMonth(c, double(i) * (gridWidth + columnGap), y, gridWidth, row[i], days, from,
                           to);
        });
    }
}

// Lays the calendar out in pages: each page a list of drawing steps.
QList<QList<PageOp>> calendarPages(const ReportData &data, double width, double height)
{
    const ReportLayout &layout = data.definition.layout;
    const QDate from = asDate(data.Parameter(layout.from));
    const QDate to = asDate(data.Parameter(layout.to));
    QList<std::pair<const CalendarGroup *, QList<YearBlock>>> calendars;
    const QList<CalendarGroup> groups = calendarGroups(data);
    for (const CalendarGroup &group : groups) {
        if (QList<YearBlock> blocks = yearBlocks(group, from, to); !blocks.isEmpty())
            calendars.append({&group, blocks});
    }
    PageFlow flow(width, headerHeight, height - footerHeight);
    if (calendars.isEmpty()) {
        flow.pages.last().append([width](const Canvas &c) {
            c.text(0, headerHeight + 8, width, 16, Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Nenhum dia de produção nas filiais, periodicidades e meses "
                                  "escolhidos."),
                   10);
        });
        return flow.pages;
    }
    for (const auto &[group, blocks] : calendars) {
        flow.startGroup(*group, blockHeight(blocks.first()));
        for (const YearBlock &block : blocks)
            placeYear(flow, block, group->days, from, to);
    }
    return flow.pages;
}

void paintPageFrame(const Canvas &c, const ReportData &data, const QString &summary, int page,
                    int pages)
{
    c.text(0, 0, 120, 20, Qt::AlignLeft | Qt::AlignVCenter, data.definition.code, 10, true);
    c.text(120, 0, c.width - 240, 20, Qt::AlignCenter, data.title, 14, true);
    c.text(c.width - 120, 0, 120, 20, Qt::AlignRight | Qt::AlignVCenter,
           QStringLiteral("Página %1 de %2").arg(page).arg(pages), 9);
    c.text(0, 22, c.width, 14, Qt::AlignLeft | Qt::AlignVCenter, summary, 8.5);
    c.rule(40);
    const double foot = c.height - footerHeight + 6;
    c.rule(foot - 2, 0.5);
    c.text(0, foot, c.width / 2, 12, Qt::AlignLeft | Qt::AlignVCenter,
           QStringLiteral("Emitido em %1")
               .arg(data.issued.toString(QStringLiteral("dd/MM/yyyy 'às' HH:mm"))),
           7.5);
    if (data.definition.layout.kind == QLatin1String("calendar")) {
        c.fill(c.width - 96, foot + 2, 12, 8, shade);
        c.text(c.width - 80, foot, 80, 12, Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Dia de produção"), 7.5);
    }
}

} // namespace

namespace host {

void PaintCalendarReport(const ReportData &data, QPagedPaintDevice *device)
{
    const QSizeF page = device->pageLayout().paintRectPoints().size();
    const QList<QList<PageOp>> pages = calendarPages(data, page.width(), page.height());
    QPainter painter(device);
    painter.setRenderHint(QPainter::Antialiasing);
    const Canvas canvas(&painter, device->logicalDpiY() / 72.0, page);
    const QString summary = summaryLine(data);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            device->newPage();
        paintPageFrame(canvas, data, summary, i + 1, int(pages.size()));
        for (const PageOp &op : pages[i])
            op(canvas);
    }
}

} // namespace host
