#include "printing/queryscript.h"

#include "foundation/journal.h"

#include <cwchar>

namespace {

const wchar_t* const kKeywords[] = {L"input", L"output", L"paper", L"pages", L"query"};
int gLastKeywords = 0;

// The scanner's settings, set for every run.
struct ScanSettings {
    int values[6];
};

void Journal(const wchar_t* format, const wchar_t* fileName)
{
    const DWORD code = GetLastError();
    wchar_t text[300];
    _snwprintf(text, 300, format, fileName);
    text[299] = 0;
    LogError(code, text);
}

wchar_t Lower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Frees a VirtualAlloc block.
struct PageBuffer {
    void* p = nullptr;
    ~PageBuffer() { Free(); }
    bool Free()
    {
        const bool ok = !p || VirtualFree(p, 0, MEM_RELEASE);
        p = nullptr;
        return ok;
    }
};

}  // namespace

int MatchKeyword(const wchar_t* text, int length, const wchar_t* keyword, int keywordLength)
{
    for (int i = 0; i < keywordLength; ++i) {
        if (i >= length)
            return -1;
        const wchar_t a = Lower(text[i]), b = Lower(keyword[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (keywordLength >= length)
        return -1;
    const wchar_t next = text[keywordLength];
    if (next == L' ' || next == L'\n' || next == L'{')
        return 0;
    return next < L' ' ? -1 : 1;
}

int SkipBlank(const wchar_t* text, int length)
{
    for (int i = 0; i < length; ++i)
        if (text[i] > L' ')
            return i;
    return -1;
}

int FindBlockEnd(const wchar_t* text, int length)
{
    const int start = SkipBlank(text, length);
    if (start < 0 || text[start] != L'{')
        return -1;
    int depth = 0;
    for (int i = start; i < length; ++i) {
        if (text[i] == L'{')
            ++depth;
        else if (text[i] == L'}' && --depth == 0)
            return i;
    }
    return -1;
}

int ParseInt(const wchar_t* text, int length, int* position, bool* found)
{
    *found = false;
    int i = *position;
    while (i < length && text[i] <= L' ')
        ++i;
    bool negative = false;
    if (i < length && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    long long value = 0;
    const int digits = i;
    while (i < length && text[i] >= L'0' && text[i] <= L'9' && value <= 0x7FFFFFFF)
        value = value * 10 + (text[i++] - L'0');
    if (i == digits)
        return 0;
    *found = true;
    *position = i;
    return static_cast<int>(negative ? -value : value);
}

bool ParseBlockInt(int* result, const wchar_t* text, int length)
{
    const int start = SkipBlank(text, length);
    if (start < 0 || text[start] != L'{')
        return false;
    int position = start + 1;
    bool found = false;
    const int value = ParseInt(text, length, &position, &found);
    if (found)
        *result = value;
    return found;
}

bool RunQueryText(const wchar_t* text, int length)
{
    HANDLE heap = HeapCreate(HEAP_GENERATE_EXCEPTIONS, 1024, 131072);
    if (!heap) {
        LogError(GetLastError(), L"Execute Query (heap create)");
        return false;
    }
    ScanSettings settings = {{20000, 200000, 15000, 20000, 0, 0}};
    (void)settings;
    gLastKeywords = 0;
    int at = 0;
    for (;;) {
        while (at < length && (text[at] == L' ' || text[at] == L'\r' || text[at] == L'\n'))
            ++at;
        if (at >= length)
            break;
        bool matched = false;
        for (const wchar_t* keyword : kKeywords) {
            const int n = static_cast<int>(wcslen(keyword));
            if (MatchKeyword(text + at, length - at, keyword, n) == 0) {
                at += n;
                ++gLastKeywords;
                matched = true;
                while (at < length && (text[at] == L' ' || text[at] == L'\r' || text[at] == L'\n'))
                    ++at;
            }
        }
        if (!matched)
            break;
    }
    HeapDestroy(heap);
    return true;
}

int LastQueryKeywordCount()
{
    return gLastKeywords;
}

bool RunQueryFile(const wchar_t* fileName)
{
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Journal(L"Error open file query \"%ls\"", fileName);
        return false;
    }
    struct Closer {
        HANDLE h;
        ~Closer() { CloseHandle(h); }
    } closer{file};
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.HighPart != 0) {
        if (size.HighPart != 0)
            SetLastError(ERROR_FILE_TOO_LARGE);
        Journal(L"Error get size file query \"%ls\"", fileName);
        return false;
    }
    if (size.LowPart == 0)
        return true;
    PageBuffer raw;
    raw.p = VirtualAlloc(nullptr, size.LowPart + sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!raw.p) {
        Journal(L"Error alloc memory for read query \"%ls\"", fileName);
        return false;
    }
    DWORD read = 0;
    if (!ReadFile(file, raw.p, size.LowPart, &read, nullptr) || read != size.LowPart) {
        Journal(L"Error read file query \"%ls\"", fileName);
        return false;
    }
    const char* bytes = static_cast<const char*>(raw.p);
    PageBuffer converted;
    const wchar_t* text;
    int length;
    if (bytes[0] == 'a' || bytes[0] == 'A') {
        const int ansiLength = static_cast<int>(size.LowPart) - 1;
        length = ansiLength > 0 ? MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes + 1, ansiLength, nullptr, 0) : 0;
        if (ansiLength > 0 && length == 0) {
            Journal(L"Calc size query \"%ls\"", fileName);
            return false;
        }
        converted.p = VirtualAlloc(nullptr, (length + 1) * sizeof(wchar_t), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!converted.p) {
            Journal(L"Alloc mem for translate query \"%ls\"", fileName);
            return false;
        }
        wchar_t* out = static_cast<wchar_t*>(converted.p);
        if (length > 0 && !MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes + 1, ansiLength, out, length)) {
            Journal(L"Error translate to U query %ls", fileName);
            return false;
        }
        out[length] = 0;
        text = out;
    } else {
        text = static_cast<const wchar_t*>(raw.p);
        length = static_cast<int>(size.LowPart / sizeof(wchar_t));
        // A byte-order mark is not part of the text.
        if (length > 0 && text[0] == 0xFEFF) {
            ++text;
            --length;
        }
    }
    const bool ran = RunQueryText(text, length);
    if (!converted.Free() || !raw.Free()) {
        Journal(L"Error free memory in query \"%ls\"", fileName);
        return false;
    }
    return ran;
}
