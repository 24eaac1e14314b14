// Small number, text and resource functions that the whole program shares.
// Numbers are decimal UTF-16 text; sizes are counts of characters with the
// terminator included.
#pragma once

#include <windows.h>

#include <string>

// ---- Numbers ----
// An optional "-", then an optional "+", then one or more digits and the end
// of the text ("-+12" is -12). Anything else (an empty or null text
// included) is invalid: the result is 0 and *ok false. Values beyond 32 bits
// wrap. `ok` may be null.
int ParseInt(const wchar_t* text, bool* ok);

// One or more digits and the end of the text; otherwise invalid (result 0).
// Values beyond 32 bits wrap. `ok` may be null.
unsigned ParseUInt(const wchar_t* text, bool* ok);

// The decimal digits, terminated; returns the characters written. The
// destination holds at least 11 (12 for IntToText) characters.
int UIntToText(wchar_t* dest, unsigned value);
int IntToText(wchar_t* dest, int value);   // "-" first for negative values

// The same within `size` characters: at most size - 1 of the leading ones,
// terminated; returns the characters written (0 when size < 1).
int UIntToTextN(wchar_t* dest, unsigned value, int size);
int IntToTextN(wchar_t* dest, int value, int size);

// ---- Texts ----
// Copies at most size - 1 characters and terminates; returns the characters
// copied. Nothing is written when size < 1.
int StrCopyN(wchar_t* dest, const wchar_t* source, int size);

// Copies the whole text with its terminator; returns its length. A null
// text counts as empty.
int StrCopy(wchar_t* dest, const wchar_t* source);

// Copies `count` texts (const wchar_t*, a null one counts as empty) one after
// the other into `dest` of `size` characters, cutting at size - 1, and
// terminates; returns the length written.
int StrConcatN(wchar_t* dest, int size, int count, ...);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hexadecimal: 38
// characters and the terminator (the destination holds 39). Returns 38.
const int kGuidTextLength = 38;
int GuidToText(const GUID& guid, wchar_t* dest);

// The first occurrence of the character, null when there is none (or no text).
const wchar_t* StrChr(const wchar_t* text, wchar_t ch);
wchar_t* StrChr(wchar_t* text, wchar_t ch);

// Copies the text into `dest` of `destSize` characters with every "'"
// doubled, for SQL literals, and terminates. A text that does not fit is cut
// before the character that would not fit; a doubled quote is never cut in
// half. Returns dest.
wchar_t* EscapeQuotes(const wchar_t* source, wchar_t* dest, int destSize);

// ---- Disks ----
// A volume serial number as Windows shows it: "1234-ABCD".
std::wstring VolumeSerialText(DWORD serial);
// An archive disk's name followed by its serial, "MO-7 (1234-ABCD)": a disk is
// known by its serial, and two disks may carry one label, so a prompt for a
// disk names both.
std::wstring DiskNameWithSerial(const wchar_t* name, DWORD serial);

// ---- Resources and windows ----
// The icon resource of the program's module, square at the icon size
// (IconSize); null when there is none.
HICON LoadIconRes(UINT id);

// Read and replace a window's procedure, for subclassing.
WNDPROC GetWindowProc(HWND window);
WNDPROC SetWindowProc(HWND window, WNDPROC procedure);   // returns the old one

// A string-table text of the program's module (hInstance) by its id
// (resources/strings.h); empty when the string is missing. Every text of the
// table fits: they are shorter than 512 characters.
std::wstring LoadText(UINT id);

// A string-table string (at most 255 characters) in a new process-heap buffer
// of exactly its length plus the terminator; null when the string is missing
// or empty. `length` (may be null) receives its length. Freed by
// FreeStringAllocA / FreeStringAllocW, which ignore null.
char* LoadStringAllocA(HINSTANCE module, UINT id, int* length = nullptr);
wchar_t* LoadStringAllocW(HINSTANCE module, UINT id, int* length = nullptr);
void FreeStringAllocA(char* text);
void FreeStringAllocW(wchar_t* text);
