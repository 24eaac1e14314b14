// Registry access: DRegKeyHandle (throws RegException), DRegKey (returns
// Win32 codes), RegReadLogFont.
//
// Strings: RegQueryValueExW hands back whatever bytes were stored. A REG_SZ
// written by another program may lack its terminator or have an odd number
// of bytes, so every string read here terminates the text itself, inside the
// caller's buffer, and refuses (ERROR_MORE_DATA) a text that leaves no room
// for the terminator rather than cutting it silently. On any failure the
// buffer is left holding an empty text.
#include "foundation/registry.h"

#include "foundation/dstring.h"
#include "foundation/lefields.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace {

// After a successful read of `bytes` bytes into `buffer` of `size` characters
// (size >= 1): terminates the text inside the buffer and returns its length,
// or -1 when the text fills the buffer and no terminator fits.
// A stored terminator ends the text (its length is then bytes / 2 - 1); an
// odd last byte is half a character and is dropped.
int TerminateRead(wchar_t* buffer, DWORD size, DWORD bytes)
{
    DWORD chars = bytes / 2;
    if (chars > size) return -1;   // cannot happen with a correct byte count; never trust it
    if (chars > 0 && buffer[chars - 1] == 0) return (int)(chars - 1);
    if (chars >= size) return -1;
    buffer[chars] = 0;
    return (int)chars;
}

// The length of a stored text of `bytes` bytes, its terminator excluded: 0
// for none, else (bytes / 2) - 1. An odd last byte counts as a character, so
// that a buffer of this length plus one takes the whole value; a single byte
// must not come out as -1 ("missing").
int StoredLength(DWORD bytes)
{
    return bytes == 0 ? 0 : (int)((bytes + 1) / sizeof(wchar_t)) - 1;
}

// A text of exactly `length` characters followed by a terminator, for writing
// a REG_SZ: the caller's text need not be terminated at `length`.
class TerminatedCopy {
public:
    TerminatedCopy(const wchar_t* text, int length)
    {
        if (length < 0) {
            // The text's own length: it is terminated already.
            text_ = text ? text : L"";
            length_ = text ? (int)wcslen(text) : 0;
            return;
        }
        if (!text || length == 0) {
            text_ = L"";
            return;
        }
        own_ = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, ((SIZE_T)length + 1) * sizeof(wchar_t)));
        if (!own_) return;   // text_ stays null: out of memory
        memcpy(own_, text, (size_t)length * sizeof(wchar_t));
        own_[length] = 0;
        text_ = own_;
        length_ = length;
    }
    ~TerminatedCopy()
    {
        if (own_) HeapFree(GetProcessHeap(), 0, own_);
    }
    TerminatedCopy(const TerminatedCopy&) = delete;
    TerminatedCopy& operator=(const TerminatedCopy&) = delete;

    const wchar_t* Text() const { return text_; }   // null when no copy could be made
    const BYTE* Bytes() const { return reinterpret_cast<const BYTE*>(text_); }
    DWORD ByteCount() const { return ((DWORD)length_ + 1) * sizeof(wchar_t); }

private:
    const wchar_t* text_ = nullptr;
    wchar_t* own_ = nullptr;
    int length_ = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// RegException

struct RegException::NameBlock {
    DRefCount refs;
    wchar_t text[1];   // terminated; allocated to the name's length
};

RegException::RegException(int kind, DWORD error, const wchar_t* valueName)
    : kind_(kind), error_(error), name_(nullptr)
{
    if (!valueName) return;
    size_t length = wcslen(valueName);
    SIZE_T bytes = offsetof(NameBlock, text) + (length + 1) * sizeof(wchar_t);
    name_ = static_cast<NameBlock*>(HeapAlloc(GetProcessHeap(), 0, bytes));
    if (!name_) return;   // the report then names no value; throwing here would be worse
    name_->refs.Init();
    memcpy(name_->text, valueName, (length + 1) * sizeof(wchar_t));
}

RegException::RegException(const RegException& other)
    : kind_(other.kind_), error_(other.error_), name_(other.name_)
{
    if (name_) name_->refs.AddRef();
}

RegException& RegException::operator=(const RegException& other)
{
    if (this != &other) {
        if (other.name_) other.name_->refs.AddRef();
        Release();
        kind_ = other.kind_;
        error_ = other.error_;
        name_ = other.name_;
    }
    return *this;
}

RegException::~RegException()
{
    Release();
}

void RegException::Release()
{
    if (name_ && name_->refs.ReleaseLast()) HeapFree(GetProcessHeap(), 0, name_);
    name_ = nullptr;
}

const wchar_t* RegException::ValueName() const
{
    return name_ ? name_->text : nullptr;
}

// ---------------------------------------------------------------------------
// DRegKeyHandle

DRegKeyHandle::DRegKeyHandle() : owned_(false), key_(nullptr) {}

DRegKeyHandle::~DRegKeyHandle()
{
    Close();
}

LONG DRegKeyHandle::Close()
{
    LONG result = ERROR_SUCCESS;
    if (key_ && owned_) result = RegCloseKey(key_);
    key_ = nullptr;
    owned_ = false;
    return result;
}

// The held key is replaced only after the new one is open, so that a key may
// be opened below the holder's own key; on failure the holder has no key.
LONG DRegKeyHandle::Adopt(LONG result, HKEY opened)
{
    Close();
    if (result == ERROR_SUCCESS) {
        key_ = opened;
        owned_ = true;
    }
    return result;
}

LONG DRegKeyHandle::Open(HKEY root, const wchar_t* subKey, REGSAM access)
{
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExW(root, subKey, 0, access, &opened);
    return Adopt(result, opened);
}

LONG DRegKeyHandle::Create(HKEY root, const wchar_t* subKey, DWORD options, REGSAM access,
                           LPSECURITY_ATTRIBUTES security, DWORD* disposition)
{
    HKEY opened = nullptr;
    LONG result = RegCreateKeyExW(root, subKey, 0, nullptr, options, access, security, &opened, disposition);
    return Adopt(result, opened);
}

LONG DRegKeyHandle::OpenSub(const DRegKeyHandle& parent, const wchar_t* subKey, REGSAM access)
{
    if (!parent.key_) return Adopt(ERROR_INVALID_HANDLE, nullptr);
    return Open(parent.key_, subKey, access);
}

LONG DRegKeyHandle::CreateSub(const DRegKeyHandle& parent, const wchar_t* subKey, DWORD options, REGSAM access,
                              LPSECURITY_ATTRIBUTES security, DWORD* disposition)
{
    if (!parent.key_) return Adopt(ERROR_INVALID_HANDLE, nullptr);
    return Create(parent.key_, subKey, options, access, security, disposition);
}

LONG DRegKeyHandle::CreateSub(const DRegKeyHandle& parent, const wchar_t* subKey, REGSAM access)
{
    return CreateSub(parent, subKey, 0, access, nullptr, nullptr);
}

void DRegKeyHandle::RequireKey() const
{
    if (!key_) throw RegException(kRegKeyNotOpen, 0, nullptr);
}

LONG DRegKeyHandle::ReadFixed(DWORD type, void* out, DWORD size, const wchar_t* name)
{
    BYTE data[8] = {};
    DWORD storedType = REG_NONE;
    DWORD bytes = size;
    LONG result = RegQueryValueExW(key_, name, nullptr, &storedType, data, &bytes);
    // ERROR_MORE_DATA means the value is larger than the read asks for: a
    // wrong size, not a failure of the registry.
    if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && (storedType != type || bytes != size)))
        throw RegException(kRegWrongType, 0, name);
    if (result != ERROR_SUCCESS) return result;
    memcpy(out, data, size);
    return ERROR_SUCCESS;
}

DWORD DRegKeyHandle::GetDword(const wchar_t* name)
{
    return GetDwordOr0(0, name);
}

DWORD DRegKeyHandle::GetDword(int flags, const wchar_t* name)
{
    return GetDwordOr0(flags, name);
}

DWORD DRegKeyHandle::GetDwordOr0(int flags, const wchar_t* name)
{
    RequireKey();
    DWORD value = 0;
    LONG result = ReadFixed(REG_DWORD, &value, sizeof value, name);
    if (result == ERROR_FILE_NOT_FOUND && (flags & kRegMayBeMissing)) return 0;
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
    return value;
}

LONG DRegKeyHandle::QueryDword(DWORD& out, const wchar_t* name)
{
    RequireKey();
    DWORD value = 0;
    LONG result = ReadFixed(REG_DWORD, &value, sizeof value, name);
    if (result == ERROR_SUCCESS) out = value;
    return result;
}

LONG DRegKeyHandle::ReadString(wchar_t* buffer, int size, const wchar_t* name, int& length)
{
    length = 0;
    if (!buffer || size < 1) return ERROR_INVALID_PARAMETER;   // no room even for a terminator
    DWORD type = REG_NONE;
    DWORD bytes = (DWORD)size * sizeof(wchar_t);
    LONG result = RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if ((result == ERROR_SUCCESS || result == ERROR_MORE_DATA) && type != REG_SZ) {
        buffer[0] = 0;
        throw RegException(kRegWrongType, 0, name);
    }
    if (result != ERROR_SUCCESS) {
        buffer[0] = 0;
        return result;
    }
    length = TerminateRead(buffer, (DWORD)size, bytes);
    if (length < 0) {
        buffer[0] = 0;
        length = 0;
        return ERROR_MORE_DATA;
    }
    return ERROR_SUCCESS;
}

int DRegKeyHandle::GetStringBuf(wchar_t* buffer, int size, const wchar_t* name)
{
    RequireKey();
    int length;
    LONG result = ReadString(buffer, size, name, length);
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
    return length;
}

int DRegKeyHandle::GetString(int flags, wchar_t* buffer, int size, const wchar_t* name)
{
    RequireKey();
    int length;
    LONG result = ReadString(buffer, size, name, length);
    if (result == ERROR_FILE_NOT_FOUND && (flags & kRegMayBeMissing)) {
        if (flags & kRegMustNotBeEmpty) throw RegException(kRegValueEmpty, 0, name);
        return -1;
    }
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
    // Zero bytes and a bare terminator are both an empty text to the caller.
    if (length == 0 && (flags & kRegMustNotBeEmpty)) throw RegException(kRegValueEmpty, 0, name);
    return length;
}

int DRegKeyHandle::GetStringLength(const wchar_t* name)
{
    RequireKey();
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    LONG result = RegQueryValueExW(key_, name, nullptr, &type, nullptr, &bytes);
    if (result == ERROR_FILE_NOT_FOUND) return -1;
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
    if (type != REG_SZ) throw RegException(kRegWrongType, 0, name);
    return StoredLength(bytes);
}

double DRegKeyHandle::GetDouble(const wchar_t* name)
{
    return GetDoubleOpt(0, name);
}

double DRegKeyHandle::GetDoubleOpt(int flags, const wchar_t* name)
{
    RequireKey();
    double value = 0.0;
    LONG result = ReadFixed(REG_BINARY, &value, sizeof value, name);
    if (result == ERROR_FILE_NOT_FOUND && (flags & kRegMayBeMissing)) return 0.0;
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
    return value;
}

LONG DRegKeyHandle::GetBinary8(void* out8, const wchar_t* name)
{
    RequireKey();
    return ReadFixed(REG_BINARY, out8, 8, name);
}

DWORD DRegKeyHandle::GetValueSize(const wchar_t* name)
{
    RequireKey();
    DWORD bytes = 0;
    LONG result = RegQueryValueExW(key_, name, nullptr, nullptr, nullptr, &bytes);
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
    return bytes;
}

LONG DRegKeyHandle::QueryValue(void* buffer, DWORD* size, DWORD* type, const wchar_t* name)
{
    RequireKey();
    return RegQueryValueExW(key_, name, nullptr, type, static_cast<BYTE*>(buffer), size);
}

void DRegKeyHandle::SetDword(DWORD value, const wchar_t* name)
{
    RequireKey();
    BYTE data[4];
    PutLe32(data, value);
    LONG result = RegSetValueExW(key_, name, 0, REG_DWORD, data, sizeof data);
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
}

void DRegKeyHandle::SetDouble(double value, const wchar_t* name)
{
    RequireKey();
    BYTE data[sizeof value];
    memcpy(data, &value, sizeof value);
    LONG result = RegSetValueExW(key_, name, 0, REG_BINARY, data, sizeof data);
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
}

void DRegKeyHandle::SetString(const wchar_t* text, int length, const wchar_t* name)
{
    RequireKey();
    TerminatedCopy copy(text, length);
    if (!copy.Text()) throw RegException(kRegWin32Error, ERROR_NOT_ENOUGH_MEMORY, name);
    LONG result = RegSetValueExW(key_, name, 0, REG_SZ, copy.Bytes(), copy.ByteCount());
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
}

void DRegKeyHandle::SetBinary(const void* data, DWORD size, const wchar_t* name)
{
    RequireKey();
    LONG result = RegSetValueExW(key_, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
    if (result != ERROR_SUCCESS) throw RegException(kRegWin32Error, (DWORD)result, name);
}

void DRegKeyHandle::DeleteValue(const wchar_t* name)
{
    RequireKey();
    LONG result = RegDeleteValueW(key_, name);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw RegException(kRegWin32Error, (DWORD)result, name);
}

LONG DRegKeyHandle::EnumValue(DWORD index, wchar_t* nameBuffer, DWORD* nameSize, DWORD* type, BYTE* data,
                              DWORD* dataSize)
{
    RequireKey();
    return RegEnumValueW(key_, index, nameBuffer, nameSize, nullptr, type, data, dataSize);
}

// ---------------------------------------------------------------------------
// DRegKey

DRegKey::DRegKey() : data_(nullptr) {}

DRegKey::DRegKey(HKEY adopt) : data_(new (std::nothrow) DRegKeyData(adopt))
{
    // Without a block the key would never be closed: close it now.
    if (!data_ && adopt) RegCloseKey(adopt);
}

DRegKey::DRegKey(const DRegKey& other) : data_(other.data_)
{
    if (data_) data_->refs.AddRef();
}

DRegKey& DRegKey::operator=(const DRegKey& other)
{
    if (data_ != other.data_) {
        if (other.data_) other.data_->refs.AddRef();
        Release();
        data_ = other.data_;
    }
    return *this;
}

DRegKey::~DRegKey()
{
    Release();
}

void DRegKey::Release()
{
    if (!data_) return;
    if (data_->refs.ReleaseLast()) {
        if (data_->key) RegCloseKey(data_->key);
        delete data_;
    }
    data_ = nullptr;
}

void DRegKey::Close()
{
    Release();
}

// The old block is dropped after the new key is open, so that a key may be
// opened below this holder's own key.
LONG DRegKey::Open(HKEY parent, const wchar_t* subKey, REGSAM access)
{
    DRegKeyData* fresh = new (std::nothrow) DRegKeyData(nullptr);
    if (!fresh) {
        Release();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    LONG result = RegOpenKeyExW(parent, subKey, 0, access, &fresh->key);
    if (result != ERROR_SUCCESS) fresh->key = nullptr;
    Release();
    data_ = fresh;
    return result;
}

LONG DRegKey::Create(HKEY parent, const wchar_t* subKey, const wchar_t* keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, DWORD* disposition)
{
    DRegKeyData* fresh = new (std::nothrow) DRegKeyData(nullptr);
    if (!fresh) {
        Release();
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    LONG result =
        RegCreateKeyExW(parent, subKey, 0, const_cast<wchar_t*>(keyClass), options, access, security, &fresh->key, disposition);
    if (result != ERROR_SUCCESS) fresh->key = nullptr;
    Release();
    data_ = fresh;
    return result;
}

LONG DRegKey::Flush()
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegFlushKey(data_->key);
}

LONG DRegKey::EnumKey(DWORD index, wchar_t* name, DWORD* nameLength, wchar_t* keyClass, DWORD* classLength,
                      FILETIME* lastWrite)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegEnumKeyExW(data_->key, index, name, nameLength, nullptr, keyClass, classLength, lastWrite);
}

LONG DRegKey::QueryInfo(wchar_t* keyClass, DWORD* classLength, DWORD* subKeys, DWORD* maxSubKeyLength,
                        DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength, DWORD* maxValueLength,
                        DWORD* securityDescriptor, FILETIME* lastWrite)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegQueryInfoKeyW(data_->key, keyClass, classLength, nullptr, subKeys, maxSubKeyLength, maxClassLength,
                            values, maxValueNameLength, maxValueLength, securityDescriptor, lastWrite);
}

LONG DRegKey::QueryValue(const wchar_t* name, DWORD* type, BYTE* data, DWORD* size)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegQueryValueExW(data_->key, name, nullptr, type, data, size);
}

LONG DRegKey::SetValue(const wchar_t* name, DWORD type, const BYTE* data, DWORD size)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegSetValueExW(data_->key, name, 0, type, data, size);
}

LONG DRegKey::DeleteValue(const wchar_t* name)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegDeleteValueW(data_->key, name);
}

LONG DRegKey::EnumValue(DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type, BYTE* data, DWORD* dataSize)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegEnumValueW(data_->key, index, name, nameLength, nullptr, type, data, dataSize);
}

LONG DRegKey::GetValueSize(const wchar_t* name, DWORD* size)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    return RegQueryValueExW(data_->key, name, nullptr, nullptr, nullptr, size);
}

LONG DRegKey::GetStringBuf(const wchar_t* name, wchar_t* buffer, DWORD* count)
{
    if (!buffer) return GetStringSize(name, count);
    if (!data_) {
        if (*count > 0) buffer[0] = 0;
        return ERROR_INVALID_HANDLE;
    }
    if (*count == 0) return ERROR_MORE_DATA;   // not even the terminator fits
    DWORD bytes = *count * sizeof(wchar_t);
    LONG result = RegQueryValueExW(data_->key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (result != ERROR_SUCCESS) {
        buffer[0] = 0;
        return result;
    }
    int length = TerminateRead(buffer, *count, bytes);
    if (length < 0) {
        buffer[0] = 0;
        return ERROR_MORE_DATA;
    }
    *count = (DWORD)length;
    return ERROR_SUCCESS;
}

LONG DRegKey::GetStringSize(const wchar_t* name, DWORD* length)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    DWORD bytes = 0;
    LONG result = RegQueryValueExW(data_->key, name, nullptr, nullptr, nullptr, &bytes);
    if (result != ERROR_SUCCESS) return result;
    *length = (DWORD)StoredLength(bytes);
    return ERROR_SUCCESS;
}

LONG DRegKey::QueryString(const wchar_t* name, DString& out)
{
    out.Empty();
    if (!data_) return ERROR_INVALID_HANDLE;
    DWORD bytes = 0;
    LONG result = RegQueryValueExW(data_->key, name, nullptr, nullptr, nullptr, &bytes);
    if (result != ERROR_SUCCESS || bytes == 0) return result;
    // Room for every stored character (an odd last byte included) and a
    // terminator of our own, should the value lack one.
    try {
        out.Reserve((int)((bytes + 1) / sizeof(wchar_t)));
    } catch (const DString::Exception&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    DWORD size = (DWORD)out.BufferSize();
    wchar_t* buffer = out.GetBuffer();
    DWORD read = size * sizeof(wchar_t);
    result = RegQueryValueExW(data_->key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &read);
    int length = result == ERROR_SUCCESS ? TerminateRead(buffer, size, read) : 0;
    if (result == ERROR_SUCCESS && length < 0) result = ERROR_MORE_DATA;   // grew since the size query
    if (result != ERROR_SUCCESS) {
        out.Empty();
        return result;
    }
    out.SetLength(length);
    return ERROR_SUCCESS;
}

LONG DRegKey::SetString(const wchar_t* name, const DString& text)
{
    return SetStringN(name, text.c_str(), text.Length());
}

LONG DRegKey::SetStringN(const wchar_t* name, const wchar_t* text, int length)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    TerminatedCopy copy(text, length);
    if (!copy.Text()) return ERROR_NOT_ENOUGH_MEMORY;
    return RegSetValueExW(data_->key, name, 0, REG_SZ, copy.Bytes(), copy.ByteCount());
}

LONG DRegKey::GetDword(const wchar_t* name, DWORD& out)
{
    return GetDwordRaw(name, out);
}

LONG DRegKey::GetDwordRaw(const wchar_t* name, DWORD& out)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    BYTE data[4] = {};
    DWORD bytes = sizeof data;
    LONG result = RegQueryValueExW(data_->key, name, nullptr, nullptr, data, &bytes);
    if (result == ERROR_SUCCESS) out = GetLe32(data);
    return result;
}

LONG DRegKey::SetDword(const wchar_t* name, DWORD value)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    BYTE data[4];
    PutLe32(data, value);
    return RegSetValueExW(data_->key, name, 0, REG_DWORD, data, sizeof data);
}

LONG DRegKey::GetBinary8(const wchar_t* name, void* out8)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    BYTE data[8] = {};
    DWORD bytes = sizeof data;
    LONG result = RegQueryValueExW(data_->key, name, nullptr, nullptr, data, &bytes);
    if (result == ERROR_SUCCESS) memcpy(out8, data, sizeof data);
    return result;
}

LONG DRegKey::SetBinary8(const wchar_t* name, DWORD low, DWORD high)
{
    if (!data_) return ERROR_INVALID_HANDLE;
    BYTE data[8];
    PutLe32(data, low);
    PutLe32(data + 4, high);
    return RegSetValueExW(data_->key, name, 0, REG_BINARY, data, sizeof data);
}

// ---------------------------------------------------------------------------
// Fonts

// The stored LOGFONTW, in the order Windows lays it out.
static const DWORD kLogFontBytes = 92;
static_assert(sizeof(LOGFONTW) == kLogFontBytes, "the stored font is the 32-bit Windows LOGFONTW");
static const int kFaceOffset = 28;   // after five 32-bit fields and eight bytes

bool RegReadLogFont(LOGFONTW& font, HKEY key, const wchar_t* name)
{
    if (!key) return false;
    BYTE raw[kLogFontBytes];
    DWORD type = REG_NONE;
    DWORD bytes = sizeof raw;
    if (RegQueryValueExW(key, name, nullptr, &type, raw, &bytes) != ERROR_SUCCESS) return false;
    if (type != REG_BINARY || bytes != kLogFontBytes) return false;

    font.lfHeight = (LONG)GetLe32(raw + 0);
    font.lfWidth = (LONG)GetLe32(raw + 4);
    font.lfEscapement = (LONG)GetLe32(raw + 8);
    font.lfOrientation = (LONG)GetLe32(raw + 12);
    font.lfWeight = (LONG)GetLe32(raw + 16);
    font.lfItalic = raw[20];
    font.lfUnderline = raw[21];
    font.lfStrikeOut = raw[22];
    font.lfCharSet = raw[23];
    font.lfOutPrecision = raw[24];
    font.lfClipPrecision = raw[25];
    font.lfQuality = raw[26];
    font.lfPitchAndFamily = raw[27];
    // The face name ends at its terminator, or at 31 characters when the
    // stored one has none; the rest of the field is cleared.
    bool ended = false;
    for (int i = 0; i < LF_FACESIZE; ++i) {
        wchar_t c = (wchar_t)(raw[kFaceOffset + 2 * i] | (raw[kFaceOffset + 2 * i + 1] << 8));
        if (c == 0 || i == LF_FACESIZE - 1) ended = true;
        font.lfFaceName[i] = ended ? 0 : c;
    }
    return true;
}
