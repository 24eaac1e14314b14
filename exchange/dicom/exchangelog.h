// Journal records of the data exchange's failed calls: each names the call,
// the argument that matters (a path, a section, a member) and the error code
// with its system text.
#pragma once

#include <windows.h>

void LogCallFailure(const wchar_t* call, const wchar_t* argument, DWORD code);
