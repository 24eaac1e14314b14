// The buttons of the title bars (close, minimise, maximise) are drawn with
// the glyphs of Marlett: a prefix without the font shows the letters that
// stand for them ("r", "0", "1") instead. The scripts put it into the prefix
// (cmake/setup.sh, tf_prefix); a face the font mapper settles on instead of
// it is the fault.
#include "ui/gdi.h"

#include <gtest/gtest.h>

#include <string>

TEST(CaptionFont, TheTitleBarButtonsFontIsMarlettItself)
{
    LOGFONTW lf = {};
    lf.lfHeight = -13;
    lf.lfCharSet = SYMBOL_CHARSET;
    wcscpy(lf.lfFaceName, L"Marlett");
    DGdiObject<HFONT> font(CreateFontIndirectW(&lf));
    ASSERT_TRUE(font);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    wchar_t face[LF_FACESIZE] = {};
    {
        ScopedSelect select(dc, font.Get());
        GetTextFaceW(dc, LF_FACESIZE, face);
    }
    DeleteDC(dc);
    EXPECT_EQ(std::wstring(face), L"Marlett") << "the prefix has no Marlett: the title bars' buttons show letters";
}
