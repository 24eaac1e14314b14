// DICOM file encoding: see dicomfile.h.
#include "tools/dicomsrv/dicomfile.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace dicom {

const char kExplicitVrLittleEndian[] = "1.2.840.10008.1.2.1";
const char kCrImageStorage[] = "1.2.840.10008.5.1.4.1.1.1";
// The stand-in's own implementation class: a UUID-derived UID, fixed.
const char kImplementationClassUid[] = "2.25.194417285117347862330346442861950291207";
const char kImplementationVersion[] = "TF_DICOMSRV_1";

namespace {

void PutLe16(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v)
{
    PutLe16(p, (uint16_t)v);
    PutLe16(p + 2, (uint16_t)(v >> 16));
}

bool IsDigits(const std::string& s, size_t from, size_t count)
{
    if (from + count > s.size())
        return false;
    for (size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

// The number of one or two digits at `at`, moving `at` past them; -1 when none.
int ReadNumber(const std::string& s, size_t& at, size_t maxDigits)
{
    int value = 0;
    size_t digits = 0;
    while (at < s.size() && digits < maxDigits && s[at] >= '0' && s[at] <= '9') {
        value = value * 10 + (s[at] - '0');
        ++at;
        ++digits;
    }
    return digits ? value : -1;
}

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Bytes of the UTF-8 character that starts with `lead` (1 for a stray byte).
size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

char16_t Lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? (char16_t)(c - u'A' + u'a') : c;
}

}  // namespace

// ---- data set --------------------------------------------------------------

DataSet::Element& DataSet::Slot(uint32_t tag, const char* vr)
{
    auto at = std::lower_bound(elements_.begin(), elements_.end(), tag,
                               [](const Element& e, uint32_t t) { return e.tag < t; });
    if (at == elements_.end() || at->tag != tag)
        at = elements_.insert(at, Element{tag, {0, 0, 0}, {}, nullptr, 0});
    at->vr[0] = vr[0];
    at->vr[1] = vr[1];
    at->value.clear();
    at->external = nullptr;
    at->externalSize = 0;
    return *at;
}

void DataSet::SetText(uint32_t tag, const char* vr, const std::string& value)
{
    Element& e = Slot(tag, vr);
    e.value.assign(value.begin(), value.end());
    if (e.value.size() & 1)
        e.value.push_back(strcmp(vr, "UI") == 0 ? '\0' : ' ');
}

void DataSet::SetUS(uint32_t tag, uint16_t value)
{
    Element& e = Slot(tag, "US");
    e.value.resize(2);
    PutLe16(e.value.data(), value);
}

void DataSet::SetUL(uint32_t tag, uint32_t value)
{
    Element& e = Slot(tag, "UL");
    e.value.resize(4);
    PutLe32(e.value.data(), value);
}

void DataSet::SetOB(uint32_t tag, const std::vector<uint8_t>& bytes)
{
    Element& e = Slot(tag, "OB");
    e.value = bytes;
    if (e.value.size() & 1)
        e.value.push_back(0);
}

void DataSet::SetPixelsOW(uint32_t tag, const void* data, uint32_t size)
{
    Element& e = Slot(tag, "OW");
    e.external = data;
    e.externalSize = size;
}

bool DataSet::Has(uint32_t tag) const
{
    for (const Element& e : elements_)
        if (e.tag == tag)
            return true;
    return false;
}

std::string DataSet::Text(uint32_t tag) const
{
    for (const Element& e : elements_) {
        if (e.tag != tag || e.external)
            continue;
        std::string s(e.value.begin(), e.value.end());
        while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
            s.pop_back();
        return s;
    }
    return std::string();
}

bool DataSet::US(uint32_t tag, uint16_t* out) const
{
    for (const Element& e : elements_) {
        if (e.tag != tag)
            continue;
        if (e.external || e.value.size() != 2 || e.vr[0] != 'U' || e.vr[1] != 'S')
            return false;
        *out = (uint16_t)(e.value[0] | (e.value[1] << 8));
        return true;
    }
    return false;
}

void DataSet::Remove(uint32_t tag)
{
    for (auto at = elements_.begin(); at != elements_.end(); ++at) {
        if (at->tag == tag) {
            elements_.erase(at);
            return;
        }
    }
}

bool DataSet::LongLength(const char* vr)
{
    static const char* const kLong[] = {"OB", "OW", "OF", "SQ", "UT", "UN"};
    for (const char* l : kLong)
        if (vr[0] == l[0] && vr[1] == l[1])
            return true;
    return false;
}

size_t DataSet::HeaderSize(const Element& e)
{
    return LongLength(e.vr) ? 12 : 8;
}

void DataSet::EncodeHeader(const Element& e, uint8_t* out, size_t* size)
{
    const uint32_t length = e.external ? e.externalSize + (e.externalSize & 1) : (uint32_t)e.value.size();
    PutLe16(out, (uint16_t)(e.tag >> 16));
    PutLe16(out + 2, (uint16_t)e.tag);
    out[4] = (uint8_t)e.vr[0];
    out[5] = (uint8_t)e.vr[1];
    if (LongLength(e.vr)) {
        PutLe16(out + 6, 0);
        PutLe32(out + 8, length);
        *size = 12;
    } else {
        PutLe16(out + 6, (uint16_t)length);
        *size = 8;
    }
}

uint64_t DataSet::EncodedSize() const
{
    uint64_t total = 0;
    for (const Element& e : elements_)
        total += HeaderSize(e) + (e.external ? e.externalSize + (e.externalSize & 1) : e.value.size());
    return total;
}

std::vector<uint8_t> FileMetaInformation(const std::string& sopInstanceUid)
{
    DataSet meta;
    meta.SetOB(Tag(0x0002, 0x0001), std::vector<uint8_t>{0x00, 0x01});
    meta.SetText(Tag(0x0002, 0x0002), "UI", kCrImageStorage);
    meta.SetText(Tag(0x0002, 0x0003), "UI", sopInstanceUid);
    meta.SetText(Tag(0x0002, 0x0010), "UI", kExplicitVrLittleEndian);
    meta.SetText(Tag(0x0002, 0x0012), "UI", kImplementationClassUid);
    meta.SetText(Tag(0x0002, 0x0013), "SH", kImplementationVersion);
    const uint32_t groupLength = (uint32_t)meta.EncodedSize();
    meta.SetUL(Tag(0x0002, 0x0000), groupLength);

    std::vector<uint8_t> out(128, 0);
    out.insert(out.end(), {'D', 'I', 'C', 'M'});
    auto sink = [&out](const void* data, size_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        out.insert(out.end(), p, p + n);
        return true;
    };
    meta.Write(sink);
    return out;
}

std::string UidFromRandom(const uint8_t bytes[16])
{
    // The 128-bit number, most significant byte first, made a UUID of
    // version 4 (random) as the rule for 2.25 wants.
    uint8_t n[16];
    memcpy(n, bytes, 16);
    n[6] = (uint8_t)((n[6] & 0x0F) | 0x40);
    n[8] = (uint8_t)((n[8] & 0x3F) | 0x80);
    // Decimal digits by repeated division by 10 of the big-endian number.
    std::string digits;
    bool nonzero = true;
    while (nonzero) {
        unsigned remainder = 0;
        nonzero = false;
        for (int i = 0; i < 16; ++i) {
            const unsigned value = (remainder << 8) | n[i];
            n[i] = (uint8_t)(value / 10);
            remainder = value % 10;
            nonzero = nonzero || n[i] != 0;
        }
        digits.push_back((char)('0' + remainder));
    }
    std::reverse(digits.begin(), digits.end());
    return "2.25." + digits;
}

// ---- values ------------------------------------------------------------------

std::string DateFromDayMonthYear(const std::string& text)
{
    size_t at = 0;
    const int day = ReadNumber(text, at, 2);
    if (day < 0 || at >= text.size() || text[at++] != '/')
        return std::string();
    const int month = ReadNumber(text, at, 2);
    if (month < 0 || at >= text.size() || text[at++] != '/')
        return std::string();
    if (!IsDigits(text, at, 4) || at + 4 != text.size())
        return std::string();
    const int year = ReadNumber(text, at, 4);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::string();
    char out[16];
    snprintf(out, sizeof out, "%04d%02d%02d", year, month, day);
    return out;
}

std::string TimeFromClock(const std::string& text)
{
    size_t at = 0;
    const int hour = ReadNumber(text, at, 2);
    if (hour < 0 || at >= text.size() || text[at++] != ':')
        return std::string();
    const int minute = ReadNumber(text, at, 2);
    if (minute < 0 || at >= text.size() || text[at++] != ':')
        return std::string();
    const int second = ReadNumber(text, at, 2);
    if (second < 0 || at != text.size() || hour > 23 || minute > 59 || second > 59)
        return std::string();
    char out[16];
    snprintf(out, sizeof out, "%02d%02d%02d", hour, minute, second);
    return out;
}

std::string DecimalString(double value, int maxPrecision)
{
    if (!isfinite(value))
        return std::string();
    char out[64];
    // The most digits that fit 16 characters.
    for (int precision = maxPrecision < 15 ? maxPrecision : 15; precision >= 1; --precision) {
        snprintf(out, sizeof out, "%.*g", precision, value);
        if (strlen(out) <= 16)
            return out;
    }
    return "0";
}

std::string IntegerString(int32_t value)
{
    char out[16];
    snprintf(out, sizeof out, "%ld", (long)value);
    return out;
}

std::string CutText(const std::string& utf8, size_t maxChars)
{
    std::string out;
    size_t chars = 0;
    for (size_t i = 0; i < utf8.size() && chars < maxChars;) {
        const unsigned char lead = (unsigned char)utf8[i];
        const size_t length = Utf8Length(lead);
        if (i + length > utf8.size())
            break;
        if (!(lead < 0x20 || lead == 0x7F || lead == '\\'))
            out.append(utf8, i, length);
        ++chars;
        i += length;
    }
    // Trailing blanks are padding in DICOM texts.
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

namespace {

size_t Utf8Chars(const std::string& utf8)
{
    size_t chars = 0;
    for (size_t i = 0; i < utf8.size(); i += Utf8Length((unsigned char)utf8[i]))
        ++chars;
    return chars;
}

}  // namespace

std::string PersonName(const std::vector<std::string>& components, size_t maxChars)
{
    std::vector<std::string> parts;
    for (const std::string& component : components) {
        std::string clean;
        for (char c : component)
            if (c != '^' && c != '=')
                clean.push_back(c);
        parts.push_back(CutText(clean, maxChars));
    }
    while (!parts.empty() && parts.back().empty())
        parts.pop_back();
    const size_t n = parts.size();
    if (n == 0)
        return std::string();
    size_t room = maxChars > n - 1 ? maxChars - (n - 1) : 0;
    std::vector<size_t> chars(n), share(n, 0), order(n);
    for (size_t i = 0; i < n; ++i) {
        chars[i] = Utf8Chars(parts[i]);
        order[i] = i;
    }
    // The shortest first; of equal ones the later first, so that the earlier
    // ones are left the larger shares.
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return chars[a] != chars[b] ? chars[a] < chars[b] : a > b; });
    for (size_t k = 0; k < n; ++k) {
        const size_t i = order[k];
        const size_t even = room / (n - k);
        share[i] = chars[i] < even ? chars[i] : even;
        room -= share[i];
    }
    std::string name;
    for (size_t i = 0; i < n; ++i) {
        if (i)
            name += '^';
        name += share[i] < chars[i] ? CutText(parts[i], share[i]) : parts[i];
    }
    return name;
}

std::string CodeString(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '_')
            out.push_back(c);
        if (out.size() == 16)
            break;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// ---- attribute names ---------------------------------------------------------

const std::vector<AttributeRule>& KnownAttributes()
{
    static const std::vector<AttributeRule> kAttributes = {
        {"Patient's Name", Tag(0x0010, 0x0010), "PN", ValueKind::PersonName, 64},
        {"Accession Number", Tag(0x0008, 0x0050), "SH", ValueKind::Text, 16},
        {"Patient's Birth Date", Tag(0x0010, 0x0030), "DA", ValueKind::Date, 8},
        {"Patient's Sex", Tag(0x0010, 0x0040), "CS", ValueKind::Text, 16},
        {"Patient ID", Tag(0x0010, 0x0020), "LO", ValueKind::Text, 64},
        {"Study Date", Tag(0x0008, 0x0020), "DA", ValueKind::Date, 8},
        {"Study Time", Tag(0x0008, 0x0030), "TM", ValueKind::Time, 16},
        {"Study Description", Tag(0x0008, 0x1030), "LO", ValueKind::Text, 64},
        {"Study ID", Tag(0x0020, 0x0010), "SH", ValueKind::Text, 16},
        {"Series Date", Tag(0x0008, 0x0021), "DA", ValueKind::Date, 8},
        {"Series Time", Tag(0x0008, 0x0031), "TM", ValueKind::Time, 16},
        {"Series Number", Tag(0x0020, 0x0011), "IS", ValueKind::Integer, 12},
        {"View Position", Tag(0x0018, 0x5101), "CS", ValueKind::Text, 16},
        // "Image Date", "Image Time" and "Image Number" are the older names
        // of Content Date, Content Time and Instance Number.
        {"Image Date", Tag(0x0008, 0x0023), "DA", ValueKind::Date, 8},
        {"Image Time", Tag(0x0008, 0x0033), "TM", ValueKind::Time, 16},
        {"Image Number", Tag(0x0020, 0x0013), "IS", ValueKind::Integer, 12},
        {"Patient Orientation", Tag(0x0020, 0x0020), "CS", ValueKind::CodeList, 16},
        {"Rows", Tag(0x0028, 0x0010), "US", ValueKind::Integer, 0},
        {"Columns", Tag(0x0028, 0x0011), "US", ValueKind::Integer, 0},
        {"Bits Allocated", Tag(0x0028, 0x0100), "US", ValueKind::Integer, 0},
        {"Bits Stored", Tag(0x0028, 0x0101), "US", ValueKind::Integer, 0},
        {"Pixel Representation", Tag(0x0028, 0x0103), "US", ValueKind::Integer, 0},
        {"KVP", Tag(0x0018, 0x0060), "DS", ValueKind::Decimal, 16},
        {"Distance Source to Detector", Tag(0x0018, 0x1110), "DS", ValueKind::Decimal, 16},
        {"Exposure Time", Tag(0x0018, 0x1150), "IS", ValueKind::Integer, 12},
        {"Exposure", Tag(0x0018, 0x1152), "IS", ValueKind::Integer, 12},
        {"Image Area Dose Product", Tag(0x0018, 0x115E), "DS", ValueKind::Decimal, 16},
        {"Pixel Spacing", Tag(0x0028, 0x0030), "DS", ValueKind::DecimalList, 16},
        {"Window Center", Tag(0x0028, 0x1050), "DS", ValueKind::Decimal, 16},
        {"Window Width", Tag(0x0028, 0x1051), "DS", ValueKind::Decimal, 16},
    };
    return kAttributes;
}

const AttributeRule* FindAttribute(const std::u16string& name)
{
    for (const AttributeRule& rule : KnownAttributes()) {
        const size_t length = strlen(rule.name);
        if (length != name.size())
            continue;
        size_t i = 0;
        while (i < length && Lower((char16_t)(unsigned char)rule.name[i]) == Lower(name[i]))
            ++i;
        if (i == length)
            return &rule;
    }
    return nullptr;
}

}  // namespace dicom
