// Why a day of the calendar screen cannot change: the holidays that apply to the branch (its own
// and the company-wide ones) and the closed period before the processing date, on the calendars,
// in the legend, and in the hint of a disabled "Incluir".

#include "cli_qmr07700.h"

#include "controls/hostcolors.h"
#include "controls/tdbcalendar.h"
#include "controls/tedit.h"
#include "controls/tgroupbox.h"
#include "controls/tlabel.h"
#include "controls/tncalendar.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/tmessages.h"
#include "data/operatorcontext.h"
#include "data/tadoibquery.h"
#include "data/tdataset.h"
#include "package/moduleregistry.h"

namespace Cli_qmr07700 {

namespace {

// Orange: apart from the production days' green and the selection's highlight.
constexpr TColor holidayColour = 0x0060C0;
const QString dateFormat = QStringLiteral("dd/MM/yyyy");

} // namespace

void TfrmCaleProdu::setupDayNotes()
{
    qryFeriado = new TADOIBQuery(this);
    qryFeriado->setObjectName(QStringLiteral("qryFeriado"));
    qryFeriado->LoadSQL(host::FormResource(QStringLiteral("cli_qmr07700/qryFeriado.sql")));
    qryFeriado->AddField(QStringLiteral("DTFERICOMP"), TFieldType::ftDate);
    qryFeriado->AddField(QStringLiteral("NMFERIADO"), TFieldType::ftString, 40);

    // Four entries in two columns; the group grows to the left, where the panel is free.
    grbLegenda->setGeometry(424, 1, 204, 52);
    Label1->setGeometry(6, 14, 96, 15);
    Label2->setGeometry(6, 32, 96, 15);
    auto addEntry = [this](const char *name, const QString &caption, int top) {
        auto *label = new TLabel(grbLegenda);
        label->setObjectName(QLatin1String(name));
        label->SetCaption(caption);
        label->setGeometry(104, top, 94, 15);
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
        return label;
    };
    Label3 = addEntry("Label3", msgPadrao->Msg(QStringLiteral("LEG_FERIADO")), 14);
    Label3->SetColor(holidayColour);
    Label3->SetFontColor(clWhite);
    Label4 = addEntry("Label4", msgPadrao->Msg(QStringLiteral("LEG_FECHADO")), 32);
    QPalette shaded = Label4->palette();
    shaded.setBrush(QPalette::Window, ClosedDayBrush());
    Label4->setPalette(shaded);
    // The branch's name stops where the wider legend begins.
    edtNmFilial->resize(grbLegenda->x() - edtNmFilial->x() - 4, edtNmFilial->height());
}

void TfrmCaleProdu::LoadDayNotes()
{
    QHash<QDate, QString> holidays;
    const int year = speYear->Value();
    if (!stCDFILIAL.isEmpty() && year >= 1 && year <= 9999) {
        qryFeriado->Close();
        qryFeriado->SetParam(QStringLiteral("P_CDFILIAL"), stCDFILIAL);
        // Plain dates: a time of day would leave 1 January out where dates are stored as text.
        qryFeriado->ParamByName(QStringLiteral("P_DTINI"))->SetValue(QDate(year, 1, 1));
        qryFeriado->ParamByName(QStringLiteral("P_DTFIM"))->SetValue(QDate(year, 12, 31));
        qryFeriado->Open();
        for (qryFeriado->First(); !qryFeriado->Eof(); qryFeriado->Next())
            holidays.insert(qryFeriado->FieldByName(QStringLiteral("DTFERICOMP"))->AsDate(),
                            qryFeriado->FieldByName(QStringLiteral("NMFERIADO"))->AsString());
        qryFeriado->Close();
    }
    // The same date the "Incluir" rule compares with.
    const QDate openFrom = DataProc(FiliProc());
    for (int month = 1; month <= 12; ++month)
        Calendar(month)->SetDayNotes(holidays, holidayColour, openFrom);
}

void TfrmCaleProdu::ExplainIncluir(bool dateOpen, int total, const QDate &selected,
                                   const QDate &processing)
{
    static const QString plain = QStringLiteral("Incluir");
    QString hint = plain;
    const TDBCalendar *calendar = SelectedCalendar();
    const QString holiday = calendar ? calendar->HolidayName(selected.day()) : QString();
    if (!sbtIncluir->isEnabled() && calendar) {
        if (!dateOpen)
            hint =
                msgPadrao->Msg(QStringLiteral("INC_FECHADO")).arg(processing.toString(dateFormat));
        else if (total != 0)
            hint = msgPadrao->Msg(QStringLiteral("INC_JA_DIA"));
    } else if (calendar && !holiday.isEmpty() && STIDDIANUTILP.trimmed() == QLatin1String("S")) {
        // The server refuses a holiday for such a periodicity; say so before the click.
        hint = msgPadrao->Msg(QStringLiteral("INC_FERIADO")).arg(holiday);
    }
    sbtIncluir->SetHint(hint);
}

} // namespace Cli_qmr07700
