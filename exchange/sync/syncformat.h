// Texts of the synchronisation worker: FormatMessage-style formatting into a
// std::wstring, and the system's text of a Win32 code.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace syncfmt {

// The format with its inserts: "%1" to "%9" a text (a wide-text pointer),
// "%1!u!" an unsigned number.
std::wstring Format(const wchar_t* format, std::initializer_list<DWORD_PTR> inserts);
// The system's text of a Win32 code (no trailing line break), or the text
// that names the code where the system has none.
std::wstring SystemText(DWORD code);

}  // namespace syncfmt
