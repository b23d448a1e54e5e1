// The calendar screen's spine: layout, data module, lifecycle, server connection and loading.

#include "cli_qmr07700.h"

#include "package/moduleregistry.h"
#include "ui_cli_qmr07700.h"

#include "controls/hostcolors.h"
#include "controls/showavi.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdbcalendar.h"
#include "controls/tdbgrid.h"
#include "controls/tlabel.h"
#include "controls/tpagecontrol.h"
#include "controls/tpanel.h"
#include "controls/tscrollbox.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/tmessages.h"
#include "data/operatorcontext.h"
#include "data/tadoibquery.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"

#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace Cli_qmr07700 {

QPointer<TfrmCaleProdu> frmCaleProdu;
QString stCDFILIAL;
QString stCDPERIPRODU;
QString STIDDIANUTILP;
int inSelectDbc = 0;
bool boPassarChange = false;
QDateTime dtInicial;

namespace {
bool boFormCriado = false;

// Makes a child fill its container, inside a margin.
void fillWith(QWidget *container, QWidget *child, int margin)
{
    auto *layout = new QVBoxLayout(container);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(child);
}

} // namespace

TfrmCaleProdu::TfrmCaleProdu(QWidget *parent)
    : TfrmPadraoGrid(parent)
    , ui(std::make_unique<Ui::frmCaleProdu>())
{
    // Reachable through the module-wide variable from the start of its construction.
    frmCaleProdu = this;
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmCaleProdu"));
    SetCaption(QStringLiteral("Calendário da Produção"));
    SetBounds(325, 177, 640, 411);
    SetHelpFile(QStringLiteral("QmrHelp.hlp"));
    SetHelpContext(13607700);
    lblCodTela->SetCaption(QStringLiteral("QMR07700"));
    msgPadrao->LoadFromFile(host::FormResource(QStringLiteral("cli_qmr07700.msg")));

    panRestInge = ui->panRestInge;
    lblFilial = ui->lblFilial;
    medCdFilial = ui->medCdFilial;
    btpFilial = ui->btpFilial;
    edtNmFilial = ui->edtNmFilial;
    lblPeriodicidade = ui->lblPeriodicidade;
    medCdPeriodicidade = ui->medCdPeriodicidade;
    btpServico = ui->btpServico;
    edtNmServico = ui->edtNmServico;
    lblYear = ui->lblYear;
    speYear = ui->speYear;
    grbLegenda = ui->grbLegenda;
    Label1 = ui->Label1;
    Label2 = ui->Label2;
    tshCalendario = ui->tshCalendario;
    panFormulario = ui->panFormulario;
    scbFormulario = ui->scbFormulario;

    createDataModule();
    placeToolBarAndMenu();
    setupFilterPanel();
    // Only now: the command rule that a state change runs touches every control above.
    dtsPadrao->SetDataSet(cdsCaleProdu);
    setupYearView();
    setupDayNotes();
    bindHandlers();
}

TfrmCaleProdu::~TfrmCaleProdu() = default;

void TfrmCaleProdu::createDataModule()
{
    auto makeSet = [this](const char *name) {
        auto *set = new TClientDataSet(this);
        set->setObjectName(QLatin1String(name));
        return set;
    };
    cdsCaleProdu = makeSet("cdsCaleProdu");
    cdsCaleProdu->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    cdsCaleProdu->AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2);
    cdsCaleProdu->AddField(QStringLiteral("DTPRODUCAO"), TFieldType::ftDateTime);
    cdsCaleProduAux = makeSet("cdsCaleProduAux");
    cdsCaleProduAux->AddField(QStringLiteral("TOTAL"), TFieldType::ftFloat);
    cdsPesqCaleProdu = makeSet("cdsPesqCaleProdu");
    cdsPesqCaleProdu->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    cdsVerificaDiaUtil = makeSet("cdsVerificaDiaUtil");
    cdsVerificaDiaUtil->AddField(QStringLiteral("DTFERICOMP"), TFieldType::ftDate);

    auto makeQuery = [this](const char *name, const QString &file) {
        auto *query = new TADOIBQuery(this);
        query->setObjectName(QLatin1String(name));
        query->LoadSQL(host::FormResource(file));
        return query;
    };
    qryFilial = makeQuery("qryFilial", QStringLiteral("cli_qmr07700/qryFilial.sql"));
    TField *field = qryFilial->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    field->SetRequired(true);
    field->SetDisplayLabel(QStringLiteral("Código"));
    qryFilial->AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30)
        ->SetDisplayLabel(QStringLiteral("Nome"));
    qryFilial->AddField(QStringLiteral("IDCNTRRESC"), TFieldType::ftString, 1)->SetVisible(false);

    qryPeri = makeQuery("qryPeri", QStringLiteral("cli_qmr07700/qryPeri.sql"));
    field = qryPeri->AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2);
    field->SetRequired(true);
    field->SetDisplayLabel(QStringLiteral("Código "));
    qryPeri->AddField(QStringLiteral("NMPERIPRODU"), TFieldType::ftString)
        ->SetDisplayLabel(QStringLiteral("Nome"));
    qryPeri->AddField(QStringLiteral("IDDIANUTILP"), TFieldType::ftString, 1)->SetVisible(false);
    field = qryPeri->AddField(QStringLiteral("IDTIPODIAP"), TFieldType::ftString, 1);
    field->SetDisplayLabel(QStringLiteral("Tipo do dia"));
    field->OnGetText = [this](TField *sender, QString &text, bool display) {
        qryPeriIDTIPODIAPGetText(sender, text, display);
    };

    qryDiasProdu = makeQuery("qryDiasProdu", QStringLiteral("cli_qmr07700/qryDiasProdu.sql"));
    qryDiasProdu->AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2)
        ->SetRequired(true);

    dtsFilial = new TDataSource(this);
    dtsFilial->setObjectName(QStringLiteral("dtsFilial"));
    dtsFilial->SetDataSet(qryFilial);
    dtsPeri = new TDataSource(this);
    dtsPeri->setObjectName(QStringLiteral("dtsPeri"));
    dtsPeri->SetDataSet(qryPeri);

    netCaleComp = new TNetConnection(this);
    netCaleComp->setObjectName(QStringLiteral("netCaleComp"));
    netCaleComp->SetServerName(QStringLiteral("QMR07700.rdmCaleProd"));
    netCaleComp->SetThrowException(false);
}

void TfrmCaleProdu::placeToolBarAndMenu()
{
    panRestInge->setFixedHeight(55);
    AlignTop(panRestInge);
    tshCalendario->SetPageControl(pgcPadrao);
    tshCalendario->SetTabVisible(false);
    tshPadrao->SetTabVisible(false);
    dbgPadrao->setVisible(false);
    panNavigator->setFixedHeight(1);
    panNavigator->setVisible(false);
    pgcPadrao->SetActivePage(tshCalendario);
    // The page, its panel and the scroll box fill each other; the calendars keep their places.
    fillWith(tshCalendario, panFormulario, 0);
    panFormulario->SetBevel(1, 2);
    fillWith(panFormulario, scbFormulario, 2);
    scbFormulario->SetBorder(false);
    scbFormulario->Content()->setMinimumSize(617, 262);

    sbtVerificar->SetBounds(89, 4, 20, 21);
    sbtCancelar->SetBounds(125, 4, 21, 21);
    sbtConfirmar->SetBounds(146, 4, 21, 21);
    sbtImprimir->SetBounds(260, 4, 21, 21);
    sbtAjuda->SetBounds(296, 4, 21, 21);
    sbtFechar->SetBounds(332, 4, 21, 21);
    auto addButton = [this](const char *name, int left, int tag, const char *hint,
                            QStyle::StandardPixmap glyph) {
        auto *button = new TSpeedButton(panMenu);
        button->setObjectName(QLatin1String(name));
        button->SetTag(tag);
        button->SetHint(QString::fromUtf8(hint));
        button->SetShowHint(true);
        button->SetGlyph(style()->standardIcon(glyph).pixmap(16, 16));
        button->SetBounds(left, 4, 21, 21);
        return button;
    };
    sbtCalcAno =
        addButton("sbtCalcAno", 182, 1, "Calcular Produção no Ano", QStyle::SP_FileDialogStart);
    sbtExportar = addButton("sbtExportar", 203, 0, "Exportar Calendário de Produção",
                            QStyle::SP_ArrowForward);
    sbtCalcMes =
        addButton("sbtCalcMes", 224, 2, "Calcular Produção no Mês", QStyle::SP_FileDialogEnd);

    for (QAction *item :
         {mnuIncluir, mnuAlterar, mnuExcluir, mnuProcurar, mnuVerificar, mnuCancelar, mnuConfirmar})
        item->setEnabled(false);
    N1 = mnuManutencao->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    auto addItem = [this](const char *name, const char *caption, bool enabled) {
        QAction *item = mnuManutencao->addAction(QString::fromUtf8(caption));
        item->setObjectName(QLatin1String(name));
        item->setEnabled(enabled);
        return item;
    };
    mnuExportar = addItem("mnuExportar", "E&xportar Calendário de Produção", true);
    mnuCalcMes = addItem("mnuCalcMes", "Calc&ular Produção no Mês", false);
    mnuCalcAno = addItem("mnuCalcAno", "Calcular Produção do Ano", false);
    FollowButton(mnuCalcMes, sbtCalcMes);
    FollowButton(mnuCalcAno, sbtCalcAno);

    pmnExcluir = new QMenu(this);
    pmnExcluir->setObjectName(QStringLiteral("pmnExcluir"));
    mnuDia = pmnExcluir->addAction(QStringLiteral("&Dia"));
    mnuDia->setObjectName(QStringLiteral("mnuDia"));
    mnuMes = pmnExcluir->addAction(QStringLiteral("&Mês"));
    mnuMes->setObjectName(QStringLiteral("mnuMes"));
    mnuAno = pmnExcluir->addAction(QStringLiteral("&Ano"));
    mnuAno->setObjectName(QStringLiteral("mnuAno"));
}

void TfrmCaleProdu::bindHandlers()
{
    netCaleComp->BeforeConnect = [this](QObject *s) { netCaleCompBeforeConnect(s); };
    dtsPadrao->OnStateChange = [this](QObject *s) { dtsPadraoStateChange(s); };

    panRestInge->OnEnter = [this](QObject *s) { panRestIngeEnter(s); };
    panRestInge->OnExit = [this](QObject *s) { panRestIngeExit(s); };
    m_medCdFilialChange = [this](QObject *s) { medCdFilialChange(s); };
    medCdFilial->OnChange = m_medCdFilialChange;
    medCdFilial->OnEnter = [this](QObject *s) { medCdFilialEnter(s); };
    medCdFilial->OnExit = [this](QObject *s) { medCdFilialExit(s); };
    btpFilial->OnBeforePesq = [this](QObject *s, bool &go) { btpFilialBeforePesq(s, go); };
    btpFilial->OnAfterPesq = [this](QObject *s) { btpFilialAfterPesq(s); };
    m_medCdPeriodicidadeChange = [this](QObject *s) { medCdPeriodicidadeChange(s); };
    medCdPeriodicidade->OnChange = m_medCdPeriodicidadeChange;
    medCdPeriodicidade->OnEnter = [this](QObject *s) { medCdPeriodicidadeEnter(s); };
    medCdPeriodicidade->OnExit = [this](QObject *s) { medCdPeriodicidadeExit(s); };
    btpServico->OnBeforePesq = [this](QObject *s, bool &go) { btpServicoBeforePesq(s, go); };
    btpServico->OnAfterPesq = [this](QObject *s) { btpServicoAfterPesq(s); };
    speYear->OnChange = [this](QObject *s) { speYearChange(s); };
    speYear->OnEnter = [this](QObject *s) { speYearEnter(s); };
    speYear->OnExit = [this](QObject *s) { speYearExit(s); };
    speYear->OnKeyPress = [this](QObject *s, QChar &key) { speYearKeyPress(s, key); };
    bindExportCommand();
    bindOverviewCommand();
    bindJournalCommands();

    scbFormulario->OnExit = [this](QObject *s) { scbFormularioExit(s); };
    m_genericChange = [this](QObject *s) { GenericChange(s); };
    for (int month = 1; month <= 12; ++month) {
        TDBCalendar *calendar = Calendar(month);
        calendar->OnChange = m_genericChange;
        calendar->OnEnter = [this](QObject *s) { GenericOnEnter(s); };
    }
    bindEditingHandlers();
}

void TfrmCaleProdu::FormCreate(QObject *Sender)
{
    boPrimAtiv = true;
    netCaleComp->Open();
    TfrmPadraoGrid::FormCreate(Sender);
}

void TfrmCaleProdu::FormActivate(QObject *Sender)
{
    update();
    if (!boPrimAtiv)
        return;
    medCdFilial->OnChange = nullptr;
    medCdFilial->SetText(FiliProc());
    qryFilial->Close();
    qryFilial->SetParam(QStringLiteral("P_CDFILIAL"), FiliProc());
    qryFilial->SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral(" "));
    qryFilial->Open();
    edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
    stCDFILIAL = FiliProc();
    medCdFilial->setEnabled(!ModuFili());
    btpFilial->setEnabled(!ModuFili());
    medCdFilial->OnChange = m_medCdFilialChange;

    speYear->SetText(QStringLiteral("%1").arg(Now().date().year(), 4, 10, QLatin1Char('0')));
    inSelectDbc = 0;
    for (int month = 1; month <= 12; ++month) {
        Calendar(month)->SetDateElement(TNCalendar::deDay, 1);
        Calendar(month)->SetDateElement(TNCalendar::deMonth, month);
    }
    medCdFilialEnter(Sender);
    boPrimAtiv = false;
}

void TfrmCaleProdu::FormClose(QObject *Sender, int &Action)
{
    ResolvePendingDay();
    boFormCriado = false;
    netCaleComp->Close();
    if (cdsCaleProdu->Active())
        cdsCaleProdu->Close();
    TfrmPadraoGrid::FormClose(Sender, Action);
}

void TfrmCaleProdu::netCaleCompBeforeConnect(QObject *)
{
    netCaleComp->SetHost(WebURL());
    netCaleComp->SetPort(WebPort());
}

void TfrmCaleProdu::GetCaleProdu()
{
    ActiveShowAvi(host::MainForm(), 6, msgPadrao->Msg(QStringLiteral("GetCaleProdu")));
    {
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        const TServerResult result = netCaleComp->AppServer()->Call(
            QStringLiteral("GetCaleProdu"),
            {stCDFILIAL, stCDPERIPRODU, QString::number(speYear->Value())});
        cdsCaleProdu->SetData(CheckResultServ(result, true, 0));
    }
    LoadDayNotes();
    if (auto *calendar = qobject_cast<TDBCalendar *>(ActiveControl()))
        GenericOnEnter(calendar);
}

TDBCalendar *TfrmCaleProdu::Calendar(int month) const
{
    return findChild<TDBCalendar *>(QStringLiteral("dbc") + QString::number(month));
}

TLabel *TfrmCaleProdu::MonthLabel(int month) const
{
    return findChild<TLabel *>(QStringLiteral("lbl") + QString::number(month));
}

void CriaCaleProdu()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    // The busy cursor goes away on every path, a failed creation included.
    auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    if (!boFormCriado) {
        TfrmPadraoGrid::Create<TfrmCaleProdu>();
        boFormCriado = true;
    }
    QMdiSubWindow *window = host::ShowMdiChild(frmCaleProdu);
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen && screen->geometry().height() == 480) {
        if (window)
            window->showMaximized();
        else
            frmCaleProdu->showMaximized();
    }
}

void IniProc()
{
    CriaCaleProdu();
}

bool FormCriado()
{
    return boFormCriado;
}

void Initialization()
{
    boFormCriado = false;
    boPassarChange = true;
    inSelectDbc = 0;
}

void Finalization()
{
    stCDFILIAL.clear();
    STIDDIANUTILP.clear();
    stCDPERIPRODU.clear();
}

} // namespace Cli_qmr07700
