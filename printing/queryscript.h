// The report query-script reader: text files whose top level is made of the
// keywords "input", "output", "paper", "pages" and "query", each followed by
// a block in braces. A file is either ANSI text marked by a first byte 'a' or
// 'A' (the rest is in the system's ANSI code page) or UTF-16 text. The scanner
// steps over the keywords; the blocks' meaning is not defined and no command
// of the program runs a script.
#pragma once

#include <windows.h>

// Reads and runs one script; failures go to the journal (with GetLastError).
// False when the file could not be read or run.
bool RunQueryFile(const wchar_t* fileName);
// Runs the scanner on UTF-16 text inside a private heap; false when the
// heap cannot be created.
bool RunQueryText(const wchar_t* text, int length);
// How many keywords the last RunQueryText stepped over (for tests).
int LastQueryKeywordCount();

// ---- scanning functions ----------------------------------------------------------

// 0 when the text starts with the keyword (ignoring case) followed by a
// space, a line feed or "{"; otherwise -1 or 1 as an ordering of the two.
int MatchKeyword(const wchar_t* text, int length, const wchar_t* keyword, int keywordLength);
// Index of the first character above a space; -1 when none.
int SkipBlank(const wchar_t* text, int length);
// After blanks an opening "{" must follow: the index of its matching "}",
// counting nesting; -1 otherwise.
int FindBlockEnd(const wchar_t* text, int length);
// A signed decimal integer ("+" or "-" allowed) at *position after blanks;
// *position moves past it; `found` tells whether there was one.
int ParseInt(const wchar_t* text, int length, int* position, bool* found);
// "{", blanks, then an integer into *result; true when found.
bool ParseBlockInt(int* result, const wchar_t* text, int length);
