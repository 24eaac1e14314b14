#include "forms/desclexer.h"

#include "foundation/journal.h"
#include "foundation/strbuf.h"
#include "resources/strings.h"

namespace {

bool IsBlank(wchar_t c) { return c == L'\t' || c == L'\r' || c == L' '; }

}  // namespace

void ThrowDescFault(int code)
{
    throw code;
}

bool IsIdentChar(wchar_t c) { return c == L'_' || IsCharAlphaNumericW(c); }

int KeywordEquals(const wchar_t* ident, int identLength, const wchar_t* keyword, int keywordLength)
{
    const int n = identLength < keywordLength ? identLength : keywordLength;
    for (int i = 0; i < n; ++i) {
        // CharLowerW lowers a single character passed in the low word.
        const wchar_t lowered = static_cast<wchar_t>(
            reinterpret_cast<UINT_PTR>(CharLowerW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(ident[i])))));
        if (lowered != keyword[i])
            return lowered < keyword[i] ? -1 : 1;
    }
    return identLength < keywordLength ? -1 : 0;
}

int FindKeyword(const wchar_t* ident, int identLength, const DescKeyword* table, int rows)
{
    for (int i = 0; i < rows; ++i) {
        if (KeywordEquals(ident, identLength, table[i].text, static_cast<int>(table[i].length)) == 0)
            return static_cast<int>(table[i].code);
    }
    return -1;
}

void DescLexer::Advance()
{
    if (s.pos + 1 > s.length)
        ThrowDescFault(kDescEndOfText);
    ++s.pos;
}

void DescLexer::OpenBlock()
{
    if (Peek() != L'{')
        ThrowDescFault(kDescSyntax);
    Advance();
}

bool DescLexer::CloseBlock()
{
    SkipBlanks();
    if (Peek() != L'}')
        return false;
    Advance();
    return true;
}

void DescLexer::NextChar()
{
    if (s.pos + 1 >= s.length)
        ThrowDescFault(kDescEndOfText);
    ++s.pos;
    SkipBlanks();
}

void DescLexer::SkipBlanks()
{
    for (;;) {
        if (s.pos >= s.length)
            ThrowDescFault(kDescEndOfText);
        const wchar_t c = s.data[s.pos];
        if (IsBlank(c)) {
            ++s.pos;
        } else if (c == L'\n') {
            ++s.line;
            s.lineStart = s.pos;
            ++s.pos;
        } else if (c == L'/' && s.pos + 1 < s.length && s.data[s.pos + 1] == L'/') {
            s.pos += 2;
            SkipLineComment();
        } else if (c == L'/' && s.pos + 1 < s.length && s.data[s.pos + 1] == L'*') {
            s.pos += 2;
            SkipBlockComment();
        } else {
            return;
        }
    }
}

int DescLexer::SkipBlanksAt()
{
    for (;;) {
        if (s.pos >= s.length)
            return 0;
        const wchar_t c = s.data[s.pos];
        if (IsBlank(c)) {
            ++s.pos;
        } else if (c == L'\n') {
            ++s.line;
            ++s.pos;
            s.lineStart = s.pos;
        } else if (c == L'/' && s.pos + 1 < s.length && s.data[s.pos + 1] == L'/') {
            s.pos += 2;
            SkipLineComment();
        } else if (c == L'/' && s.pos + 1 < s.length && s.data[s.pos + 1] == L'*') {
            s.pos += 2;
            SkipBlockComment();
        } else {
            return 1;
        }
    }
}

void DescLexer::SkipLineComment()
{
    while (s.pos < s.length) {
        if (s.data[s.pos++] == L'\n') {
            ++s.line;
            s.lineStart = s.pos;
            return;
        }
    }
}

void DescLexer::SkipBlockComment()
{
    const CommentExcept start = {static_cast<DWORD>(s.line), static_cast<DWORD>(s.pos)};
    int depth = 0;
    while (s.pos < s.length) {
        const wchar_t c = s.data[s.pos];
        if ((c == L'/' || c == L'*') && s.pos + 1 >= s.length)
            break;   // a last "/" or "*" closes nothing
        if (c == L'/' && s.data[s.pos + 1] == L'*') {
            ++depth;
            s.pos += 2;
        } else if (c == L'*' && s.data[s.pos + 1] == L'/') {
            s.pos += 2;
            if (--depth < 0)
                return;
        } else {
            if (c == L'\n') {
                ++s.line;
                s.lineStart = s.pos;
            }
            ++s.pos;
        }
    }
    throw start;
}

int DescLexer::ReadString(wchar_t* buffer, int capacity)
{
    if (s.pos >= s.length || s.data[s.pos] != L'"')
        ThrowDescFault(kDescEndOfText);
    int stored = 0;
    for (;;) {
        if (++s.pos >= s.length)
            ThrowDescFault(kDescEndOfText);
        wchar_t c = s.data[s.pos];
        if (c == L'"') {
            ++s.pos;
            return stored;
        }
        if (c == L'\r')
            continue;
        if (c == L'\n') {
            ++s.line;
            s.lineStart = s.pos;
            continue;
        }
        if (c == L'\\' && s.pos + 1 < s.length) {
            const wchar_t next = s.data[s.pos + 1];
            if (next == L'"')
                c = L'"';
            else if (next == L'n')
                c = L'\n';
            else if (next == L'\\')
                c = L'\\';
            else
                ThrowDescFault(kDescEndOfText);
            ++s.pos;
        }
        if (stored >= capacity)
            ThrowDescFault(kDescEndOfText);
        buffer[stored++] = c;
    }
}

int DescLexer::StringLength() const
{
    LONG pos = s.pos;
    if (pos >= s.length || s.data[pos] != L'"')
        ThrowDescFault(kDescEndOfText);
    int count = 0;
    for (;;) {
        if (++pos >= s.length)
            ThrowDescFault(kDescEndOfText);
        const wchar_t c = s.data[pos];
        if (c == L'"')
            return count;
        if (c == L'\r' || c == L'\n')
            continue;
        if (c == L'\\' && pos + 1 < s.length) {
            const wchar_t next = s.data[pos + 1];
            if (next != L'"' && next != L'n' && next != L'\\')
                ThrowDescFault(kDescEndOfText);
            ++pos;
        }
        ++count;
    }
}

int DescLexer::ReadAssignedString(wchar_t* buffer, int capacity)
{
    SkipBlanks();
    if (s.data[s.pos] != L'=')
        ThrowDescFault(kDescEndOfText);
    Advance();
    SkipBlanks();
    return ReadString(buffer, capacity);
}

int DescLexer::IdentLength() const
{
    LONG pos = s.pos;
    while (pos < s.length && IsIdentChar(s.data[pos]))
        ++pos;
    // An identifier may end the text (a file's last word); only nothing at
    // all at the end is the end of the text.
    if (pos == s.pos && pos >= s.length)
        ThrowDescFault(kDescEndOfText);
    return pos - s.pos;
}

int DescLexer::Ident() const
{
    const int length = IdentLength();
    if (length == 0)
        ThrowDescFault(kDescMissing);
    return length;
}

DWORD DescLexer::ReadUInt()
{
    if (s.pos >= s.length)
        ThrowDescFault(kDescEndOfText);
    wchar_t c = s.data[s.pos];
    if (c < L'0' || c > L'9')
        ThrowDescFault(kDescMissing);
    DWORD value = 0;
    do {
        const DWORD digit = static_cast<DWORD>(c - L'0');
        // A number too large for 32 bits is a fault, not a wrapped value.
        if (value > (0xFFFFFFFFu - digit) / 10)
            ThrowDescFault(kDescSyntax);
        value = value * 10 + digit;
        ++s.pos;
    } while (s.pos < s.length && (c = s.data[s.pos]) >= L'0' && c <= L'9');
    return value;
}

int DescLexer::ReadInt()
{
    if (s.pos >= s.length)
        ThrowDescFault(kDescEndOfText);
    bool negative = false;
    const wchar_t c = s.data[s.pos];
    if (c == L'-' || c == L'+') {
        negative = c == L'-';
        ++s.pos;
    }
    const DWORD magnitude = ReadUInt();
    if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu))
        ThrowDescFault(kDescSyntax);
    return negative ? static_cast<int>(0u - magnitude) : static_cast<int>(magnitude);
}

DWORD DescLexer::ReadAssignedUInt()
{
    if (s.pos >= s.length || s.data[s.pos] != L'=')
        ThrowDescFault(kDescEndOfText);
    Advance();
    SkipBlanks();
    return ReadUInt();
}

int DescLexer::ReadAssignedInt()
{
    if (s.pos >= s.length || s.data[s.pos] != L'=')
        ThrowDescFault(kDescEndOfText);
    Advance();
    SkipBlanks();
    return ReadInt();
}

int DescLexer::MatchText(const DescKeyword* table, int rows) const
{
    const LONG remaining = Remaining();
    for (int i = 0; i < rows; ++i) {
        const LONG length = static_cast<LONG>(table[i].length);
        if (KeywordEquals(s.data + s.pos, remaining, table[i].text, length) != 0)
            continue;
        if (length >= remaining || !IsCharAlphaNumericW(s.data[s.pos + length]))
            return i;
    }
    return -1;
}

int DescLexer::MatchIdent(const DescKeyword* table, int rows, int* length) const
{
    *length = Ident();
    return FindKeyword(s.data + s.pos, *length, table, rows);
}

// ---------------------------------------------------------------------------
// Fault records

namespace {

// Formats a string-table text with the description's name and up to two
// numbers and writes it to the journal.
void LogFormatted(DWORD code, UINT id, const wchar_t* name, int a, int b)
{
    wchar_t pattern[256];
    wchar_t text[512];
    DStrBuf pat(pattern, 256);
    pat.LoadString(id);
    DStrBuf out(text, 512);
    out.Format(pattern, name, a, b);
    LogError(code, text);
}

}  // namespace

void LogDescComment(const wchar_t* name, const CommentExcept& fault)
{
    LogFormatted(fault.line, IDS_FORM_COMMENT_NOT_CLOSED, name, static_cast<int>(fault.line),
                 static_cast<int>(fault.position));
}

void LogDescFault(const wchar_t* name, const DTextScan& scan, int code)
{
    switch (code) {
    case kDescReported:
        return;
    case kDescEndOfText:
        LogFormatted(1, IDS_FORM_END_OF_FILE, name, 0, 0);
        return;
    case kDescSyntax:
        LogFormatted(2, IDS_FORM_SYNTAX_ERROR, name, scan.line, scan.pos - scan.lineStart);
        return;
    case kDescNoMemory:
        LogFormatted(3, IDS_FORM_OUT_OF_MEMORY, name, 0, 0);
        return;
    case kDescNotImplemented:
        LogFormatted(4, IDS_FORM_UNREALIZED_FUNCTION, name, 0, 0);
        return;
    default:
        LogFormatted(static_cast<DWORD>(code), IDS_FORM_UNKNOWN_EXCEPTION, name, 0, 0);
        return;
    }
}

void LogDescUnknown(const wchar_t* name) { LogFormatted(0, IDS_FORM_UNKNOWN_EXCEPTION, name, 0, 0); }

void ThrowDescText(const DescLexer& lex, UINT id)
{
    JournalWriteId(static_cast<DWORD>(lex.Line()), id);
    ThrowDescFault(kDescReported);
}

void ThrowDescFileText(const wchar_t* name, UINT id)
{
    LogFormatted(0, id, name, 0, 0);
    throw static_cast<int>(kDescReported);
}
