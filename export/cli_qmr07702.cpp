#include "cli_qmr07702.h"

namespace Cli_qmr07702 {

QPointer<QWidget> frmExportCaleProdu;

void Initialization() {}
void Finalization() {}

} // namespace Cli_qmr07702
