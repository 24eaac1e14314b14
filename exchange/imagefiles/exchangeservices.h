// The data exchange's side of the shell's table (app/exchangeservices.h):
// the image import and export and the DICOM queue window, as the service
// menu and the image strip's cells call them.
//
// The program installs them as it starts (exchange/programservices.cpp, as
// printing does); tests call InstallExchangeServices themselves.
#pragma once

// Fills the exchange's entries of the shell's table.
void InstallExchangeServices();
// Empties them.
void RemoveExchangeServices();
