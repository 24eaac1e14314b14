// The merge's progress link: see importlink.h.
#include "exchange/merge/importlink.h"

const wchar_t* ImportLink::Text(int i, int* length) const
{
    if (length)
        *length = link_.TextLength(i);
    const wchar_t* text = link_.Text(i);
    return text ? text : L"";
}
