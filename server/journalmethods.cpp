#include "journalmethods.h"

#include "arguments.h"
#include "calendarlocks.h"
#include "jsontext.h"
#include "packets.h"

#include <algorithm>
#include <map>
#include <set>

namespace caleserver {

namespace json = boost::json;

namespace {

const Fields previewFields{{"CDFILIAL", "string", 4},
                           {"NMFILIAL", "string", 30},
                           {"DTPRODUCAO", "date"},
                           {"IDACAO", "string", 1}};

const Fields historyFields{{"NRALTERACAO", "integer"},
                           {"DTHRALTERACAO", "datetime"},
                           {"NMOPERADOR", "string", 64},
                           {"NMMETODO", "string", 40},
                           {"QTINCLUIDOS", "integer"},
                           {"QTEXCLUIDOS", "integer"},
                           // "S" while the set is in effect (neither undone nor an undo): what
                           // a client may still offer to undo.
                           {"IDVIGENTE", "string", 1}};

Outcome refused(std::string message)
{
    return Outcome::failure(ErrorCode::Refused, std::move(message));
}

Outcome inTransaction(const StorageSource &source, Storage::Mode mode,
                      const std::function<Outcome(Storage &)> &body)
{
    std::string why;
    Storage *storage = source(mode, &why);
    if (!storage)
        return Outcome::failure(ErrorCode::StorageFailure, "Banco de dados indisponível: " + why);
    return storage->transaction(mode, [&]() { return body(*storage); });
}

int toNumber(std::string_view text)
{
    int value = 0;
    for (const char c : trimmed(text))
        if (c >= '0' && c <= '9')
            value = value * 10 + (c - '0');
        else if (c != '-')
            break;
    return trimmed(text).starts_with('-') ? -value : value;
}

// ---------------------------------------------------------------------------------------------
// Previews: the real write runs with a journal that collects its days and rolls it back.

std::string previewRows(const Preview &preview)
{
    std::string rows = "[";
    for (const PreviewDay &day : preview.days) {
        if (rows.size() > 1)
            rows += ',';
        rows += '[';
        appendJsonString(rows, day.branch);
        rows += ',';
        appendJsonString(rows, day.name);
        rows += ',';
        appendJsonString(rows, day.date.iso());
        rows += ',';
        appendJsonString(rows, std::string(1, day.action));
        rows += ']';
    }
    return rows + ']';
}

// A refusal of the real write, named after the preview that was called.
Outcome renamed(Outcome outcome, std::string_view from, std::string_view to)
{
    for (size_t at = outcome.message.find(from); at != std::string::npos;
         at = outcome.message.find(from, at + to.size()))
        outcome.message.replace(at, from.size(), to);
    return outcome;
}

Outcome previewOf(const StorageSource &storage, const Caller &caller, const json::array &params,
                  std::string_view method, std::string_view preview)
{
    Preview collected;
    Caller previewing = caller;
    previewing.preview = &collected;
    const Outcome outcome = callMethod(storage, method, params, previewing);
    if (!collected.reached)
        return outcome.ok() ? empty(previewFields) : renamed(outcome, method, preview);
    std::sort(collected.days.begin(), collected.days.end(),
              [](const PreviewDay &x, const PreviewDay &y) {
                  return std::tie(x.branch, x.date) < std::tie(y.branch, y.date);
              });
    return Outcome::packet(previewFields, previewRows(collected), collected.days.size());
}

Outcome getPreviaCalculaProducao(const StorageSource &storage, const Caller &caller,
                                 const json::array &params)
{
    return previewOf(storage, caller, params, "CalculaProducao", "GetPreviaCalculaProducao");
}

Outcome getPreviaCalculaProducaoFiliais(const StorageSource &storage, const Caller &caller,
                                        const json::array &params)
{
    return previewOf(storage, caller, params, "CalculaProducaoFiliais",
                     "GetPreviaCalculaProducaoFiliais");
}

Outcome getPreviaInsDel(const StorageSource &storage, const Caller &caller,
                        const json::array &params)
{
    return previewOf(storage, caller, params, "GetInsDel", "GetPreviaInsDel");
}

// ---------------------------------------------------------------------------------------------
// History.

struct HistoryRow
{
    std::string when;
    std::string who;
    std::string method;
    int added = 0;
    int removed = 0;
    bool inEffect = true;
};

std::string historyRows(const std::map<int, HistoryRow, std::greater<>> &sets)
{
    std::string rows = "[";
    for (const auto &[number, set] : sets) {
        if (set.added == 0 && set.removed == 0)
            continue;
        if (rows.size() > 1)
            rows += ',';
        rows += '[' + std::to_string(number) + ',';
        appendJsonString(rows, set.when);
        rows += ',';
        appendJsonString(rows, set.who);
        rows += ',';
        appendJsonString(rows, set.method);
        rows += ',' + std::to_string(set.added) + ',' + std::to_string(set.removed) +
                (set.inEffect ? ",\"S\"]" : ",\"N\"]");
    }
    return rows + ']';
}

Outcome getHistorico(const StorageSource &source, const Caller &, const json::array &params)
{
    Args args("GetHistorico", params, {"filial", "periodicidade", "primeira data", "última data"});
    const std::string b = args.code(0, 4);
    const std::string p = args.code(1, 2);
    const Date first = args.date(2);
    const Date last = args.date(3);
    if (args.failed())
        return args.error();
    if (b.empty() || p.empty() || first > last)
        return empty(historyFields);
    return inTransaction(source, Storage::Mode::Read, [&](Storage &storage) {
        Rows *rows = storage.exec(
            "SELECT A.NRALTERACAO, A.DTHRALTERACAO, A.NMOPERADOR, A.NMMETODO, M.NRANOMES, "
            "M.NRDIASANTES, M.NRDIASDEPOIS, A.NRDESFEITA FROM ALTERACAOMES M JOIN ALTERACAO A ON "
            "A.NRALTERACAO = M.NRALTERACAO WHERE M.CDFILIAL = ? AND M.CDPERIPRODU = ? AND "
            "M.NRANOMES BETWEEN ? AND ?",
            {b, p, first.year * 100 + first.month, last.year * 100 + last.month});
        if (!rows)
            return storage.storageFailure();
        std::map<int, HistoryRow, std::greater<>> sets;
        while (rows->next()) {
            HistoryRow &set = sets[toNumber(rows->text(0))];
            set.when = rows->text(1);
            set.who = rows->text(2);
            set.method = trimmed(rows->text(3));
            set.inEffect = rows->isNull(7);
            const int month = toNumber(rows->text(4));
            const auto before = static_cast<uint32_t>(toNumber(rows->text(5)));
            const auto after = static_cast<uint32_t>(toNumber(rows->text(6)));
            set.added += daysIn(after & ~before, month, first, last);
            set.removed += daysIn(before & ~after, month, first, last);
        }
        if (rows->failed())
            return storage.storageFailure();
        const size_t count = std::count_if(sets.begin(), sets.end(), [](const auto &set) {
            return set.second.added || set.second.removed;
        });
        return Outcome::packet(historyFields, historyRows(sets), count);
    });
}

// ---------------------------------------------------------------------------------------------
// Undo.

struct SetMonth
{
    std::string branch;
    std::string periodicity;
    int month = 0;
    uint32_t before = 0;
};

bool readSetMonths(Storage &storage, int number, std::vector<SetMonth> *months)
{
    Rows *rows = storage.exec("SELECT CDFILIAL, CDPERIPRODU, NRANOMES, NRDIASANTES FROM "
                              "ALTERACAOMES WHERE NRALTERACAO = ?",
                              {number});
    if (!rows)
        return false;
    while (rows->next())
        months->push_back({std::string(trimmed(rows->text(0))), std::string(trimmed(rows->text(1))),
                           toNumber(rows->text(2)),
                           static_cast<uint32_t>(toNumber(rows->text(3)))});
    return !rows->failed();
}

// Why the set cannot be undone ("" when it can); *failed on a storage failure.
std::string undoRefusal(Storage &storage, int number, bool *failed)
{
    Rows *set = storage.exec("SELECT NRDESFEITA, NRDESFAZ FROM ALTERACAO WHERE NRALTERACAO = ?" +
                                 storage.shareLock(),
                             {number});
    *failed = !set;
    if (!set)
        return "falha";
    const std::string n = std::to_string(number);
    if (!set->next())
        return *failed = set->failed(), "A alteração " + n + " não está no histórico.";
    const bool undone = !set->isNull(0);
    const std::string undid = set->isNull(1) ? "" : std::string(trimmed(set->text(1)));
    set->finish();
    if (!undid.empty())
        return "A alteração " + n + " desfez a alteração " + undid +
               " e não pode ser desfeita; para refazer, repita a operação.";
    if (undone)
        return "A alteração " + n + " já foi desfeita.";
    Rows *later = storage.exec(
        "SELECT DISTINCT A.NRALTERACAO FROM ALTERACAOMES S JOIN ALTERACAOMES M ON M.CDFILIAL = "
        "S.CDFILIAL AND M.CDPERIPRODU = S.CDPERIPRODU AND M.NRANOMES = S.NRANOMES JOIN ALTERACAO A "
        "ON A.NRALTERACAO = M.NRALTERACAO WHERE S.NRALTERACAO = ? AND A.NRALTERACAO > ? AND "
        "A.NRDESFEITA IS NULL ORDER BY A.NRALTERACAO",
        {number, number});
    *failed = !later;
    if (!later)
        return "falha";
    std::string numbers;
    while (later->next())
        numbers += (numbers.empty() ? "" : ", ") + std::string(trimmed(later->text(0)));
    *failed = later->failed();
    if (numbers.empty())
        return {};
    return "A alteração " + n + " não pode ser desfeita: as alterações posteriores " + numbers +
           " mudaram os mesmos calendários e meses. Desfaça-as antes; nada foi alterado.";
}

// Empties every month of the set in one statement whatever its size: a copy to a thousand
// branches touches twelve thousand months.
bool emptyMonths(Storage &storage, int number, Date first, Date last)
{
    const std::string from = first.iso();
    const std::string to = last.iso();
    return storage.exec("DELETE FROM CALEPRODUCAO WHERE DTPRODUCAO BETWEEN ? AND ? AND EXISTS "
                        "(SELECT 1 FROM ALTERACAOMES M WHERE M.NRALTERACAO = ? AND M.CDFILIAL = "
                        "CALEPRODUCAO.CDFILIAL AND M.CDPERIPRODU = CALEPRODUCAO.CDPERIPRODU AND "
                        "M.NRANOMES = " +
                            storage.yearMonthOf("CALEPRODUCAO.DTPRODUCAO") + ")",
                        {from, to, number}) != nullptr;
}

// Inserts the days the set's months held before it, a few hundred rows per statement.
bool refillMonths(Storage &storage, const std::vector<SetMonth> &months)
{
    constexpr size_t rowsPerInsert = 300;
    std::vector<std::string> texts; // the dates the binds view: never grown past its reserve
    std::vector<Param> binds;
    const auto flush = [&]() {
        if (binds.empty())
            return true;
        std::string sql = "INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) VALUES ";
        for (size_t i = 0; i < binds.size() / 3; ++i)
            sql += i == 0 ? "(?, ?, ?)" : ", (?, ?, ?)";
        const bool ok = storage.execOnce(sql, Params(binds)) != nullptr;
        binds.clear();
        texts.clear();
        return ok;
    };
    texts.reserve(rowsPerInsert);
    for (const SetMonth &month : months) {
        const Date first(month.month / 100, month.month % 100, 1);
        for (int day = 1; day <= first.daysInMonth(); ++day) {
            if (!(month.before >> (day - 1) & 1u))
                continue;
            texts.push_back(Date(first.year, first.month, day).iso());
            binds.insert(binds.end(),
                         {Param(month.branch), Param(month.periodicity), Param(texts.back())});
            if (texts.size() == rowsPerInsert && !flush())
                return false;
        }
    }
    return flush();
}

// The journal of an undo: the set's calendars of each periodicity, over the set's months.
void watchSet(Journal &journal, const std::vector<SetMonth> &months, Date first, Date last)
{
    std::map<std::string, std::set<std::string>> byPeriodicity;
    for (const SetMonth &month : months)
        byPeriodicity[month.periodicity].insert(month.branch);
    for (const auto &[periodicity, branches] : byPeriodicity)
        journal.watch(std::vector<std::string>(branches.begin(), branches.end()), periodicity,
                      first, last);
}

Outcome getDesfazer(const StorageSource &source, const Caller &caller, const json::array &params)
{
    Args args("GetDesfazer", params, {"número da alteração"});
    const int number = args.integer(0);
    if (args.failed())
        return args.error();
    if (number <= 0)
        return invalid("Número de alteração inválido: " + std::to_string(number) + ".");
    return inTransaction(source, Storage::Mode::Write, [&](Storage &storage) {
        std::vector<SetMonth> months;
        if (!readSetMonths(storage, number, &months))
            return storage.storageFailure();
        // The set's calendars are locked before its state is read, so that two undos of one set
        // take turns and the second finds it undone.
        CalendarLocks locks;
        for (const SetMonth &month : months)
            locks.add(month.branch, month.periodicity);
        if (const Outcome locked = locks.take(storage); !locked.ok())
            return locked;
        bool failed = false;
        const std::string refusal = undoRefusal(storage, number, &failed);
        if (failed)
            return storage.storageFailure();
        if (!refusal.empty())
            return refused(refusal);
        Journal journal(storage, caller, "GetDesfazer");
        journal.setUndoes(number);
        const auto [low, high] = std::minmax_element(
            months.begin(), months.end(),
            [](const SetMonth &x, const SetMonth &y) { return x.month < y.month; });
        const Date first =
            months.empty() ? Date(1, 1, 1) : Date(low->month / 100, low->month % 100, 1);
        const Date last =
            months.empty() ? first : Date(high->month / 100, high->month % 100, 1).monthEnd();
        watchSet(journal, months, first, last);
        if (!months.empty() &&
            (!emptyMonths(storage, number, first, last) || !refillMonths(storage, months)))
            return storage.storageFailure();
        int undo = 0;
        if (const Outcome recorded = journal.record(&undo); !recorded.ok())
            return recorded;
        // Both the set and its undo leave effect; an undo that found nothing to restore marks
        // the set with its own number.
        const int mark = undo ? undo : number;
        if (!storage.exec("UPDATE ALTERACAO SET NRDESFEITA = ? WHERE NRALTERACAO IN (?, ?)",
                          {mark, number, mark}))
            return storage.storageFailure();
        return ignored();
    });
}

} // namespace

JournalMethod findJournalMethod(std::string_view name)
{
    static const std::map<std::string, JournalMethod, std::less<>> table{
        {"GetHistorico", getHistorico},
        {"GetDesfazer", getDesfazer},
        {"GetPreviaCalculaProducao", getPreviaCalculaProducao},
        {"GetPreviaInsDel", getPreviaInsDel},
        {"GetPreviaCalculaProducaoFiliais", getPreviaCalculaProducaoFiliais},
    };
    const auto found = table.find(name);
    return found == table.end() ? nullptr : found->second;
}

} // namespace caleserver
