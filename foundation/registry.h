// Registry access: the two key classes through which every setting of the
// workstation is read and written.
//
// DRegKeyHandle is the settings reader: it holds one key, and its typed reads
// and writes throw RegException, so that a settings loader reads a run of
// values in one guarded block and reports the first failure by value name.
//
// DRegKey is a shared, reference-counted key whose operations return the
// Win32 code and never throw (printer profiles, enumeration of subkeys and
// values). Its copies stay on one thread: the count is a plain integer.
//
// String reads of both classes always leave a terminated text inside the
// caller's buffer, whatever was stored: a REG_SZ written without its
// terminator, of an odd number of bytes, or exactly filling the buffer.
#pragma once

#include "foundation/refcount.h"

#include <windows.h>

class DString;

// Kinds of RegException.
enum RegErrorKind : int {
    kRegWin32Error = 0,   // a registry call failed; Error() holds the code
    kRegKeyNotOpen = 1,   // the holder has no key open
    kRegWrongType = 2,    // the value has another type or size than the read asks for
    kRegValueEmpty = 3,   // the value is missing or empty where one is required
};

// Flags of the typed reads that take them.
enum RegReadFlags : int {
    kRegMustNotBeEmpty = 1,   // a missing or empty value is an error (kind 3)
    kRegMayBeMissing = 2,     // a missing value gives a default instead of an exception
};

// Thrown by value by the typed reads and writes of DRegKeyHandle.
// It keeps its own copy of the value name (shared between copies of the
// exception with an interlocked count, so that copying never allocates and
// never fails); a null name stays null.
class RegException {
public:
    RegException(int kind, DWORD error, const wchar_t* valueName);
    RegException(const RegException& other);
    RegException& operator=(const RegException& other);
    ~RegException();

    int Kind() const { return kind_; }
    DWORD Error() const { return error_; }
    // The value's name, or null (kind 1, the default value, or when no copy
    // could be made).
    const wchar_t* ValueName() const;

private:
    struct NameBlock;   // {reference count, text}
    void Release();

    int kind_;            // RegErrorKind
    DWORD error_;         // the Win32 code for kind 0, else 0
    NameBlock* name_;     // own copy of the value name, or null
};

// Holder of one registry key. Every typed read and write first throws
// RegException kind 1 when no key is open; the held key is unchanged after a
// throw. Not copied or shared.
class DRegKeyHandle {
public:
    DRegKeyHandle();
    ~DRegKeyHandle();
    DRegKeyHandle(const DRegKeyHandle&) = delete;
    DRegKeyHandle& operator=(const DRegKeyHandle&) = delete;

    // Closes an owned key; the holder then has none. 0 when nothing was held.
    LONG Close();
    // Close any held key, then open or create; the Win32 code.
    LONG Open(HKEY root, const wchar_t* subKey, REGSAM access);
    LONG Create(HKEY root, const wchar_t* subKey, DWORD options, REGSAM access,
                LPSECURITY_ATTRIBUTES security, DWORD* disposition);
    // The same below another holder's key (which may be this holder itself).
    LONG OpenSub(const DRegKeyHandle& parent, const wchar_t* subKey, REGSAM access);
    LONG CreateSub(const DRegKeyHandle& parent, const wchar_t* subKey, DWORD options, REGSAM access,
                   LPSECURITY_ATTRIBUTES security, DWORD* disposition);
    LONG CreateSub(const DRegKeyHandle& parent, const wchar_t* subKey, REGSAM access);
    HKEY GetHKey() const { return key_; }

    // REG_DWORD reads.
    DWORD GetDword(const wchar_t* name);
    DWORD GetDword(int flags, const wchar_t* name);       // same as GetDwordOr0
    DWORD GetDwordOr0(int flags, const wchar_t* name);    // flag 2: missing gives 0
    // The query error is returned (2 when missing); out is written only on success.
    LONG QueryDword(DWORD& out, const wchar_t* name);

    // REG_SZ reads into a buffer of `size` characters (terminator included).
    // The result is the text's length; the buffer is always terminated.
    int GetStringBuf(wchar_t* buffer, int size, const wchar_t* name);
    int GetString(int flags, wchar_t* buffer, int size, const wchar_t* name);
    // Length of a REG_SZ from its size, terminator excluded (-1 when missing):
    // a buffer of that length plus one takes the stored text.
    int GetStringLength(const wchar_t* name);

    // Doubles are stored as REG_BINARY of their 8 bytes.
    double GetDouble(const wchar_t* name);
    double GetDoubleOpt(int flags, const wchar_t* name);   // flag 2: missing gives 0.0
    // An 8-byte REG_BINARY; the query error is returned.
    LONG GetBinary8(void* out8, const wchar_t* name);
    DWORD GetValueSize(const wchar_t* name);
    // Any value; RegQueryValueExW's code is returned.
    LONG QueryValue(void* buffer, DWORD* size, DWORD* type, const wchar_t* name);

    void SetDword(DWORD value, const wchar_t* name);
    void SetDouble(double value, const wchar_t* name);
    // length -1: the text's own length. The terminator is always stored.
    void SetString(const wchar_t* text, int length, const wchar_t* name);
    void SetBinary(const void* data, DWORD size, const wchar_t* name);
    // A missing value is no error.
    void DeleteValue(const wchar_t* name);
    // RegEnumValueW; 259 (ERROR_NO_MORE_ITEMS) past the last value.
    LONG EnumValue(DWORD index, wchar_t* nameBuffer, DWORD* nameSize, DWORD* type, BYTE* data,
                   DWORD* dataSize);

private:
    void RequireKey() const;
    LONG Adopt(LONG result, HKEY opened);
    // Reads a fixed-size value of the given type; throws kind 2 for another
    // type or size; returns the query code otherwise (0 on success).
    LONG ReadFixed(DWORD type, void* out, DWORD size, const wchar_t* name);
    // The common REG_SZ read: the Win32 code, or throws kind 2; length out.
    LONG ReadString(wchar_t* buffer, int size, const wchar_t* name, int& length);

    bool owned_;   // the key was opened or created here and is closed here
    HKEY key_;     // null when no key is open
};

// Shared block of DRegKey.
struct DRegKeyData {
    explicit DRegKeyData(HKEY adopt) : key(adopt) {}
    DRefCount refs;   // holders; one thread
    HKEY key;         // null until opened
};

// Reference-counted registry key; every operation returns the Win32 code
// (6 without a block, 8 when a block cannot be allocated) and never throws.
class DRegKey {
public:
    DRegKey();
    explicit DRegKey(HKEY adopt);   // the key is closed at the last release
    DRegKey(const DRegKey& other);
    DRegKey& operator=(const DRegKey& other);
    ~DRegKey();

    void Close();   // drops this holder's share
    HKEY GetHKey() const { return data_ ? data_->key : nullptr; }

    LONG Open(HKEY parent, const wchar_t* subKey, REGSAM access);
    LONG Create(HKEY parent, const wchar_t* subKey, const wchar_t* keyClass, DWORD options, REGSAM access,
                LPSECURITY_ATTRIBUTES security, DWORD* disposition);

    // The registry calls of the same name on the held key.
    LONG Flush();
    LONG EnumKey(DWORD index, wchar_t* name, DWORD* nameLength, wchar_t* keyClass = nullptr,
                 DWORD* classLength = nullptr, FILETIME* lastWrite = nullptr);
    LONG QueryInfo(wchar_t* keyClass, DWORD* classLength, DWORD* subKeys, DWORD* maxSubKeyLength,
                   DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength, DWORD* maxValueLength,
                   DWORD* securityDescriptor, FILETIME* lastWrite);
    LONG QueryValue(const wchar_t* name, DWORD* type, BYTE* data, DWORD* size);
    LONG SetValue(const wchar_t* name, DWORD type, const BYTE* data, DWORD size);
    LONG DeleteValue(const wchar_t* name);
    LONG EnumValue(DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type, BYTE* data, DWORD* dataSize);

    LONG GetValueSize(const wchar_t* name, DWORD* size);
    // With a buffer of *count characters: reads the text, *count = its length.
    // Without a buffer: GetStringSize.
    LONG GetStringBuf(const wchar_t* name, wchar_t* buffer, DWORD* count);
    LONG GetStringSize(const wchar_t* name, DWORD* length);
    // Empties the string, then reads the whole value into it.
    LONG QueryString(const wchar_t* name, DString& out);
    LONG SetString(const wchar_t* name, const DString& text);
    LONG SetStringN(const wchar_t* name, const wchar_t* text, int length);

    // Four bytes of any type; out is written only on success.
    LONG GetDword(const wchar_t* name, DWORD& out);
    LONG GetDwordRaw(const wchar_t* name, DWORD& out);
    LONG SetDword(const wchar_t* name, DWORD value);
    LONG GetBinary8(const wchar_t* name, void* out8);
    LONG SetBinary8(const wchar_t* name, DWORD low, DWORD high);

private:
    void Release();
    DRegKeyData* data_;   // null: no block
};

// Reads a LOGFONTW stored as a REG_BINARY of exactly 92 bytes (the Windows
// layout: five 32-bit fields, eight bytes, a 32-character face name). On any
// other type or size, or a failed read, returns false and leaves `font` as it
// was. The face name always comes out terminated.
bool RegReadLogFont(LOGFONTW& font, HKEY key, const wchar_t* name);
