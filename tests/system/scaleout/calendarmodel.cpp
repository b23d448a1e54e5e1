#include "calendarmodel.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <tuple>

namespace scaleout {

namespace {

QString iso(QDate day)
{
    return day.toString(Qt::ISODate);
}

QDate monthEnd(QDate day)
{
    return QDate(day.year(), day.month(), day.daysInMonth());
}

int pick(std::mt19937 &random, int count)
{
    return static_cast<int>(random() % static_cast<unsigned>(count));
}

bool chance(std::mt19937 &random, int percent)
{
    return pick(random, 100) < percent;
}

QDate dayOf2030(std::mt19937 &random)
{
    return QDate(2030, 1, 1).addDays(pick(random, 365));
}

// A processing date: half of them before the year, so that nothing of it is history.
QDate processingDate(std::mt19937 &random)
{
    return chance(random, 50) ? QDate(2029, 12, 31) : dayOf2030(random);
}

QString branchOf(std::mt19937 &random, const Scope &scope, int oddPercent)
{
    const QStringList &list =
        !scope.odd.isEmpty() && chance(random, oddPercent) ? scope.odd : scope.branches;
    return list.at(pick(random, int(list.size())));
}

// A day to insert: now and then a holiday of the branch, which some periodicities refuse.
QDate insertDay(std::mt19937 &random, const Reference &reference, const QString &branch)
{
    if (chance(random, 15)) {
        const QList<QDate> holidays =
            reference.holidays.value(QString()) + reference.holidays.value(branch);
        if (!holidays.isEmpty())
            return holidays.at(pick(random, int(holidays.size())));
    }
    return dayOf2030(random);
}

QJsonObject changeSet(std::mt19937 &random, const Scope &scope, const Reference &reference)
{
    QJsonArray changes;
    const auto row = [&](bool insert) {
        const QString b = branchOf(random, scope, 4);
        const QString p = scope.periodicities.at(pick(random, int(scope.periodicities.size())));
        const QDate day = insert ? insertDay(random, reference, b) : dayOf2030(random);
        return QJsonArray{b, p, iso(day)};
    };
    for (int n = 1 + pick(random, 4); n > 0; --n) {
        const int kind = pick(random, 10);
        if (kind < 6)
            changes.append(QJsonObject{{"op", "insert"}, {"row", row(true)}});
        else if (kind < 9)
            changes.append(QJsonObject{{"op", "delete"}, {"row", row(false)}});
        else
            changes.append(QJsonObject{{"op", "update"}, {"old", row(false)}, {"new", row(true)}});
    }
    return {
        {"fields", QJsonArray{QJsonObject{{"name", "CDFILIAL"}, {"type", "string"}, {"size", 4}},
                              QJsonObject{{"name", "CDPERIPRODU"}, {"type", "string"}, {"size", 2}},
                              QJsonObject{{"name", "DTPRODUCAO"}, {"type", "date"}}}},
        {"rows", QJsonArray()},
        {"changes", changes}};
}

QString destinations(std::mt19937 &random, const Scope &scope)
{
    QStringList list;
    for (int n = 1 + pick(random, 3); n > 0; --n)
        list.append(branchOf(random, scope, 5));
    list.sort();
    list.removeDuplicates();
    return list.join(QLatin1Char(','));
}

} // namespace

bool Reference::isHoliday(const QString &branch, QDate day) const
{
    return holidays.value(QString()).contains(day) || holidays.value(branch).contains(day);
}

bool Reference::produces(const QString &branch, const QString &periodicity, QDate day) const
{
    const Periodicity &kind = periodicities[periodicity];
    // 1 = Sunday ... 7 = Saturday.
    const int number = kind.monthDays ? day.day() : day.dayOfWeek() % 7 + 1;
    return kind.days.contains(number) && !(kind.avoidHolidays && isHoliday(branch, day));
}

bool Reference::writable(const QString &branch, const QString &periodicity) const
{
    return branches.contains(branch) && !branches.value(branch) &&
           periodicities.contains(periodicity);
}

QString rowKey(const QString &branch, const QString &periodicity, QDate day)
{
    return branch + QLatin1Char('/') + periodicity + QLatin1Char('/') + iso(day);
}

QString Call::describe() const
{
    return method + QString::fromUtf8(QJsonDocument(params).toJson(QJsonDocument::Compact));
}

Call randomCall(std::mt19937 &random, const Scope &scope, const Reference &reference)
{
    const QString b = branchOf(random, scope, 10);
    const QString p = scope.periodicities.at(pick(random, int(scope.periodicities.size())));
    const int kind = pick(random, 100);
    if (kind < 35)
        return {"SetCaleProdu", {changeSet(random, scope, reference)}};
    if (kind < 50)
        return {"GetDelCaleProdu", {b, p, iso(dayOf2030(random))}};
    if (kind < 58)
        return {"GetDelCaleProduMes",
                {b, p, iso(processingDate(random)),
                 QStringLiteral("%1/2030").arg(1 + pick(random, 12), 2, 10, QLatin1Char('0'))}};
    if (kind < 62)
        return {"GetDelCaleProduAno", {b, p, iso(processingDate(random)), "2030"}};
    if (kind < 80) {
        const QDate first =
            chance(random, 70) ? QDate(2030, 1 + pick(random, 12), 1) : dayOf2030(random);
        return {"CalculaProducao",
                {b, p, iso(first), chance(random, 70) ? 1 : 12, iso(processingDate(random))}};
    }
    // A copy of some months; now and then the range is reversed and copies nothing.
    const QDate first(2030, 1 + pick(random, 12), 1 + pick(random, 28));
    const QDate last = chance(random, 90) ? first.addMonths(pick(random, 4)) : first.addMonths(-1);
    const bool all = scope.copyToAll && chance(random, 25);
    return {"GetInsDel",
            {b, p, all ? QString() : destinations(random, scope), all ? "T" : " ", iso(first),
             iso(last)}};
}

CalendarModel::CalendarModel(const Reference &reference, std::set<QString> rows, Mode mode)
    : m_reference(reference)
    , m_rows(std::move(rows))
    , m_mode(mode)
{}

bool CalendarModel::apply(const Call &call)
{
    const QJsonArray &a = call.params;
    const auto text = [&a](int i) { return a.at(i).toString(); };
    const auto date = [&a](int i) { return QDate::fromString(a.at(i).toString(), Qt::ISODate); };
    if (call.method == "SetCaleProdu")
        return setCaleProdu(a.at(0).toObject().value("changes").toArray());
    if (call.method == "GetDelCaleProdu") {
        remove(text(0), text(1), date(2), date(2));
        return true;
    }
    if (call.method == "GetDelCaleProduMes") {
        const QDate first = QDate::fromString("01/" + text(3), "dd/MM/yyyy");
        remove(text(0), text(1), std::max(first, date(2)), monthEnd(first));
        return true;
    }
    if (call.method == "GetDelCaleProduAno") {
        const int year = text(3).toInt();
        remove(text(0), text(1), std::max(QDate(year, 1, 1), date(2)), QDate(year, 12, 31));
        return true;
    }
    if (call.method == "CalculaProducao")
        return calculate(text(0), text(1), date(2), a.at(3).toInt(), date(4));
    if (call.method == "GetInsDel")
        return copy(text(0), text(1), text(2), text(3) == "T", date(4), date(5));
    qFatal("the model does not know %s", qPrintable(call.method));
}

bool CalendarModel::setCaleProdu(const QJsonArray &changes)
{
    struct Change
    {
        bool insert;
        QString b, p;
        QDate day;
    };
    QList<Change> list;
    const auto add = [&list](bool insert, const QJsonValue &row) {
        const QJsonArray values = row.toArray();
        list.append({insert, values.at(0).toString(), values.at(1).toString(),
                     QDate::fromString(values.at(2).toString(), Qt::ISODate)});
    };
    for (const QJsonValue &value : changes) {
        const QJsonObject change = value.toObject();
        const QString op = change.value("op").toString();
        if (op == "update") {
            add(false, change.value("old"));
            add(true, change.value("new"));
        } else {
            add(op == "insert", change.value("row"));
        }
    }
    // The server applies the changes in key order, those of one day in the order sent.
    std::stable_sort(list.begin(), list.end(), [](const Change &x, const Change &y) {
        return std::tie(x.b, x.p, x.day) < std::tie(y.b, y.p, y.day);
    });
    for (const Change &change : list)
        if (change.insert && (!m_reference.writable(change.b, change.p) ||
                              (m_reference.periodicities[change.p].avoidHolidays &&
                               m_reference.isHoliday(change.b, change.day))))
            return false;
    for (const Change &change : list) {
        if (change.insert)
            m_rows.insert(rowKey(change.b, change.p, change.day));
        else
            remove(change.b, change.p, change.day, change.day);
    }
    return true;
}

bool CalendarModel::calculate(const QString &b, const QString &p, QDate first, int months,
                              QDate proc)
{
    if (!m_reference.writable(b, p))
        return false;
    const QDate last = monthEnd(first.addMonths(months - 1));
    const QDate start = std::max(first, proc);
    remove(b, p, start, last);
    for (QDate day = start; day <= last; day = day.addDays(1))
        if (m_reference.produces(b, p, day))
            m_rows.insert(rowKey(b, p, day));
    return true;
}

bool CalendarModel::copy(const QString &source, const QString &p, const QString &list, bool all,
                         QDate first, QDate last)
{
    if (!m_reference.branches.contains(source) || !m_reference.periodicities.contains(p))
        return false;
    QStringList targets;
    if (all) {
        for (auto branch = m_reference.branches.begin(); branch != m_reference.branches.end();
             ++branch)
            if (branch.key() != source && !branch.value())
                targets.append(branch.key());
    } else {
        // The source itself is skipped before the destinations are checked.
        for (const QString &target : list.split(QLatin1Char(',')))
            if (target != source && !m_reference.writable(target, p))
                return false;
            else if (target != source)
                targets.append(target);
    }
    first = QDate(first.year(), first.month(), 1);
    last = monthEnd(last);
    if (first > last)
        return true;
    const QList<QDate> copied = days(source, p, first, last);
    for (const QString &target : targets) {
        remove(target, p, first, last);
        for (QDate day : copied)
            if (!(m_reference.periodicities[p].avoidHolidays && m_reference.isHoliday(target, day)))
                m_rows.insert(rowKey(target, p, day));
    }
    return true;
}

QList<QDate> CalendarModel::days(const QString &b, const QString &p, QDate from, QDate to) const
{
    QList<QDate> found;
    const QString last = rowKey(b, p, to);
    for (auto row = m_rows.lower_bound(rowKey(b, p, from)); row != m_rows.end() && *row <= last;
         ++row)
        found.append(QDate::fromString(row->section(QLatin1Char('/'), 2), Qt::ISODate));
    return found;
}

void CalendarModel::remove(const QString &b, const QString &p, QDate from, QDate to)
{
    if (m_mode == Mode::Additive || from > to)
        return;
    m_rows.erase(m_rows.lower_bound(rowKey(b, p, from)), m_rows.upper_bound(rowKey(b, p, to)));
}

} // namespace scaleout
