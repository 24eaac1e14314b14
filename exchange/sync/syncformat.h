// Texts of the synchronisation worker: FormatMessage-style formatting into a
// std::wstring, and the system's text of a Win32 code.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace syncfmt {

// The format ("%1", "%1!u!", "%2") with the inserts; empty when it fails.
std::wstring Format(const wchar_t* format, std::initializer_list<DWORD_PTR> inserts);
// The system's text of a Win32 code (no trailing line break).
std::wstring SystemText(DWORD code);

}  // namespace syncfmt
