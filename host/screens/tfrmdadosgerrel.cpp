#include "screens/tfrmdadosgerrel.h"

#include "controls/tgroupbox.h"
#include "controls/tlabel.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/exceptions.h"
#include "core/focustracker.h"
#include "core/tmessages.h"
#include "reporting/reportcommands.h"
#include "reporting/reportrenderer.h"
#include "reporting/treportdesignerdialog.h"
#include "screens/dialogcommands.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QScopeGuard>
#include <QStyle>

namespace {

const QString pdfFilter = QStringLiteral("PDF (*.pdf)");
const QString csvFilter = QStringLiteral("CSV (*.csv)");

// Fills the "%s" places of a message in order.
QString formatMessage(QString text, const QStringList &values)
{
    for (const QString &value : values) {
        const qsizetype at = text.indexOf(QLatin1String("%s"));
        if (at < 0)
            break;
        text.replace(at, 2, value);
    }
    return text;
}

} // namespace

TfrmDadosGerRel::TfrmDadosGerRel(QWidget *parent)
    : QDialog(parent)
{
    host::FocusTracker::EnsureTracking();
    setObjectName(QStringLiteral("frmDadosGerRel"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(393, 160);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));
    msgPadrao->Add(QStringLiteral("Arq_Rel_Err"),
                   QStringLiteral("O arquivo contendo a definição do Relatório de código '%s' não "
                                  "foi encontrado no diretório '%s'."));
    msgPadrao->Add(QStringLiteral("NovoCaption"), QStringLiteral("Título do Relatório"));
    msgPadrao->Add(QStringLiteral("NovoPrompt"), QStringLiteral("Informe o título do relatório:"));
    rpddPadrao = new TReportDesignerDialog(this);
    rpddPadrao->setObjectName(QStringLiteral("rpddPadrao"));

    buildToolBar();
    buildDataGroup();
    host::ChainCommandsAfterFields(grbDadosRel,
                                   {sbtPreview, sbtPrint, sbtSalvarComo, sbtAjuda, sbtFechar});
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

void TfrmDadosGerRel::buildToolBar()
{
    panMenu = new TPanel(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->SetBevel(2);
    panMenu->setGeometry(0, 0, 393, 27);
    panBotoes = new TPanel(panMenu);
    panBotoes->setObjectName(QStringLiteral("panBotoes"));
    panBotoes->setGeometry(2, 2, 200, 23);

    struct ButtonPlace
    {
        TSpeedButton *TfrmDadosGerRel::*member;
        const char *name;
        const char *hint;
        int left;
        QStyle::StandardPixmap glyph;
    };
    const ButtonPlace places[] = {
        {&TfrmDadosGerRel::sbtPreview, "sbtPreview", "Visualizar", 24,
         QStyle::SP_FileDialogContentsView},
        {&TfrmDadosGerRel::sbtPrint, "sbtPrint", "Imprimir", 52, QStyle::SP_FileDialogListView},
        {&TfrmDadosGerRel::sbtSalvarComo, "sbtSalvarComo", "Salvar como", 80,
         QStyle::SP_DialogSaveButton},
        {&TfrmDadosGerRel::sbtAjuda, "sbtAjuda", "Ajuda", 124, QStyle::SP_DialogHelpButton},
        {&TfrmDadosGerRel::sbtFechar, "sbtFechar", "Fechar", 152, QStyle::SP_DialogCloseButton},
    };
    for (const ButtonPlace &place : places) {
        auto *button = new TSpeedButton(panBotoes);
        button->setObjectName(QLatin1String(place.name));
        button->SetHint(QString::fromUtf8(place.hint));
        button->SetGlyph(style()->standardIcon(place.glyph).pixmap(16, 16));
        button->SetBounds(place.left, 0, 28, 23);
        this->*place.member = button;
    }
    // Bound through the virtual handlers, so a screen's override takes the base's place.
    sbtPreview->OnClick = [this](QObject *sender) { sbtPreviewClick(sender); };
    sbtPrint->OnClick = [this](QObject *sender) { sbtPrintClick(sender); };
    sbtSalvarComo->OnClick = [this](QObject *sender) { sbtSalvarComoClick(sender); };
    sbtAjuda->OnClick = [this](QObject *) { ShowHelp(m_helpFile, m_helpContext); };
    sbtFechar->OnClick = [this](QObject *) { close(); };
    host::SetCommandKey(sbtPreview, QKeySequence(Qt::ALT | Qt::Key_V));
    host::SetCommandKey(sbtPrint, QKeySequence(Qt::ALT | Qt::Key_I));
    host::SetCommandKey(sbtSalvarComo, QKeySequence(Qt::ALT | Qt::Key_S));
    host::SetCommandKey(sbtAjuda, QKeySequence(Qt::Key_F1));
    host::SetCommandKey(sbtFechar, QKeySequence(Qt::Key_Escape));

    ppmSalvarRelatorio = new QMenu(this);
    ppmSalvarRelatorio->setObjectName(QStringLiteral("ppmSalvarRelatorio"));
    const auto addSaveItem = [this](const QString &caption, const QString &filter) {
        QAction *item = ppmSalvarRelatorio->addAction(caption);
        connect(item, &QAction::triggered, this, [this, filter] {
            m_saveFilter = filter;
            sbtSalvarComo->click();
        });
    };
    addSaveItem(QStringLiteral("Salvar como &PDF..."), pdfFilter);
    addSaveItem(QStringLiteral("Salvar como &CSV..."), csvFilter);
    sbtSalvarComo->setMenu(ppmSalvarRelatorio);
    sbtSalvarComo->setPopupMode(QToolButton::MenuButtonPopup);
    sbtSalvarComo->SetBounds(80, 0, 40, 23);

    lblCodRel = new TLabel(panMenu);
    lblCodRel->setObjectName(QStringLiteral("lblCodRel"));
    lblCodRel->setGeometry(300, 6, 88, 14);
    lblCodRel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void TfrmDadosGerRel::buildDataGroup()
{
    grbDadosRel = new TGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));
    grbDadosRel->setGeometry(0, 27, 393, 133);
    panRelat = new TPanel(grbDadosRel);
    panRelat->setObjectName(QStringLiteral("panRelat"));
    panRelat->setGeometry(2, 4, 389, 30);
    lblReportNames = new TLabel(panRelat);
    lblReportNames->setObjectName(QStringLiteral("lblReportNames"));
    lblReportNames->setGeometry(4, 8, 60, 14);
    cbbReportNames = new QComboBox(panRelat);
    cbbReportNames->setObjectName(QStringLiteral("cbbReportNames"));
    cbbReportNames->setEditable(true);
    cbbReportNames->setGeometry(66, 4, 220, 21);
    lblReportNames->SetFocusControl(cbbReportNames);
    lblReportNames->SetCaption(QStringLiteral("Relatório"));
    lblCodTela = new TLabel(panRelat);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setGeometry(290, 8, 95, 14);
    lblCodTela->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bvlSeparator = new QFrame(grbDadosRel);
    bvlSeparator->setObjectName(QStringLiteral("bvlSeparator"));
    bvlSeparator->setFrameShape(QFrame::HLine);
    bvlSeparator->setFrameShadow(QFrame::Sunken);
    bvlSeparator->setGeometry(2, 38, 389, 4);
}

bool TfrmDadosGerRel::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        host::guard(this, [this] { FormActivate(this); });
    return QDialog::event(event);
}

void TfrmDadosGerRel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        ShowHelp(m_helpFile, m_helpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmDadosGerRel::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        focusFirstParameter();
    }
}

void TfrmDadosGerRel::focusFirstParameter()
{
    // The report name box is editable and first in the tabs: a month typed at once would become
    // the printed title.
    for (QWidget *next = grbDadosRel->nextInFocusChain(); next != grbDadosRel;
         next = next->nextInFocusChain()) {
        const bool parameter = grbDadosRel->isAncestorOf(next) && !panRelat->isAncestorOf(next);
        if (parameter && (next->focusPolicy() & Qt::TabFocus) && next->isEnabled() &&
            next->isVisibleTo(this)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TfrmDadosGerRel::FormCreate(QObject *)
{
    rpddPadrao->SetReportCode(lblCodRel->Caption());
    // A missing definition is reported when a report runs, with its code and directory.
    try {
        const QString title = rpddPadrao->Definition().title;
        if (!title.isEmpty() && cbbReportNames->findText(title) < 0)
            cbbReportNames->addItem(title);
    } catch (const Exception &) {
    }
}

void TfrmDadosGerRel::FormActivate(QObject *)
{
    update();
}

bool TfrmDadosGerRel::runReport(ReportData *data)
{
    rpddPadrao->SetReportCode(lblCodRel->Caption());
    QString missing;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        try {
            return rpddPadrao->Execute(cbbReportNames->currentText(), data);
        } catch (const EReportNotFound &e) {
            missing = formatMessage(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")),
                                    {e.Code(), e.Directory()});
        }
    }
    MensErro(missing, true);
    return false;
}

void TfrmDadosGerRel::sbtPreviewClick(QObject *)
{
    ReportData data;
    if (!runReport(&data))
        return;
    host::PreviewReport(this, data);
}

void TfrmDadosGerRel::sbtPrintClick(QObject *)
{
    ReportData data;
    if (!runReport(&data))
        return;
    host::PrintReport(data);
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject *)
{
    const QString filter = m_saveFilter.isEmpty() ? pdfFilter : m_saveFilter;
    m_saveFilter.clear();
    ReportData data;
    if (!runReport(&data))
        return;
    QString title = data.title;
    if (!CurrentDialogs()->InputQuery(msgPadrao->Msg(QStringLiteral("NovoCaption")),
                                      msgPadrao->Msg(QStringLiteral("NovoPrompt")), title))
        return;
    if (!title.trimmed().isEmpty())
        data.title = title.trimmed();
    const QString other = filter == pdfFilter ? csvFilter : pdfFilter;
    const QString suggested = QDir::home().absoluteFilePath(
        data.definition.code +
        (filter == pdfFilter ? QStringLiteral(".pdf") : QStringLiteral(".csv")));
    QString fileName = CurrentDialogs()->SaveFileName(QStringLiteral("Salvar relatório"), suggested,
                                                      filter + QStringLiteral(";;") + other);
    if (fileName.isEmpty())
        return;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += filter == pdfFilter ? QStringLiteral(".pdf") : QStringLiteral(".csv");
    QString error;
    // Saved from the dialog, a CSV file is for the operator's spreadsheet.
    if (!host::WriteReportFile(data, fileName, &error, host::CsvStyle::Spreadsheet))
        MensErro(error, true);
}
