#include "foundation/applocale.h"

#include "foundation/textutil.h"

AppLocale gAppLocale;

AppLocale::AppLocale() : lcid_(0), codePage_(0)
{
    SetLcid(LOCALE_SYSTEM_DEFAULT);
}

// The default ANSI code page of a locale, 0 when it cannot be read.
static UINT DefaultAnsiCodePage(LCID lcid)
{
    wchar_t text[12];
    if (GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE, text, 12) == 0)
        return 0;
    bool ok = false;
    int codePage = ParseInt(text, &ok);
    return ok && codePage > 0 ? (UINT)codePage : 0;
}

static int CharsetFromCodePage(UINT codePage)
{
    if (codePage == 0)
        return -1;
    CHARSETINFO info = {};
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(codePage)), &info, TCI_SRCCODEPAGE))
        return -1;
    return (int)info.ciCharset;
}

void AppLocale::SetLcid(LCID lcid)
{
    lcid_ = lcid;
    codePage_ = DefaultAnsiCodePage(lcid);
}

int AppLocale::GetCharset() const
{
    return CharsetFromCodePage(codePage_);
}

int CharsetFromLcid(LCID lcid)
{
    return CharsetFromCodePage(DefaultAnsiCodePage(lcid));
}

void InitDefaultLogFont(LOGFONTW* font)
{
    ZeroMemory(font, sizeof(*font));
    font->lfHeight = -22;
    font->lfWeight = FW_NORMAL;
    font->lfOutPrecision = OUT_DEFAULT_PRECIS;
    font->lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font->lfQuality = DEFAULT_QUALITY;
    font->lfPitchAndFamily = FF_ROMAN;   // 0x10
    StrCopyN(font->lfFaceName, L"Times New Roman", LF_FACESIZE);
    int charset = CharsetFromLcid(gAppLocale.GetLcid());
    font->lfCharSet = charset < 0 ? DEFAULT_CHARSET : (BYTE)charset;
}
