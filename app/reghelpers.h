// Typed registry access on an open key, the 92-byte LOGFONTW registry format
// and the recursive deletion of a key.
//
// Every function takes a key the caller opened and returns the Win32 code
// (0 on success); none throws. String reads always leave a terminated text in
// the caller's buffer, whatever was stored (a REG_SZ without its terminator,
// an odd number of bytes): on failure an empty one.
#pragma once

#include <windows.h>

// A REG_DWORD of 4 bytes into *out (untouched on failure); 87 for any other
// type or size.
LONG RegGetDword(HKEY key, const wchar_t* name, DWORD* out);
LONG RegSetDword(HKEY key, const wchar_t* name, DWORD value);

// A REG_SZ (or REG_EXPAND_SZ, unexpanded) into `buffer`. *size: in, the
// buffer's size in bytes; out, the text's length in characters without the
// terminator. 87 for another type; 234 (ERROR_MORE_DATA) when the text and
// its terminator do not fit. On failure the buffer holds an empty text and
// *size is 0.
LONG RegGetString(HKEY key, const wchar_t* name, wchar_t* buffer, DWORD* size);
// The same; 232 (ERROR_NO_DATA) when the value is empty.
LONG RegGetStringNonEmpty(HKEY key, const wchar_t* name, wchar_t* buffer, DWORD* size);
// A REG_SZ with its terminator; a null text stores an empty one.
LONG RegSetString(HKEY key, const wchar_t* name, const wchar_t* text);
// A REG_SZ of the first `length` characters, terminated.
LONG RegSetStringN(HKEY key, const wchar_t* name, const wchar_t* text, int length);

// Deletes `subKey` of `key` with every key below it, deepest first. Stops at
// the first deletion that fails; RegDeleteKeyW's code for `subKey` itself.
LONG RegDeleteKeyTree(HKEY key, const wchar_t* subKey);

// The 92-byte REG_BINARY LOGFONTW: five 32-bit signed fields (height, width,
// escapement, orientation, weight), eight bytes (italic, underline,
// strike-out, character set, output precision, clip precision, quality,
// pitch and family) and a face name of 32 UTF-16 characters. Reading is
// foundation/registry.h's RegReadLogFont; this writes it, field by field.
BOOL RegWriteLogFont(const LOGFONTW& font, HKEY key, const wchar_t* name);
