// One image as a DICOM file: see imagewriter.h.
#include "tools/dicomsrv/imagewriter.h"

#include "tools/dicomsrv/dicomfile.h"

#include <objbase.h>
#include <stdlib.h>

#include <vector>

namespace dicomsrv {

namespace {

using dicom::AttributeRule;
using dicom::DataSet;
using dicom::Tag;
using dicom::ValueKind;

const uint32_t kRows = Tag(0x0028, 0x0010);
const uint32_t kColumns = Tag(0x0028, 0x0011);
const uint32_t kBitsAllocated = Tag(0x0028, 0x0100);
const uint32_t kBitsStored = Tag(0x0028, 0x0101);
const uint32_t kPixelRepresentation = Tag(0x0028, 0x0103);
const uint32_t kWindowCenter = Tag(0x0028, 0x1050);
const uint32_t kWindowWidth = Tag(0x0028, 0x1051);
const uint32_t kPatientId = Tag(0x0010, 0x0020);
const uint32_t kAccession = Tag(0x0008, 0x0050);

std::string Utf8(const wchar_t* text, int length)
{
    if (!text || length <= 0)
        return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? (size_t)bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int chars = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), nullptr, 0);
    std::wstring out(chars > 0 ? (size_t)chars : 0, L'\0');
    if (chars > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &out[0], chars);
    return out;
}

const VARIANT* Deref(const VARIANT* v)
{
    while (v && V_VT(v) == (VT_BYREF | VT_VARIANT))
        v = V_VARIANTREF(v);
    return v;
}

// The SAFEARRAY of VARIANTs a value holds, or null.
SAFEARRAY* VariantArray(const VARIANT* v)
{
    v = Deref(v);
    if (!v)
        return nullptr;
    if (V_VT(v) == (VT_ARRAY | VT_VARIANT))
        return V_ARRAY(v);
    if (V_VT(v) == (VT_ARRAY | VT_VARIANT | VT_BYREF))
        return V_ARRAYREF(v) ? *V_ARRAYREF(v) : nullptr;
    return nullptr;
}

// The elements of a one-dimensional array of VARIANTs, copied.
class Elements
{
public:
    explicit Elements(SAFEARRAY* array)
    {
        LONG low = 0, high = -1;
        if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &low)) ||
            FAILED(SafeArrayGetUBound(array, 1, &high)))
            return;
        ok_ = true;
        for (LONG i = low; i <= high; ++i) {
            VARIANT v;
            VariantInit(&v);
            if (FAILED(SafeArrayGetElement(array, &i, &v))) {
                ok_ = false;
                break;
            }
            items_.push_back(v);
        }
    }
    ~Elements()
    {
        for (VARIANT& v : items_)
            VariantClear(&v);
    }
    Elements(const Elements&) = delete;
    Elements& operator=(const Elements&) = delete;
    bool Ok() const { return ok_; }
    size_t Size() const { return items_.size(); }
    const VARIANT* At(size_t i) const { return Deref(&items_[i]); }

private:
    bool ok_ = false;
    std::vector<VARIANT> items_;
};

bool AsText(const VARIANT* v, std::string& out)
{
    v = Deref(v);
    if (!v)
        return false;
    switch (V_VT(v)) {
    case VT_BSTR:
        out = Utf8(V_BSTR(v), (int)SysStringLen(V_BSTR(v)));
        return true;
    case VT_I4:
        out = dicom::IntegerString(V_I4(v));
        return true;
    case VT_I2:
        out = dicom::IntegerString(V_I2(v));
        return true;
    case VT_R4:
        out = dicom::DecimalString(V_R4(v), 7);
        return true;
    case VT_R8:
        out = dicom::DecimalString(V_R8(v));
        return true;
    default:
        return false;
    }
}

bool AsInteger(const VARIANT* v, long long& out)
{
    v = Deref(v);
    if (!v)
        return false;
    switch (V_VT(v)) {
    case VT_I4:
        out = V_I4(v);
        return true;
    case VT_I2:
        out = V_I2(v);
        return true;
    case VT_UI2:
        out = V_UI2(v);
        return true;
    case VT_UI4:
        out = V_UI4(v);
        return true;
    case VT_BSTR: {
        wchar_t* end = nullptr;
        out = wcstoll(V_BSTR(v) ? V_BSTR(v) : L"", &end, 10);
        return end && end != V_BSTR(v) && *end == 0;
    }
    default:
        return false;
    }
}

bool AsDecimal(const VARIANT* v, std::string& out)
{
    v = Deref(v);
    if (!v)
        return false;
    if (V_VT(v) == VT_BSTR) {
        wchar_t* end = nullptr;
        const double d = wcstod(V_BSTR(v) ? V_BSTR(v) : L"", &end);
        if (!end || end == V_BSTR(v) || *end != 0)
            return false;
        out = dicom::DecimalString(d);
        return !out.empty();
    }
    return AsText(v, out) && !out.empty();
}

// One value of the rule's kind in its VR's text; false with a reason when
// the value cannot be one.
bool Convert(const AttributeRule& rule, const VARIANT* value, DataSet& data, std::wstring& error)
{
    const std::wstring name = Wide(rule.name);
    std::string text;
    switch (rule.kind) {
    case ValueKind::Text:
        if (!AsText(value, text))
            break;
        text = rule.vr[0] == 'C' && rule.vr[1] == 'S' ? dicom::CodeString(text) : dicom::CutText(text, rule.maxChars);
        data.SetText(rule.tag, rule.vr, text);
        return true;
    case ValueKind::Date:
    case ValueKind::Time:
        if (!AsText(value, text))
            break;
        // An empty or unknown date stays empty rather than a wrong one.
        text = rule.kind == ValueKind::Date ? dicom::DateFromDayMonthYear(text) : dicom::TimeFromClock(text);
        data.SetText(rule.tag, rule.vr, text);
        return true;
    case ValueKind::Integer: {
        long long n = 0;
        if (!AsInteger(value, n))
            break;
        if (rule.vr[0] == 'U') {
            if (n < 0 || n > 65535) {
                error = L"The value of \"" + name + L"\" is out of range.";
                return false;
            }
            data.SetUS(rule.tag, (uint16_t)n);
        } else {
            if (n < INT32_MIN || n > INT32_MAX) {
                error = L"The value of \"" + name + L"\" is out of range.";
                return false;
            }
            data.SetText(rule.tag, rule.vr, dicom::IntegerString((int32_t)n));
        }
        return true;
    }
    case ValueKind::Decimal:
        if (!AsDecimal(value, text))
            break;
        data.SetText(rule.tag, rule.vr, text);
        return true;
    case ValueKind::PersonName:
    case ValueKind::CodeList:
    case ValueKind::DecimalList: {
        Elements parts(VariantArray(value));
        if (!parts.Ok())
            break;
        std::string joined;
        std::vector<std::string> values;
        for (size_t i = 0; i < parts.Size(); ++i) {
            std::string part;
            if (rule.kind == ValueKind::DecimalList) {
                if (!AsDecimal(parts.At(i), part)) {
                    error = L"A value of \"" + name + L"\" is not a number.";
                    return false;
                }
            } else if (!AsText(parts.At(i), part)) {
                error = L"A value of \"" + name + L"\" is not a text.";
                return false;
            }
            if (rule.kind == ValueKind::PersonName) {
                values.push_back(part);
            } else if (rule.kind == ValueKind::CodeList) {
                values.push_back(dicom::CodeString(part));
            } else {
                values.push_back(part);
            }
        }
        if (rule.kind == ValueKind::PersonName) {
            // The name parts are its components; a name too long for the
            // VR keeps every one of them, each cut to its share.
            joined = dicom::PersonName(values, rule.maxChars);
        } else {
            for (size_t i = 0; i < values.size(); ++i)
                joined += (i ? "\\" : "") + values[i];
        }
        data.SetText(rule.tag, rule.vr, joined);
        return true;
    }
    }
    error = L"The value of \"" + name + L"\" has a type the server does not take.";
    return false;
}

// The attributes of the client's array into the data set.
bool ReadAttributes(const VARIANT& attributes, DataSet& data, std::wstring& error)
{
    Elements pairs(VariantArray(&attributes));
    if (!pairs.Ok()) {
        error = L"The attributes are not an array of [name, value] pairs.";
        return false;
    }
    for (size_t i = 0; i < pairs.Size(); ++i) {
        Elements pair(VariantArray(pairs.At(i)));
        if (!pair.Ok() || pair.Size() < 2 || V_VT(pair.At(0)) != VT_BSTR) {
            error = L"Attribute " + std::to_wstring(i + 1) + L" is not a [name, value] pair.";
            return false;
        }
        const BSTR name = V_BSTR(pair.At(0));
        const std::u16string key(reinterpret_cast<const char16_t*>(name ? name : L""), SysStringLen(name));
        const AttributeRule* rule = dicom::FindAttribute(key);
        if (!rule)
            continue;
        if (!Convert(*rule, pair.At(1), data, error))
            return false;
    }
    return true;
}

std::string NewUid()
{
    GUID guid;
    uint8_t bytes[16] = {};
    if (SUCCEEDED(CoCreateGuid(&guid))) {
        bytes[0] = (uint8_t)(guid.Data1 >> 24);
        bytes[1] = (uint8_t)(guid.Data1 >> 16);
        bytes[2] = (uint8_t)(guid.Data1 >> 8);
        bytes[3] = (uint8_t)guid.Data1;
        bytes[4] = (uint8_t)(guid.Data2 >> 8);
        bytes[5] = (uint8_t)guid.Data2;
        bytes[6] = (uint8_t)(guid.Data3 >> 8);
        bytes[7] = (uint8_t)guid.Data3;
        memcpy(bytes + 8, guid.Data4, 8);
    }
    return dicom::UidFromRandom(bytes);
}

std::wstring SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring out = n ? std::wstring(text, n) : L"error " + std::to_wstring(code);
    if (text)
        LocalFree(text);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' '))
        out.pop_back();
    return out;
}

// The section's view for the call; unmapped and closed when it goes.
class SectionView
{
public:
    explicit SectionView(const std::wstring& name)
    {
        mapping_ = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
        if (!mapping_) {
            error_ = GetLastError();
            return;
        }
        view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
        if (!view_) {
            error_ = GetLastError();
            return;
        }
        MEMORY_BASIC_INFORMATION info = {};
        if (VirtualQuery(view_, &info, sizeof info))
            size_ = info.RegionSize;
    }
    ~SectionView()
    {
        if (view_)
            UnmapViewOfFile(view_);
        if (mapping_)
            CloseHandle(mapping_);
    }
    SectionView(const SectionView&) = delete;
    SectionView& operator=(const SectionView&) = delete;
    const void* Data() const { return view_; }
    size_t Size() const { return size_; }
    DWORD Error() const { return error_; }

private:
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
    size_t size_ = 0;
    DWORD error_ = 0;
};

// Small writes gathered into one buffer; large ones written as they are.
class FileSink
{
public:
    explicit FileSink(HANDLE file) : file_(file) { buffer_.reserve(kBuffer); }
    bool operator()(const void* data, size_t n)
    {
        if (n >= kBuffer)
            return Flush() && Write(data, n);
        if (buffer_.size() + n > kBuffer && !Flush())
            return false;
        const uint8_t* p = static_cast<const uint8_t*>(data);
        buffer_.insert(buffer_.end(), p, p + n);
        return true;
    }
    bool Flush()
    {
        const bool ok = buffer_.empty() || Write(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }
    DWORD Error() const { return error_; }

private:
    static const size_t kBuffer = 65536;
    bool Write(const void* data, size_t n)
    {
        DWORD done = 0;
        if (!WriteFile(file_, data, (DWORD)n, &done, nullptr)) {
            error_ = GetLastError();
            return false;
        }
        if (done != n) {
            error_ = ERROR_HANDLE_DISK_FULL;
            return false;
        }
        return true;
    }
    HANDLE file_;
    std::vector<uint8_t> buffer_;
    DWORD error_ = 0;
};

}  // namespace

std::wstring WriteDicomImage(const std::wstring& path, const VARIANT& attributes, const std::wstring& section,
                             ImageFacts* facts)
{
    DataSet data;
    std::wstring error;
    if (!ReadAttributes(attributes, data, error))
        return error;

    // The picture's geometry: without it no pixel can be read.
    uint16_t rows = 0, columns = 0, allocated = 0, stored = 0, representation = 0;
    if (!data.US(kRows, &rows) || !data.US(kColumns, &columns) || rows == 0 || columns == 0)
        return L"Rows and Columns are required and must be above 0.";
    if (!data.US(kBitsAllocated, &allocated) || allocated != 16)
        return L"Bits Allocated must be 16: the pixel section holds two bytes a pixel.";
    if (!data.US(kBitsStored, &stored) || stored < 1 || stored > 16)
        return L"Bits Stored must be from 1 to 16.";
    if (data.US(kPixelRepresentation, &representation) && representation > 1)
        return L"Pixel Representation must be 0 or 1.";
    data.SetUS(kPixelRepresentation, representation);
    data.SetUS(Tag(0x0028, 0x0002), 1);                        // Samples per Pixel
    data.SetText(Tag(0x0028, 0x0004), "CS", "MONOCHROME2");    // Photometric Interpretation
    data.SetUS(Tag(0x0028, 0x0102), (uint16_t)(stored - 1));   // High Bit

    // A window needs both values, and a width of at least 1.
    const double width = atof(data.Text(kWindowWidth).c_str());
    if (!data.Has(kWindowCenter) || !data.Has(kWindowWidth) || !(width >= 1.0)) {
        data.Remove(kWindowCenter);
        data.Remove(kWindowWidth);
    }

    // What every CR image carries, and the attributes that must be present
    // even when empty.
    data.SetText(Tag(0x0008, 0x0005), "CS", "ISO_IR 192");     // Specific Character Set
    data.SetText(Tag(0x0008, 0x0016), "UI", dicom::kCrImageStorage);
    const std::string instanceUid = NewUid();
    data.SetText(Tag(0x0008, 0x0018), "UI", instanceUid);
    data.SetText(Tag(0x0008, 0x0060), "CS", "CR");             // Modality
    data.SetText(Tag(0x0020, 0x000D), "UI", NewUid());         // Study Instance UID
    data.SetText(Tag(0x0020, 0x000E), "UI", NewUid());         // Series Instance UID
    struct Empty {
        uint32_t tag;
        const char* vr;
    };
    static const Empty kTypeTwo[] = {
        {Tag(0x0008, 0x0020), "DA"}, {Tag(0x0008, 0x0030), "TM"}, {Tag(0x0008, 0x0050), "SH"},
        {Tag(0x0008, 0x0070), "LO"}, {Tag(0x0008, 0x0090), "PN"}, {Tag(0x0010, 0x0010), "PN"},
        {Tag(0x0010, 0x0020), "LO"}, {Tag(0x0010, 0x0030), "DA"}, {Tag(0x0010, 0x0040), "CS"},
        {Tag(0x0018, 0x0015), "CS"}, {Tag(0x0018, 0x5101), "CS"}, {Tag(0x0020, 0x0010), "SH"},
        {Tag(0x0020, 0x0011), "IS"}, {Tag(0x0020, 0x0013), "IS"}, {Tag(0x0020, 0x0020), "CS"},
        // Laterality: the body part is not known to be paired or not.
        {Tag(0x0020, 0x0060), "CS"},
    };
    for (const Empty& e : kTypeTwo)
        if (!data.Has(e.tag))
            data.SetText(e.tag, e.vr, std::string());
    if (facts) {
        facts->patientId = Wide(data.Text(kPatientId));
        facts->accession = Wide(data.Text(kAccession));
    }

    // The pixels, read from the section while the file is written.
    SectionView view(section);
    if (!view.Data())
        return L"The pixel section \"" + section + L"\" cannot be opened: " + SystemText(view.Error());
    const uint32_t pixelBytes = (uint32_t)rows * columns * 2u;
    if (view.Size() < pixelBytes)
        return L"The pixel section is smaller than Rows x Columns x 2 bytes.";
    data.SetPixelsOW(Tag(0x7FE0, 0x0010), view.Data(), pixelBytes);

    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return L"The file \"" + path + L"\" cannot be created: " + SystemText(GetLastError());
    FileSink sink(file);
    const std::vector<uint8_t> meta = dicom::FileMetaInformation(instanceUid);
    const bool written = sink(meta.data(), meta.size()) && data.Write(sink) && sink.Flush();
    const DWORD writeError = sink.Error();
    CloseHandle(file);
    if (!written) {
        DeleteFileW(path.c_str());
        return L"The file \"" + path + L"\" cannot be written: " + SystemText(writeError);
    }
    return std::wstring();
}

}  // namespace dicomsrv
