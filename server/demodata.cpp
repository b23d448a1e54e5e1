#include "demodata.h"

#include "caleserver.h"
#include "methods.h"
#include "schema.h"
#include "storage.h"

#include <QJsonArray>
#include <QSqlQuery>

namespace caleserver {

QDate easterSunday(int year)
{
    // Anonymous Gregorian computus.
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = (h + l - 7 * m + 114) % 31 + 1;
    return QDate(year, month, day);
}

QList<Holiday> nationalHolidays(int year)
{
    QList<Holiday> holidays{
        {QDate(year, 1, 1), QStringLiteral("Confraternização Universal")},
        {easterSunday(year).addDays(-2), QStringLiteral("Paixão de Cristo")},
        {QDate(year, 4, 21), QStringLiteral("Tiradentes")},
        {QDate(year, 5, 1), QStringLiteral("Dia do Trabalho")},
        {QDate(year, 9, 7), QStringLiteral("Independência do Brasil")},
        {QDate(year, 10, 12), QStringLiteral("Nossa Senhora Aparecida")},
        {QDate(year, 11, 2), QStringLiteral("Finados")},
        {QDate(year, 11, 15), QStringLiteral("Proclamação da República")},
        {QDate(year, 12, 25), QStringLiteral("Natal")},
    };
    if (year >= 2024)
        holidays.append({QDate(year, 11, 20), QStringLiteral("Consciência Negra")});
    std::sort(holidays.begin(), holidays.end(),
              [](const Holiday &x, const Holiday &y) { return x.date < y.date; });
    return holidays;
}

bool seedDemo(const QString &url, QString *error)
{
    std::unique_ptr<Storage> storage = Storage::create(url, error);
    if (!storage || !createSchema(*storage, error))
        return false;

    const QDate today = QDate::currentDate();
    const int firstYear = std::min(2020, today.year() - 1);
    const int lastYear = std::max(2035, today.year() + 5);
    const QString processing = QDate(today.year(), today.month(), 1).toString(Qt::ISODate);

    Outcome outcome = storage->transaction(Storage::Mode::Write, [&]() {
        struct Row
        {
            const char *sql;
            QVariantList binds;
        };
        const char *branch = "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC, DTPROCESSA) "
                             "VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING";
        const char *periodicity =
            "INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU, IDDIANUTILP, "
            "IDTIPODIAP) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING";
        const char *day = "INSERT INTO DIASPRODUCAO (CDPERIPRODU, NRDIAPRODU) VALUES (?, ?) "
                          "ON CONFLICT DO NOTHING";
        const QVariant noDate(QMetaType(QMetaType::QString));
        QList<Row> rows{
            {branch, {"0001", "Matriz São Paulo", "N", noDate}},
            {branch, {"0002", "Filial Rio de Janeiro", "N", noDate}},
            {branch, {"0003", "Filial Belo Horizonte", "S", noDate}},
            {branch, {"0004", "Filial Curitiba", "N", processing}},
            {branch, {"0005", "Filial Porto Alegre", "N", noDate}},
            {periodicity, {"01", "Produção Semanal (seg–sex)", "S", "S"}},
            {periodicity, {"02", "Produção Quinzenal (dias 1 e 15)", "N", "M"}},
            {periodicity, {"03", "Produção de Fim de Semana", "N", "S"}},
            {periodicity, {"04", "Produção Sob Encomenda", "N", "S"}},
        };
        for (int weekday = 2; weekday <= 6; ++weekday)
            rows.append({day, {"01", weekday}});
        rows.append({day, {"02", 1}});
        rows.append({day, {"02", 15}});
        rows.append({day, {"03", 1}});
        rows.append({day, {"03", 7}});
        const char *holiday = "INSERT INTO FERIADO (CDFILIAL, DTFERICOMP, NMFERIADO) VALUES "
                              "(?, ?, ?) ON CONFLICT DO NOTHING";
        for (int year = firstYear; year <= lastYear; ++year) {
            for (const Holiday &h : nationalHolidays(year))
                rows.append({holiday, {noDate, h.date.toString(Qt::ISODate), h.name}});
            rows.append(
                {holiday,
                 {"0001", QDate(year, 1, 25).toString(Qt::ISODate), "Aniversário de São Paulo"}});
        }
        for (const Row &row : std::as_const(rows))
            if (!storage->exec(QLatin1String(row.sql), row.binds))
                return storage->storageFailure();
        return Outcome::success({});
    });

    // Calendars only where there is none yet, so a second run keeps the operator's edits.
    const QString yearStart = QDate(today.year(), 1, 1).toString(Qt::ISODate);
    const QList<QPair<QString, QString>> calendars{{QStringLiteral("0001"), QStringLiteral("01")},
                                                   {QStringLiteral("0002"), QStringLiteral("02")},
                                                   {QStringLiteral("0004"), QStringLiteral("01")}};
    for (const auto &[branch, peri] : calendars) {
        if (!outcome.ok())
            break;
        const Outcome existing = callMethod(*storage, QStringLiteral("GetCaleProdu"),
                                            {branch, peri, QString::number(today.year())});
        if (!existing.ok()) {
            outcome = existing;
            break;
        }
        if (existing.payload.value(QStringLiteral("rows")).toArray().isEmpty())
            outcome = callMethod(*storage, QStringLiteral("CalculaProducao"),
                                 {branch, peri, yearStart, 12, yearStart});
    }
    if (!outcome.ok())
        *error = outcome.message;
    return outcome.ok();
}

} // namespace caleserver
