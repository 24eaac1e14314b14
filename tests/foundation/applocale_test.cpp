#include "foundation/applocale.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

const LCID kEnglish = 0x409;
const LCID kRussian = 0x419;

// Restores the application locale that a test changes.
class LcidGuard {
public:
    LcidGuard() : lcid_(gAppLocale.GetLcid()) {}
    ~LcidGuard() { gAppLocale.SetLcid(lcid_); }

private:
    LCID lcid_;
};

} // namespace

TEST(AppLocale, StartsAsTheSystemDefault)
{
    EXPECT_EQ((LCID)0x800, gAppLocale.GetLcid());
    AppLocale fresh;
    EXPECT_EQ((LCID)LOCALE_SYSTEM_DEFAULT, fresh.GetLcid());
    EXPECT_NE(0u, fresh.GetCodePage());
}

TEST(AppLocale, CodePageAndCharsetOfTheLocale)
{
    AppLocale locale;
    locale.SetLcid(kRussian);
    EXPECT_EQ(kRussian, locale.GetLcid());
    EXPECT_EQ(1251u, locale.GetCodePage());
    EXPECT_EQ(RUSSIAN_CHARSET, locale.GetCharset());

    locale.SetLcid(kEnglish);
    EXPECT_EQ(1252u, locale.GetCodePage());
    EXPECT_EQ(ANSI_CHARSET, locale.GetCharset());

    locale.SetLcid(0x7FFFFFFF);   // no such locale
    EXPECT_EQ((LCID)0x7FFFFFFF, locale.GetLcid());
    EXPECT_EQ(0u, locale.GetCodePage());
    EXPECT_EQ(-1, locale.GetCharset());

    EXPECT_EQ(RUSSIAN_CHARSET, CharsetFromLcid(kRussian));
    EXPECT_EQ(GREEK_CHARSET, CharsetFromLcid(0x408));
    EXPECT_EQ(-1, CharsetFromLcid(0x7FFFFFFF));
}

TEST(InitDefaultLogFont, TimesNewRomanInTheLocaleCharset)
{
    LcidGuard guard;
    gAppLocale.SetLcid(kRussian);
    LOGFONTW font;
    memset(&font, 0x55, sizeof(font));
    InitDefaultLogFont(&font);
    EXPECT_EQ(-22, font.lfHeight);
    EXPECT_EQ(0, font.lfWidth);
    EXPECT_EQ(0, font.lfEscapement);
    EXPECT_EQ(0, font.lfOrientation);
    EXPECT_EQ(400, font.lfWeight);
    EXPECT_EQ(0, font.lfItalic);
    EXPECT_EQ(0, font.lfUnderline);
    EXPECT_EQ(0, font.lfStrikeOut);
    EXPECT_EQ(RUSSIAN_CHARSET, font.lfCharSet);
    EXPECT_EQ(OUT_DEFAULT_PRECIS, font.lfOutPrecision);
    EXPECT_EQ(CLIP_DEFAULT_PRECIS, font.lfClipPrecision);
    EXPECT_EQ(DEFAULT_QUALITY, font.lfQuality);
    EXPECT_EQ(0x10, font.lfPitchAndFamily);
    EXPECT_STREQ(L"Times New Roman", font.lfFaceName);

    gAppLocale.SetLcid(0x7FFFFFFF);
    InitDefaultLogFont(&font);
    EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
}
