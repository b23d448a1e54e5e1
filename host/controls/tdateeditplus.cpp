#include "controls/tdateeditplus.h"

#include "controls/controlsupport_p.h"
#include "core/dialogs.h"
#include "core/eventboundary.h"
#include "core/focustracker.h"
#include "data/operatorcontext.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

namespace {

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

// Where typing would go in a text shown through the mask: its first blank; -1 when it is full.
int firstBlank(const QString &shown)
{
    return int(shown.indexOf(QLatin1Char(' ')));
}

// A click leaves the cursor where it lands; past the first blank of the mask the keys would have
// nowhere to go, so the cursor is taken back to that blank. A click among typed digits stays.
class CursorToFirstBlank : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto *edit = static_cast<QLineEdit *>(watched);
            const int blank = firstBlank(edit->displayText());
            if (!edit->hasSelectedText() && blank >= 0 && edit->cursorPosition() > blank)
                edit->setCursorPosition(blank);
        }
        return false;
    }
};

} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
{
    m_edit->setObjectName(QStringLiteral("editor"));
    // Blanks are spaces, so an untouched editor reads as empty.
    m_edit->setInputMask(QStringLiteral("99/9999; "));
    m_edit->installEventFilter(new CursorToFirstBlank(m_edit));
    const auto buttons = host::detail::addStepButtons(this, m_edit, QStringLiteral("Próximo mês"),
                                                      QStringLiteral("Mês anterior"),
                                                      [this](int steps) { StepBy(steps); });
    m_up = buttons.up;
    m_down = buttons.down;

    connect(m_edit, &QLineEdit::textChanged, this, [this] { textChanged(); });
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
    host::detail::setTextThenChanged(m_edit, text, [this] { textChanged(); });
}

void TDateEditPlus::textChanged()
{
    updateTextColor();
    host::guard(this, [this] { ::raise(OnChange, this); });
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
