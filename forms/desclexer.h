// DescLexer: the reading operations of the description language.
//
// Forms, lists, filters and reports are described in ".cfg" files. A parser
// reads one whole file into memory and moves a DTextScan cursor over it with
// the operations below; the lexer keeps no state of its own, never copies
// the text and never allocates, so the cursor is the whole state of a parse.
//
// Faults are thrown, never recovered from:
//   - a bare int, one of the DescFault codes, or -1 to -5 for faults that
//     have no message of their own (DescFault kMissing... below);
//   - CommentExcept for a block comment that is not closed.
// Each parser catches around its whole run (RunDescParse) and turns what it
// caught into one journal record naming the description.
//
// Line and column of a fault: the line is the cursor's count of line feeds
// passed (0 for the first line); the column is position minus line start.
// SkipBlanks, SkipBlockComment and ReadString set the line start to the line
// feed's own index, SkipBlanksAt and SkipLineComment to the index after it,
// so the first character of a line has column 1 or 0 depending on which
// operation passed its line feed.
#pragma once

#include "foundation/files.h"

#include <windows.h>

// Codes thrown by the reading operations and the parsers.
enum DescFault : int {
    kDescReported = 0,      // a journal record was already written where the fault was found
    kDescEndOfText = 1,
    kDescSyntax = 2,
    kDescNoMemory = 3,
    kDescNotImplemented = 4,
    kDescMissing = -1,      // a missing identifier or digit, or something that cannot be made
    kDescFlagTwice = -2,    // a type flag or button caption given twice
    kDescBadSize = -3,      // a text size without "(" ")", or a button icon given twice
    kDescTooltipTwice = -4,
    kDescStringTwice = -5,
};

// Throws a fault code: the one way the reading operations and the parsers
// give up (RunDescParse catches it).
[[noreturn]] void ThrowDescFault(int code);

// An unclosed block comment: where it began (the index just after its "/*").
struct CommentExcept {
    DWORD line;
    DWORD position;
};

// One keyword of a table: lowercase text, its length, its code.
struct DescKeyword {
    const wchar_t* text;
    DWORD length;
    DWORD code;
};

// Builds a table row from a literal.
#define DESC_KEYWORD(text, code) {text, (sizeof(text) / sizeof(wchar_t)) - 1, (code)}

// 0 when the identifier begins with the keyword (characters lowered with
// CharLowerW), otherwise -1 or 1 by the first differing character, or -1
// when the identifier is a shorter start of the keyword.
int KeywordEquals(const wchar_t* ident, int identLength, const wchar_t* keyword, int keywordLength);

// The code of the first row, in table order, that the identifier begins
// with; -1 when none does.
int FindKeyword(const wchar_t* ident, int identLength, const DescKeyword* table, int rows);

class DescLexer {
public:
    explicit DescLexer(DTextScan& scan) : s(scan) {}

    DTextScan& Scan() const { return s; }

    // The current character, 0 at the end of the text.
    wchar_t Peek() const { return s.pos < s.length ? s.data[s.pos] : 0; }
    LONG Remaining() const { return s.length - s.pos; }
    bool AtEnd() const { return s.pos >= s.length; }

    // One character on; moving onto the end itself is allowed, past it is 1.
    void Advance();
    // One character on (1 when that is the end), then SkipBlanks.
    void NextChar();
    // Skips blanks and comments; 1 at the end of the text.
    void SkipBlanks();
    // "{" at the cursor, stepped over; kDescSyntax without it.
    void OpenBlock();
    // Blanks, then true with the "}" stepped over when one follows.
    bool CloseBlock();
    // Skips blanks and comments; 1 when a character follows, 0 at the end.
    int SkipBlanksAt();
    // From inside a "//" comment to just past the next line feed.
    void SkipLineComment();
    // From just after "/*" to just after the matching "*/"; comments nest.
    void SkipBlockComment();

    // A quoted string into `buffer` (not terminated); the count stored. At
    // most `capacity` characters fit, one more is 1.
    int ReadString(wchar_t* buffer, int capacity);
    // What ReadString would store, without storing or moving.
    int StringLength() const;
    // Blanks, "=", blanks, a quoted string.
    int ReadAssignedString(wchar_t* buffer, int capacity);

    // The length of the identifier at the cursor (0 when none); nothing is
    // consumed.
    int IdentLength() const;
    // IdentLength; -1 when there is none.
    int Ident() const;

    // Decimal digits; -1 when there is no digit, 2 when the value does not
    // fit 32 bits.
    DWORD ReadUInt();
    // An optional sign directly followed by digits; 2 outside the i32 range.
    int ReadInt();
    // "=" at the cursor, blanks, then the number.
    DWORD ReadAssignedUInt();
    int ReadAssignedInt();

    // Matches a keyword by text: the text at the cursor begins with a row's
    // keyword and the character after it is not a letter or digit (or the
    // keyword ends the text). Returns the row's index (not its code), -1 when
    // none matches; nothing is consumed.
    int MatchText(const DescKeyword* table, int rows) const;
    // Matches by identifier: the code of the keyword the identifier at the
    // cursor begins with, or -1; `length` gets the whole identifier's
    // length (-1 is thrown when there is none); nothing is consumed.
    int MatchIdent(const DescKeyword* table, int rows, int* length) const;

    // Line and column of the cursor for a fault record.
    LONG Line() const { return s.line; }
    LONG Column() const { return s.pos - s.lineStart; }

private:
    DTextScan& s;
};

// True for the characters of an identifier: letters and digits by
// IsCharAlphaNumericW (Cyrillic included), and "_".
bool IsIdentChar(wchar_t c);

// Runs a parser body over the cursor and turns any fault it throws into one
// journal record (category 1) naming the description; returns 1 when the
// body returned normally, 0 after a fault. `name` is the description's name
// as requested (terminated). Faults of code 0 were recorded where they
// happened and add nothing.
template <class Body>
int RunDescParse(const wchar_t* name, const DTextScan& scan, Body&& body);

// The record of one caught fault (used by RunDescParse).
void LogDescComment(const wchar_t* name, const CommentExcept& fault);
void LogDescFault(const wchar_t* name, const DTextScan& scan, int code);
void LogDescUnknown(const wchar_t* name);

// Writes the string-table text `id` with the cursor's line as the code, then
// throws 0: a fault with a message of its own.
[[noreturn]] void ThrowDescText(const DescLexer& lex, UINT id);

// Writes the string-table text `id` with the file's name as "%1", then throws
// 0: a fault of the whole file (such as a form without fields).
[[noreturn]] void ThrowDescFileText(const wchar_t* name, UINT id);

template <class Body>
int RunDescParse(const wchar_t* name, const DTextScan& scan, Body&& body)
{
    try {
        body();
        return 1;
    } catch (const CommentExcept& fault) {
        LogDescComment(name, fault);
    } catch (int code) {
        LogDescFault(name, scan, code);
    } catch (...) {
        LogDescUnknown(name);
    }
    return 0;
}
