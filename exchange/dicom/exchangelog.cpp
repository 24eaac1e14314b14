#include "exchange/dicom/exchangelog.h"

#include "foundation/journal.h"
#include "foundation/messages.h"

#include <stdio.h>

void LogCallFailure(const wchar_t* call, const wchar_t* argument, DWORD code)
{
    const std::wstring reason = ErrorCodeText(code);
    // The journal keeps 128 characters a record.
    wchar_t text[128];
    _snwprintf(text, 127, L"%ls(%ls): %ls", call ? call : L"", argument ? argument : L"", reason.c_str());
    text[127] = 0;
    for (wchar_t* p = text; *p; ++p)
        if (*p == L'\r' || *p == L'\n')
            *p = L' ';
    LogError(code, text);
}
