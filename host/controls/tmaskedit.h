#pragma once

#include "calehost_export.h"
#include "controls/tedit.h"

// A code edit that accepts up to as many digits as its mask has digit places ("9999;0; " takes
// four). The mask is read here, never handed to QLineEdit's own input mask, whose blank character
// would turn "0010" into "1".
class CALEHOST_EXPORT TMaskEdit : public TEdit
{
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget *parent = nullptr);

    QString EditMask() const { return m_mask; }
    void SetEditMask(const QString &mask);
    // Number of digits the mask takes; 0 without a mask.
    int Digits() const { return m_digits; }

private:
    QString m_mask;
    int m_digits = 0;
};
