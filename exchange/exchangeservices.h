// The data exchange's side of the shell's table (app/exchangeservices.h):
// the image import and export and the DICOM queue window, as the service
// menu and the image strip's cells call them.
//
// The program installs them as it starts: exchange/programinstall.cpp is
// linked into the program itself (not into a library), and its one static
// object runs InstallExchangeServices before wWinMain. Tests call it.
#pragma once

// Fills the exchange's entries of the shell's table.
void InstallExchangeServices();
// Empties them.
void RemoveExchangeServices();
