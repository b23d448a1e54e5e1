#include "methods.h"

#include "arguments.h"
#include "calendarlocks.h"
#include "date.h"
#include "journalmethods.h"
#include "overview.h"
#include "packets.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace caleserver {

namespace json = boost::json;

namespace {

const Fields calendarFields{
    {"CDFILIAL", "string", 4}, {"CDPERIPRODU", "string", 2}, {"DTPRODUCAO", "date"}};
const Fields branchFields{{"CDFILIAL", "string", 4}};

// One call: where its storage comes from.
struct Call
{
    const StorageSource &storage;
    const Caller &caller;
};

Outcome unavailable(const std::string &why)
{
    return Outcome::failure(ErrorCode::StorageFailure, "Banco de dados indisponível: " + why);
}

// Asks for the storage only now that the call is known to be well formed.
Outcome inTransaction(const Call &call, Storage::Mode mode,
                      const std::function<Outcome(Storage &)> &body)
{
    std::string why;
    Storage *storage = call.storage(mode, &why);
    if (!storage)
        return unavailable(why);
    return storage->transaction(mode, [&]() { return body(*storage); });
}

// Runs one read in a transaction of its own and answers its rows as a packet.
Outcome readPacket(const Call &call, const Fields &fields, const std::string &sql,
                   const std::vector<Param> &binds, const std::vector<std::string> &leading = {})
{
    return inTransaction(call, Storage::Mode::Read, [&](Storage &storage) {
        return answerRows(storage, fields, sql, binds, leading);
    });
}

Outcome refused(std::string message)
{
    return Outcome::failure(ErrorCode::Refused, std::move(message));
}

struct Branch
{
    bool found = false;
    bool rescinded = false;
    std::string name;
};

struct Periodicity
{
    bool found = false;
    bool avoidHolidays = false;
    bool monthDays = false;
};

bool flag(std::string_view text, char value)
{
    text = trimmed(text);
    return text.size() == 1 && text.front() == value;
}

bool readBranch(Storage &storage, const std::string &code, Branch *branch)
{
    Rows *query = storage.exec(
        "SELECT NMFILIAL, IDCNTRRESC FROM FILIAL WHERE CDFILIAL = ?" + storage.shareLock(), {code});
    if (!query)
        return false;
    *branch = {};
    if (query->next())
        *branch = {true, flag(query->text(1), 'S'), std::string(trimmed(query->text(0)))};
    query->finish();
    return true;
}

bool readPeriodicity(Storage &storage, const std::string &code, Periodicity *periodicity)
{
    Rows *query =
        storage.exec("SELECT IDDIANUTILP, IDTIPODIAP FROM PERIPRODUCAO WHERE CDPERIPRODU = ?" +
                         storage.shareLock(),
                     {code});
    if (!query)
        return false;
    *periodicity = {};
    if (query->next())
        *periodicity = {true, flag(query->text(0), 'S'), flag(query->text(1), 'M')};
    query->finish();
    return true;
}

Outcome unknownBranch(const std::string &code, const char *role = "")
{
    return refused(std::string("A filial") + role + " " + code + " não está cadastrada.");
}

Outcome rescindedBranch(const std::string &code, const Branch &branch)
{
    return refused("A filial " + code + " (" + branch.name +
                   ") teve o contrato rescindido e não recebe novos dias de produção.");
}

Outcome unknownPeriodicity(const std::string &code)
{
    return refused("A periodicidade " + code + " não está cadastrada.");
}

// Branch and periodicity that may receive new production days; sets *periodicity.
Outcome checkWriteTarget(Storage &storage, const std::string &branchCode,
                         const std::string &periCode, Periodicity *periodicity)
{
    Branch branch;
    if (!readBranch(storage, branchCode, &branch))
        return storage.storageFailure();
    if (!branch.found)
        return unknownBranch(branchCode);
    if (branch.rescinded)
        return rescindedBranch(branchCode, branch);
    if (!readPeriodicity(storage, periCode, periodicity))
        return storage.storageFailure();
    if (!periodicity->found)
        return unknownPeriodicity(periCode);
    return Outcome::success();
}

Outcome lockCalendar(Storage &storage, const std::string &b, const std::string &p)
{
    CalendarLocks locks;
    locks.add(b, p);
    return locks.take(storage);
}

// The answer of a write once its change set is recorded.
Outcome journaled(Journal &journal, Outcome answer)
{
    const Outcome recorded = journal.record();
    return recorded.ok() ? answer : recorded;
}

Outcome deleteRange(const Call &call, const char *method, const std::string &b,
                    const std::string &p, Date first, Date last)
{
    if (b.empty() || p.empty() || first > last)
        return ignored();
    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        if (const Outcome locked = lockCalendar(storage, b, p); !locked.ok())
            return locked;
        Journal journal(storage, call.caller, method, b, p);
        if (!journal.watch({b}, p, first, last))
            return storage.storageFailure();
        if (!storage.exec("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND "
                          "DTPRODUCAO BETWEEN ? AND ?",
                          {b, p, first.iso(), last.iso()}))
            return storage.storageFailure();
        return journaled(journal, ignored());
    });
}

// ---------------------------------------------------------------------------------------------

Outcome getCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetCaleProdu", params, {"filial", "periodicidade", "ano"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const int year = args.year(2);
    if (args.failed())
        return args.error();
    if (b.empty() || p.empty() || year == 0)
        return empty(calendarFields);
    // A year is up to 366 rows whose branch and periodicity are the ones asked for.
    return readPacket(call, calendarFields,
                      "SELECT DTPRODUCAO FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? "
                      "AND DTPRODUCAO BETWEEN ? AND ? ORDER BY DTPRODUCAO",
                      {b, p, Date(year, 1, 1).iso(), Date(year, 12, 31).iso()}, {b, p});
}

// The journal of a change set: every month of every calendar it names; the call's calendar when
// all its changes share one.
Journal watchChanges(Storage &storage, const Caller &caller, const std::vector<Change> &changes)
{
    const bool one = std::all_of(changes.begin(), changes.end(), [&](const Change &change) {
        return change.branch == changes.front().branch &&
               change.periodicity == changes.front().periodicity;
    });
    Journal journal(storage, caller, "SetCaleProdu", one ? changes.front().branch : "",
                    one ? changes.front().periodicity : "");
    std::set<std::tuple<std::string, std::string, Date>> months;
    for (const Change &change : changes)
        months.emplace(change.branch, change.periodicity, change.date.monthStart());
    for (const auto &[branch, periodicity, month] : months)
        if (!branch.empty())
            journal.watch({branch}, periodicity, month, month.monthEnd());
    return journal;
}

Outcome setCaleProdu(const Call &call, const json::array &params)
{
    Args args("SetCaleProdu", params, {"conjunto de alterações"});
    if (args.failed())
        return args.error();
    std::vector<Change> changes;
    const Outcome read = readChangeSet("SetCaleProdu", params.at(0), &changes);
    if (!read.ok())
        return read;
    if (changes.empty())
        return ignored();
    // One key order for every writer, so that two change sets never wait on each other's rows
    // crosswise; changes of one day keep their order, and days are independent of each other.
    std::stable_sort(changes.begin(), changes.end(), [](const Change &x, const Change &y) {
        return std::tie(x.branch, x.periodicity, x.date) <
               std::tie(y.branch, y.periodicity, y.date);
    });

    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        CalendarLocks locks;
        for (const Change &change : changes)
            locks.add(change.branch, change.periodicity);
        if (const Outcome locked = locks.take(storage); !locked.ok())
            return locked;
        Journal journal = watchChanges(storage, call.caller, changes);
        std::map<std::string, Periodicity> checked; // "branch/periodicity" allowed in this call
        for (const Change &change : changes) {
            const std::string day = change.date.iso();
            if (!change.insert) {
                if (!change.branch.empty() && !change.periodicity.empty() &&
                    !storage.exec("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = "
                                  "? AND DTPRODUCAO = ?",
                                  {change.branch, change.periodicity, day}))
                    return storage.storageFailure();
                continue;
            }
            const std::string target = change.branch + '/' + change.periodicity;
            auto allowed = checked.find(target);
            if (allowed == checked.end()) {
                Periodicity periodicity;
                const Outcome check =
                    checkWriteTarget(storage, change.branch, change.periodicity, &periodicity);
                if (!check.ok())
                    return check;
                allowed = checked.emplace(target, periodicity).first;
            }
            if (allowed->second.avoidHolidays) {
                Rows *holiday = storage.exec("SELECT NMFERIADO FROM FERIADO WHERE DTFERICOMP = ? "
                                             "AND (CDFILIAL = ? OR CDFILIAL IS NULL)",
                                             {day, change.branch});
                if (!holiday)
                    return storage.storageFailure();
                if (holiday->next()) {
                    const std::string name(trimmed(holiday->text(0)));
                    holiday->finish();
                    return refused("Feriado nesta data: " + change.date.shown() + " (" + name +
                                   ") na filial " + change.branch + "; a periodicidade " +
                                   change.periodicity + " não produz em feriados.");
                }
            }
            if (!storage.exec("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) "
                              "VALUES (?, ?, ?) ON CONFLICT DO NOTHING",
                              {change.branch, change.periodicity, day}))
                return storage.storageFailure();
        }
        return journaled(journal, ignored());
    });
}

Outcome getDelCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetDelCaleProdu", params, {"filial", "periodicidade", "data"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date day = args.date(2);
    if (args.failed())
        return args.error();
    return deleteRange(call, "GetDelCaleProdu", b, p, day, day);
}

Outcome getDelCaleProduMes(const Call &call, const json::array &params)
{
    Args args("GetDelCaleProduMes", params,
              {"filial", "periodicidade", "data de processamento", "mês (MM/AAAA)"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date proc = args.date(2);
    const std::string_view monthText = args.text(3);
    if (args.failed())
        return args.error();
    std::string_view yearText;
    const int month = monthOf(monthText, &yearText);
    int year = 0;
    if (month < 1 || month > 12 || !parseYear(yearText, &year))
        return invalid("Mês inválido: \"" + excerpt(monthText) +
                       "\". Use MM/AAAA, por exemplo 03/2026.");
    if (year == 0)
        return ignored();
    const Date first(year, month, 1);
    return deleteRange(call, "GetDelCaleProduMes", b, p, std::max(first, proc), first.monthEnd());
}

Outcome getDelCaleProduAno(const Call &call, const json::array &params)
{
    Args args("GetDelCaleProduAno", params,
              {"filial", "periodicidade", "data de processamento", "ano"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date proc = args.date(2);
    const int year = args.year(3);
    if (args.failed())
        return args.error();
    if (year == 0)
        return ignored();
    return deleteRange(call, "GetDelCaleProduAno", b, p, std::max(Date(year, 1, 1), proc),
                       Date(year, 12, 31));
}

// Replaces the days of one calendar in [start, last] by its periodicity's days; the calendar is
// locked and watched by the caller.
bool calculateDays(Storage &storage, const std::string &b, const std::string &p,
                   const Periodicity &periodicity, Date start, Date last)
{
    const std::string from = start.iso();
    const std::string to = last.iso();
    if (!storage.exec("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND "
                      "DTPRODUCAO BETWEEN ? AND ?",
                      {b, p, from, to}))
        return false;
    const std::string dayNumber =
        periodicity.monthDays ? storage.dayOfMonthOf("DIA") : storage.weekdayOf("DIA");
    std::string sql = storage.daySeries() +
                      "INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) SELECT "
                      "CAST(? AS CHAR(4)), CAST(? AS CHAR(2)), DIA FROM DIAS WHERE " +
                      dayNumber + " IN (SELECT NRDIAPRODU FROM DIASPRODUCAO WHERE CDPERIPRODU = ?)";
    std::vector<Param> binds{from, to, b, p, p};
    if (periodicity.avoidHolidays) {
        sql += " AND NOT EXISTS (SELECT 1 FROM FERIADO F WHERE F.DTFERICOMP = DIAS.DIA AND "
               "(F.CDFILIAL = ? OR F.CDFILIAL IS NULL))";
        binds.emplace_back(b);
    }
    sql += " ON CONFLICT DO NOTHING";
    return storage.exec(sql, Params(binds)) != nullptr;
}

Outcome calculaProducao(const Call &call, const json::array &params)
{
    Args args(
        "CalculaProducao", params,
        {"filial", "periodicidade", "primeiro dia", "número de meses", "data de processamento"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date first = args.date(2);
    const int months = args.integer(3);
    const Date proc = args.date(4);
    if (args.failed())
        return args.error();
    if (months != 1 && months != 12)
        return invalid("Número de meses inválido: " + std::to_string(months) +
                       ". Calcule 1 (um mês) ou 12 (o ano).");
    if (b.empty() || p.empty())
        return invalid("Informe a filial e a periodicidade para calcular a produção.");
    // Dates on the wire stop at 9999; a year calculated from December 9999 ends there too.
    const Date monthsLater = first.addMonths(months - 1);
    const Date last = monthsLater.isValid() ? monthsLater.monthEnd() : Date(9999, 12, 31);
    const Date start = std::max(first, proc);

    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        Periodicity periodicity;
        const Outcome allowed = checkWriteTarget(storage, b, p, &periodicity);
        if (!allowed.ok() || start > last)
            return allowed.ok() ? ignored() : allowed;
        if (const Outcome locked = lockCalendar(storage, b, p); !locked.ok())
            return locked;
        Journal journal(storage, call.caller, "CalculaProducao", b, p);
        if (!journal.watch({b}, p, start, last))
            return storage.storageFailure();
        storage.markBulk();
        if (!calculateDays(storage, b, p, periodicity, start, last))
            return storage.storageFailure();
        return journaled(journal, ignored());
    });
}

Outcome getCaleProduAux(const Call &call, const json::array &params)
{
    Args args("GetCaleProduAux", params, {"filial", "periodicidade", "data"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date day = args.date(2);
    if (args.failed())
        return args.error();
    static const Fields fields{{"TOTAL", "float"}};
    if (b.empty() || p.empty())
        return empty(fields);
    // Two key probes (the day, then any day of its year) instead of counting the whole year:
    // this call runs on every click in the calendar.
    return readPacket(
        call, fields,
        "SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND DTPRODUCAO "
        "= ? HAVING EXISTS (SELECT 1 FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? AND "
        "DTPRODUCAO BETWEEN ? AND ?)",
        {b, p, day.iso(), b, p, Date(day.year, 1, 1).iso(), Date(day.year, 12, 31).iso()});
}

Outcome getVerificaDiaUtil(const Call &call, const json::array &params)
{
    Args args("GetVerificaDiaUtil", params, {"filial", "data"});
    const std::string b = args.code(0, 4);
    const Date day = args.date(1);
    if (args.failed())
        return args.error();
    static const Fields fields{{"DTFERICOMP", "date"}};
    if (b.empty())
        return empty(fields);
    return readPacket(call, fields,
                      "SELECT DTFERICOMP FROM FERIADO WHERE DTFERICOMP = ? AND (CDFILIAL = ? OR "
                      "CDFILIAL IS NULL)",
                      {day.iso(), b});
}

Outcome getPesqCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetPesqCaleProdu", params, {"filial"});
    const std::string b = args.code(0, 4);
    if (args.failed())
        return args.error();
    if (b.empty())
        return empty(branchFields);
    return readPacket(call, branchFields,
                      "SELECT CDFILIAL FROM CALEPRODUCAO WHERE CDFILIAL = ? LIMIT 1", {b});
}

Outcome getExpCaleProdu(const Call &call, const json::array &params)
{
    Args args("GetExpCaleProdu", params, {"filial", "todas (\"T\" ou \" \")"});
    const std::string b = args.code(0, 4);
    const bool all = args.allSwitch(1);
    if (args.failed())
        return args.error();
    static const Fields fields{{"CDFILIAL", "string", 4}, {"NMFILIAL", "string", 30}};
    if (!all && b.empty())
        return empty(fields);
    const std::string sql = "SELECT F.CDFILIAL, F.NMFILIAL FROM FILIAL F WHERE EXISTS (SELECT 1 "
                            "FROM CALEPRODUCAO C WHERE C.CDFILIAL = F.CDFILIAL)";
    if (all)
        return readPacket(call, fields, sql + " ORDER BY F.CDFILIAL", {});
    return readPacket(call, fields, sql + " AND F.CDFILIAL = ?", {b});
}

Outcome getVerifica(const Call &call, const json::array &params)
{
    Args args("GetVerifica", params, {"filial", "periodicidade", "primeira data", "última data"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date first = args.date(2);
    const Date last = args.date(3);
    if (args.failed())
        return args.error();
    if (b.empty() || p.empty())
        return empty(branchFields);
    return readPacket(call, branchFields,
                      "SELECT CDFILIAL FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? "
                      "AND DTPRODUCAO BETWEEN ? AND ? LIMIT 1",
                      {b, p, first.monthStart().iso(), last.monthEnd().iso()});
}

std::string placeholders(size_t count)
{
    std::string marks;
    for (size_t i = 0; i < count; ++i)
        marks += i == 0 ? "?" : ", ?";
    return marks;
}

// A branch a copy writes to, and the day from which its calendar is open.
struct Destination
{
    std::string code;
    Date processing;
};

// A branch's processing date (DTPROCESSA); none, or none readable, is today.
Date processingDate(const Rows &row, int column, Date today)
{
    const Date date = row.isNull(column) ? Date() : Date::fromIso(row.text(column).substr(0, 10));
    return date.isValid() ? date : today;
}

Outcome listedTargets(Storage &storage, const std::vector<Param> &binds, const char *role,
                      const char *done, std::vector<Destination> *targets);

// The branches a copy writes to, each checked to exist and to be allowed new days.
Outcome copyTargets(Storage &storage, const std::string &source, bool all,
                    const std::vector<std::string> &listed, std::vector<Destination> *targets)
{
    const Date today = Date::today();
    if (all) {
        Rows *query = storage.exec("SELECT CDFILIAL, DTPROCESSA FROM FILIAL WHERE CDFILIAL <> ? "
                                   "AND IDCNTRRESC <> 'S' ORDER BY CDFILIAL" +
                                       storage.shareLock(),
                                   {source});
        if (!query)
            return storage.storageFailure();
        while (query->next())
            targets->push_back({std::string(query->text(0)), processingDate(*query, 1, today)});
        return Outcome::success();
    }
    std::vector<Param> binds;
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(binds),
                 [&source](const std::string &code) { return code != source; });
    return listedTargets(storage, binds, " de destino", "copiado", targets);
}

// The listed branches a write reaches, each checked to exist and to be allowed new days; a
// refusal names the branch in its role and says nothing was `done`.
Outcome listedTargets(Storage &storage, const std::vector<Param> &binds, const char *role,
                      const char *done, std::vector<Destination> *targets)
{
    const Date today = Date::today();
    if (binds.empty())
        return Outcome::success();
    Rows *query =
        storage.execOnce("SELECT CDFILIAL, NMFILIAL, IDCNTRRESC, DTPROCESSA FROM FILIAL WHERE "
                         "CDFILIAL IN (" +
                             placeholders(binds.size()) + ")" + storage.shareLock(),
                         Params(binds));
    if (!query)
        return storage.storageFailure();
    std::map<std::string, std::pair<Branch, Date>> found;
    while (query->next())
        found.emplace(
            std::string(query->text(0)),
            std::pair(Branch{true, flag(query->text(2), 'S'), std::string(trimmed(query->text(1)))},
                      processingDate(*query, 3, today)));
    for (const Param &bind : binds) {
        const std::string code(bind.text());
        const auto branch = found.find(code);
        if (branch == found.end())
            return refused(std::string("A filial") + role + " " + code +
                           " não está cadastrada; nada foi " + done + ".");
        if (branch->second.first.rescinded)
            return refused(std::string("A filial") + role + " " + code + " (" +
                           branch->second.first.name + ") teve o contrato rescindido; nada foi " +
                           done + ".");
        targets->push_back({code, branch->second.second});
    }
    return Outcome::success();
}

// Replaces the days of `targets` in [from, last] by the source's; adds the days written to *days.
bool replaceDays(Storage &storage, const std::string &source, const std::string &p,
                 bool avoidHolidays, const std::vector<std::string> &targets, Date from, Date last,
                 int64_t *days)
{
    const std::string in = placeholders(targets.size());
    // Params hold views: the dates they bind stay here.
    const std::string fromText = from.iso();
    const std::string lastText = last.iso();
    std::vector<Param> binds{p, fromText, lastText};
    binds.insert(binds.end(), targets.begin(), targets.end());
    if (!storage.execOnce("DELETE FROM CALEPRODUCAO WHERE CDPERIPRODU = ? AND DTPRODUCAO "
                          "BETWEEN ? AND ? AND CDFILIAL IN (" +
                              in + ")",
                          Params(binds)))
        return false;
    binds.insert(binds.begin(), Param(source));
    std::string sql = "INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) SELECT "
                      "D.CDFILIAL, C.CDPERIPRODU, C.DTPRODUCAO FROM CALEPRODUCAO C CROSS JOIN "
                      "FILIAL D WHERE C.CDFILIAL = ? AND C.CDPERIPRODU = ? AND C.DTPRODUCAO "
                      "BETWEEN ? AND ? AND D.CDFILIAL IN (" +
                      in + ")";
    if (avoidHolidays)
        sql += " AND NOT EXISTS (SELECT 1 FROM FERIADO F WHERE F.DTFERICOMP = C.DTPRODUCAO "
               "AND (F.CDFILIAL = D.CDFILIAL OR F.CDFILIAL IS NULL))";
    sql += " ON CONFLICT DO NOTHING";
    if (!storage.execOnce(sql, Params(binds)))
        return false;
    *days += storage.lastChanges();
    return true;
}

// What a copy reached: the destinations whose days it replaced and the days it wrote.
Outcome copyCounts(size_t destinations, int64_t days)
{
    static const Fields fields{{"QTDESTINOS", "integer"}, {"QTDIAS", "integer"}};
    return Outcome::packet(
        fields, "[[" + std::to_string(destinations) + "," + std::to_string(days) + "]]", 1);
}

Outcome getInsDel(const Call &call, const json::array &params)
{
    Args args("GetInsDel", params,
              {"filial de origem", "periodicidade", "lista de destino", "todas (\"T\" ou \" \")",
               "primeira data", "última data"});
    const std::string source = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const std::vector<std::string> listed = args.codeList(2, 4);
    const bool all = args.allSwitch(3);
    const Date first = args.date(4).monthStart();
    const Date last = args.date(5).monthEnd();
    if (args.failed())
        return args.error();
    if (source.empty() || p.empty())
        return invalid("Informe a filial de origem e a periodicidade da cópia.");
    if (!all && listed.empty())
        return refused("Nenhuma filial de destino foi informada para a cópia.");

    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        Branch branch;
        if (!readBranch(storage, source, &branch))
            return storage.storageFailure();
        if (!branch.found)
            return unknownBranch(source, " de origem");
        Periodicity periodicity;
        if (!readPeriodicity(storage, p, &periodicity))
            return storage.storageFailure();
        if (!periodicity.found)
            return unknownPeriodicity(p);

        std::vector<Destination> targets;
        const Outcome checked = copyTargets(storage, source, all, listed, &targets);
        if (!checked.ok())
            return checked;

        // A destination's days before its processing date are history, as for the deletions:
        // each destination is replaced from its own date on, destinations that share one together.
        std::map<Date, std::vector<std::string>> byStart;
        CalendarLocks locks;
        locks.add(source, p, false);
        for (const Destination &target : targets) {
            const Date start = std::max(first, target.processing);
            if (start <= last) {
                byStart[start].push_back(target.code);
                locks.add(target.code, p);
            }
        }
        if (const Outcome locked = locks.take(storage); !locked.ok())
            return locked;
        Journal journal(storage, call.caller, "GetInsDel", source, p);
        for (const auto &[start, codes] : byStart)
            if (!journal.watch(codes, p, start, last))
                return storage.storageFailure();
        if (!byStart.empty())
            storage.markBulk();
        size_t reached = 0;
        int64_t days = 0;
        for (const auto &[start, codes] : byStart) {
            if (!replaceDays(storage, source, p, periodicity.avoidHolidays, codes, start, last,
                             &days))
                return storage.storageFailure();
            reached += codes.size();
        }
        return journaled(journal, copyCounts(reached, days));
    });
}

// The year calculation of CalculaProducao on several branches as one change: one transaction and
// one change set, each branch from its own processing date. Answers the change set's number (0
// when nothing changed), which GetDesfazer takes.
Outcome calculaProducaoFiliais(const Call &call, const json::array &params)
{
    Args args("CalculaProducaoFiliais", params, {"lista de filiais", "periodicidade", "ano"});
    const std::vector<std::string> listed = args.codeList(0, 4);
    const std::string p = args.code(1, 2);
    const int year = args.year(2);
    if (args.failed())
        return args.error();
    if (listed.empty() || p.empty() || year == 0)
        return invalid("Informe as filiais, a periodicidade e o ano para calcular a produção.");
    const Date first(year, 1, 1);
    const Date last(year, 12, 31);

    return inTransaction(call, Storage::Mode::Write, [&](Storage &storage) {
        Periodicity periodicity;
        if (!readPeriodicity(storage, p, &periodicity))
            return storage.storageFailure();
        if (!periodicity.found)
            return unknownPeriodicity(p);
        std::vector<Destination> targets;
        const Outcome checked = listedTargets(
            storage, std::vector<Param>(listed.begin(), listed.end()), "", "calculado", &targets);
        if (!checked.ok())
            return checked;
        CalendarLocks locks;
        for (const Destination &target : targets)
            locks.add(target.code, p);
        if (const Outcome locked = locks.take(storage); !locked.ok())
            return locked;
        Journal journal(storage, call.caller, "CalculaProducaoFiliais", "", p);
        for (const Destination &target : targets)
            if (!journal.watch({target.code}, p, std::max(first, target.processing), last))
                return storage.storageFailure();
        storage.markBulk();
        for (const Destination &target : targets) {
            const Date start = std::max(first, target.processing);
            if (start <= last && !calculateDays(storage, target.code, p, periodicity, start, last))
                return storage.storageFailure();
        }
        int number = 0;
        if (const Outcome recorded = journal.record(&number); !recorded.ok())
            return recorded;
        static const Fields fields{{"NRALTERACAO", "integer"}};
        return Outcome::packet(fields, "[[" + std::to_string(number) + "]]", 1);
    });
}

// The planner's overview lives in its own unit.
Outcome getVisaoGeralCall(const Call &call, const json::array &params)
{
    return getVisaoGeral(call.storage, params);
}

using Method = Outcome (*)(const Call &, const json::array &);

Method findMethod(std::string_view name)
{
    static const std::map<std::string, Method, std::less<>> table{
        {"GetCaleProdu", getCaleProdu},
        {"SetCaleProdu", setCaleProdu},
        {"GetDelCaleProdu", getDelCaleProdu},
        {"GetDelCaleProduMes", getDelCaleProduMes},
        {"GetDelCaleProduAno", getDelCaleProduAno},
        {"CalculaProducao", calculaProducao},
        {"GetCaleProduAux", getCaleProduAux},
        {"GetVerificaDiaUtil", getVerificaDiaUtil},
        {"GetPesqCaleProdu", getPesqCaleProdu},
        {"GetExpCaleProdu", getExpCaleProdu},
        {"GetVerifica", getVerifica},
        {"GetInsDel", getInsDel},
        {"GetVisaoGeral", getVisaoGeralCall},
        {"CalculaProducaoFiliais", calculaProducaoFiliais},
    };
    const auto found = table.find(name);
    return found == table.end() ? nullptr : found->second;
}

} // namespace

Outcome callMethod(const StorageSource &storage, std::string_view method, const json::array &params,
                   const Caller &caller)
{
    if (const JournalMethod journalMethod = findJournalMethod(method))
        return journalMethod(storage, caller, params);
    const Method handler = findMethod(method);
    if (!handler)
        return Outcome::failure(ErrorCode::MethodNotFound,
                                "Método desconhecido no servidor: \"" + excerpt(method) + "\".");
    return handler(Call{storage, caller}, params);
}

Outcome callMethod(Storage &storage, std::string_view method, const json::array &params,
                   const Caller &caller)
{
    const StorageSource source = [&storage](Storage::Mode, std::string *) { return &storage; };
    return callMethod(source, method, params, caller);
}

} // namespace caleserver