// How the program shows an exception to the user: a MsgExcept with its own
// caption and text, a database error with the provider's texts, a registry
// error with the system's text, a string-table id with its string; 0 means
// that the failure has been shown already. Every prompt has an owner: the
// window whose command failed, so that it takes no input while the prompt is
// up.
#pragma once

#include <windows.h>

#include <exception>

void ShowProgramException(HWND owner, std::exception_ptr e);

// Makes ShowProgramException the shower of the message loops (ui's
// SetWindowExceptionShower); the program does it at start.
void InstallProgramExceptionShower();
