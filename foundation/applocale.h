// The application locale: the one locale identifier by which the program
// parses dates, compares texts and picks font character sets, and the default
// ANSI code page of that locale.
//
// One instance lives for the whole process (gAppLocale). It is constructed
// before the program's entry with LOCALE_SYSTEM_DEFAULT; start-up then stores
// the thread's locale in it and sets the thread locale to it, so every later
// reader sees one stable value.
#pragma once

#include <windows.h>

class AppLocale {
public:
    AppLocale();   // LOCALE_SYSTEM_DEFAULT (0x800)

    // Stores the identifier and reads its default ANSI code page; the code
    // page is 0 when the locale information cannot be read. No failure.
    void SetLcid(LCID lcid);

    LCID GetLcid() const { return lcid_; }
    UINT GetCodePage() const { return codePage_; }   // 0 when unknown

    // The font character set of the stored code page; -1 when the code page
    // is 0 or has no character set.
    int GetCharset() const;

private:
    LCID lcid_;       // locale identifier
    UINT codePage_;   // its default ANSI code page, 0 when unknown
};

extern AppLocale gAppLocale;

// The font character set of a locale's default ANSI code page; -1 when the
// locale or its code page has none.
int CharsetFromLcid(LCID lcid);

// The program's fallback font: "Times New Roman", height -22, weight 400,
// roman family, in the character set of the application locale
// (DEFAULT_CHARSET when that cannot be found).
void InitDefaultLogFont(LOGFONTW* font);
