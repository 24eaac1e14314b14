// How a dialog looks, for the tests of every folder's dialogs and windows:
// the thread's language, a picture of the window for people to look at, the texts shown
// and whether they are all in the running language, and the layout's faults
// (controls outside the dialog, overlapping, or with their text clipped).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace harness {

// The thread's UI language and locale for the life of the object (Wine's
// resource loader follows the locale), as start-up sets both.
class ThreadLanguage {
public:
    explicit ThreadLanguage(LANGID lang);
    ~ThreadLanguage();
    ThreadLanguage(const ThreadLanguage&) = delete;
    ThreadLanguage& operator=(const ThreadLanguage&) = delete;

private:
    LANGID ui_;
    LCID locale_;
};

class PixelGrab;

// Pictures are for people to look at; nothing compares them.
// The folder for them: $TF_SHOT_DIR when set, else the build folder.
std::wstring PictureFolder();
// Writes the grab as a bottom-up 32-bit BMP file; false when it cannot.
bool SaveBmp(const PixelGrab& grab, const std::wstring& path);
// The window (frame included) as a BMP file; false when it cannot be grabbed
// or written.
bool SaveWindowBmp(HWND window, const std::wstring& path);
// With TF_SHOT_DIR set, repaints the window and writes it (frame included)
// as <TF_SHOT_DIR>\<name>.bmp; nothing without it.
void SaveWindowPicture(HWND window, const wchar_t* name);

// One text in the running language: in English no Cyrillic letter; in
// Russian some Cyrillic letter, or none of the Latin lower-case ones (names
// such as "Zelk" stand in Russian texts, abbreviations such as "OK" alone).
bool TextInLanguage(const std::wstring& text, bool russian);

// The dialog's caption and the texts of its controls, hidden ones included;
// what edits, lists and combo boxes hold is data, not the dialog's text.
std::vector<std::wstring> DialogTexts(HWND dialog);

// Whether a standard label or button shows its whole text (on as many lines
// as it wraps to, where it wraps); true for every other control.
bool TextFits(HWND control);

// The first of the dialog's texts that is not in the running language, or
// an empty text.
std::wstring TextNotInLanguage(HWND dialog, bool russian);

// Every visible control of the dialog lies inside its client area, shows its
// whole text (on as many lines as it wraps to, where it wraps) and no two
// visible controls overlap, group boxes apart (they hold others); the first
// offender, or an empty text.
std::wstring LayoutFault(HWND dialog);

}  // namespace harness
