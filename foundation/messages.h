// Telling the user something: message boxes with texts from the string table
// or from the system's error texts, and MsgExcept, the exception that carries
// a caption and a text from where a failure is found to where it can be shown.
//
// Every box goes through ShowPrompt (foundation/prompt.h). String-table texts
// come from the program's own module (hInstance).
#pragma once

#include "foundation/refcount.h"

#include <windows.h>

#include <string>

// A text given either as a string-table id or as a text: a value from 1 to
// 0xFFFF is an id, anything else a pointer to a text, 0 means none.
// A number is only ever an id: one outside 1 to 0xFFFF (a negative one, or a
// code passed by mistake) means none, never a pointer that would be read.
// Any integer type is accepted (int, UINT, DWORD, an id enumeration).
class IdOrText {
public:
    IdOrText(int id) : value_(FromNumber(static_cast<long long>(id))) {}
    IdOrText(unsigned id) : value_(FromNumber(static_cast<long long>(id))) {}
    IdOrText(long id) : value_(FromNumber(static_cast<long long>(id))) {}
    IdOrText(unsigned long id) : value_(FromNumber(static_cast<long long>(id))) {}
    IdOrText(const wchar_t* text) : value_(text) {}

    bool IsNone() const { return value_ == nullptr; }
    bool IsId() const { return value_ != nullptr && reinterpret_cast<UINT_PTR>(value_) <= 0xFFFF; }
    UINT Id() const { return IsId() ? static_cast<UINT>(reinterpret_cast<UINT_PTR>(value_)) : 0; }
    const wchar_t* Text() const { return IsId() ? nullptr : value_; }

private:
    static const wchar_t* FromNumber(long long id)
    {
        return id >= 1 && id <= 0xFFFF ? reinterpret_cast<const wchar_t*>(static_cast<UINT_PTR>(id)) : nullptr;
    }

    const wchar_t* value_;
};

// The record a MsgExcept shares among its copies.
struct MsgExceptData {
    DRefCount refCount;   // holders (thrown and caught on one thread)
    int captionLength;    // characters of the caption
    int textLength;       // characters of the text
    wchar_t* caption;     // own terminated copy, or null
    wchar_t* text;        // own terminated copy, or null
};

// The user-message exception: thrown by value, shown by whoever catches it.
// A null MsgExcept (no record, as when the record could not be allocated)
// shows nothing.
//
// It is the one way a failure that the user is to read travels to the place
// that shows it: throw MsgExcept(IDS_..., caption) where the failure is found,
// catch (const MsgExcept& m) and m.Show(owner, flags) where a window can show
// it. Database failures travel as DODBErrors and are shown the same way
// (DODBErrors::ShowMessage).
class MsgExcept {
public:
    MsgExcept();
    // Either part may be null; a length of -1 means up to the terminator.
    MsgExcept(const wchar_t* caption, int captionLength, const wchar_t* text, int textLength);
    // The text and the caption, each a string-table id (loaded, up to 255
    // characters) or a text; none for no caption.
    explicit MsgExcept(IdOrText text, IdOrText caption = IdOrText(0));
    MsgExcept(const MsgExcept& other);
    MsgExcept& operator=(const MsgExcept& other);
    ~MsgExcept();

    // Releases the record and becomes null.
    void Release();

    // Sets the caption: a copy of `length` characters (-1: up to the
    // terminator). A null text or a length of 0 leaves no caption.
    void SetCaption(const wchar_t* caption, int length);
    // Sets the caption from the string table (up to 255 characters); a
    // missing string leaves no caption.
    void SetCaptionId(UINT id);
    void SetText(const wchar_t* text, int length);
    void SetTextId(UINT id);

    // Copy at most size - 1 characters into the buffer, terminated; result the
    // characters copied (0 and an empty buffer when there is no such text; 0
    // without writing when the buffer is null or the size below 1).
    int GetCaption(wchar_t* buffer, int size) const;
    int GetText(wchar_t* buffer, int size) const;
    int CaptionLength() const;
    int TextLength() const;

    // Shows the text under the caption (the default caption when there is
    // none); result the button pressed, -1 for a null MsgExcept.
    int Show(HWND owner, UINT flags) const;

private:
    bool Ensure();
    static void SetPart(wchar_t*& part, int& partLength, const wchar_t* source, int length);

    MsgExceptData* data_;
};

// The system's text of an error code (a Win32 code or an HRESULT) as the
// system gives it, line break included. Where the system has no text for the
// code, the string-table text that names it ("System error 0x80040154 (the
// system has no description of it)"): no message and no journal record is
// ever left without at least the code. Codes below 0x10000 are Win32 codes,
// named in decimal as the program names them elsewhere; larger ones
// (HRESULTs) in hexadecimal.
// Into `buffer` of `size` characters (terminated, cut when longer); result the
// characters written (0 without writing when the buffer is null or the size
// below 1).
int ErrorCodeText(DWORD code, wchar_t* buffer, int size);
std::wstring ErrorCodeText(DWORD code);

// ErrorCodeText of a Win32 error code (or an HRESULT) with no owner, flags
// MB_TOPMOST | MB_TASKMODAL | MB_ICONINFORMATION; a null caption gives the
// default caption. Result the button pressed.
int ShowSystemErrorBox(DWORD code, const wchar_t* caption);
// ShowSystemErrorBox without caption (also for an HRESULT).
int ShowErrorCodeBox(DWORD code);
// ShowSystemErrorBox of GetLastError, without caption.
int ShowLastErrorBox();

// The string (at most 255 characters) with the default caption.
int MessageBoxId(HWND owner, UINT id, UINT flags);
// The string (at most 299 characters) with no owner and the default caption.
int MessageBoxById(UINT id, UINT flags);
// The text (room for 1,024 characters) under the caption (255; 0 = default
// caption); each an id or a text.
int MessageBoxIdCaption(HWND owner, IdOrText text, IdOrText caption, UINT flags);
// The format (an id or a text) expanded by the system message formatter with
// the inserts that follow ("%1", "%1!u!", "%n"; room for 1,024 characters; a
// longer result shows an empty text) under the caption (an id, a text or 0 for
// the default caption).
int MessageBoxIdFormat(HWND owner, IdOrText caption, UINT flags, IdOrText format, ...);
