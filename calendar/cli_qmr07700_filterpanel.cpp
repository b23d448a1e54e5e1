// The filter panel of the calendar screen: branch, periodicity and year, their lookups and checks,
// and what entering and leaving the panel do to the year view.

#include "cli_qmr07700.h"

#include "controls/hostcolors.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdbcalendar.h"
#include "controls/tedit.h"
#include "controls/tlabel.h"
#include "controls/tmaskedit.h"
#include "controls/tspinedit.h"
#include "core/dialogs.h"
#include "core/focustracker.h"
#include "core/tmessages.h"
#include "data/hostfunctions.h"
#include "data/tadoibquery.h"
#include "data/tclientdataset.h"

#include <QScopeGuard>
#include <QStyle>

namespace Cli_qmr07700 {

void TfrmCaleProdu::setupFilterPanel()
{
    medCdFilial->SetEditMask(QStringLiteral("9999;0; "));
    medCdFilial->SetMaxLength(4);
    medCdFilial->SetColor(clInfoBk);
    const QPixmap lookupGlyph = style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(16);
    btpFilial->SetHint(QStringLiteral("Pesquisar"));
    btpFilial->SetGlyph(lookupGlyph);
    btpFilial->SetAssociate(medCdFilial);
    btpFilial->SetTitle(QStringLiteral("Filial"));
    btpFilial->SetDataSource(dtsFilial);
    btpFilial->SetEmptyError(QStringLiteral("Não há filial cadastrada."));
    edtNmFilial->setEnabled(false);
    edtNmFilial->SetTabStop(false);
    edtNmFilial->SetColor(clBtnFace);

    medCdPeriodicidade->SetEditMask(QStringLiteral("99;0; "));
    medCdPeriodicidade->SetMaxLength(2);
    medCdPeriodicidade->SetColor(clInfoBk);
    btpServico->SetHint(QStringLiteral("Pesquisar"));
    btpServico->SetGlyph(lookupGlyph);
    btpServico->SetAssociate(medCdPeriodicidade);
    btpServico->SetTitle(QStringLiteral("Periodicidade"));
    btpServico->SetDataSource(dtsPeri);
    btpServico->SetEmptyError(QStringLiteral("Não há periodicidade cadastrada."));
    edtNmServico->setEnabled(false);
    edtNmServico->SetTabStop(false);
    edtNmServico->SetColor(clBtnFace);

    speYear->SetMaxLength(4);
    speYear->SetMinValue(0);
    speYear->SetMaxValue(0);
    speYear->SetColor(clInfoBk);

    lblFilial->SetFocusControl(medCdFilial);
    lblPeriodicidade->SetFocusControl(medCdPeriodicidade);
    lblYear->SetFocusControl(speYear);
    setTabOrder(medCdFilial, medCdPeriodicidade);
    setTabOrder(medCdPeriodicidade, speYear->Editor());
}

void TfrmCaleProdu::panRestIngeEnter(QObject *)
{
    PutYearViewToRest();
}

void TfrmCaleProdu::panRestIngeExit(QObject *)
{
    try {
        Vd_CdFilial(true);
        Vd_CdPeriodicidade(true);
        Vd_Year();
        GetCaleProdu();
    } catch (...) {
        RestAfterRefusal();
        throw;
    }
    BringYearViewLive();
}

// The field's exit may already have loaded the year and, with a month calendar as the target of
// the focus, selected that month and enabled the commands: none of that may outlive the refusal,
// or the commands would act on a branch or periodicity the panel does not show.
void TfrmCaleProdu::RestAfterRefusal()
{
    PutYearViewToRest();
    inSelectDbc = 0;
    for (int month = 1; month <= 12; ++month)
        Calendar(month)->SetShowCurrentDay(false);
}

void TfrmCaleProdu::medCdFilialChange(QObject *)
{
    edtNmFilial->SetText(QString());
}

void TfrmCaleProdu::medCdFilialEnter(QObject *)
{
    inSelectDbc = 0;
    cdsCaleProdu->Close();
}

void TfrmCaleProdu::medCdFilialExit(QObject *)
{
    medCdFilial->OnChange = nullptr;
    auto restore = qScopeGuard([this] { medCdFilial->OnChange = m_medCdFilialChange; });
    Vd_CdFilial(false);
    GetCaleProdu();
}

void TfrmCaleProdu::btpFilialBeforePesq(QObject *, bool &)
{
    ResolvePendingDay();
    qryFilial->Close();
    qryFilial->SetParam(QStringLiteral("P_CDFILIAL"), QString());
    qryFilial->SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral("T"));
    qryFilial->Open();
}

void TfrmCaleProdu::btpFilialAfterPesq(QObject *)
{
    stCDFILIAL = qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    medCdFilial->SetText(qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
    Abilitar(true);
}

void TfrmCaleProdu::medCdPeriodicidadeChange(QObject *)
{
    edtNmServico->SetText(QString());
}

void TfrmCaleProdu::medCdPeriodicidadeEnter(QObject *)
{
    inSelectDbc = 0;
    cdsCaleProdu->Close();
}

void TfrmCaleProdu::medCdPeriodicidadeExit(QObject *)
{
    medCdPeriodicidade->OnChange = nullptr;
    auto restore =
        qScopeGuard([this] { medCdPeriodicidade->OnChange = m_medCdPeriodicidadeChange; });
    Vd_CdPeriodicidade(false);
    GetCaleProdu();
}

void TfrmCaleProdu::btpServicoBeforePesq(QObject *, bool &)
{
    ResolvePendingDay();
    qryPeri->Close();
    qryPeri->SetParam(QStringLiteral("P_CDPERIPRODU"), QStringLiteral(" "));
    qryPeri->SetParam(QStringLiteral("P_TCDPERIPRODU"), QStringLiteral("T"));
    qryPeri->Open();
}

void TfrmCaleProdu::btpServicoAfterPesq(QObject *)
{
    stCDPERIPRODU = qryPeri->FieldByName(QStringLiteral("CDPERIPRODU"))->AsString();
    STIDDIANUTILP = qryPeri->FieldByName(QStringLiteral("IDDIANUTILP"))->AsString();
    medCdPeriodicidade->SetText(qryPeri->FieldByName(QStringLiteral("CDPERIPRODU"))->AsString());
    edtNmServico->SetText(qryPeri->FieldByName(QStringLiteral("NMPERIPRODU"))->AsString());
    Abilitar(true);
}

void TfrmCaleProdu::speYearEnter(QObject *)
{
    inSelectDbc = 0;
}

void TfrmCaleProdu::speYearExit(QObject *)
{
    speYear->SetText(Ajusta(speYear->Text(), 4));
}

void TfrmCaleProdu::speYearKeyPress(QObject *, QChar &Key)
{
    if (Key == QLatin1Char('-') || Key == QLatin1Char('+') || Key == QLatin1Char('e') ||
        Key == QLatin1Char('E'))
        Key = QChar();
}

void TfrmCaleProdu::qryPeriIDTIPODIAPGetText(TField *Sender, QString &Text, bool)
{
    Text = DayKindText(msgPadrao, Sender->AsString());
}

void TfrmCaleProdu::Vd_CdFilial(bool mandatory)
{
    try {
        const bool blank = EmptyString(medCdFilial->Text());
        if (mandatory && blank)
            MensErro(msgPadrao->Msg(QStringLiteral("Fili_Empty")), true);
        if (blank)
            return;
        const QString code =
            Ajusta(medCdFilial->Text(), qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->Size());
        medCdFilial->SetText(code);
        qryFilial->Close();
        qryFilial->SetParam(QStringLiteral("P_CDFILIAL"), code);
        qryFilial->SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral(" "));
        qryFilial->Open();
        if (qryFilial->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("FILI_INV")), true);
        if (qryFilial->FieldByName(QStringLiteral("IDCNTRRESC"))->AsString() == QLatin1String("S"))
            MensErro(msgPadrao->Msg(QStringLiteral("CONT_RESC")), true);
        edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
        stCDFILIAL = qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    } catch (...) {
        SetFocus(medCdFilial);
        throw;
    }
}

void TfrmCaleProdu::Vd_CdPeriodicidade(bool mandatory)
{
    try {
        const bool blank = EmptyString(medCdPeriodicidade->Text());
        if (mandatory && blank)
            MensErro(msgPadrao->Msg(QStringLiteral("PERI_EMPTY")), true);
        if (blank)
            return;
        const QString code = Ajusta(medCdPeriodicidade->Text(),
                                    qryPeri->FieldByName(QStringLiteral("CDPERIPRODU"))->Size());
        medCdPeriodicidade->SetText(code);
        qryPeri->Close();
        qryPeri->SetParam(QStringLiteral("P_CDPERIPRODU"), code);
        qryPeri->SetParam(QStringLiteral("P_TCDPERIPRODU"), QStringLiteral(" "));
        qryPeri->Open();
        if (qryPeri->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("PERI_INV")), true);
        edtNmServico->SetText(qryPeri->FieldByName(QStringLiteral("NMPERIPRODU"))->AsString());
        qryDiasProdu->Close();
        qryDiasProdu->SetParam(QStringLiteral("P_CDPERIPRODU"), code);
        qryDiasProdu->Open();
        if (qryDiasProdu->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("DiaEnt_N_Cad")), true);
        stCDPERIPRODU = qryPeri->FieldByName(QStringLiteral("CDPERIPRODU"))->AsString();
        STIDDIANUTILP = qryPeri->FieldByName(QStringLiteral("IDDIANUTILP"))->AsString();
    } catch (...) {
        SetFocus(medCdPeriodicidade);
        throw;
    }
}

void TfrmCaleProdu::Vd_Year()
{
    try {
        if (speYear->Text().isEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("ANO_DEVE")), true);
        const int year = speYear->Value();
        if (year < 1 || year > 9999)
            MensErro(msgPadrao->Msg(QStringLiteral("ANO_INV")), true);
    } catch (...) {
        SetFocus(speYear);
        throw;
    }
}

} // namespace Cli_qmr07700
