#include "controls/tspinedit.h"

#include "controls/controlsupport_p.h"
#include "core/eventboundary.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QValidator>

#include <climits>

namespace {

// Refuses typing beyond the spin edit's length; the program's own texts never pass through here.
class LengthValidator : public QValidator
{
public:
    LengthValidator(const TSpinEdit *spin, QObject *parent)
        : QValidator(parent)
        , m_spin(spin)
    {}

    State validate(QString &input, int &) const override
    {
        const int limit = m_spin->MaxLength();
        return limit > 0 && input.size() > limit ? Invalid : Acceptable;
    }

private:
    const TSpinEdit *m_spin;
};

} // namespace

TSpinEdit::TSpinEdit(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
{
    m_edit->setObjectName(QStringLiteral("editor"));
    m_edit->setValidator(new LengthValidator(this, m_edit));
    const auto buttons = host::detail::addStepButtons(this, m_edit, QStringLiteral("Aumentar"),
                                                      QStringLiteral("Diminuir"),
                                                      [this](int steps) { StepBy(steps); });
    m_up = buttons.up;
    m_down = buttons.down;

    new host::detail::KeyPressFilter(m_edit, this, &OnKeyPress);
    connect(m_edit, &QLineEdit::textChanged, this, [this] { textChanged(); });
}

QString TSpinEdit::Text() const
{
    return m_edit->text();
}

void TSpinEdit::SetText(const QString &text)
{
    host::detail::setTextThenChanged(m_edit, text, [this] { textChanged(); });
}

void TSpinEdit::textChanged()
{
    host::guard(this, [this] { ::raise(OnChange, this); });
}

int TSpinEdit::Value() const
{
    bool ok = false;
    const int value = m_edit->text().trimmed().toInt(&ok);
    return ok ? value : 0;
}

void TSpinEdit::SetValue(int value)
{
    SetText(QString::number(value));
}

void TSpinEdit::StepBy(int steps)
{
    qint64 value = qint64(Value()) + qint64(steps) * m_increment;
    if (m_minValue != 0 || m_maxValue != 0)
        value = qBound(qint64(m_minValue), value, qint64(m_maxValue));
    SetValue(int(qBound(qint64(INT_MIN), value, qint64(INT_MAX))));
    m_edit->selectAll();
}

void TSpinEdit::SetColor(TColor color)
{
    m_color = color;
    host::detail::applyColor(m_edit, QPalette::Base, color);
}
