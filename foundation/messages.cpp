// Message boxes and the user-message exception. Every box ends in ShowPrompt.
#include "foundation/messages.h"

#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "foundation/strbuf.h"
#include "resources/strings.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

const UINT kSystemErrorBoxFlags = MB_TOPMOST | MB_TASKMODAL | MB_ICONINFORMATION;   // 0x42040

// Longest text a MsgExcept part may hold: its copy, terminator included, must
// have a byte size that fits in 32 bits.
const int kMaxPartLength = 0x3FFFFFFE;

wchar_t* HeapCopy(const wchar_t* source, int length)
{
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * sizeof(wchar_t)));
    if (copy) {
        memcpy(copy, source, length * sizeof(wchar_t));
        copy[length] = 0;
    }
    return copy;
}

void HeapRelease(void* p)
{
    if (p)
        HeapFree(GetProcessHeap(), 0, p);
}

// Loads string-table text `id` into the caller's array; an empty text when
// the string is missing. Returns its length.
int LoadInto(UINT id, wchar_t* buffer, int size)
{
    buffer[0] = 0;
    DStrBuf text(buffer, size);
    text.LoadString(id);
    buffer[text.Length()] = 0;
    return text.Length();
}

// A text argument given as an id or a text: the text itself, or the string
// loaded into the buffer (empty when missing); null for none.
const wchar_t* ResolveText(IdOrText value, wchar_t* buffer, int size)
{
    if (value.IsNone())
        return nullptr;
    if (!value.IsId())
        return value.Text();
    LoadInto(value.Id(), buffer, size);
    return buffer;
}

// The same for a caption: a missing string gives the default caption (null).
const wchar_t* ResolveCaption(IdOrText value, wchar_t* buffer, int size)
{
    if (value.IsNone())
        return nullptr;
    if (!value.IsId())
        return value.Text();
    return LoadInto(value.Id(), buffer, size) > 0 ? buffer : nullptr;
}

}  // namespace

// --- MsgExcept -----------------------------------------------------------------

MsgExcept::MsgExcept() : data_(nullptr) {}

MsgExcept::MsgExcept(const wchar_t* caption, int captionLength, const wchar_t* text, int textLength)
    : data_(nullptr)
{
    SetCaption(caption, captionLength);
    SetText(text, textLength);
}

MsgExcept::MsgExcept(IdOrText text, IdOrText caption) : data_(nullptr)
{
    if (caption.IsId())
        SetCaptionId(caption.Id());
    else
        SetCaption(caption.Text(), -1);
    if (text.IsId())
        SetTextId(text.Id());
    else
        SetText(text.Text(), -1);
}

MsgExcept::MsgExcept(const MsgExcept& other) : data_(other.data_)
{
    if (data_)
        data_->refCount.AddRef();
}

MsgExcept& MsgExcept::operator=(const MsgExcept& other)
{
    // Share first, release second: assigning a MsgExcept to itself (or to a
    // holder of the same record) must not free the record it keeps.
    MsgExceptData* shared = other.data_;
    if (shared)
        shared->refCount.AddRef();
    Release();
    data_ = shared;
    return *this;
}

MsgExcept::~MsgExcept() { Release(); }

void MsgExcept::Release()
{
    MsgExceptData* data = data_;
    data_ = nullptr;
    if (data && data->refCount.ReleaseLast()) {
        HeapRelease(data->caption);
        HeapRelease(data->text);
        HeapRelease(data);
    }
}

bool MsgExcept::Ensure()
{
    if (!data_) {
        data_ = static_cast<MsgExceptData*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(MsgExceptData)));
        if (data_)
            data_->refCount.Init();
    }
    return data_ != nullptr;
}

void MsgExcept::SetPart(wchar_t*& part, int& partLength, const wchar_t* source, int length)
{
    HeapRelease(part);
    part = nullptr;
    partLength = 0;
    // A null text has nothing to copy, whatever length comes with it.
    if (!source)
        return;
    if (length < 0)
        length = lstrlenW(source);
    if (length == 0 || length > kMaxPartLength)
        return;
    part = HeapCopy(source, length);
    if (part)
        partLength = length;
}

void MsgExcept::SetCaption(const wchar_t* caption, int length)
{
    if (Ensure())
        SetPart(data_->caption, data_->captionLength, caption, length);
}

void MsgExcept::SetText(const wchar_t* text, int length)
{
    if (Ensure())
        SetPart(data_->text, data_->textLength, text, length);
}

void MsgExcept::SetCaptionId(UINT id)
{
    wchar_t buffer[256];
    int length = LoadInto(id, buffer, 256);
    SetCaption(buffer, length);
}

void MsgExcept::SetTextId(UINT id)
{
    wchar_t buffer[256];
    int length = LoadInto(id, buffer, 256);
    SetText(buffer, length);
}

namespace {

int CopyPart(const wchar_t* part, int partLength, wchar_t* buffer, int size)
{
    if (!buffer || size < 1)
        return 0;
    int n = 0;
    if (part) {
        n = partLength < size - 1 ? partLength : size - 1;
        memcpy(buffer, part, n * sizeof(wchar_t));
    }
    buffer[n] = 0;
    return n;
}

}  // namespace

int MsgExcept::GetCaption(wchar_t* buffer, int size) const
{
    return data_ ? CopyPart(data_->caption, data_->captionLength, buffer, size) : CopyPart(nullptr, 0, buffer, size);
}

int MsgExcept::GetText(wchar_t* buffer, int size) const
{
    return data_ ? CopyPart(data_->text, data_->textLength, buffer, size) : CopyPart(nullptr, 0, buffer, size);
}

int MsgExcept::CaptionLength() const { return data_ && data_->caption ? data_->captionLength : 0; }

int MsgExcept::TextLength() const { return data_ && data_->text ? data_->textLength : 0; }

int MsgExcept::Show(HWND owner, UINT flags) const
{
    if (!data_)
        return -1;
    return ShowPrompt(owner, data_->text ? data_->text : L"", data_->caption, flags);
}

// --- Message boxes -------------------------------------------------------------

int ErrorCodeText(DWORD code, wchar_t* buffer, int size)
{
    if (!buffer || size < 1)
        return 0;
    DStrBuf system;
    const wchar_t* text = system.FormatSystemMessage(code);
    int length = text ? system.Length() : 0;
    wchar_t named[512];
    if (length == 0) {
        wchar_t number[16];
        _snwprintf(number, 16, code < 0x10000 ? L"%lu" : L"0x%08lX", static_cast<unsigned long>(code));
        number[15] = 0;
        wchar_t format[256];
        DStrBuf out(named, 512);
        // Without the string the number alone still names the code.
        if (LoadInto(IDS_ERROR_CODE_ONLY, format, 256) == 0 || out.Format(format, number) == 0)
            out.Copy(number);
        text = named;
        length = out.Length();
    }
    if (length > size - 1)
        length = size - 1;
    memcpy(buffer, text, length * sizeof(wchar_t));
    buffer[length] = 0;
    return length;
}

std::wstring ErrorCodeText(DWORD code)
{
    wchar_t text[1024];
    const int length = ErrorCodeText(code, text, 1024);
    return std::wstring(text, length);
}

int ShowSystemErrorBox(DWORD code, const wchar_t* caption)
{
    wchar_t text[1024];
    ErrorCodeText(code, text, 1024);
    return ShowPrompt(nullptr, text, caption, kSystemErrorBoxFlags);
}

int ShowErrorCodeBox(DWORD code) { return ShowSystemErrorBox(code, nullptr); }

int ShowLastErrorBox() { return ShowSystemErrorBox(GetLastError(), nullptr); }

int MessageBoxId(HWND owner, UINT id, UINT flags)
{
    wchar_t text[256];
    LoadInto(id, text, 256);
    return ShowPrompt(owner, text, nullptr, flags);
}

int MessageBoxById(UINT id, UINT flags)
{
    wchar_t text[300];
    LoadInto(id, text, 300);
    return ShowPrompt(nullptr, text, nullptr, flags);
}

int MessageBoxIdCaption(HWND owner, IdOrText text, IdOrText caption, UINT flags)
{
    wchar_t textBuffer[1024];
    wchar_t captionBuffer[256];
    const wchar_t* shownText = ResolveText(text, textBuffer, 1024);
    const wchar_t* shownCaption = ResolveCaption(caption, captionBuffer, 256);
    return ShowPrompt(owner, shownText ? shownText : L"", shownCaption, flags);
}

int MessageBoxIdFormat(HWND owner, IdOrText caption, UINT flags, IdOrText format, ...)
{
    wchar_t captionBuffer[256];
    wchar_t formatBuffer[256];
    wchar_t textBuffer[1024];
    const wchar_t* shownCaption = ResolveCaption(caption, captionBuffer, 256);
    const wchar_t* formatText = ResolveText(format, formatBuffer, 256);

    textBuffer[0] = 0;
    if (formatText && formatText[0]) {
        DStrBuf text(textBuffer, 1024);
        va_list args;
        va_start(args, format);
        text.FormatV(formatText, args);
        va_end(args);
        textBuffer[text.Length()] = 0;
    }
    return ShowPrompt(owner, textBuffer, shownCaption, flags);
}
