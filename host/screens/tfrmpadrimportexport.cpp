#include "screens/tfrmpadrimportexport.h"

#include "controls/tgroupbox.h"
#include "controls/tlabel.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/focustracker.h"
#include "core/tmessages.h"
#include "screens/dialogcommands.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QStyle>

namespace {

// A sheet with an arrow leaving it (export) or entering it (import).
QPixmap sheetWithArrow(bool leaving)
{
    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 3.5, 17, 24));
    for (int line = 0; line < 4; ++line)
        p.drawLine(QPointF(6, 9.5 + 5 * line), QPointF(17, 9.5 + 5 * line));
    QPainterPath arrow;
    const double tip = leaving ? 30 : 12;
    const double tail = leaving ? 14 : 29;
    const double head = leaving ? tip - 7 : tip + 7;
    arrow.moveTo(tail, 14);
    arrow.lineTo(head, 14);
    arrow.lineTo(head, 9);
    arrow.lineTo(tip, 18);
    arrow.lineTo(head, 27);
    arrow.lineTo(head, 22);
    arrow.lineTo(tail, 22);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x00, 0x60, 0x00), 1));
    p.setBrush(QColor(0x20, 0xA0, 0x20));
    p.drawPath(arrow);
    return picture;
}

} // namespace

TfrmPadrImportExport::TfrmPadrImportExport(QWidget *parent)
    : QDialog(parent ? parent : host::MainForm(),
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                  Qt::MSWindowsFixedSizeDialogHint)
{
    host::FocusTracker::EnsureTracking();
    setObjectName(QStringLiteral("frmPadrImportExport"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(true);

    msgPadrao = new TMessages(this);
    msgPadrao->setObjectName(QStringLiteral("msgPadrao"));

    grbDadosRel = new TGroupBox(this);
    grbDadosRel->setObjectName(QStringLiteral("grbDadosRel"));

    panMenu = new TPanel(this);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->SetBevel(2);

    auto addButton = [this](auto *button, const char *name, const QString &hint, int top) {
        button->setObjectName(QLatin1String(name));
        button->SetHint(hint);
        button->SetShowHint(true);
        button->SetBounds(7, top, ButtonPanelWidth - 14, 36);
        button->setIconSize(QSize(32, 32));
        return button;
    };
    sbtImportExport =
        addButton(new TButtonFlat(panMenu), "sbtImportExport", QStringLiteral("Exportar"), 6);
    sbtAjuda = addButton(new TSpeedButton(panMenu), "sbtAjuda", QStringLiteral("Ajuda"), 46);
    sbtAjuda->SetGlyph(style()->standardIcon(QStyle::SP_DialogHelpButton).pixmap(16, 16));
    sbtFechar = addButton(new TSpeedButton(panMenu), "sbtFechar", QStringLiteral("Fechar"), 86);
    sbtFechar->SetGlyph(style()->standardIcon(QStyle::SP_DialogCloseButton).pixmap(16, 16));

    lblCodTela = new TLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignCenter);
    QFont small = lblCodTela->font();
    small.setPointSize(7);
    lblCodTela->setFont(small);

    Image1 = new QLabel(grbDadosRel);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ExportPicture());
    Image1->hide();
    Image2 = new QLabel(grbDadosRel);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(ImportPicture());
    Image2->hide();

    panProgresso = new TPanel(this);
    panProgresso->setObjectName(QStringLiteral("panProgresso"));
    panProgresso->setFixedHeight(0);
    panProgresso->hide();
    pgbProgresso = new QProgressBar(panProgresso);
    pgbProgresso->setObjectName(QStringLiteral("pgbProgresso"));
    pgbProgresso->hide();

    sbtImportExport->OnClick = [this](QObject *s) { sbtImportExportClick(s); };
    sbtAjuda->OnClick = [this](QObject *s) { sbtAjudaClick(s); };
    sbtFechar->OnClick = [this](QObject *s) { sbtFecharClick(s); };
    host::SetCommandKey(sbtImportExport, QKeySequence(Qt::ALT | Qt::Key_E));
    host::SetCommandKey(sbtAjuda, QKeySequence(Qt::Key_F1));
    host::SetCommandKey(sbtFechar, QKeySequence(Qt::Key_Escape));
    host::ChainCommandsAfterFields(grbDadosRel, {sbtImportExport, sbtAjuda, sbtFechar});
    SetClientSize(516, 145);
}

TfrmPadrImportExport::~TfrmPadrImportExport() = default;

void TfrmPadrImportExport::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
    grbDadosRel->setGeometry(0, 0, width - ButtonPanelWidth, height);
    panMenu->setGeometry(width - ButtonPanelWidth, 0, ButtonPanelWidth, height);
    lblCodTela->setGeometry(2, height - 18, ButtonPanelWidth - 4, 14);
}

int TfrmPadrImportExport::ShowModal()
{
    return exec();
}

QPixmap TfrmPadrImportExport::ExportPicture()
{
    return sheetWithArrow(true);
}

QPixmap TfrmPadrImportExport::ImportPicture()
{
    return sheetWithArrow(false);
}

void TfrmPadrImportExport::FormCreate(QObject *) {}

void TfrmPadrImportExport::FormActivate(QObject *)
{
    update();
}

void TfrmPadrImportExport::sbtImportExportClick(QObject *) {}

void TfrmPadrImportExport::sbtAjudaClick(QObject *)
{
    ShowHelp(m_helpFile, m_helpContext);
}

void TfrmPadrImportExport::sbtFecharClick(QObject *)
{
    close();
}

bool TfrmPadrImportExport::event(QEvent *event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate)
        host::guard(this, [this] { FormActivate(this); });
    else if (event->type() == QEvent::KeyPress &&
             static_cast<QKeyEvent *>(event)->key() == Qt::Key_F1)
        host::guard(this, [this] { sbtAjudaClick(this); });
    return handled;
}
