// Linked into the program (TobalFluoro.exe) itself: the data exchange fills
// its entries of the shell's table before the program's entry runs, as the
// shell may not name the layer above it (ARCHITECTURE.md).
#include "exchange/exchangeservices.h"

namespace {

const bool gInstalled = (InstallExchangeServices(), true);

}  // namespace
