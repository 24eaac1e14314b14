// DICOM Part 10 files as the export server writes them: a 128-byte preamble,
// "DICM", the file meta information (group 0002) and one data set, all in
// explicit VR little endian, written from the rules of the DICOM standard
// (PS3.5 for the encoding, PS3.10 for the file).
//
// Pure code (no Windows header): the data set is a list of elements with
// their values already in the encoding; the caller writes the file through a
// sink. The pixel data are not copied: the element points at the caller's
// bytes, which must live until the file is written.
//
// Encoding rules kept here:
//  - elements are written in ascending tag order, each tag at most once (a
//    second Set replaces the first);
//  - every value has an even length: UI values are padded with a NUL, OB and
//    OW with a zero byte, other texts with a blank;
//  - OB, OW, OF, SQ, UT and UN have a 2-byte reserved field and a 4-byte
//    length, every other VR a 2-byte length (values longer than 65,534 bytes
//    are cut at the VR's limit by the value formatters, never here);
//  - group 0002 starts with its group length (0002,0000).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace dicom {

constexpr uint32_t Tag(uint16_t group, uint16_t element)
{
    return ((uint32_t)group << 16) | element;
}

// Transfer syntax and storage class of the files written.
extern const char kExplicitVrLittleEndian[];    // 1.2.840.10008.1.2.1
extern const char kCrImageStorage[];            // 1.2.840.10008.5.1.4.1.1.1
extern const char kImplementationClassUid[];
extern const char kImplementationVersion[];

class DataSet
{
public:
    // A text value of the VR (two capital letters), padded to even length.
    void SetText(uint32_t tag, const char* vr, const std::string& value);
    void SetUS(uint32_t tag, uint16_t value);
    void SetUL(uint32_t tag, uint32_t value);
    void SetOB(uint32_t tag, const std::vector<uint8_t>& bytes);
    // 16-bit words of `size` bytes (even) at `data`, written as they are.
    void SetPixelsOW(uint32_t tag, const void* data, uint32_t size);

    bool Has(uint32_t tag) const;
    // The value of a text element without its padding ("" when missing).
    std::string Text(uint32_t tag) const;
    // The value of a US element; false when there is none.
    bool US(uint32_t tag, uint16_t* out) const;
    void Remove(uint32_t tag);
    size_t Count() const { return elements_.size(); }

    // Bytes of the encoded elements, in tag order.
    uint64_t EncodedSize() const;
    // Writes the elements in tag order; false when the sink fails.
    template <class Sink>
    bool Write(Sink& sink) const;

private:
    struct Element
    {
        uint32_t tag;
        char vr[3];
        std::vector<uint8_t> value;     // own bytes, padded
        const void* external;           // or the caller's bytes (pixels)
        uint32_t externalSize;
    };
    Element& Slot(uint32_t tag, const char* vr);
    static bool LongLength(const char* vr);
    static size_t HeaderSize(const Element& e);
    static void EncodeHeader(const Element& e, uint8_t* out, size_t* size);

    std::vector<Element> elements_;     // kept sorted by tag
};

// The preamble, "DICM" and group 0002 of a file of the CR image storage class
// with this instance UID, in explicit VR little endian.
std::vector<uint8_t> FileMetaInformation(const std::string& sopInstanceUid);

// A UID below the root 2.25 from 16 random bytes (the decimal value of the
// 128-bit number, as PS3.5 allows for UUID-derived UIDs).
std::string UidFromRandom(const uint8_t bytes[16]);

// ---- values in their VR's text form ----------------------------------------

// "dd/MM/yyyy" (the day and month may have one digit) as a DA "yyyyMMdd";
// "" when the text is no valid date.
std::string DateFromDayMonthYear(const std::string& text);
// "hh:mm:ss" (24-hour) as a TM "hhmmss"; "" when the text is no valid time.
std::string TimeFromClock(const std::string& text);
// A DS of at most 16 characters and `maxPrecision` significant digits (7
// for a value that came as a single-precision float); "" for a value that
// is not finite.
std::string DecimalString(double value, int maxPrecision = 15);
// An IS.
std::string IntegerString(int32_t value);
// Cuts a UTF-8 text after `maxChars` characters (not bytes) and drops
// characters the VR's text may not hold (control characters, and "\" in a
// single value).
std::string CutText(const std::string& utf8, size_t maxChars);
// A PN value from the name's components in their order (family, given,
// middle, prefix, suffix): "^" and "=" dropped from each, empty components at
// the end left out, the rest joined with "^". The VR holds 64 characters a
// component group, the separators counted; a longer name is cut by
// characters, component by component, so that each keeps its place and a
// part of its text: a component that fits an equal share of the room keeps
// all of it, and the longer ones share what the others leave (the earlier
// ones taking what does not divide evenly).
std::string PersonName(const std::vector<std::string>& components, size_t maxChars = 64);
// A CS value: capital letters, digits, blank and "_" kept (small letters
// made capital), everything else dropped, at most 16 characters.
std::string CodeString(const std::string& text);

// ---- the attribute names the client sends ----------------------------------

enum class ValueKind
{
    Text,           // a text, or a number written as text
    Date,           // "dd/MM/yyyy"
    Time,           // "hh:mm:ss"
    Integer,        // US, or IS
    Decimal,        // DS
    PersonName,     // array of name parts
    CodeList,       // array of CS values
    DecimalList,    // array of DS values
};

struct AttributeRule
{
    const char* name;       // the attribute's name in words, as the client sends it
    uint32_t tag;
    const char* vr;
    ValueKind kind;
    size_t maxChars;        // of one value
};

// The rule of a name (compared without regard to case), or null.
const AttributeRule* FindAttribute(const std::u16string& name);
// Every name the server knows, in the order the client sends them.
const std::vector<AttributeRule>& KnownAttributes();

// ---- template members ------------------------------------------------------

template <class Sink>
bool DataSet::Write(Sink& sink) const
{
    for (const Element& e : elements_) {
        uint8_t header[12];
        size_t size = 0;
        EncodeHeader(e, header, &size);
        if (!sink(header, size))
            return false;
        if (e.external) {
            if (e.externalSize && !sink(e.external, e.externalSize))
                return false;
            if (e.externalSize & 1) {
                const uint8_t zero = 0;
                if (!sink(&zero, 1))
                    return false;
            }
        } else if (!e.value.empty() && !sink(e.value.data(), e.value.size())) {
            return false;
        }
    }
    return true;
}

}  // namespace dicom
