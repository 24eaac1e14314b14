// DescBase: what every description read from a ".cfg" file has in common,
// and the helpers that the description parsers share.
//
// A description's name is its file name relative to the description folder
// (CfgFolder), for example "main.cfg"; the file is that folder followed
// by the name. Files are UTF-16 text read whole; the lexer moves over them.
//
// Between sections the parsers use DescLexer::SkipBlanksAt, so the end of the
// text there ends the file normally. Section words and the keys of the
// window, reference, table and page blocks are read by identifier: the word
// is moved over and blanks are skipped (the end of the text there is a
// fault), and only then is a word that matches nothing a syntax error.
#pragma once

#include "forms/desclexer.h"
#include "foundation/files.h"
#include "foundation/strbuf.h"

#include <windows.h>

// The longest description name, in characters.
const int kDescNameChars = 259;

class DescBase {
public:
    DescBase() {}
    DescBase(const DescBase&) = delete;
    DescBase& operator=(const DescBase&) = delete;

    virtual const wchar_t* GetName() const = 0;
    virtual int GetNameLength() const = 0;
    virtual ~DescBase() {}
    // Writes the description's user settings; 1 on success.
    virtual int SaveSettings() { return 1; }
    // Reads them; 1 on success.
    virtual int LoadSettings() { return 1; }
    // Reads and parses the named file into this description: 1 on success, 0
    // on failure (the fault is in the journal; nothing is shown here).
    virtual int Parse(const wchar_t* name) = 0;
};

// Reads the description file `name` from the description folder into
// `file` and points `scan` at its text. False when the name is too long or
// the file cannot be read.
bool ReadDescFile(const wchar_t* name, DFileBuf& file, DTextScan& scan);

// Loads an icon file of the description folder at the button icon size
// (IconSize), or at the icon's own default size; null when it cannot be
// loaded. `length` -1 means a terminated name.
HICON LoadDescIcon(const wchar_t* name, int length);
HICON LoadDescIconN(const wchar_t* name, int length);

// The window of a form: caption, icon, width and height.
struct DescWindow {
    DStrBuf caption;   // up to 256 characters
    HICON icon;        // or null
    int width;         // 0 when not given
    int height;

    DescWindow();
    ~DescWindow();
    // Clears the caption, destroys the icon, zeroes the size.
    void Clear();
};

// Reads a window section ("{" keys "}") into `window`, replacing all four
// values: the caption and icon are set only when given non-empty, width and
// height are 0 when not given.
void ParseWindowAttrs(DescLexer& lex, DescWindow& window);

// Reads a section word by identifier at the cursor, moves over it and, unless
// the code is `noValueCode`, skips blanks (1 at the end of the text) and
// throws 2 when the word matched nothing. Returns the code.
int ReadSectionWord(DescLexer& lex, const DescKeyword* table, int rows, int noValueCode = -1000);

template <class T, int N>
constexpr int DescRows(const T (&)[N])
{
    return N;
}
