#include "reportbatch.h"

#include "localdatabase.h"
#include "shelloptions.h"

#include "core/exceptions.h"
#include "data/dtmdbgeral.h"
#include "data/tadoibquery.h"
#include "demodata.h"
#include "reporting/reportrenderer.h"
#include "reporting/treportdesignerdialog.h"
#include "server.h"
#include "storage/schema.h"

#include <cstdio>

namespace {

int fail(const QString &reason)
{
    std::fprintf(stderr, "caleprodu: %s\n", qPrintable(reason));
    return 1;
}

} // namespace

int RunReportBatch(const ShellOptions &options)
{
    const QString databaseUrl = options.databaseUrl.isEmpty()
                                    ? QString::fromStdString(caleserver::defaultDatabaseUrl())
                                    : options.databaseUrl;
    // Without a server, the database is readied as the shell readies the one it serves itself.
    QString error;
    if (options.serverHost.isEmpty() &&
        !PrepareLocalDatabase(databaseUrl, options.seedDemo, &error))
        return fail(error);
    if (!dtmDBGeral::Open(databaseUrl, &error))
        return fail(error);

    TReportDesignerDialog designer;
    designer.SetReportCode(options.report);
    designer.BeforeGetQueryParams = [&options](TReportParams *params, bool &) {
        for (const QString &param : options.reportParams) {
            const qsizetype equals = param.indexOf(QLatin1Char('='));
            params->ParamByName(param.left(equals).trimmed())->SetAsString(param.mid(equals + 1));
        }
    };
    ReportData data;
    try {
        designer.Execute(QString(), &data);
    } catch (const Exception &e) {
        dtmDBGeral::Close();
        return fail(e.Message());
    }
    dtmDBGeral::Close();
    if (!host::WriteReportFile(data, options.output, &error))
        return fail(error);
    std::printf("%s: %lld linhas gravadas em %s\n", qPrintable(options.report),
                static_cast<long long>(data.rows.size()), qPrintable(options.output));
    return 0;
}
