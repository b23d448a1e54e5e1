// The export dialog: its controls, reference queries, lookups, destination choice, input checks
// and the run that has the server copy a calendar.

#include "cli_qmr07702.h"

#include "calendar/cli_qmr07700.h"
#include "package/moduleregistry.h"
#include "ui_cli_qmr07702.h"

#include "controls/hostcolors.h"
#include "controls/pesquisalista.h"
#include "controls/showavi.h"
#include "controls/tanimate.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdateeditplus.h"
#include "controls/tedit.h"
#include "controls/tgroupbox.h"
#include "controls/tlabel.h"
#include "controls/tmaskedit.h"
#include "controls/tpanel.h"
#include "controls/tradiobutton.h"
#include "controls/tspeedbutton.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/focustracker.h"
#include "core/tmessages.h"
#include "data/hostfunctions.h"
#include "data/tadoibquery.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"
#include "screens/dialogcommands.h"
#include "screens/tchangeswindow.h"

#include <QGuiApplication>
#include <QScopeGuard>
#include <QStyle>

namespace Cli_qmr07702 {

QPointer<TfrmExportCaleProdu> frmExportCaleProdu;

namespace {

constexpr int VK_F9 = 120;
// Tops of the progress panel: over the inputs while copying, below the client area otherwise.
constexpr int ProgressShownTop = 21;
constexpr int ProgressHiddenTop = 197;
// The command panel's height: one command more than the base dialog's.
constexpr int ClientHeight = 185;

// 1 January of a year text; a null date when the text is no year from 1 to 9999.
QDate FirstMonthOf(const QString &year)
{
    bool ok = false;
    const int value = year.trimmed().toInt(&ok);
    return ok && value >= 1 && value <= 9999 ? QDate(value, 1, 1) : QDate();
}

} // namespace

TfrmExportCaleProdu::TfrmExportCaleProdu(QWidget *parent)
    : TfrmPadrImportExport(parent)
    , ui(std::make_unique<Ui::frmExportCaleProdu>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("frmExportCaleProdu"));
    SetCaption(QStringLiteral("Exportação do Calendário de Produção"));
    SetClientSize(516, ClientHeight);
    SetHelpFile(QStringLiteral("QmrHelp.hlp"));
    SetHelpContext(13607702);
    lblCodTela->SetCaption(QStringLiteral("QMR07702"));
    msgPadrao->LoadFromFile(host::FormResource(QStringLiteral("cli_qmr07702.msg")));

    lblFilial = ui->lblFilial;
    medCdFilial = ui->medCdFilial;
    btpFilial = ui->btpFilial;
    edtNmFilial = ui->edtNmFilial;
    lblServico = ui->lblServico;
    medCdPeriodicidade = ui->medCdPeriodicidade;
    btpPeriEntr = ui->btpPeriEntr;
    edtNmPeriEntr = ui->edtNmPeriEntr;
    grbDts = ui->grbDts;
    lblMes = ui->lblMes;
    depDtIni = ui->depDtIni;
    lblDtIni = ui->lblDtIni;
    depDtFim = ui->depDtFim;
    grbFilial = ui->grbFilial;
    rbtTodas = ui->rbtTodas;
    rbtLista = ui->rbtLista;
    sbtFilialDest = ui->sbtFilialDest;
    panAnimacao = ui->panAnimacao;
    panMensagem2 = ui->panMensagem2;
    lblMens = ui->lblMens;
    amnTempo = ui->amnTempo;

    createDataModule();
    placeControls();
    bindHandlers();
}

TfrmExportCaleProdu::~TfrmExportCaleProdu() = default;

void TfrmExportCaleProdu::createDataModule()
{
    auto makeQuery = [this](const char *name, const QString &file) {
        auto *query = new TADOIBQuery(this);
        query->setObjectName(QLatin1String(name));
        query->LoadSQL(host::FormResource(file));
        return query;
    };
    qryFilial = makeQuery("qryFilial", QStringLiteral("cli_qmr07702/qryFilial.sql"));
    TField *field = qryFilial->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    field->SetRequired(true);
    field->SetDisplayLabel(QStringLiteral("Código"));
    qryFilial->AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30)
        ->SetDisplayLabel(QStringLiteral("Nome"));

    qryPeriProdu = makeQuery("qryPeriProdu", QStringLiteral("cli_qmr07702/qryPeriProdu.sql"));
    field = qryPeriProdu->AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2);
    field->SetRequired(true);
    field->SetDisplayLabel(QStringLiteral("Código"));
    qryPeriProdu->AddField(QStringLiteral("NMPERIPRODU"), TFieldType::ftString)
        ->SetDisplayLabel(QStringLiteral("Nome"));
    field = qryPeriProdu->AddField(QStringLiteral("IDTIPODIAP"), TFieldType::ftString, 1);
    field->SetDisplayLabel(QStringLiteral("Tipo do dia"));
    // The lookup shows the day kind by name rather than by its letter.
    field->OnGetText = [this](TField *sender, QString &text, bool display) {
        qryPeriProduIDTIPODIAPGetText(sender, text, display);
    };

    qryDiasProdu = makeQuery("qryDiasProdu", QStringLiteral("cli_qmr07702/qryDiasProdu.sql"));
    qryDiasProdu->AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2);

    qryFilialDest = makeQuery("qryFilialDest", QStringLiteral("cli_qmr07702/qryFilialDest.sql"));
    qryFilialDest->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4)
        ->SetDisplayLabel(QStringLiteral("Código"));
    qryFilialDest->AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30)
        ->SetDisplayLabel(QStringLiteral("Nome"));

    cdsCaleProdu = new TClientDataSet(this);
    cdsCaleProdu->setObjectName(QStringLiteral("cdsCaleProdu"));
    cdsCaleProdu->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4)
        ->SetDisplayLabel(QStringLiteral("Código"));
    cdsCaleProdu->AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30)
        ->SetDisplayLabel(QStringLiteral("Nome"));
    cdsVerifica = new TClientDataSet(this);
    cdsVerifica->setObjectName(QStringLiteral("cdsVerifica"));
    cdsVerifica->AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    cdsInsDel = new TClientDataSet(this);
    cdsInsDel->setObjectName(QStringLiteral("cdsInsDel"));

    auto makeSource = [this](const char *name, TDataSet *dataSet) {
        auto *source = new TDataSource(this);
        source->setObjectName(QLatin1String(name));
        source->SetDataSet(dataSet);
        return source;
    };
    dtsCaleProdu = makeSource("dtsCaleProdu", cdsCaleProdu);
    dtsPeriProdu = makeSource("dtsPeriProdu", qryPeriProdu);
    dtsFilialDest = makeSource("dtsFilialDest", qryFilialDest);
}

void TfrmExportCaleProdu::placeControls()
{
    // The form holds the dialog's own widgets; the inputs belong in the base frame.
    for (QWidget *control :
         {static_cast<QWidget *>(lblFilial), static_cast<QWidget *>(medCdFilial),
          static_cast<QWidget *>(btpFilial), static_cast<QWidget *>(edtNmFilial),
          static_cast<QWidget *>(lblServico), static_cast<QWidget *>(medCdPeriodicidade),
          static_cast<QWidget *>(btpPeriEntr), static_cast<QWidget *>(edtNmPeriEntr),
          static_cast<QWidget *>(grbDts), static_cast<QWidget *>(grbFilial)}) {
        const QRect place = control->geometry();
        control->setParent(grbDadosRel);
        control->setGeometry(place);
        control->show();
    }

    const QPixmap lookupGlyph = style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(16);
    medCdFilial->SetEditMask(QStringLiteral("9999;0; "));
    medCdFilial->SetMaxLength(4);
    btpFilial->SetGlyph(lookupGlyph);
    btpFilial->SetAssociate(medCdFilial);
    btpFilial->SetTitle(QStringLiteral("Filial"));
    btpFilial->SetDataSource(dtsCaleProdu);
    medCdPeriodicidade->SetEditMask(QStringLiteral("99;0; "));
    medCdPeriodicidade->SetMaxLength(2);
    btpPeriEntr->SetGlyph(lookupGlyph);
    btpPeriEntr->SetAssociate(medCdPeriodicidade);
    btpPeriEntr->SetTitle(QStringLiteral("Periodicidade "));
    btpPeriEntr->SetDataSource(dtsPeriProdu);
    for (TEdit *name : {edtNmFilial, edtNmPeriEntr}) {
        name->setEnabled(false);
        name->SetTabStop(false);
        name->SetColor(clBtnFace);
    }

    rbtTodas->SetChecked(true);
    rbtTodas->setEnabled(false);
    rbtLista->setEnabled(false);
    sbtFilialDest->SetHint(QStringLiteral("Pesquisar"));
    sbtFilialDest->SetShowHint(true);
    sbtFilialDest->SetGlyph(lookupGlyph);
    sbtFilialDest->setEnabled(false);

    lblFilial->SetFocusControl(medCdFilial);
    lblServico->SetFocusControl(medCdPeriodicidade);
    lblMes->SetFocusControl(depDtIni);
    lblDtIni->SetFocusControl(depDtFim);
    setTabOrder(medCdFilial, medCdPeriodicidade);
    setTabOrder(medCdPeriodicidade, depDtIni);
    setTabOrder(depDtIni, depDtFim);
    setTabOrder(depDtFim, rbtTodas);
    setTabOrder(rbtTodas, rbtLista);

    panAnimacao->SetBevel(2);
    panAnimacao->setFrameShadow(QFrame::Sunken);
    lblMens->SetFontColor(clBlack);
    lblMens->setAlignment(Qt::AlignCenter);
    amnTempo->SetStopFrame(23);
    amnTempo->SetActive(false);
    panAnimacao->hide();
    panAnimacao->raise();

    sbtImportExport->SetHint(QStringLiteral("Exportar"));
    placePreviewCommand();
}

void TfrmExportCaleProdu::placePreviewCommand()
{
    // Beside "Exportar": the commands below it move one place down.
    sbtPrevia = new TButtonFlat(sbtImportExport->parentWidget());
    sbtPrevia->setObjectName(QStringLiteral("sbtPrevia"));
    const QRect exportPlace = sbtImportExport->geometry();
    const int step = sbtAjuda->y() - exportPlace.y();
    sbtPrevia->SetBounds(exportPlace.x(), exportPlace.y() + step, exportPlace.width(),
                         exportPlace.height());
    sbtPrevia->SetCaption(msgPadrao->Msg(QStringLiteral("prev_botao")));
    sbtPrevia->SetHint(msgPadrao->Msg(QStringLiteral("prev_titulo")));
    sbtPrevia->SetShowHint(true);
    sbtPrevia->setAccessibleName(msgPadrao->Msg(QStringLiteral("prev_titulo")));
    for (QWidget *command : {static_cast<QWidget *>(sbtAjuda), static_cast<QWidget *>(sbtFechar)})
        command->move(command->x(), command->y() + step);
    host::ChainCommandsAfterFields(grbDadosRel, {sbtImportExport, sbtPrevia, sbtAjuda, sbtFechar});
    sbtPrevia->OnClick = [this](QObject *s) { sbtPreviaClick(s); };
}

void TfrmExportCaleProdu::bindHandlers()
{
    medCdFilial->OnChange = [this](QObject *s) { medCdFilialChange(s); };
    medCdFilial->OnExit = [this](QObject *s) { medCdFilialExit(s); };
    btpFilial->OnBeforePesq = [this](QObject *s, bool &go) { btpFilialBeforePesq(s, go); };
    btpFilial->OnAfterPesq = [this](QObject *s) { btpFilialAfterPesq(s); };
    medCdPeriodicidade->OnChange = [this](QObject *s) { medCdPeriodicidadeChange(s); };
    medCdPeriodicidade->OnExit = [this](QObject *s) { medCdPeriodicidadeExit(s); };
    btpPeriEntr->OnBeforePesq = [this](QObject *s, bool &go) { btpPeriEntrBeforePesq(s, go); };
    btpPeriEntr->OnAfterPesq = [this](QObject *s) { btpPeriEntrAfterPesq(s); };
    depDtIni->OnExit = [this](QObject *s) { depDtIniExit(s); };
    depDtFim->OnExit = [this](QObject *s) { depDtFimExit(s); };
    rbtTodas->OnClick = [this](QObject *s) { rbtTodasClick(s); };
    rbtLista->OnClick = [this](QObject *s) { rbtListaClick(s); };
    rbtLista->OnKeyDown = [this](QObject *s, int &key, Qt::KeyboardModifiers shift) {
        rbtListaKeyDown(s, key, shift);
    };
    sbtFilialDest->OnClick = [this](QObject *s) { sbtFilialDestClick(s); };
}

void TfrmExportCaleProdu::FormCreate(QObject *Sender)
{
    TfrmPadrImportExport::FormCreate(Sender);
    boPrimAtiv = true;
}

void TfrmExportCaleProdu::FormActivate(QObject *Sender)
{
    TfrmPadrImportExport::FormActivate(Sender);
    if (!boPrimAtiv)
        return;
    sbtImportExport->SetGlyph(Image1->pixmap());
    const QString branch = Ajusta(medCdFilial->Text(), 4);
    medCdFilial->SetText(branch);
    openFilial(branch);
    const QString periodicity = Ajusta(medCdPeriodicidade->Text(), 2);
    medCdPeriodicidade->SetText(periodicity);
    openPeriProdu(periodicity);
    edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
    edtNmPeriEntr->SetText(qryPeriProdu->FieldByName(QStringLiteral("NMPERIPRODU"))->AsString());
    stListaFiliDest = QStringLiteral("T");
    if (!m_presetDestinations.isEmpty()) {
        rbtLista->SetChecked(true);
        sbtFilialDest->setEnabled(true);
        stListaFiliDest = m_presetDestinations.join(QLatin1Char(','));
    }
    boPrimAtiv = false;
}

void TfrmExportCaleProdu::PresetDestinations(const QStringList &codes, TNetConnection *connection)
{
    m_presetDestinations = codes;
    m_connection = connection;
}

void TfrmExportCaleProdu::openFilial(const QString &code)
{
    qryFilial->Close();
    qryFilial->SetParam(QStringLiteral("P_CDFILIAL"), code);
    qryFilial->SetParam(QStringLiteral("P_TCDFILIAL"), QStringLiteral(" "));
    qryFilial->Open();
}

void TfrmExportCaleProdu::openPeriProdu(const QString &code)
{
    qryPeriProdu->Close();
    qryPeriProdu->SetParam(QStringLiteral("P_CDPERIPRODU"), code);
    qryPeriProdu->SetParam(QStringLiteral("P_TCDPERIPRODU"), QStringLiteral(" "));
    qryPeriProdu->Open();
}

void TfrmExportCaleProdu::medCdFilialChange(QObject *)
{
    edtNmFilial->SetText(QString());
    const bool informed = !EmptyString(medCdFilial->Text());
    rbtTodas->setEnabled(informed);
    rbtLista->setEnabled(informed);
    sbtFilialDest->setEnabled(informed && rbtLista->Checked());
    if (!rbtLista->isEnabled())
        stListaFiliDest.clear();
}

void TfrmExportCaleProdu::medCdFilialExit(QObject *)
{
    Vd_Filial(false);
}

void TfrmExportCaleProdu::btpFilialBeforePesq(QObject *, bool &)
{
    cdsCaleProdu->SetData(
        callServer(QStringLiteral("GetExpCaleProdu"), {QString(), QStringLiteral("T")}));
    if (cdsCaleProdu->IsEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("Fil_N_CalComp")), true);
}

void TfrmExportCaleProdu::btpFilialAfterPesq(QObject *)
{
    medCdFilial->SetText(cdsCaleProdu->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    edtNmFilial->SetText(cdsCaleProdu->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

void TfrmExportCaleProdu::medCdPeriodicidadeChange(QObject *)
{
    edtNmPeriEntr->SetText(QString());
}

void TfrmExportCaleProdu::medCdPeriodicidadeExit(QObject *)
{
    Vd_PeriProdu(false);
}

void TfrmExportCaleProdu::btpPeriEntrBeforePesq(QObject *, bool &)
{
    qryPeriProdu->Close();
    qryPeriProdu->SetParam(QStringLiteral("P_CDPERIPRODU"), QStringLiteral(" "));
    qryPeriProdu->SetParam(QStringLiteral("P_TCDPERIPRODU"), QStringLiteral("T"));
    qryPeriProdu->Open();
}

void TfrmExportCaleProdu::btpPeriEntrAfterPesq(QObject *)
{
    medCdPeriodicidade->SetText(
        qryPeriProdu->FieldByName(QStringLiteral("CDPERIPRODU"))->AsString());
    edtNmPeriEntr->SetText(qryPeriProdu->FieldByName(QStringLiteral("NMPERIPRODU"))->AsString());
}

void TfrmExportCaleProdu::depDtIniExit(QObject *)
{
    depDtIni->CheckValidDate();
}

void TfrmExportCaleProdu::depDtFimExit(QObject *)
{
    depDtFim->CheckValidDate();
}

void TfrmExportCaleProdu::rbtTodasClick(QObject *)
{
    stListaFiliDest = QStringLiteral("T");
    sbtFilialDest->setEnabled(rbtLista->Checked());
}

void TfrmExportCaleProdu::rbtListaClick(QObject *)
{
    stListaFiliDest.clear();
    sbtFilialDest->setEnabled(rbtLista->Checked());
}

void TfrmExportCaleProdu::rbtListaKeyDown(QObject *Sender, int &Key, Qt::KeyboardModifiers)
{
    if (Key == VK_F9)
        sbtFilialDestClick(Sender);
}

void TfrmExportCaleProdu::sbtFilialDestClick(QObject *)
{
    // Completed, so the source is left out even before its field has been checked.
    qryFilialDest->Close();
    qryFilialDest->SetParam(QStringLiteral("P_CDFILIAL"), Ajusta(medCdFilial->Text(), 4));
    qryFilialDest->Open();
    PesquisaLista(dtsFilialDest, QStringLiteral("CDFILIAL"),
                  msgPadrao->Msg(QStringLiteral("Filial")), false, stListaFiliDest);
}

void TfrmExportCaleProdu::qryPeriProduIDTIPODIAPGetText(TField *Sender, QString &Text, bool)
{
    Text = DayKindText(msgPadrao, Sender->AsString());
}

void TfrmExportCaleProdu::Vd_Filial(bool mandatory)
{
    try {
        const bool blank = EmptyString(medCdFilial->Text());
        if (mandatory && blank)
            MensErro(msgPadrao->Msg(QStringLiteral("FilOri_N_Inf")), true);
        if (blank)
            return;
        const QString code = Ajusta(medCdFilial->Text(), 4);
        medCdFilial->SetText(code);
        openFilial(code);
        if (qryFilial->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("Fil_N_Cad")), true);
        edtNmFilial->SetText(qryFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
        cdsCaleProdu->SetData(callServer(QStringLiteral("GetExpCaleProdu"), {code, QString()}));
        if (cdsCaleProdu->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("Fil_N_CalComp")), true);
    } catch (...) {
        SetFocus(medCdFilial);
        throw;
    }
}

void TfrmExportCaleProdu::Vd_PeriProdu(bool mandatory)
{
    try {
        const bool blank = EmptyString(medCdPeriodicidade->Text());
        if (mandatory && blank)
            MensErro(msgPadrao->Msg(QStringLiteral("Per_N_Inf")), true);
        if (blank)
            return;
        const QString code = Ajusta(medCdPeriodicidade->Text(), 2);
        medCdPeriodicidade->SetText(code);
        openPeriProdu(code);
        if (qryPeriProdu->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("Per_N_Cad")), true);
        edtNmPeriEntr->SetText(
            qryPeriProdu->FieldByName(QStringLiteral("NMPERIPRODU"))->AsString());
        qryDiasProdu->Close();
        qryDiasProdu->SetParam(QStringLiteral("P_CDPERIPRODU"), code);
        qryDiasProdu->Open();
        if (qryDiasProdu->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("DiaEnt_N_Cad")), true);
    } catch (...) {
        SetFocus(medCdPeriodicidade);
        throw;
    }
}

void TfrmExportCaleProdu::sbtImportExportClick(QObject *)
{
    Validacao();
}

void TfrmExportCaleProdu::Validacao()
{
    validateInputs();
    exportCalendar();
}

void TfrmExportCaleProdu::sbtPreviaClick(QObject *)
{
    validateInputs();
    showExportPreview();
}

void TfrmExportCaleProdu::validateInputs()
{
    // The field the operator is still typing in is checked first.
    if (host::FocusTracker::instance()->LogicalFocus(this) == medCdPeriodicidade) {
        Vd_PeriProdu(true);
        Vd_Filial(true);
    } else {
        Vd_Filial(true);
        Vd_PeriProdu(true);
    }
    auto refuse = [this](QWidget *control, const char *key) {
        SetFocus(control);
        MensErro(msgPadrao->Msg(QLatin1String(key)), true);
    };
    if (depDtIni->Text().isEmpty())
        refuse(depDtIni, "DATAINI_DEVE");
    if (depDtFim->Text().isEmpty())
        refuse(depDtFim, "DATAFIN_DEVE");
    // A month still being typed has not been checked on leaving its editor.
    depDtIni->CheckValidDate();
    depDtFim->CheckValidDate();
    if (depDtIni->GetDate() > depDtFim->GetDate())
        refuse(depDtIni, "mes/ano_me");
    if (stListaFiliDest.isEmpty())
        refuse(rbtLista, "FilDest_N_Inf");
}

void TfrmExportCaleProdu::checkSourceHasDays()
{
    cdsVerifica->SetData(
        callServer(QStringLiteral("GetVerifica"), {medCdFilial->Text(), medCdPeriodicidade->Text(),
                                                   depDtIni->GetDate(), depDtFim->GetDate()}));
    if (cdsVerifica->IsEmpty())
        MensErro(msgPadrao->Msg(QStringLiteral("CalComp_N_Exis")), true);
}

void TfrmExportCaleProdu::exportCalendar()
{
    const QString branch = medCdFilial->Text();
    const QString periodicity = medCdPeriodicidade->Text();
    const QDate first = depDtIni->GetDate();
    const QDate last = depDtFim->GetDate();

    checkSourceHasDays();

    showProgress(true);
    QJsonObject copied;
    {
        // Hidden on every path: a failed copy must not look as if it were still running.
        auto hideProgress = qScopeGuard([this] { showProgress(false); });
        const bool all = stListaFiliDest == QLatin1String("T");
        const QString list = all ? QString() : stListaFiliDest;
        const QString allFlag = all ? QStringLiteral("T") : QStringLiteral(" ");
        copied = callServer(QStringLiteral("GetInsDel"),
                            {branch, periodicity, list, allFlag, first, last});
    }
    if (copyReachedNoBranch(copied))
        msgPadrao->ShowMsg(QStringLiteral("exp_nenhuma"), TMsgDlgType::mtWarning, mbOK, 0);
    else
        msgPadrao->ShowMsg(QStringLiteral("exp_ok"), TMsgDlgType::mtInformation, mbOK, 0);
    update();
}

void TfrmExportCaleProdu::showExportPreview()
{
    checkSourceHasDays();
    const bool all = stListaFiliDest == QLatin1String("T");
    TClientDataSet preview;
    preview.SetData(callServer(QStringLiteral("GetPreviaInsDel"),
                               {medCdFilial->Text(), medCdPeriodicidade->Text(),
                                all ? QString() : stListaFiliDest,
                                all ? QStringLiteral("T") : QStringLiteral(" "),
                                depDtIni->GetDate(), depDtFim->GetDate()}));
    const auto text = [this](const char *key) { return msgPadrao->Msg(QLatin1String(key)); };
    TChangesWindow window(
        {text("prev_titulo"),
         {text("prev_filial"), text("prev_nome"), text("prev_incluidos"), text("prev_excluidos")},
         text("prev_dias"),
         text("prev_fechar"),
         text("prev_salvar"),
         text("prev_imprimir"),
         QStringLiteral("QMR07702")},
        this);
    const host::ChangeSummary summary =
        host::SummarizeChanges(preview, text("prev_incluido"), text("prev_excluido"));
    window.ShowSummary(summary, text("prev_total"));
    window.AddCommand(text("prev_exportar"), [this] { exportCalendar(); });
    window.ShowModal();
}

bool TfrmExportCaleProdu::copyReachedNoBranch(const QJsonObject &answer)
{
    cdsInsDel->SetData(answer);
    // A server that does not count the destinations is taken at its word.
    const TField *reached = cdsInsDel->FindField(QStringLiteral("QTDESTINOS"));
    return reached && !cdsInsDel->IsEmpty() && reached->AsInteger() == 0;
}

void TfrmExportCaleProdu::showProgress(bool shown)
{
    panAnimacao->move(panAnimacao->x(), shown ? ProgressShownTop : ProgressHiddenTop);
    amnTempo->SetActive(shown);
    panAnimacao->setVisible(shown);
    if (shown)
        repaint();
}

TNetConnection *TfrmExportCaleProdu::serverConnection()
{
    if (m_connection)
        return m_connection;
    Cli_qmr07700::TfrmCaleProdu *screen = Cli_qmr07700::frmCaleProdu;
    if (!screen)
        MensErro(QStringLiteral("A tela do Calendário da Produção foi fechada. Abra-a novamente "
                                "para exportar o calendário."),
                 true);
    return screen->netCaleComp;
}

QJsonObject TfrmExportCaleProdu::callServer(const QString &method, const QVariantList &params)
{
    TNetConnection *connection = serverConnection();
    ActiveShowAvi(host::MainForm(), 6);
    auto closeAnimation = qScopeGuard([] { DeactiveShowAvi(); });
    return CheckResultServ(connection->AppServer()->Call(method, params), true, 0);
}

TfrmExportCaleProdu *CreateExportDialog(const QString &branch, const QString &periodicity,
                                        const QString &year)
{
    TfrmExportCaleProdu *dialog = TfrmPadrImportExport::Create<TfrmExportCaleProdu>();
    frmExportCaleProdu = dialog;
    dialog->medCdFilial->SetText(branch);
    dialog->medCdPeriodicidade->SetText(periodicity);
    // A text that is no year leaves both editors empty for the operator to fill.
    const QDate january = FirstMonthOf(year);
    dialog->depDtIni->SetDate(january);
    dialog->depDtFim->SetDate(january);
    return dialog;
}

void CriaExportCaleProdu(QString branch, QString periodicity, QString year)
{
    TfrmExportCaleProdu *dialog = nullptr;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        dialog = CreateExportDialog(branch, periodicity, year);
    }
    dialog->ShowModal();
}

void Initialization() {}
void Finalization() {}

} // namespace Cli_qmr07702
