#pragma once

#include <QPointer>
#include <QWidget>

// The export dialog's unit: its module-wide variable and unit initialisation.
namespace Cli_qmr07702 {

// The export dialog created last; null once that dialog is destroyed.
extern QPointer<QWidget> frmExportCaleProdu;

void Initialization();
void Finalization();

} // namespace Cli_qmr07702
