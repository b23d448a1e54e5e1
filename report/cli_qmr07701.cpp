#include "cli_qmr07701.h"

#include "ui_cli_qmr07701.h"

#include "controls/hostcolors.h"
#include "controls/pesquisalista.h"
#include "controls/tdateeditplus.h"
#include "controls/tgroupbox.h"
#include "controls/tlabel.h"
#include "controls/tradiobutton.h"
#include "controls/tspeedbutton.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/focustracker.h"
#include "core/tmessages.h"
#include "data/hostfunctions.h"
#include "data/tadoibquery.h"
#include "package/moduleregistry.h"
#include "reporting/treportdesignerdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QScopeGuard>
#include <QStyle>

namespace Cli_qmr07701 {

QPointer<TfrmListCaleProdu> frmListCaleProdu;
QString stListaFili;
QString stListaPeri;
bool boPrimVez = false;

namespace {

constexpr int vkF9 = 120;
constexpr TColor clBlue = 0xFF0000;

} // namespace

TfrmListCaleProdu::TfrmListCaleProdu(QWidget *parent)
    : TfrmDadosGerRel(parent)
    , ui(std::make_unique<Ui::frmListCaleProdu>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmListCaleProdu"));
    SetCaption(QStringLiteral("Calendário da Produção"));
    setGeometry(399, 208, 393, 160);
    SetHelpFile(QStringLiteral("QmrHelp.hlp"));
    SetHelpContext(13607701);
    lblCodTela->SetCaption(QStringLiteral("QMR07701"));
    lblCodRel->SetCaption(QStringLiteral("QMR077"));
    msgPadrao->LoadFromFile(host::FormResource(QStringLiteral("cli_qmr07701.msg")));

    grbFilial = ui->grbFilial;
    rbtTodosFili = ui->rbtTodosFili;
    rbtListaFili = ui->rbtListaFili;
    sbtFili = ui->sbtFili;
    grbPeriEntr = ui->grbPeriEntr;
    rbtTodosPeri = ui->rbtTodosPeri;
    rbtListaPeri = ui->rbtListaPeri;
    sbtPeri = ui->sbtPeri;
    grbDts = ui->grbDts;
    Label1 = ui->Label1;
    depIni = ui->depIni;
    Label2 = ui->Label2;
    depFim = ui->depFim;

    createQueries();
    setupControls();
    bindHandlers();
}

TfrmListCaleProdu::~TfrmListCaleProdu() = default;

void TfrmListCaleProdu::createQueries()
{
    auto makeQuery = [this](const char *name, const QString &file) {
        auto *query = new TADOIBQuery(this);
        query->setObjectName(QLatin1String(name));
        query->LoadSQL(host::FormResource(file));
        return query;
    };
    qryFilial = makeQuery("qryFilial", QStringLiteral("cli_qmr07701/qryFilial.sql"));
    TField *field = qryFilial->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    field->SetRequired(true);
    field->SetDisplayLabel(QStringLiteral("Código"));
    qryFilial->AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30)
        ->SetDisplayLabel(QStringLiteral("Nome"));

    qryPeriProdu = makeQuery("qryPeriProdu", QStringLiteral("cli_qmr07701/qryPeriProdu.sql"));
    field = qryPeriProdu->AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2);
    field->SetRequired(true);
    field->SetDisplayLabel(QStringLiteral("Código"));
    qryPeriProdu->AddField(QStringLiteral("NMPERIPRODU"), TFieldType::ftString)
        ->SetDisplayLabel(QStringLiteral("Nome"));
    qryPeriProdu->AddField(QStringLiteral("IDTIPODIAP"), TFieldType::ftString, 1)
        ->SetDisplayLabel(QStringLiteral("Tipo do dia"));

    dtsFilial = new TDataSource(this);
    dtsFilial->setObjectName(QStringLiteral("dtsFilial"));
    dtsFilial->SetDataSet(qryFilial);
    dtsPeriProdu = new TDataSource(this);
    dtsPeriProdu->setObjectName(QStringLiteral("dtsPeriProdu"));
    dtsPeriProdu->SetDataSet(qryPeriProdu);
}

void TfrmListCaleProdu::setupControls()
{
    // The form holds only the dialog's own controls; they belong in the base's data group.
    for (TGroupBox *group : {grbFilial, grbPeriEntr, grbDts}) {
        const QRect place = group->geometry();
        group->setParent(grbDadosRel);
        group->setGeometry(place);
        group->show();
    }
    const QPixmap glyph = style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(16, 16);
    for (TButtonFlat *button : {sbtFili, sbtPeri}) {
        button->SetHint(QStringLiteral("Pesquisar"));
        button->SetShowHint(true);
        button->SetGlyph(glyph);
    }
    rbtTodosFili->SetTabStop(true);
    rbtTodosPeri->SetTabStop(true);
    for (TDateEditPlus *edit : {depIni, depFim}) {
        edit->SetColor(clInfoBk);
        edit->SetValidColor(clBlue);
    }
    Label1->SetFocusControl(depIni);
    Label2->SetFocusControl(depFim);
    // Each radio button is named by its group and its caption.
    const auto name = [](TRadioButton *button, const QString &group) {
        button->setAccessibleName(group + QStringLiteral(": ") + button->Caption());
    };
    name(rbtTodosFili, grbFilial->Caption());
    name(rbtListaFili, grbFilial->Caption());
    name(rbtTodosPeri, grbPeriEntr->Caption());
    name(rbtListaPeri, grbPeriEntr->Caption());
    setTabOrder(cbbReportNames, rbtTodosFili);
}

void TfrmListCaleProdu::bindHandlers()
{
    rbtTodosFili->OnClick = [this](QObject *s) { rdtVerificaClickGenericFili(s); };
    rbtListaFili->OnClick = [this](QObject *s) { rdtVerificaClickGenericFili(s); };
    rbtListaFili->OnKeyDown = [this](QObject *s, int &key, Qt::KeyboardModifiers shift) {
        rbtListaFiliKeyDown(s, key, shift);
    };
    sbtFili->OnClick = [this](QObject *s) { sbtFiliClick(s); };
    rbtTodosPeri->OnClick = [this](QObject *s) { rdtVerificaClickGenericPeri(s); };
    rbtListaPeri->OnClick = [this](QObject *s) { rdtVerificaClickGenericPeri(s); };
    rbtListaPeri->OnKeyDown = [this](QObject *s, int &key, Qt::KeyboardModifiers shift) {
        rbtListaPeriKeyDown(s, key, shift);
    };
    sbtPeri->OnClick = [this](QObject *s) { sbtPeriClick(s); };
    depIni->OnExit = [this](QObject *s) { depIniExit(s); };
    depFim->OnExit = [this](QObject *s) { depFimExit(s); };
    rpddPadrao->BeforeGetQueryParams = [this](TReportParams *params, bool &proceed) {
        rpddPadraoBeforeGetQueryParams(params, proceed);
    };
}

void TfrmListCaleProdu::FormCreate(QObject *Sender)
{
    boPrimVez = true;
    TfrmDadosGerRel::FormCreate(Sender);
}

void TfrmListCaleProdu::FormActivate(QObject *Sender)
{
    TfrmDadosGerRel::FormActivate(Sender);
    repaint();
    if (boPrimVez) {
        stListaPeri.clear();
        stListaFili.clear();
        boPrimVez = false;
    }
}

void TfrmListCaleProdu::rdtVerificaClickGenericFili(QObject *)
{
    sbtFili->setEnabled(rbtListaFili->Checked());
}

void TfrmListCaleProdu::rdtVerificaClickGenericPeri(QObject *)
{
    sbtPeri->setEnabled(rbtListaPeri->Checked());
}

void TfrmListCaleProdu::searchList(TADOIBQuery *query, const QString &emptyKey, TDataSource *source,
                                   const QString &keyField, const QString &titleKey, QString &list)
{
    query->Close();
    query->Open();
    if (query->IsEmpty())
        MensErro(msgPadrao->Msg(emptyKey), true);
    PesquisaLista(source, keyField, msgPadrao->Msg(titleKey), false, list);
}

void TfrmListCaleProdu::sbtFiliClick(QObject *)
{
    searchList(qryFilial, QStringLiteral("F_Cad"), dtsFilial, QStringLiteral("CDFILIAL"),
               QStringLiteral("FILIAL"), stListaFili);
}

void TfrmListCaleProdu::sbtPeriClick(QObject *)
{
    searchList(qryPeriProdu, QStringLiteral("P_N_CAD"), dtsPeriProdu, QStringLiteral("CDPERIPRODU"),
               QStringLiteral("PERI"), stListaPeri);
}

void TfrmListCaleProdu::rbtListaFiliKeyDown(QObject *, int &Key, Qt::KeyboardModifiers)
{
    if (Key == vkF9)
        sbtFiliClick(sbtFili);
}

void TfrmListCaleProdu::rbtListaPeriKeyDown(QObject *, int &Key, Qt::KeyboardModifiers)
{
    if (Key == vkF9)
        sbtPeriClick(sbtPeri);
}

void TfrmListCaleProdu::checkChoices()
{
    if (EmptyString(stListaFili) && rbtListaFili->Checked()) {
        SetFocus(rbtListaFili);
        MensErro(msgPadrao->Msg(QStringLiteral("LST_FILI_EMPTY")), true);
    }
    if (EmptyString(stListaPeri) && rbtListaPeri->Checked()) {
        SetFocus(rbtListaPeri);
        MensErro(msgPadrao->Msg(QStringLiteral("LST_PERI_EMPTY")), true);
    }
    Vd_DataProdu(true);
}

void TfrmListCaleProdu::sbtPreviewClick(QObject *Sender)
{
    checkChoices();
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmListCaleProdu::sbtPrintClick(QObject *Sender)
{
    checkChoices();
    TfrmDadosGerRel::sbtPrintClick(Sender);
}

void TfrmListCaleProdu::sbtSalvarComoClick(QObject *Sender)
{
    checkChoices();
    TfrmDadosGerRel::sbtSalvarComoClick(Sender);
}

void TfrmListCaleProdu::Vd_DataProdu(bool check)
{
    if (!check)
        return;
    depIni->CheckValidDate();
    depFim->CheckValidDate();
    if (EmptyString(depIni->Text())) {
        SetFocus(depIni);
        MensErro(msgPadrao->Msg(QStringLiteral("DT_INI_INV")), true);
    }
    if (EmptyString(depFim->Text())) {
        SetFocus(depFim);
        MensErro(msgPadrao->Msg(QStringLiteral("DT_FIM_INV")), true);
    }
    if (depFim->GetDate() < depIni->GetDate()) {
        SetFocus(depIni);
        MensErro(msgPadrao->Msg(QStringLiteral("DT_INIFIM")), true);
    }
}

void TfrmListCaleProdu::depIniExit(QObject *)
{
    depIni->CheckValidDate();
}

void TfrmListCaleProdu::depFimExit(QObject *)
{
    depFim->CheckValidDate();
}

void TfrmListCaleProdu::rpddPadraoBeforeGetQueryParams(TReportParams *Params, bool &)
{
    const QString one = QStringLiteral("T");
    const QString blank = QStringLiteral(" ");
    Params->ParamByName(QStringLiteral("P_LST_FILIAL"))->SetAsString(stListaFili);
    Params->ParamByName(QStringLiteral("P_TFILIAL"))
        ->SetAsString(rbtTodosFili->Checked() ? one : blank);
    Params->ParamByName(QStringLiteral("P_LST_PERI"))->SetAsString(stListaPeri);
    Params->ParamByName(QStringLiteral("P_TPERI"))
        ->SetAsString(rbtTodosPeri->Checked() ? one : blank);
    Params->ParamByName(QStringLiteral("P_DTINI"))
        ->SetAsDateTime(QDateTime(depIni->GetPrimDia(), QTime(0, 0)));
    Params->ParamByName(QStringLiteral("P_DTFIM"))
        ->SetAsDateTime(QDateTime(depFim->GetUltDia(), QTime(0, 0)));
}

void CriaListCaleProdu()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The busy cursor goes away on every path, a failed creation included.
    auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    frmListCaleProdu = TfrmDadosGerRel::Create<TfrmListCaleProdu>(host::MainForm());
    // The operator works in the dialog with the normal cursor.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    auto restoreArrow = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    frmListCaleProdu->exec();
}

void Initialization() {}

void Finalization()
{
    stListaFili.clear();
    stListaPeri.clear();
}

} // namespace Cli_qmr07701
