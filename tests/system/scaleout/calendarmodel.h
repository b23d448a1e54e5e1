#pragma once

#include <QDate>
#include <QJsonArray>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <random>
#include <set>

namespace scaleout {

struct Periodicity
{
    bool monthDays = false;     // IDTIPODIAP 'M': the days are days of the month, else weekdays
    bool avoidHolidays = false; // IDDIANUTILP 'S'
    QSet<int> days;             // DIASPRODUCAO
};

// The branches, periodicities and holidays of a run, as the test writes them to the database.
struct Reference
{
    QMap<QString, bool> branches; // code -> contract rescinded
    QMap<QString, Periodicity> periodicities;
    QMap<QString, QList<QDate>> holidays; // branch ("" for every branch) -> its holidays

    bool isHoliday(const QString &branch, QDate day) const;
    // Whether a calculation makes `day` a production day of (branch, periodicity).
    bool produces(const QString &branch, const QString &periodicity, QDate day) const;
    // Whether the branch and periodicity exist and the branch may receive new days.
    bool writable(const QString &branch, const QString &periodicity) const;
};

// A calendar row as the test lists them: "branch/periodicity/YYYY-MM-DD".
QString rowKey(const QString &branch, const QString &periodicity, QDate day);

// One call to the server: method and positional params, as sent.
struct Call
{
    QString method;
    QJsonArray params;
    QString describe() const;
};

// The keys a client draws its calls from.
struct Scope
{
    QStringList branches;
    QStringList periodicities;
    QStringList odd;        // branches that are rescinded or do not exist, drawn now and then
    bool copyToAll = false; // copies may also go to every branch ("T")
};

// A random write in 2030: a change set, a deletion of a day, month or year, a calculation or a
// copy. Some change sets insert on holidays, some calls name an odd branch.
Call randomCall(std::mt19937 &random, const Scope &scope, const Reference &reference);

// What the server's writing methods do to the calendar, in memory. An additive model never
// removes a row: applied to every call that succeeded, again until nothing more is added, it
// holds every row that any order of those calls could have left.
class CalendarModel
{
public:
    enum class Mode { Exact, Additive };

    CalendarModel(const Reference &reference, std::set<QString> rows, Mode mode = Mode::Exact);

    // Applies the call as the server does; false when the server's rules refuse it, and then
    // nothing changes.
    bool apply(const Call &call);
    const std::set<QString> &rows() const { return m_rows; }

private:
    bool setCaleProdu(const QJsonArray &changes);
    bool calculate(const QString &b, const QString &p, QDate first, int months, QDate proc);
    bool copy(const QString &source, const QString &p, const QString &list, bool all, QDate first,
              QDate last);
    QList<QDate> days(const QString &b, const QString &p, QDate from, QDate to) const;
    void remove(const QString &b, const QString &p, QDate from, QDate to);

    const Reference &m_reference;
    std::set<QString> m_rows;
    Mode m_mode;
};

} // namespace scaleout
