#include "tspinedit.h"

#include "controlsupport_p.h"
#include "eventboundary.h"

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

QToolButton *makeStepButton(QWidget *parent, Qt::ArrowType arrow)
{
    auto *button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    button->setFixedWidth(15);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    return button;
}

} // namespace

TSpinEdit::TSpinEdit(QWidget *parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_up(makeStepButton(this, Qt::UpArrow))
    , m_down(makeStepButton(this, Qt::DownArrow))
{
    m_edit->setObjectName(QStringLiteral("editor"));
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_up->setAccessibleName(QStringLiteral("Aumentar"));
    m_down->setAccessibleName(QStringLiteral("Diminuir"));
    m_edit->setValidator(new LengthValidator(this, m_edit));
    host::detail::layOutStepEditor(this, m_edit, m_up, m_down);

    new host::detail::KeyPressFilter(m_edit, this, &OnKeyPress);
    m_edit->installEventFilter(this);
    connect(m_edit, &QLineEdit::textChanged, this,
            [this] { host::guard(this, [this] { ::raise(OnChange, this); }); });
    connect(m_up, &QToolButton::clicked, this,
            [this] { host::guard(this, [this] { StepBy(1); }); });
    connect(m_down, &QToolButton::clicked, this,
            [this] { host::guard(this, [this] { StepBy(-1); }); });
}

QString TSpinEdit::Text() const
{
    return m_edit->text();
}

void TSpinEdit::SetText(const QString &text)
{
    m_edit->setText(text);
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

bool TSpinEdit::eventFilter(QObject *watched, QEvent *event)
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
