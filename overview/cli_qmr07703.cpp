// The overview screen's spine: layout, filter, loading and the grid.

#include "cli_qmr07703.h"

#include "calendar/cli_qmr07700.h"

#include "package/moduleregistry.h"
#include "ui_cli_qmr07703.h"

#include "controls/hostcolors.h"
#include "controls/showavi.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdbgrid.h"
#include "controls/tedit.h"
#include "controls/tlabel.h"
#include "controls/tmaskedit.h"
#include "controls/tpagecontrol.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "controls/tspinedit.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/focustracker.h"
#include "core/tmessages.h"
#include "data/clientsettings.h"
#include "data/hostfunctions.h"
#include "data/operatorcontext.h"
#include "data/tadoibquery.h"
#include "net/tnetconnection.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScopeGuard>
#include <QStyle>
#include <QVBoxLayout>

namespace Cli_qmr07703 {

QPointer<TfrmVisaoGeral> frmVisaoGeral;

namespace {

const char *const monthNames[] = {"Jan", "Fev", "Mar", "Abr", "Mai", "Jun",
                                  "Jul", "Ago", "Set", "Out", "Nov", "Dez"};
enum GridColumn { gcFilial, gcNome, gcJan, gcTotal = gcJan + 12, gcUltimo, gcSituacao, gcCount };

// A reference difference is told by colour and by the cell's accessible description.
const QColor differsColour(255, 228, 160);

QTableWidgetItem *cell(const QString &text, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

TGridVisao::TGridVisao(QWidget *parent)
    : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(false);
    connect(this, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { emit rowChosen(row); });
}

void TGridVisao::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0) {
        emit rowChosen(currentRow());
        return;
    }
    QTableWidget::keyPressEvent(event);
}

TfrmVisaoGeral::TfrmVisaoGeral(QWidget *parent)
    : TfrmPadraoGrid(parent)
    , ui(std::make_unique<Ui::frmVisaoGeral>())
{
    frmVisaoGeral = this;
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmVisaoGeral"));
    SetCaption(QStringLiteral("Visão Geral dos Calendários"));
    // Wide enough for every column on the standard window; narrower displays scroll the grid.
    SetBounds(20, 20, 880, 411);
    SetHelpFile(QStringLiteral("QmrHelp.hlp"));
    SetHelpContext(13607703);
    lblCodTela->SetCaption(QStringLiteral("QMR07703"));
    msgPadrao->LoadFromFile(host::FormResource(QStringLiteral("cli_qmr07703.msg")));

    lblPeriodicidade = ui->lblPeriodicidade;
    medCdPeriodicidade = ui->medCdPeriodicidade;
    btpPeriodicidade = ui->btpPeriodicidade;
    edtNmPeriodicidade = ui->edtNmPeriodicidade;
    lblAno = ui->lblAno;
    speAno = ui->speAno;
    lblFilialRef = ui->lblFilialRef;
    medCdFilialRef = ui->medCdFilialRef;
    btpFilialRef = ui->btpFilialRef;
    edtNmFilialRef = ui->edtNmFilialRef;
    chkSomenteAviso = ui->chkSomenteAviso;

    createDataModule();
    placeControls();
    setupGrid();
    bindHandlers();
}

TfrmVisaoGeral::~TfrmVisaoGeral() = default;

void TfrmVisaoGeral::createDataModule()
{
    auto makeQuery = [this](const char *name, const QString &file) {
        auto *query = new TADOIBQuery(this);
        query->setObjectName(QLatin1String(name));
        query->LoadSQL(host::FormResource(file));
        return query;
    };
    qryPeri = makeQuery("qryPeri", QStringLiteral("cli_qmr07703/qryPeri.sql"));
    qryPeri->AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2)
        ->SetDisplayLabel(QStringLiteral("Código"));
    qryPeri->AddField(QStringLiteral("NMPERIPRODU"), TFieldType::ftString)
        ->SetDisplayLabel(QStringLiteral("Nome"));
    qryPeri->AddField(QStringLiteral("IDDIANUTILP"), TFieldType::ftString, 1)->SetVisible(false);
    qryPeri->AddField(QStringLiteral("IDTIPODIAP"), TFieldType::ftString, 1)->SetVisible(false);
    qryFilial = makeQuery("qryFilial", QStringLiteral("cli_qmr07703/qryFilial.sql"));
    qryFilial->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4)
        ->SetDisplayLabel(QStringLiteral("Código"));
    qryFilial->AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30)
        ->SetDisplayLabel(QStringLiteral("Nome"));
    qryFilial->AddField(QStringLiteral("IDCNTRRESC"), TFieldType::ftString, 1)->SetVisible(false);
    dtsPeri = new TDataSource(this);
    dtsPeri->SetDataSet(qryPeri);
    dtsFilial = new TDataSource(this);
    dtsFilial->SetDataSet(qryFilial);

    netVisao = new TNetConnection(this);
    netVisao->setObjectName(QStringLiteral("netVisao"));
    netVisao->SetServerName(QStringLiteral("QMR07700.rdmCaleProd"));
    netVisao->SetThrowException(false);
    netVisao->BeforeConnect = [this](QObject *) {
        netVisao->SetHost(WebURL());
        netVisao->SetPort(WebPort());
    };
}

void TfrmVisaoGeral::placeControls()
{
    ui->panFiltro->setFixedHeight(55);
    AlignTop(ui->panFiltro);
    const QPixmap lookupGlyph = style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(16);
    auto setupLookup = [&](TMaskEdit *edit, TBtnPesquisa *button, TEdit *name, const char *mask,
                           const QString &title, TDataSource *source) {
        edit->SetEditMask(QLatin1String(mask));
        edit->SetMaxLength(int(qstrlen(mask)) - 4);
        button->SetHint(QStringLiteral("Pesquisar"));
        button->SetGlyph(lookupGlyph);
        button->SetAssociate(edit);
        button->SetTitle(title);
        button->SetDataSource(source);
        name->setEnabled(false);
        name->SetTabStop(false);
        name->SetColor(clBtnFace);
    };
    setupLookup(medCdPeriodicidade, btpPeriodicidade, edtNmPeriodicidade, "99;0; ",
                QStringLiteral("Periodicidade"), dtsPeri);
    medCdPeriodicidade->SetColor(clInfoBk);
    setupLookup(medCdFilialRef, btpFilialRef, edtNmFilialRef, "9999;0; ", QStringLiteral("Filial"),
                dtsFilial);
    speAno->SetMaxLength(4);
    speAno->SetColor(clInfoBk);
    lblPeriodicidade->SetFocusControl(medCdPeriodicidade);
    lblAno->SetFocusControl(speAno);
    lblFilialRef->SetFocusControl(medCdFilialRef);

    tshVisao = new TTabSheet(this);
    tshVisao->setObjectName(QStringLiteral("tshVisao"));
    tshVisao->SetPageControl(pgcPadrao);
    tshVisao->SetTabVisible(false);
    tshPadrao->SetTabVisible(false);
    dbgPadrao->setVisible(false);
    panNavigator->setVisible(false);
    pgcPadrao->SetActivePage(tshVisao);
    grdMeses = new TGridVisao(tshVisao);
    grdMeses->setObjectName(QStringLiteral("grdMeses"));
    grdMeses->setAccessibleName(QStringLiteral("Meses por Filial"));
    auto *layout = new QVBoxLayout(tshVisao);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(grdMeses);

    for (QAction *item :
         {mnuIncluir, mnuAlterar, mnuExcluir, mnuProcurar, mnuVerificar, mnuCancelar, mnuConfirmar})
        item->setVisible(false);
    for (TSpeedButton *button :
         {sbtIncluir, sbtAlterar, sbtExcluir, sbtProcurar, sbtVerificar, sbtCancelar, sbtConfirmar})
        button->setVisible(false);
    auto addButton = [this](const char *name, int left, const char *hint,
                            QStyle::StandardPixmap glyph) {
        auto *button = new TSpeedButton(panMenu);
        button->setObjectName(QLatin1String(name));
        button->SetHint(QString::fromUtf8(hint));
        button->SetShowHint(true);
        button->SetGlyph(style()->standardIcon(glyph).pixmap(16, 16));
        button->SetBounds(left, 4, 21, 21);
        return button;
    };
    sbtCalcAno =
        addButton("sbtCalcAno", 8, "Calcular Ano nas Selecionadas", QStyle::SP_FileDialogStart);
    sbtExportar =
        addButton("sbtExportar", 29, "Exportar para as Selecionadas", QStyle::SP_ArrowForward);
    mnuManutencao->addSeparator();
    mnuCalcAno = mnuManutencao->addAction(QStringLiteral("Calcular &Ano nas Selecionadas"));
    mnuCalcAno->setObjectName(QStringLiteral("mnuCalcAno"));
    mnuExportar = mnuManutencao->addAction(QStringLiteral("E&xportar para as Selecionadas"));
    mnuExportar->setObjectName(QStringLiteral("mnuExportar"));
    mnuSalvarComo = mnuManutencao->addAction(QStringLiteral("&Salvar como PDF ou CSV..."));
    mnuSalvarComo->setObjectName(QStringLiteral("mnuSalvarComo"));
    FollowButton(mnuCalcAno, sbtCalcAno);
    FollowButton(mnuExportar, sbtExportar);
}

void TfrmVisaoGeral::setupGrid()
{
    QStringList titles{msgPadrao->Msg(QStringLiteral("Col_Filial")),
                       msgPadrao->Msg(QStringLiteral("Col_Nome"))};
    for (const char *month : monthNames)
        titles << QLatin1String(month);
    titles << msgPadrao->Msg(QStringLiteral("Col_Total"))
           << msgPadrao->Msg(QStringLiteral("Col_Ultimo"))
           << msgPadrao->Msg(QStringLiteral("Col_Situacao"));
    grdMeses->setColumnCount(gcCount);
    grdMeses->setHorizontalHeaderLabels(titles);
    grdMeses->verticalHeader()->setVisible(false);
    grdMeses->verticalHeader()->setDefaultSectionSize(20);
    grdMeses->setColumnWidth(gcFilial, 44);
    grdMeses->setColumnWidth(gcNome, 140);
    for (int month = 0; month < 12; ++month)
        grdMeses->setColumnWidth(gcJan + month, 34);
    grdMeses->setColumnWidth(gcTotal, 44);
    grdMeses->setColumnWidth(gcUltimo, 86);
    grdMeses->horizontalHeader()->setStretchLastSection(true);
}

void TfrmVisaoGeral::bindHandlers()
{
    btpPeriodicidade->OnBeforePesq = [this](QObject *, bool &) {
        qryPeri->Close();
        qryPeri->SetParam(QStringLiteral("P_CDPERIPRODU"), QStringLiteral(" "));
        qryPeri->SetParam(QStringLiteral("P_TCDPERIPRODU"), QStringLiteral("T"));
        qryPeri->Open();
    };
    btpPeriodicidade->OnAfterPesq = [this](QObject *) {
        medCdPeriodicidade->SetText(
            qryPeri->FieldByName(QStringLiteral("CDPERIPRODU"))->AsString());
        filterChanged();
    };
    btpFilialRef->OnBeforePesq = [this](QObject *, bool &) {
        qryFilial->Close();
        qryFilial->SetParam(QStringLiteral("P_CDFILIAL"), QString());
        qryFilial->SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral("T"));
        qryFilial->Open();
    };
    btpFilialRef->OnAfterPesq = [this](QObject *) {
        medCdFilialRef->SetText(qryFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
        filterChanged();
    };
    medCdPeriodicidade->OnExit = [this](QObject *) { filterChanged(); };
    speAno->OnExit = [this](QObject *) { filterChanged(); };
    medCdFilialRef->OnExit = [this](QObject *) { filterChanged(); };
    connect(chkSomenteAviso, &QCheckBox::toggled, this,
            [this] { host::guard(this, [this] { PreencherGrade(); }); });
    connect(grdMeses, &TGridVisao::rowChosen, this,
            [this](int row) { host::guard(this, [this, row] { AbrirCalendario(row); }); });
    connect(grdMeses, &QTableWidget::itemSelectionChanged, this, [this] { refreshCommands(); });
    sbtCalcAno->OnClick = [this](QObject *s) { sbtCalcAnoClick(s); };
    sbtExportar->OnClick = [this](QObject *s) { sbtExportarClick(s); };
    connect(mnuCalcAno, &QAction::triggered, this,
            [this] { host::guard(this, [this] { sbtCalcAnoClick(sbtCalcAno); }); });
    connect(mnuExportar, &QAction::triggered, this,
            [this] { host::guard(this, [this] { sbtExportarClick(sbtExportar); }); });
    connect(mnuSalvarComo, &QAction::triggered, this,
            [this] { host::guard(this, [this] { mnuSalvarComoClick(mnuSalvarComo); }); });
    refreshCommands();
}

void TfrmVisaoGeral::FormCreate(QObject *Sender)
{
    netVisao->Open();
    TfrmPadraoGrid::FormCreate(Sender);
}

void TfrmVisaoGeral::FormActivate(QObject *)
{
    if (!m_firstActivation)
        return;
    m_firstActivation = false;
    if (speAno->Text().isEmpty())
        ShowOverview(DefaultPeriodicity(), Now().date().year(), chkSomenteAviso->isChecked());
}

void TfrmVisaoGeral::FormClose(QObject *Sender, int &Action)
{
    netVisao->Close();
    TfrmPadraoGrid::FormClose(Sender, Action);
}

void TfrmVisaoGeral::ShowOverview(const QString &periodicity, int year, bool onlyWarnings)
{
    m_firstActivation = false;
    medCdPeriodicidade->SetText(periodicity);
    speAno->SetText(QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0')));
    const QSignalBlocker quiet(chkSomenteAviso);
    chkSomenteAviso->setChecked(onlyWarnings);
    // Asked again, as the calendars may have changed since the screen last loaded.
    m_loadedKey.clear();
    filterChanged();
}

void TfrmVisaoGeral::Vd_Periodicidade()
{
    edtNmPeriodicidade->SetText(QString());
    if (EmptyString(medCdPeriodicidade->Text()))
        return;
    const QString code = Ajusta(medCdPeriodicidade->Text(), 2);
    medCdPeriodicidade->SetText(code);
    qryPeri->Close();
    qryPeri->SetParam(QStringLiteral("P_CDPERIPRODU"), code);
    qryPeri->SetParam(QStringLiteral("P_TCDPERIPRODU"), QStringLiteral(" "));
    qryPeri->Open();
    if (qryPeri->IsEmpty()) {
        SetFocus(medCdPeriodicidade);
        MensErro(msgPadrao->Msg(QStringLiteral("PERI_INV")), true);
    }
    edtNmPeriodicidade->SetText(qryPeri->FieldByName(QStringLiteral("NMPERIPRODU"))->AsString());
}

void TfrmVisaoGeral::Vd_FilialRef()
{
    edtNmFilialRef->SetText(QString());
    if (EmptyString(medCdFilialRef->Text()))
        return;
    const QString code = Ajusta(medCdFilialRef->Text(), 4);
    medCdFilialRef->SetText(code);
    qryFilial->Close();
    qryFilial->SetParam(QStringLiteral("P_CDFILIAL"), code);
    qryFilial->SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral(" "));
    qryFilial->Open();
    if (qryFilial->IsEmpty()) {
        SetFocus(medCdFilialRef);
        MensErro(msgPadrao->Msg(QStringLiteral("FILI_INV")), true);
    }
    edtNmFilialRef->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

void TfrmVisaoGeral::Vd_Ano()
{
    const int year = speAno->Value();
    if (year < 1 || year > 9999) {
        SetFocus(speAno);
        MensErro(msgPadrao->Msg(QStringLiteral("ANO_INV")), true);
    }
}

void TfrmVisaoGeral::filterChanged()
{
    Vd_Periodicidade();
    Vd_Ano();
    Vd_FilialRef();
    const QString key = medCdPeriodicidade->Text() + QLatin1Char('/') + speAno->Text();
    if (key != m_loadedKey)
        Carregar();
    else
        PreencherGrade();
}

void TfrmVisaoGeral::Carregar()
{
    m_rows.clear();
    m_loadedKey = medCdPeriodicidade->Text() + QLatin1Char('/') + speAno->Text();
    if (!EmptyString(medCdPeriodicidade->Text())) {
        ActiveShowAvi(host::MainForm(), 6, msgPadrao->Msg(QStringLiteral("GetVisaoGeral")));
        auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
        const TServerResult result = netVisao->AppServer()->Call(
            QStringLiteral("GetVisaoGeral"),
            {medCdPeriodicidade->Text(), QString::number(speAno->Value())});
        m_rows = ReadBranchCalendars(CheckResultServ(result, true, 0));
    }
    PreencherGrade();
}

SituationRule TfrmVisaoGeral::Regra() const
{
    return {Now().date(), speAno->Value(), HorizonDays()};
}

const BranchCalendar *TfrmVisaoGeral::reference() const
{
    const QString code = medCdFilialRef->Text().trimmed();
    if (code.isEmpty())
        return nullptr;
    for (const BranchCalendar &branch : m_rows) {
        if (branch.code == code)
            return &branch;
    }
    return nullptr;
}

void TfrmVisaoGeral::PreencherGrade()
{
    const SituationRule rule = Regra();
    const bool onlyWarnings = chkSomenteAviso->isChecked();
    m_shown.clear();
    for (int i = 0; i < m_rows.size(); ++i) {
        // A rescinded branch needs no calendar: its warnings are not the planner's.
        const BranchCalendar &branch = m_rows.at(i);
        if (!onlyWarnings || (!branch.rescinded && SituationOf(branch, rule) != Situation::Ok))
            m_shown.append(i);
    }
    grdMeses->setUpdatesEnabled(false);
    grdMeses->clearSelection();
    grdMeses->setRowCount(int(m_shown.size()));
    const BranchCalendar *ref = reference();
    for (int row = 0; row < m_shown.size(); ++row)
        fillRow(row, m_rows.at(m_shown.at(row)), ref);
    grdMeses->setUpdatesEnabled(true);
    refreshCommands();
}

void TfrmVisaoGeral::fillRow(int row, const BranchCalendar &branch, const BranchCalendar *reference)
{
    const QList<bool> differs = DiffersFromReference(branch, reference);
    QList<QTableWidgetItem *> items{cell(branch.code), cell(branch.name)};
    for (int month = 0; month < 12; ++month) {
        QTableWidgetItem *item = cell(QString::number(branch.months[month]), Qt::AlignRight);
        if (differs.at(month)) {
            item->setBackground(differsColour);
            const QString why =
                msgPadrao->Msg(QStringLiteral("DIFERE_REF")).arg(reference->months[month]);
            item->setData(Qt::AccessibleDescriptionRole, why);
            item->setToolTip(why);
        }
        items << item;
    }
    items << cell(QString::number(branch.total), Qt::AlignRight)
          << cell(branch.last.isValid() ? branch.last.toString(QStringLiteral("dd/MM/yyyy"))
                                        : QString())
          << cell(SituationText(*msgPadrao, branch, Regra()));
    for (int column = 0; column < items.size(); ++column) {
        QTableWidgetItem *item = items.at(column);
        if (branch.rescinded) {
            item->setForeground(ColorToQColor(clGray));
            if (item->data(Qt::AccessibleDescriptionRole).isNull())
                item->setData(Qt::AccessibleDescriptionRole,
                              msgPadrao->Msg(QStringLiteral("RESCINDIDA")));
        }
        grdMeses->setItem(row, column, item);
    }
}

QList<BranchCalendar> TfrmVisaoGeral::Selecionadas() const
{
    QList<int> rows;
    for (const QModelIndex &index : grdMeses->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QList<BranchCalendar> branches;
    for (int row : rows)
        branches.append(m_rows.at(m_shown.at(row)));
    return branches;
}

void TfrmVisaoGeral::refreshCommands()
{
    const bool any = grdMeses->selectionModel() && grdMeses->selectionModel()->hasSelection();
    sbtCalcAno->setEnabled(any);
    sbtExportar->setEnabled(any);
}

TfrmVisaoGeral *CriaVisaoGeral()
{
    if (!frmVisaoGeral)
        TfrmPadraoGrid::Create<TfrmVisaoGeral>();
    host::ShowMdiChild(frmVisaoGeral);
    return frmVisaoGeral;
}

void IniProc()
{
    CriaVisaoGeral();
}

void IniProcAvisos(const QString &periodicity)
{
    CriaVisaoGeral()->ShowOverview(periodicity, Now().date().year(), true);
}

QString AvisoInicial(const QString &periodicity)
{
    TMessages messages;
    messages.LoadFromFile(host::FormResource(QStringLiteral("cli_qmr07703.msg")));
    TNetConnection connection;
    connection.SetServerName(QStringLiteral("QMR07700.rdmCaleProd"));
    connection.SetThrowException(false);
    connection.SetHost(WebURL());
    connection.SetPort(WebPort());
    connection.Open();
    const SituationRule rule{Now().date(), Now().date().year(), HorizonDays()};
    const TServerResult result = connection.AppServer()->Call(
        QStringLiteral("GetVisaoGeral"), {periodicity, QString::number(rule.year)});
    // A start whose server cannot answer says nothing here; the screens report it when used.
    if (!result.ok)
        return QString();
    const QList<BranchCalendar> branches = ReadBranchCalendars(result.payload.toObject());
    const auto count = std::count_if(branches.begin(), branches.end(), [&](const auto &branch) {
        return !branch.rescinded && SituationOf(branch, rule) != Situation::Ok;
    });
    return count ? messages.Msg(QStringLiteral("AVISO_INICIAL")).arg(count) : QString();
}

void Initialization()
{
    Cli_qmr07700::AbreVisaoGeral = IniProc;
}

void Finalization()
{
    Cli_qmr07700::AbreVisaoGeral = nullptr;
}

} // namespace Cli_qmr07703
