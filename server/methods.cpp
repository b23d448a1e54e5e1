#include "methods.h"

#include <QDate>
#include <QHash>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <tuple>

namespace caleserver {

namespace {

struct Field
{
    const char *name;
    const char *type;
    int size = 0;
};

// A packet's columns, with their JSON description built once: most calls answer a handful of
// rows, and describing the columns again cost more than reading them.
class Fields
{
public:
    Fields(std::initializer_list<Field> list)
        : m_list(list)
    {
        for (const Field &field : m_list) {
            QJsonObject object{{QStringLiteral("name"), QLatin1String(field.name)},
                               {QStringLiteral("type"), QLatin1String(field.type)}};
            if (field.size > 0)
                object.insert(QStringLiteral("size"), field.size);
            m_json.append(object);
        }
    }

    qsizetype size() const { return m_list.size(); }
    const Field &operator[](qsizetype i) const { return m_list[i]; }
    const QJsonArray &json() const { return m_json; }

private:
    QList<Field> m_list;
    QJsonArray m_json;
};

const Fields calendarFields{
    {"CDFILIAL", "string", 4}, {"CDPERIPRODU", "string", 2}, {"DTPRODUCAO", "date"}};
const Fields branchFields{{"CDFILIAL", "string", 4}};
const Fields noFields{};

QJsonObject packet(const Fields &fields, QJsonArray rows = {})
{
    return {{QStringLiteral("fields"), fields.json()}, {QStringLiteral("rows"), rows}};
}

// Runs one read and answers its rows as a packet, each column converted by its field's type.
// The first leading.size() columns are not read but given: values the WHERE clause fixes, which
// the database would otherwise convert again on every row.
Outcome readPacket(Storage &storage, const Fields &fields, const QString &sql,
                   const QVariantList &binds, const QJsonArray &leading = {})
{
    return storage.transaction(Storage::Mode::Read, [&]() {
        QSqlQuery *query = storage.exec(sql, binds);
        if (!query)
            return storage.storageFailure();
        QJsonArray rows;
        while (query->next()) {
            QJsonArray row = leading;
            for (qsizetype column = leading.size(); column < fields.size(); ++column) {
                const QVariant value = query->value(int(column - leading.size()));
                if (qstrcmp(fields[column].type, "date") == 0)
                    row.append(Storage::isoDate(value));
                else if (qstrcmp(fields[column].type, "float") == 0)
                    row.append(value.toDouble());
                else
                    row.append(value.toString());
            }
            rows.append(row);
        }
        return Outcome::success(packet(fields, rows));
    });
}

Outcome ignored()
{
    return Outcome::success(packet(noFields));
}

Outcome refused(const QString &message)
{
    return Outcome::failure(ErrorCode::Refused, message);
}

Outcome invalid(const QString &message)
{
    return Outcome::failure(ErrorCode::InvalidParams, message);
}

QString iso(QDate date)
{
    return Storage::isoText(date);
}

QString shown(QDate date)
{
    return date.toString(QStringLiteral("dd/MM/yyyy"));
}

QDate monthStart(QDate date)
{
    return QDate(date.year(), date.month(), 1);
}

QDate monthEnd(QDate date)
{
    return QDate(date.year(), date.month(), date.daysInMonth());
}

// A code as typed: completed with leading zeros, "" when empty; false when it cannot be a code.
bool normaliseCode(const QString &text, int width, QString *code)
{
    if (text.size() > width ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    *code = text.isEmpty() ? text : text.rightJustified(width, QLatin1Char('0'));
    return true;
}

// A year text: false when it is no integer; *year is 0 when the integer lies outside 1 ... 9999.
bool parseYear(const QString &text, int *year)
{
    static const QRegularExpression integer(QStringLiteral("^\\s*([+-]?)([0-9]+)\\s*$"));
    const QRegularExpressionMatch match = integer.match(text);
    if (!match.hasMatch())
        return false;
    const QString digits = match.captured(2);
    const int value = digits.size() > 6 ? 0 : digits.toInt();
    *year = (match.captured(1) == QLatin1String("-") || value > 9999) ? 0 : value;
    return true;
}

const char *codeLabel(int width)
{
    return width == 4 ? "filial" : "periodicidade";
}

// Reads positional parameters; the first problem found is the call's answer.
class Args
{
public:
    Args(const char *method, const QJsonArray &params, QStringList names)
        : m_method(QLatin1String(method))
        , m_params(params)
        , m_names(std::move(names))
    {
        if (params.size() != m_names.size())
            fail(QStringLiteral("O método %1 espera %2 parâmetro(s) (%3) e recebeu %4.")
                     .arg(m_method)
                     .arg(m_names.size())
                     .arg(m_names.join(QLatin1String(", ")))
                     .arg(params.size()));
    }

    bool failed() const { return !m_error.isEmpty(); }
    Outcome error() const { return invalid(m_error); }

    QString text(int i)
    {
        if (failed())
            return {};
        const QJsonValue value = m_params.at(i);
        if (!value.isString()) {
            fail(QStringLiteral("O parâmetro %1 (%2) de %3 deve ser um texto.")
                     .arg(i + 1)
                     .arg(m_names.at(i), m_method));
            return {};
        }
        return value.toString();
    }

    QString code(int i, int width)
    {
        const QString raw = text(i);
        QString code;
        if (!failed() && !normaliseCode(raw, width, &code))
            fail(QStringLiteral("Código de %1 inválido: \"%2\". Use até %3 dígitos.")
                     .arg(QLatin1String(codeLabel(width)), raw)
                     .arg(width));
        return code;
    }

    QDate date(int i)
    {
        const QString raw = text(i);
        if (failed())
            return {};
        const QDate date = Storage::parseIso(raw);
        if (!date.isValid()) {
            fail(QStringLiteral("Data inválida no parâmetro %1 (%2) de %3: \"%4\". Use uma data "
                                "que exista, no formato AAAA-MM-DD.")
                     .arg(i + 1)
                     .arg(m_names.at(i), m_method, raw));
            return {};
        }
        return date;
    }

    int integer(int i)
    {
        if (failed())
            return 0;
        const QJsonValue value = m_params.at(i);
        const double number = value.toDouble();
        if (!value.isDouble() || number != static_cast<double>(static_cast<qint64>(number)) ||
            std::abs(number) > 1e9) {
            fail(QStringLiteral("O parâmetro %1 (%2) de %3 deve ser um número inteiro.")
                     .arg(i + 1)
                     .arg(m_names.at(i), m_method));
            return 0;
        }
        return static_cast<int>(number);
    }

    // 0 when the year selects nothing.
    int year(int i)
    {
        const QString raw = text(i);
        int year = 0;
        if (!failed() && !parseYear(raw, &year))
            fail(QStringLiteral("Ano inválido: \"%1\" não é um número inteiro.").arg(raw));
        return year;
    }

    // "T": every branch; " " or "": the one given.
    bool allSwitch(int i)
    {
        const QString raw = text(i);
        const QString value = raw.trimmed();
        if (!failed() && !value.isEmpty() && value != QLatin1String("T"))
            fail(QStringLiteral("Indicador de todas as filiais inválido: \"%1\". Use \"T\" para "
                                "todas ou \" \" para a filial informada.")
                     .arg(raw));
        return value == QLatin1String("T");
    }

    QStringList codeList(int i, int width)
    {
        const QString raw = text(i).trimmed();
        QStringList codes;
        if (failed() || raw.isEmpty())
            return codes;
        for (const QString &element : raw.split(QLatin1Char(','))) {
            QString code;
            if (!normaliseCode(element, width, &code) || code.isEmpty()) {
                fail(QStringLiteral("Lista de filiais inválida: \"%1\" não é um código de até %2 "
                                    "dígitos. Separe os códigos por vírgulas, sem espaços.")
                         .arg(element)
                         .arg(width));
                return {};
            }
            codes.append(code);
        }
        codes.sort();
        codes.removeDuplicates();
        return codes;
    }

    void fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
    }

private:
    QString m_method;
    const QJsonArray m_params;
    QStringList m_names;
    QString m_error;
};

struct Branch
{
    bool found = false;
    bool rescinded = false;
    QString name;
};

struct Periodicity
{
    bool found = false;
    bool avoidHolidays = false;
    bool monthDays = false;
};

bool readBranch(Storage &storage, const QString &code, Branch *branch)
{
    QSqlQuery *query =
        storage.exec(QStringLiteral("SELECT NMFILIAL, IDCNTRRESC FROM FILIAL WHERE CDFILIAL = ?") +
                         storage.shareLock(),
                     {code});
    if (!query)
        return false;
    *branch = {};
    if (query->next())
        *branch = {true, query->value(1).toString().trimmed() == QLatin1String("S"),
                   query->value(0).toString().trimmed()};
    query->finish();
    return true;
}

bool readPeriodicity(Storage &storage, const QString &code, Periodicity *periodicity)
{
    QSqlQuery *query = storage.exec(
        QStringLiteral("SELECT IDDIANUTILP, IDTIPODIAP FROM PERIPRODUCAO WHERE CDPERIPRODU = ?") +
            storage.shareLock(),
        {code});
    if (!query)
        return false;
    *periodicity = {};
    if (query->next())
        *periodicity = {true, query->value(0).toString().trimmed() == QLatin1String("S"),
                        query->value(1).toString().trimmed() == QLatin1String("M")};
    query->finish();
    return true;
}

Outcome unknownBranch(const QString &code, const char *role = "")
{
    return refused(
        QStringLiteral("A filial%1 %2 não está cadastrada.").arg(QLatin1String(role), code));
}

Outcome rescindedBranch(const QString &code, const Branch &branch)
{
    return refused(QStringLiteral("A filial %1 (%2) teve o contrato rescindido e não recebe novos "
                                  "dias de produção.")
                       .arg(code, branch.name));
}

Outcome unknownPeriodicity(const QString &code)
{
    return refused(QStringLiteral("A periodicidade %1 não está cadastrada.").arg(code));
}

// Branch and periodicity that may receive new production days; sets *periodicity.
Outcome checkWriteTarget(Storage &storage, const QString &branchCode, const QString &periCode,
                         Periodicity *periodicity)
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
    return Outcome::success({});
}

Outcome deleteRange(Storage &storage, const QString &b, const QString &p, QDate first, QDate last)
{
    if (b.isEmpty() || p.isEmpty() || first > last)
        return ignored();
    return storage.transaction(Storage::Mode::Write, [&]() {
        if (!storage.exec(QStringLiteral("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
                                         "CDPERIPRODU = ? AND DTPRODUCAO BETWEEN ? AND ?"),
                          {b, p, iso(first), iso(last)}))
            return storage.storageFailure();
        return ignored();
    });
}

// ---------------------------------------------------------------------------------------------

Outcome getCaleProdu(Storage &storage, const QJsonArray &params)
{
    Args args("GetCaleProdu", params, {"filial", "periodicidade", "ano"});
    const QString b = args.code(0, 4);
    const QString p = args.code(1, 2);
    const int year = args.year(2);
    if (args.failed())
        return args.error();
    if (b.isEmpty() || p.isEmpty() || year == 0)
        return Outcome::success(packet(calendarFields));
    // A year is up to 366 rows whose branch and periodicity are the ones asked for.
    return readPacket(storage, calendarFields,
                      QStringLiteral("SELECT DTPRODUCAO FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
                                     "CDPERIPRODU = ? AND DTPRODUCAO BETWEEN ? AND ? ORDER BY "
                                     "DTPRODUCAO"),
                      {b, p, iso(QDate(year, 1, 1)), iso(QDate(year, 12, 31))}, {b, p});
}

struct Change
{
    bool insert = false;
    QString branch;
    QString periodicity;
    QDate date;
};

Outcome setCaleProdu(Storage &storage, const QJsonArray &params)
{
    Args args("SetCaleProdu", params, {"conjunto de alterações"});
    if (args.failed())
        return args.error();
    const auto bad = [](const QString &why) {
        return invalid(QStringLiteral("Conjunto de alterações inválido: %1").arg(why));
    };
    if (!params.at(0).isObject())
        return bad(QStringLiteral("esperado um pacote com \"fields\" e \"changes\"."));
    const QJsonObject delta = params.at(0).toObject();
    if (!delta.value(QStringLiteral("fields")).isArray() ||
        !delta.value(QStringLiteral("changes")).isArray())
        return bad(QStringLiteral("esperado um pacote com \"fields\" e \"changes\"."));

    const QJsonArray fields = delta.value(QStringLiteral("fields")).toArray();
    const auto column = [&fields](const char *name) {
        for (int i = 0; i < fields.size(); ++i)
            if (fields.at(i)
                    .toObject()
                    .value(QStringLiteral("name"))
                    .toString()
                    .compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    const int cBranch = column("CDFILIAL");
    const int cPeri = column("CDPERIPRODU");
    const int cDate = column("DTPRODUCAO");
    if (cBranch < 0 || cPeri < 0 || cDate < 0)
        return bad(QStringLiteral("faltam os campos CDFILIAL, CDPERIPRODU e DTPRODUCAO."));

    QList<Change> changes;
    QString problem;
    const auto readRow = [&](const QJsonValue &value, bool insert, int n) {
        const QJsonArray row = value.toArray();
        const int needed = std::max({cBranch, cPeri, cDate}) + 1;
        if (!value.isArray() || row.size() < needed) {
            problem =
                QStringLiteral("a alteração %1 não traz uma linha com os campos do pacote.").arg(n);
            return;
        }
        Args rowArgs("SetCaleProdu", QJsonArray{row.at(cBranch), row.at(cPeri), row.at(cDate)},
                     {"CDFILIAL", "CDPERIPRODU", "DTPRODUCAO"});
        Change change{insert, rowArgs.code(0, 4), rowArgs.code(1, 2), rowArgs.date(2)};
        if (!rowArgs.failed() && insert &&
            (change.branch.isEmpty() || change.periodicity.isEmpty()))
            rowArgs.fail(QStringLiteral("um dia de produção novo exige filial e periodicidade."));
        if (rowArgs.failed())
            problem = QStringLiteral("alteração %1: %2").arg(n).arg(rowArgs.error().message);
        else
            changes.append(change);
    };
    const QJsonArray list = delta.value(QStringLiteral("changes")).toArray();
    for (int i = 0; i < list.size() && problem.isEmpty(); ++i) {
        const QJsonObject change = list.at(i).toObject();
        const QString op = change.value(QStringLiteral("op")).toString();
        if (op == QLatin1String("insert") || op == QLatin1String("delete")) {
            readRow(change.value(QStringLiteral("row")), op == QLatin1String("insert"), i + 1);
        } else if (op == QLatin1String("update")) {
            readRow(change.value(QStringLiteral("old")), false, i + 1);
            if (problem.isEmpty())
                readRow(change.value(QStringLiteral("new")), true, i + 1);
        } else {
            problem = QStringLiteral("a alteração %1 tem a operação \"%2\"; use insert, delete ou "
                                     "update.")
                          .arg(i + 1)
                          .arg(op);
        }
    }
    if (!problem.isEmpty())
        return bad(problem);
    if (changes.isEmpty())
        return ignored();
    // One key order for every writer, so that two change sets never wait on each other's rows
    // crosswise; changes of one day keep their order, and days are independent of each other.
    std::stable_sort(changes.begin(), changes.end(), [](const Change &x, const Change &y) {
        return std::tie(x.branch, x.periodicity, x.date) <
               std::tie(y.branch, y.periodicity, y.date);
    });

    return storage.transaction(Storage::Mode::Write, [&]() {
        QHash<QString, Periodicity> checked; // "branch/periodicity" already allowed in this call
        for (const Change &change : std::as_const(changes)) {
            const QVariantList key{change.branch, change.periodicity, iso(change.date)};
            if (!change.insert) {
                if (!change.branch.isEmpty() && !change.periodicity.isEmpty() &&
                    !storage.exec(QStringLiteral("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? "
                                                 "AND CDPERIPRODU = ? AND DTPRODUCAO = ?"),
                                  key))
                    return storage.storageFailure();
                continue;
            }
            const QString target = change.branch + QLatin1Char('/') + change.periodicity;
            if (!checked.contains(target)) {
                Periodicity periodicity;
                const Outcome allowed =
                    checkWriteTarget(storage, change.branch, change.periodicity, &periodicity);
                if (!allowed.ok())
                    return allowed;
                checked.insert(target, periodicity);
            }
            if (checked.value(target).avoidHolidays) {
                QSqlQuery *holiday = storage.exec(
                    QStringLiteral("SELECT NMFERIADO FROM FERIADO WHERE DTFERICOMP = ? AND "
                                   "(CDFILIAL = ? OR CDFILIAL IS NULL)"),
                    {iso(change.date), change.branch});
                if (!holiday)
                    return storage.storageFailure();
                if (holiday->next()) {
                    const QString name = holiday->value(0).toString().trimmed();
                    holiday->finish();
                    return refused(
                        QStringLiteral("Feriado nesta data: %1 (%2) na filial %3; a "
                                       "periodicidade %4 não produz em feriados.")
                            .arg(shown(change.date), name, change.branch, change.periodicity));
                }
            }
            if (!storage.exec(QStringLiteral("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, "
                                             "DTPRODUCAO) VALUES (?, ?, ?) ON CONFLICT DO NOTHING"),
                              key))
                return storage.storageFailure();
        }
        return ignored();
    });
}

Outcome getDelCaleProdu(Storage &storage, const QJsonArray &params)
{
    Args args("GetDelCaleProdu", params, {"filial", "periodicidade", "data"});
    const QString b = args.code(0, 4);
    const QString p = args.code(1, 2);
    const QDate day = args.date(2);
    if (args.failed())
        return args.error();
    return deleteRange(storage, b, p, day, day);
}

Outcome getDelCaleProduMes(Storage &storage, const QJsonArray &params)
{
    Args args("GetDelCaleProduMes", params,
              {"filial", "periodicidade", "data de processamento", "mês (MM/AAAA)"});
    const QString b = args.code(0, 4);
    const QString p = args.code(1, 2);
    const QDate proc = args.date(2);
    const QString monthText = args.text(3);
    if (args.failed())
        return args.error();
    static const QRegularExpression shape(QStringLiteral("^([0-9]{1,2})/(.*)$"));
    const QRegularExpressionMatch match = shape.match(monthText);
    const int month = match.hasMatch() ? match.captured(1).toInt() : 0;
    int year = 0;
    if (month < 1 || month > 12 || !parseYear(match.captured(2), &year))
        return invalid(QStringLiteral("Mês inválido: \"%1\". Use MM/AAAA, por exemplo 03/2026.")
                           .arg(monthText));
    if (year == 0)
        return ignored();
    const QDate first(year, month, 1);
    return deleteRange(storage, b, p, std::max(first, proc), monthEnd(first));
}

Outcome getDelCaleProduAno(Storage &storage, const QJsonArray &params)
{
    Args args("GetDelCaleProduAno", params,
              {"filial", "periodicidade", "data de processamento", "ano"});
    const QString b = args.code(0, 4);
    const QString p = args.code(1, 2);
    const QDate proc = args.date(2);
    const int year = args.year(3);
    if (args.failed())
        return args.error();
    if (year == 0)
        return ignored();
    return deleteRange(storage, b, p, std::max(QDate(year, 1, 1), proc), QDate(year, 12, 31));
}

Outcome calculaProducao(Storage &storage, const QJsonArray &params)
{
    Args args(
        "CalculaProducao", params,
        {"filial", "periodicidade", "primeiro dia", "número de meses", "data de processamento"});
    const QString b = args.code(0, 4);
    const QString p = args.code(1, 2);
    const QDate first = args.date(2);
    const int months = args.integer(3);
    const QDate proc = args.date(4);
    if (args.failed())
        return args.error();
    if (months != 1 && months != 12)
        return invalid(QStringLiteral("Número de meses inválido: %1. Calcule 1 (um mês) ou 12 (o "
                                      "ano).")
                           .arg(months));
    if (b.isEmpty() || p.isEmpty())
        return invalid(QStringLiteral("Informe a filial e a periodicidade para calcular a "
                                      "produção."));
    // Dates on the wire stop at 9999; a year calculated from December 9999 ends there too.
    const QDate last = std::min(monthEnd(first.addMonths(months - 1)), QDate(9999, 12, 31));
    const QDate start = std::max(first, proc);

    return storage.transaction(Storage::Mode::Write, [&]() {
        Periodicity periodicity;
        const Outcome allowed = checkWriteTarget(storage, b, p, &periodicity);
        if (!allowed.ok() || start > last)
            return allowed.ok() ? ignored() : allowed;
        storage.markBulk();
        if (!storage.exec(QStringLiteral("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
                                         "CDPERIPRODU = ? AND DTPRODUCAO BETWEEN ? AND ?"),
                          {b, p, iso(start), iso(last)}))
            return storage.storageFailure();
        const QString dayNumber = periodicity.monthDays
                                      ? storage.dayOfMonthOf(QStringLiteral("DIA"))
                                      : storage.weekdayOf(QStringLiteral("DIA"));
        QString sql = storage.daySeries() +
                      QStringLiteral("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) "
                                     "SELECT CAST(? AS CHAR(4)), CAST(? AS CHAR(2)), DIA FROM DIAS "
                                     "WHERE %1 IN (SELECT NRDIAPRODU FROM DIASPRODUCAO WHERE "
                                     "CDPERIPRODU = ?)")
                          .arg(dayNumber);
        QVariantList binds{iso(start), iso(last), b, p, p};
        if (periodicity.avoidHolidays) {
            sql += QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM FERIADO F WHERE F.DTFERICOMP = "
                                  "DIAS.DIA AND (F.CDFILIAL = ? OR F.CDFILIAL IS NULL))");
            binds.append(b);
        }
        sql += QStringLiteral(" ON CONFLICT DO NOTHING");
        if (!storage.exec(sql, binds))
            return storage.storageFailure();
        return ignored();
    });
}

Outcome getCaleProduAux(Storage &storage, const QJsonArray &params)
{
    Args args("GetCaleProduAux", params, {"filial", "periodicidade", "data"});
    const QString b = args.code(0, 4);
    const QString p = args.code(1, 2);
    const QDate day = args.date(2);
    if (args.failed())
        return args.error();
    static const Fields fields{{"TOTAL", "float"}};
    if (b.isEmpty() || p.isEmpty())
        return Outcome::success(packet(fields));
    // Two key probes (the day, then any day of its year) instead of counting the whole year:
    // this call runs on every click in the calendar.
    return readPacket(
        storage, fields,
        QStringLiteral("SELECT COUNT(*) FROM CALEPRODUCAO WHERE CDFILIAL = ? AND CDPERIPRODU = ? "
                       "AND DTPRODUCAO = ? HAVING EXISTS (SELECT 1 FROM CALEPRODUCAO WHERE "
                       "CDFILIAL = ? AND CDPERIPRODU = ? AND DTPRODUCAO BETWEEN ? AND ?)"),
        {b, p, iso(day), b, p, iso(QDate(day.year(), 1, 1)), iso(QDate(day.year(), 12, 31))});
}

Outcome getVerificaDiaUtil(Storage &storage, const QJsonArray &params)
{
    Args args("GetVerificaDiaUtil", params, {"filial", "data"});
    const QString b = args.code(0, 4);
    const QDate day = args.date(1);
    if (args.failed())
        return args.error();
    static const Fields fields{{"DTFERICOMP", "date"}};
    if (b.isEmpty())
        return Outcome::success(packet(fields));
    return readPacket(storage, fields,
                      QStringLiteral("SELECT DTFERICOMP FROM FERIADO WHERE DTFERICOMP = ? AND "
                                     "(CDFILIAL = ? OR CDFILIAL IS NULL)"),
                      {iso(day), b});
}

Outcome getPesqCaleProdu(Storage &storage, const QJsonArray &params)
{
    Args args("GetPesqCaleProdu", params, {"filial"});
    const QString b = args.code(0, 4);
    if (args.failed())
        return args.error();
    if (b.isEmpty())
        return Outcome::success(packet(branchFields));
    return readPacket(
        storage, branchFields,
        QStringLiteral("SELECT CDFILIAL FROM CALEPRODUCAO WHERE CDFILIAL = ? LIMIT 1"), {b});
}

Outcome getExpCaleProdu(Storage &storage, const QJsonArray &params)
{
    Args args("GetExpCaleProdu", params, {"filial", "todas (\"T\" ou \" \")"});
    const QString b = args.code(0, 4);
    const bool all = args.allSwitch(1);
    if (args.failed())
        return args.error();
    static const Fields fields{{"CDFILIAL", "string", 4}, {"NMFILIAL", "string", 30}};
    if (!all && b.isEmpty())
        return Outcome::success(packet(fields));
    const QString sql = QStringLiteral(
        "SELECT F.CDFILIAL, F.NMFILIAL FROM FILIAL F WHERE EXISTS (SELECT 1 FROM CALEPRODUCAO C "
        "WHERE C.CDFILIAL = F.CDFILIAL)");
    if (all)
        return readPacket(storage, fields, sql + QStringLiteral(" ORDER BY F.CDFILIAL"), {});
    return readPacket(storage, fields, sql + QStringLiteral(" AND F.CDFILIAL = ?"), {b});
}

Outcome getVerifica(Storage &storage, const QJsonArray &params)
{
    Args args("GetVerifica", params, {"filial", "periodicidade", "primeira data", "última data"});
    const QString b = args.code(0, 4);
    const QString p = args.code(1, 2);
    const QDate first = args.date(2);
    const QDate last = args.date(3);
    if (args.failed())
        return args.error();
    if (b.isEmpty() || p.isEmpty())
        return Outcome::success(packet(branchFields));
    return readPacket(storage, branchFields,
                      QStringLiteral("SELECT CDFILIAL FROM CALEPRODUCAO WHERE CDFILIAL = ? AND "
                                     "CDPERIPRODU = ? AND DTPRODUCAO BETWEEN ? AND ? LIMIT 1"),
                      {b, p, iso(monthStart(first)), iso(monthEnd(last))});
}

QString placeholders(qsizetype count)
{
    QStringList marks(count, QStringLiteral("?"));
    return marks.join(QLatin1String(", "));
}

Outcome getInsDel(Storage &storage, const QJsonArray &params)
{
    Args args("GetInsDel", params,
              {"filial de origem", "periodicidade", "lista de destino", "todas (\"T\" ou \" \")",
               "primeira data", "última data"});
    const QString source = args.code(0, 4);
    const QString p = args.code(1, 2);
    const QStringList listed = args.codeList(2, 4);
    const bool all = args.allSwitch(3);
    const QDate first = monthStart(args.date(4));
    const QDate last = monthEnd(args.date(5));
    if (args.failed())
        return args.error();
    if (source.isEmpty() || p.isEmpty())
        return invalid(QStringLiteral("Informe a filial de origem e a periodicidade da cópia."));
    if (!all && listed.isEmpty())
        return refused(QStringLiteral("Nenhuma filial de destino foi informada para a cópia."));

    return storage.transaction(Storage::Mode::Write, [&]() {
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

        QStringList targets;
        if (all) {
            QSqlQuery *query = storage.exec(
                QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE CDFILIAL <> ? AND IDCNTRRESC <> "
                               "'S' ORDER BY CDFILIAL") +
                    storage.shareLock(),
                {source});
            if (!query)
                return storage.storageFailure();
            while (query->next())
                targets.append(query->value(0).toString());
        } else {
            targets = listed;
            targets.removeAll(source);
            if (targets.isEmpty())
                return ignored();
            QVariantList binds(targets.cbegin(), targets.cend());
            QSqlQuery *query = storage.execOnce(
                QStringLiteral("SELECT CDFILIAL, NMFILIAL, IDCNTRRESC FROM FILIAL WHERE CDFILIAL "
                               "IN (%1)")
                        .arg(placeholders(targets.size())) +
                    storage.shareLock(),
                binds);
            if (!query)
                return storage.storageFailure();
            QHash<QString, Branch> found;
            while (query->next())
                found.insert(query->value(0).toString(),
                             {true, query->value(2).toString().trimmed() == QLatin1String("S"),
                              query->value(1).toString().trimmed()});
            for (const QString &code : std::as_const(targets)) {
                if (!found.contains(code))
                    return refused(QStringLiteral("A filial de destino %1 não está cadastrada; "
                                                  "nada foi copiado.")
                                       .arg(code));
                if (found.value(code).rescinded)
                    return refused(QStringLiteral("A filial de destino %1 (%2) teve o contrato "
                                                  "rescindido; nada foi copiado.")
                                       .arg(code, found.value(code).name));
            }
        }
        if (targets.isEmpty() || first > last)
            return ignored();

        storage.markBulk();
        const QString in = placeholders(targets.size());
        QVariantList binds{p, iso(first), iso(last)};
        for (const QString &code : std::as_const(targets))
            binds.append(code);
        if (!storage.execOnce(QStringLiteral("DELETE FROM CALEPRODUCAO WHERE CDPERIPRODU = ? AND "
                                             "DTPRODUCAO BETWEEN ? AND ? AND CDFILIAL IN (%1)")
                                  .arg(in),
                              binds))
            return storage.storageFailure();
        binds.prepend(source);
        QString sql = QStringLiteral("INSERT INTO CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO) "
                                     "SELECT D.CDFILIAL, C.CDPERIPRODU, C.DTPRODUCAO FROM "
                                     "CALEPRODUCAO C CROSS JOIN FILIAL D WHERE C.CDFILIAL = ? AND "
                                     "C.CDPERIPRODU = ? AND C.DTPRODUCAO BETWEEN ? AND ? AND "
                                     "D.CDFILIAL IN (%1)")
                          .arg(in);
        if (periodicity.avoidHolidays)
            sql += QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM FERIADO F WHERE F.DTFERICOMP = "
                                  "C.DTPRODUCAO AND (F.CDFILIAL = D.CDFILIAL OR F.CDFILIAL IS "
                                  "NULL))");
        sql += QStringLiteral(" ON CONFLICT DO NOTHING");
        if (!storage.execOnce(sql, binds))
            return storage.storageFailure();
        return ignored();
    });
}

using Method = Outcome (*)(Storage &, const QJsonArray &);

const QHash<QString, Method> &methodTable()
{
    static const QHash<QString, Method> table{
        {QStringLiteral("GetCaleProdu"), getCaleProdu},
        {QStringLiteral("SetCaleProdu"), setCaleProdu},
        {QStringLiteral("GetDelCaleProdu"), getDelCaleProdu},
        {QStringLiteral("GetDelCaleProduMes"), getDelCaleProduMes},
        {QStringLiteral("GetDelCaleProduAno"), getDelCaleProduAno},
        {QStringLiteral("CalculaProducao"), calculaProducao},
        {QStringLiteral("GetCaleProduAux"), getCaleProduAux},
        {QStringLiteral("GetVerificaDiaUtil"), getVerificaDiaUtil},
        {QStringLiteral("GetPesqCaleProdu"), getPesqCaleProdu},
        {QStringLiteral("GetExpCaleProdu"), getExpCaleProdu},
        {QStringLiteral("GetVerifica"), getVerifica},
        {QStringLiteral("GetInsDel"), getInsDel},
    };
    return table;
}

} // namespace

Outcome callMethod(Storage &storage, const QString &method, const QJsonArray &params)
{
    const Method handler = methodTable().value(method);
    if (!handler)
        return Outcome::failure(
            ErrorCode::MethodNotFound,
            QStringLiteral("Método desconhecido no servidor: \"%1\".").arg(method));
    return handler(storage, params);
}

} // namespace caleserver
