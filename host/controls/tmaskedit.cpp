#include "controls/tmaskedit.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

TMaskEdit::TMaskEdit(QWidget *parent)
    : TEdit(parent)
{}

void TMaskEdit::SetEditMask(const QString &mask)
{
    m_mask = mask;
    const QString places = mask.section(QLatin1Char(';'), 0, 0);
    m_digits = int(places.count(QLatin1Char('9')) + places.count(QLatin1Char('0')));
    delete validator();
    if (m_digits > 0) {
        const QRegularExpression digits(QStringLiteral("[0-9]{0,%1}").arg(m_digits));
        setValidator(new QRegularExpressionValidator(digits, this));
        SetMaxLength(m_digits);
    } else {
        setValidator(nullptr);
    }
}
