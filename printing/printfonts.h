// The two print fonts: print font 1 ("Print headers") for the clinic header
// and the labels of the picture sheet, print font 2 ("Print base") for
// tables, text blocks, values, dates and notes.
//
// They are chosen in the Fonts dialog like the screen fonts and stored in the
// key "Printer" ("Font1", "Font2": 92-byte LOGFONTW, height in display
// pixels), and created for printing with the height in 0.01 mm, so that they
// can be selected into a PrintJob's device context. Each font is unset until
// the first print loads it (LoadPrintFonts) or the Fonts dialog changes it
// after it exists (SavePrintFonts); once created it lives to the end of the
// program (FreePrintFonts).
//
// A font that is not stored (a fresh site sets neither) or cannot be read
// falls back to the face the Fonts dialog starts from ("Times New Roman"), in
// the sizes of a clinic's printed forms: 12 pt bold for print font 1, 10 pt
// for print font 2. Without it text would be drawn in the printer device
// context's own font, whose height of a few units is, in the page's 0.01 mm,
// a few hundredths of a millimetre. A fallback is replaced as soon as a font
// is stored: each LoadPrintFonts looks for it again.
#pragma once

#include <windows.h>

class PrintFont {
public:
    // Creates the font only when none exists; true when CreateFontIndirectW
    // succeeded.
    bool Create(const LOGFONTW& font);
    // The same for the fallback of an unset font.
    bool CreateFallback(const LOGFONTW& font);
    // Whether the font is the fallback (no font is stored for it).
    bool IsFallback() const { return fallback_; }
    // True when a font was deleted.
    bool DeleteFont();
    HFONT Handle() const { return font_; }
    // Selects the font into the device context (nothing when unset); the
    // font selected before.
    HGDIOBJ Select(HDC dc) const;

    TEXTMETRICW metrics = {};   // as last measured on a device context

private:
    HFONT font_ = nullptr;      // null: not created
    bool fallback_ = false;     // made from DefaultPrintFont, not from the registry
};

extern PrintFont Font1;   // "Print headers"
extern PrintFont Font2;   // "Print base"

// Height in display pixels -> 0.01 mm at the resolution: height x 2540 /
// pixelsPerInch, truncated toward zero (a negative character height stays
// negative). 0 for a resolution of 0 or less.
int PixelsToHiMetric(int height, int pixelsPerInch);

// Converts lfHeight from display pixels to 0.01 mm with the display's
// LOGPIXELSY; when no information context for "DISPLAY" can be made the
// height becomes 0 and the result is false.
bool DisplayPixelsToHiMetric(LONG& height);

// Points -> 0.01 mm (rounded).
int PointsToHiMetric(int points);
// The fallback of the print font of the value name ("Font1" or "Font2"), its
// height in 0.01 mm; false for another name.
bool DefaultPrintFont(const wchar_t* valueName, LOGFONTW* font);

// Creates each print font that does not exist yet, or is a fallback, from its
// stored value; a value that is missing, not REG_BINARY or not 92 bytes is
// deleted and the font falls back (also when the key "Printer" cannot be
// opened). A stored height of 0 takes the fallback's size.
void LoadPrintFonts();
// After the Fonts dialog stored `font` under "Font1" or "Font2": converts its
// height (in the caller's record) and creates the print font again when it
// exists; one that does not exist is created by the next LoadPrintFonts.
void SavePrintFonts(const wchar_t* valueName, LOGFONTW& font);
// Selects each font into the device context and reads its metrics; the
// previous font is selected back. Returns true.
bool SelectPrintFonts(HDC dc);
// Deletes both fonts (at the end of the program).
void FreePrintFonts();
