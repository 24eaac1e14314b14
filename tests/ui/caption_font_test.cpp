// The buttons of the title bars (close, minimise, maximise) are glyphs of
// Marlett: a prefix without the font (cmake/setup.sh puts it in) shows the
// letters "r", "0" and "1" in whatever face the font mapper settles on.
#include "ui/gdi.h"

#include <gtest/gtest.h>

TEST(CaptionFont, TheTitleBarButtonsFontIsMarlettItself)
{
    LOGFONTW lf = {-13};
    lf.lfCharSet = SYMBOL_CHARSET;
    wcscpy(lf.lfFaceName, L"Marlett");
    DGdiObject<HFONT> font(CreateFontIndirectW(&lf));
    HDC dc = GetDC(nullptr);
    wchar_t face[LF_FACESIZE] = {};
    {
        ScopedSelect select(dc, font.Get());
        GetTextFaceW(dc, LF_FACESIZE, face);
    }
    ReleaseDC(nullptr, dc);
    EXPECT_STREQ(L"Marlett", face) << "the prefix has no Marlett: the title bars' buttons show letters";
}
