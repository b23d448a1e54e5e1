// The calendar screen's report command.

#include "cli_qmr07700.h"

#include "report/cli_qmr07701.h"

namespace Cli_qmr07700 {

void TfrmCaleProdu::sbtImprimirClick(QObject *)
{
    Cli_qmr07701::CriaListCaleProdu();
}

} // namespace Cli_qmr07700
