#include "tdateeditplus.h"

#include "controlsupport_p.h"
#include "dialogs.h"
#include "eventboundary.h"
#include "focustracker.h"
#include "operatorcontext.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace {

QToolButton *makeStepButton(QWidget *parent, Qt::ArrowType arrow, const QString &name)
{
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setFixedWidth(15);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    button->setAccessibleName(name);
    return button;
}

// The month and year of a text "MM/YYYY"; a null date unless the month is 1 to 12 and the year
// has four digits and is not 0.
QDate parseMonth(const QString &text)
{
    const int slash = int(text.indexOf(QLatin1Char('/')));
    if (slash < 0)
        return {};
    const QString monthText = text.left(slash).trimmed();
    const QString yearText = text.mid(slash + 1).trimmed();
    if (monthText.isEmpty() || yearText.size() != 4)
        return {};
    bool monthOk = false;
    bool yearOk = false;
    const int month = monthText.toInt(&monthOk);
    const int year = yearText.toInt(&yearOk);
    if (!monthOk || !yearOk || month < 1 || month > 12 || year < 1)
        return {};
    return QDate(year, month, 1);
}

} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_up(makeStepButton(this, Qt::UpArrow, QStringLiteral("Próximo mês")))
    , m_down(makeStepButton(this, Qt::DownArrow, QStringLiteral("Mês anterior")))
{
    m_edit->setObjectName(QStringLiteral("editor"));
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    // Blanks are spaces, so an untouched editor reads as empty.
    m_edit->setInputMask(QStringLiteral("99/9999; "));
    host::detail::layOutStepEditor(this, m_edit, m_up, m_down);

    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this, [this] {
        updateTextColor();
        host::guard(this, [this] { ::raise(OnChange, this); });
    });
    connect(m_up, &QToolButton::clicked, this,
            [this] { host::guard(this, [this] { StepBy(1); }); });
    connect(m_down, &QToolButton::clicked, this,
            [this] { host::guard(this, [this] { StepBy(-1); }); });
    updateTextColor();
}

QString TDateEditPlus::Text() const
{
    const QString text = m_edit->text();
    for (const QChar c : text) {
        if (c.isDigit())
            return text;
    }
    return QString();
}

void TDateEditPlus::SetText(const QString &text)
{
    m_edit->setText(text);
}

QDate TDateEditPlus::GetDate() const
{
    return parseMonth(m_edit->text());
}

void TDateEditPlus::SetDate(const QDate &date)
{
    SetText(date.isValid() ? date.toString(QStringLiteral("MM/yyyy")) : QString());
}

QDate TDateEditPlus::GetPrimDia() const
{
    return GetDate();
}

QDate TDateEditPlus::GetUltDia() const
{
    const QDate first = GetDate();
    return first.isValid() ? first.addMonths(1).addDays(-1) : QDate();
}

bool TDateEditPlus::IsValid() const
{
    return Text().isEmpty() || GetDate().isValid();
}

void TDateEditPlus::CheckValidDate()
{
    if (IsValid())
        return;
    SetFocus(this);
    MensErro(QStringLiteral("Mês / ano inválido: informe o mês e o ano com quatro dígitos "
                            "(MM/AAAA)."),
             true);
}

void TDateEditPlus::StepBy(int months)
{
    QDate date = GetDate();
    if (!date.isValid()) {
        const QDate today = Now().date();
        date = QDate(today.year(), today.month(), 1);
    } else {
        date = date.addMonths(months);
    }
    if (date.year() >= 1 && date.year() <= 9999)
        SetDate(date);
    m_edit->selectAll();
}

void TDateEditPlus::SetColor(TColor color)
{
    m_color = color;
    host::detail::applyColor(m_edit, QPalette::Base, color);
}

void TDateEditPlus::SetValidColor(TColor color)
{
    m_validColor = color;
    updateTextColor();
}

void TDateEditPlus::updateTextColor()
{
    host::detail::applyColor(m_edit, QPalette::Text,
                             GetDate().isValid() ? m_validColor : clWindowText);
}

bool TDateEditPlus::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            host::guard(this, [this, key] { StepBy(key == Qt::Key_Up ? 1 : -1); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
