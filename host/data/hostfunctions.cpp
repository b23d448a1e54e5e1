#include "data/hostfunctions.h"

#include "core/tmessages.h"
#include "data/tdataset.h"

#include <QRegularExpression>

bool EmptyString(const QString &text)
{
    for (const QChar c : text) {
        if (c != QLatin1Char(' '))
            return false;
    }
    return true;
}

QString Ajusta(const QString &code, int width)
{
    if (code.isEmpty())
        return code;
    return code.rightJustified(width, QLatin1Char('0'));
}

QString StrZero(double value, int width, int decimals)
{
    const QString digits = QString::number(qAbs(value), 'f', qMax(0, decimals));
    const QString sign = value < 0 && digits.contains(QRegularExpression(QStringLiteral("[1-9]")))
                             ? QStringLiteral("-")
                             : QString();
    return sign + digits.rightJustified(width - int(sign.size()), QLatin1Char('0'));
}

void Seta_Campo_Null(TDataSet *dataSet)
{
    if (!dataSet ||
        (dataSet->State() != TDataSetState::dsInsert && dataSet->State() != TDataSetState::dsEdit))
        return;
    for (const auto &field : dataSet->Fields()) {
        if (field->DataType() == TFieldType::ftString && !field->IsNull() &&
            EmptyString(field->AsString()))
            field->Clear();
    }
}

QString DayKindText(const TMessages *messages, const QString &kind)
{
    if (kind == QLatin1String("S"))
        return messages->Msg(QStringLiteral("tpSemana"));
    if (kind == QLatin1String("M"))
        return messages->Msg(QStringLiteral("tpMes"));
    return kind;
}
