#include "cli_qmr07701.h"

namespace Cli_qmr07701 {

QPointer<QWidget> frmListCaleProdu;
QString stListaFili;
QString stListaPeri;
bool boPrimVez = false;

void Initialization() {}

void Finalization()
{
    stListaFili.clear();
    stListaPeri.clear();
}

} // namespace Cli_qmr07701
