#include "ui/dwnd.h"

int GetDCFontHeight(HDC dc)
{
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    return tm.tmHeight;
}
