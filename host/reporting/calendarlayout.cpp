#include "reporting/calendarlayout.h"

#include "reporting/reportdata.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSet>

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

// Lays the calendar out in pages: each page a list of drawing steps.
QList<QList<PageOp>> calendarPages(const ReportData &data, double width, double height)
{
    const ReportLayout &layout = data.definition.layout;
    const QDate from = asDate(data.Parameter(layout.from));
    const QDate to = asDate(data.Parameter(layout.to));
    const QList<CalendarGroup> groups = calendarGroups(data);
    const double top = headerHeight;
    const double bottom = height - footerHeight;
    const double rowHeight = gridHeight + rowGap;
    const double gridWidth = (width - (gridsPerRow - 1) * columnGap) / gridsPerRow;

    QList<QList<PageOp>> pages{{}};
    double y = top;
    const auto need = [&](double h) {
        if (y + h > bottom && y > top) {
            pages.append(QList<PageOp>());
            y = top;
        }
    };
    if (groups.isEmpty() || !from.isValid() || !to.isValid()) {
        pages.last().append([y, width](const Canvas &c) {
            c.text(0, y + 8, width, 16, Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Nenhum dia de produção nas filiais, periodicidades e meses "
                                  "escolhidos."),
                   10);
        });
        return pages;
    }

    for (const CalendarGroup &group : groups) {
        if (y > top)
            y += 8;
        need(groupHeight + yearHeight + rowHeight);
        pages.last().append([y, width, captions = group.captions](const Canvas &c) {
            c.fill(0, y, width, groupHeight - 4, band);
            c.text(6, y, width - 12, groupHeight - 4, Qt::AlignLeft | Qt::AlignVCenter,
                   captions.join(QStringLiteral("     ")), 10, true);
        });
        y += groupHeight;
        for (int year = from.year(); year <= to.year(); ++year) {
            QList<QDate> months;
            for (int m = 1; m <= 12; ++m) {
                const QDate month(year, m, 1);
                if (month.addMonths(1) > from && month <= to)
                    months.append(month);
            }
            int total = 0;
            for (const QDate &day : group.days)
                total += day.year() == year && day >= from && day <= to;
            need(yearHeight + rowHeight);
            pages.last().append([y, width, year, total](const Canvas &c) {
                c.text(0, y, width, yearHeight - 4, Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("%1").arg(year), 11, true);
                c.text(0, y, width, yearHeight - 4, Qt::AlignRight | Qt::AlignVCenter,
                       QStringLiteral("Total de %1: %2 de produção").arg(year).arg(dayCount(total)),
                       9, true);
            });
            y += yearHeight;
            for (int first = 0; first < months.size(); first += gridsPerRow) {
                need(rowHeight);
                const QList<QDate> row = months.mid(first, gridsPerRow);
                pages.last().append([=, days = group.days](const Canvas &c) {
                    for (int i = 0; i < row.size(); ++i)
                        paintMonth(c, i * (gridWidth + columnGap), y, gridWidth, row[i], days, from,
                                   to);
                });
                y += rowHeight;
            }
        }
    }
    return pages;
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
