#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// The report dialog's unit: its module-wide variables and unit initialisation.
namespace Cli_qmr07701 {

// The report dialog created last; null once that dialog is destroyed.
extern QPointer<QWidget> frmListCaleProdu;
extern QString stListaFili;
extern QString stListaPeri;
extern bool boPrimVez;

void Initialization();
void Finalization();

} // namespace Cli_qmr07701
