// A general tokenizer for whole UTF-16 texts: numbers, names, strings,
// punctuation and operators, with line counting and C-style comments.
//
// Every token is kept in text order as {kind, index}; the index points into
// the array of its kind. Names and operators point into the scanned text,
// which must outlive the scanner; strings are copied (adjacent quoted strings
// separated only by blanks and line ends are joined into one token).
// A scanner is used by one thread at a time.
#pragma once

#include <windows.h>

#include "foundation/dstring.h"

enum ScanKind : int {
    kScanNumber = 1,      // unsigned 32-bit value
    kScanName = 2,        // a letter followed by letters and digits
    kScanString = 3,      // the text between double quotes
    kScanPunct = 4,       // one of , ; { }
    kScanOperator = 5,    // one or two characters
};

struct ScanToken {
    int kind;    // ScanKind
    int index;   // into the array of that kind
};

struct ScanSpan {
    const wchar_t* text;   // into the scanned text
    int length;
};

// A growable array of the scanner: starts at 128 elements on first use and
// grows by 128, copying its contents.
template <class T> struct ScanArray {
    T* items = nullptr;
    int count = 0;
    int capacity = 0;
};

class TextScanner {
public:
    TextScanner();
    ~TextScanner();
    TextScanner(const TextScanner&) = delete;
    TextScanner& operator=(const TextScanner&) = delete;

    // Tokenizes the whole text (any earlier result is dropped). True at the
    // end of the text; false, after a message box, at the first character
    // that no rule accepts, in an unterminated comment or string, or when
    // memory runs out.
    bool Scan(const wchar_t* text, int length);

    int TokenCount() const { return tokens_.count; }
    ScanToken Token(int i) const { return tokens_.items[i]; }

    // The value of a token, by the index of the token in its kind's array.
    unsigned Number(int index) const { return numbers_.items[index]; }
    ScanSpan Name(int index) const { return names_.items[index]; }
    const DString& String(int index) const { return strings_.items[index]; }
    wchar_t Punct(int index) const { return punct_.items[index]; }
    ScanSpan Operator(int index) const { return operators_.items[index]; }

    int Line() const { return line_; }   // line ends passed, from 0

private:
    void Reset();
    bool AddToken(int kind, int index);
    bool ScanBlanks(int& pos);
    int ScanComment(int& pos);    // 1 taken, 0 not a comment, -1 unterminated
    bool ScanString(int& pos);
    bool SkipLineEnd(int& pos);
    void ReportBadCharacter(int pos);

    ScanArray<ScanToken> tokens_;    // every token, in text order
    ScanArray<unsigned> numbers_;    // kind 1
    ScanArray<ScanSpan> names_;      // kind 2
    ScanArray<DString> strings_;     // kind 3
    ScanArray<wchar_t> punct_;       // kind 4
    ScanArray<ScanSpan> operators_;  // kind 5
    int line_;                       // line counter, from 0
    int length_;                     // characters of the text being scanned
    const wchar_t* text_;            // the text being scanned
};
