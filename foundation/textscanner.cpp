// The tokenizer.
//
// At each position the rules are tried in a fixed order and the first that
// accepts consumes its characters: line ends and blanks, comments,
// punctuation, numbers, operators, names, strings. A character that no rule
// accepts ends the scan with a message that names it, its code and the line.
//
// Line ends are LF, CR LF or a CR alone, each one line, wherever they stand:
// between tokens, at the end of a "//" comment, inside "/* */" comments and
// inside strings, so that the line in a message is the line of the text.
#include "foundation/textscanner.h"

#include "foundation/dstring.h"
#include "foundation/prompt.h"

#include <new>

namespace {

const int kArrayStep = 128;

template <class T> bool Push(ScanArray<T>& array, const T& item, int* index)
{
    if (array.count == array.capacity) {
        int capacity = array.capacity + kArrayStep;
        T* items = new (std::nothrow) T[capacity];
        if (!items)
            return false;
        for (int i = 0; i < array.count; ++i)
            items[i] = array.items[i];
        delete[] array.items;
        array.items = items;
        array.capacity = capacity;
    }
    array.items[array.count] = item;
    *index = array.count++;
    return true;
}

template <class T> void FreeArray(ScanArray<T>& array)
{
    delete[] array.items;
    array.items = nullptr;
    array.count = 0;
    array.capacity = 0;
}

bool IsLineEnd(wchar_t ch)
{
    return ch == L'\n' || ch == L'\r';
}

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t' || ch == L'\r';
}

bool IsPunct(wchar_t ch)
{
    return ch == L',' || ch == L';' || ch == L'{' || ch == L'}';
}

bool IsOperator(wchar_t ch)
{
    static const wchar_t kOperators[] = L"!%&()*+-./:<=>?[\\]^|~@";
    for (const wchar_t* p = kOperators; *p; ++p)
        if (*p == ch)
            return true;
    return false;
}

// The characters that make an operator two characters long when they follow it.
bool IsOperatorSecond(wchar_t ch)
{
    return ch == L'&' || ch == L'+' || ch == L'-' || ch == L'=' || ch == L'|';
}

bool IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

const wchar_t kNoClosingQuote[] = L"Нет закрывающей кавычки";
const wchar_t kBadCharacterFormat[] =
    L"Ошибка сканирования строки.\nСимвол - %1!c!\nКод символа - %2!u!\nНомер строки - %3!u!";

} // namespace

TextScanner::TextScanner() : line_(0), length_(0), text_(nullptr) {}

TextScanner::~TextScanner()
{
    Reset();
}

void TextScanner::Reset()
{
    FreeArray(tokens_);
    FreeArray(numbers_);
    FreeArray(names_);
    FreeArray(strings_);
    FreeArray(punct_);
    FreeArray(operators_);
    line_ = 0;
    length_ = 0;
    text_ = nullptr;
}

bool TextScanner::AddToken(int kind, int index)
{
    ScanToken token = {kind, index};
    int at;
    return Push(tokens_, token, &at);
}

// One line end at `pos` (CR LF counts once); false when there is none.
bool TextScanner::SkipLineEnd(int& pos)
{
    if (pos >= length_ || !IsLineEnd(text_[pos]))
        return false;
    if (text_[pos] == L'\r' && pos + 1 < length_ && text_[pos + 1] == L'\n')
        ++pos;
    ++pos;
    ++line_;
    return true;
}

// Rule 1: a run of line ends, then a run of spaces, tabs and CRs.
bool TextScanner::ScanBlanks(int& pos)
{
    int start = pos;
    while (SkipLineEnd(pos)) {
    }
    while (pos < length_ && IsBlank(text_[pos]))
        ++pos;
    return pos > start;
}

// Rule 2: "//" up to and including the line end (or to the end of the text),
// "/*" up to and including the next "*/". Returns 1 when a comment was taken,
// 0 when there is none at `pos`, -1 for a "/*" that is never closed.
int TextScanner::ScanComment(int& pos)
{
    if (text_[pos] != L'/' || pos + 1 >= length_)
        return 0;
    int p = pos + 2;
    if (text_[pos + 1] == L'/') {
        while (p < length_ && !IsLineEnd(text_[p]))
            ++p;
        SkipLineEnd(p);
        pos = p;
        return 1;
    }
    if (text_[pos + 1] != L'*')
        return 0;
    int line = line_;
    while (p + 1 < length_) {
        if (text_[p] == L'*' && text_[p + 1] == L'/') {
            pos = p + 2;
            return 1;
        }
        if (!SkipLineEnd(p))
            ++p;
    }
    line_ = line;   // the message names the line where the comment opens
    return -1;
}

// Rule 7: a quoted string, joined with every quoted string that follows after
// nothing but blanks and line ends. An empty result makes no token.
bool TextScanner::ScanString(int& pos)
{
    DString text;
    int expected = 0;
    int p = pos;
    for (;;) {
        int begin = ++p;   // past the opening quote
        while (p < length_ && text_[p] != L'"') {
            if (!SkipLineEnd(p))
                ++p;
        }
        if (p >= length_) {
            ShowPrompt(nullptr, kNoClosingQuote, nullptr, MB_OK | MB_ICONERROR);
            return false;
        }
        if (p > begin) {
            text.AppendN(text_ + begin, p - begin);
            expected += p - begin;
            if (text.Length() != expected)
                return false;   // out of memory
        }
        ++p;   // past the closing quote

        int next = p;
        int savedLine = line_;
        while (next < length_ && (IsBlank(text_[next]) || IsLineEnd(text_[next]))) {
            if (!SkipLineEnd(next))
                ++next;
        }
        if (next < length_ && text_[next] == L'"') {
            p = next;
            continue;
        }
        line_ = savedLine;   // those blanks are rule 1's to count
        break;
    }
    pos = p;
    if (expected == 0)
        return true;
    int index;
    return Push(strings_, text, &index) && AddToken(kScanString, index);
}

void TextScanner::ReportBadCharacter(int pos)
{
    wchar_t ch = text_[pos];
    DWORD_PTR inserts[3] = {(DWORD_PTR)ch, (DWORD_PTR)ch, (DWORD_PTR)(unsigned)line_};
    wchar_t message[256];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, kBadCharacterFormat, 0, 0,
                             message, 256, reinterpret_cast<va_list*>(inserts));
    ShowPrompt(nullptr, n ? message : kBadCharacterFormat, nullptr, MB_OK | MB_ICONERROR);
}

bool TextScanner::Scan(const wchar_t* text, int length)
{
    Reset();
    text_ = text;
    length_ = text ? length : 0;
    int pos = 0;
    while (pos < length_) {
        if (ScanBlanks(pos))
            continue;
        int comment = ScanComment(pos);
        if (comment > 0)
            continue;
        if (comment < 0) {
            ReportBadCharacter(pos);
            return false;
        }

        wchar_t ch = text_[pos];
        int index;
        bool stored;
        if (IsPunct(ch)) {
            stored = Push(punct_, ch, &index) && AddToken(kScanPunct, index);
            ++pos;
        } else if (IsDigit(ch)) {
            unsigned value = 0;   // wraps beyond 32 bits
            while (pos < length_ && IsDigit(text_[pos]))
                value = value * 10u + (unsigned)(text_[pos++] - L'0');
            stored = Push(numbers_, value, &index) && AddToken(kScanNumber, index);
        } else if (IsOperator(ch)) {
            int n = pos + 1 < length_ && IsOperatorSecond(text_[pos + 1]) ? 2 : 1;
            ScanSpan span = {text_ + pos, n};
            stored = Push(operators_, span, &index) && AddToken(kScanOperator, index);
            pos += n;
        } else if (ch != 0 && IsCharAlphaW(ch)) {
            int start = pos++;
            while (pos < length_ && text_[pos] != 0 && IsCharAlphaNumericW(text_[pos]))
                ++pos;
            ScanSpan span = {text_ + start, pos - start};
            stored = Push(names_, span, &index) && AddToken(kScanName, index);
        } else if (ch == L'"') {
            if (!ScanString(pos))
                return false;
            stored = true;
        } else {
            ReportBadCharacter(pos);
            return false;
        }
        if (!stored)
            return false;
    }
    return true;
}
