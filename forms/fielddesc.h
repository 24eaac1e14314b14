// Field descriptions: one database column of a described form, list or
// reference section, with its caption, type, flags and presentation.
//
// A field block of a description file is parsed into a FieldDesc (which
// lives only while its block is read) and packed into a FieldBlob: one
// DescHeap block whose header points only into itself, so that one free
// releases it. The card form, the filter form, the patient lists and report
// printing read the blobs.
//
// Grammar (blanks and comments may stand between the tokens):
//   field list:  "{" field block* "}"
//   field block: "{" caption "," column "," type ("," attribute)* "}"
#pragma once

#include "forms/desclexer.h"

#include <windows.h>

class DescList;

// The type word: the base type in the low 20 bits, flags above.
enum FieldType : DWORD {
    kFieldInt8 = 0x1,
    kFieldInt16 = 0x2,
    kFieldInt32 = 0x3,
    kFieldBool = 0x4,
    kFieldText = 0x10,
    kFieldDateTime = 0x20,
    kFieldDate = 0x21,
    kFieldTime = 0x22,
    kFieldBaseMask = 0x000FFFFF,
    kFieldSpecial = 0x00100000,    // not offered in the filter form
    kFieldCounter = 0x08000000,
    kFieldCheckRow = 0x10000000,   // the value must not repeat another row's
    kFieldRowId = 0x20000000,      // takes part in the check-row lookup
    kFieldUnsigned = 0x40000000,
    kFieldNotNull = 0x80000000,    // a value is required
};

inline DWORD FieldBase(DWORD type) { return type & kFieldBaseMask; }

// Control kinds of a packed field.
enum FieldControl : DWORD {
    kControlEdit = 1,
    kControlList = 2,    // a drop-down list filled from the field's reference
    kControlCheck = 3,   // a yes/no button
};

// OLE DB binding types of a packed field.
enum : WORD {
    kBindI4 = 3,
    kBindFileTime = 64,
    kBindWStr = 130,
};

// Alignment flags: one horizontal and one vertical word.
enum : DWORD {
    kAlignLeft = 0,
    kAlignCenter = 4,
    kAlignRight = 8,
    kAlignTop = 0,
    kAlignVCenter = 1,
    kAlignBottom = 2,
};

// Border sides.
enum : DWORD {
    kBorderLeft = 1,
    kBorderTop = 2,
    kBorderRight = 4,
    kBorderBottom = 8,
};

// Kinds of a field's default value.
enum FieldDefaultKind : int {
    kDefaultNone = 0,
    kDefaultNull = 1,
    kDefaultFileTime = 2,   // a quoted date or time: 8 bytes of FILETIME
    kDefaultString = 3,     // text and a terminating zero
    kDefaultToday = -2,     // "date": the current date at use
    kDefaultTimeNow = -3,   // "time": the current time of day at use
    kDefaultNow = -4,       // "now": the current date and time at use
};

// Text capacities of the field grammar, in characters.
const int kFieldNameChars = 128;      // caption, column, reference texts
const int kFieldFormatChars = 256;    // a format text, each bool text
const int kFieldDefaultChars = 64;    // a quoted default
// The longest text size: its value (2n + 2 bytes) must stay within the
// 65,536 bytes the database layer binds for one text.
const DWORD kFieldMaxTextSize = 32767;

// The two texts of a "bool" format, inside the blob.
struct FieldBoolTexts {
    DWORD count;   // 2
    const wchar_t* text1;
    DWORD length1;
    const wchar_t* text2;
    DWORD length2;
};

// A field's reference, inside the blob: the drop-down list's source.
struct FieldRef {
    const wchar_t* table;
    DWORD tableLength;
    const wchar_t* keyColumn;
    DWORD keyColumnLength;
    const wchar_t* shownColumn;
    DWORD shownColumnLength;
    const wchar_t* formFile;   // the card of the referenced table; empty when absent
    DWORD formFileLength;
    DWORD type;                // the shown column's type word
    WORD bindType;             // 130
    DWORD valueSize;           // 2n + 2
    DWORD textSize;            // n
};

// A field's default, inside the blob.
struct FieldDefault {
    int kind;          // FieldDefaultKind
    DWORD dataSize;    // bytes of data
    BYTE data[8];      // FILETIME, or the first bytes of the text (the rest follows)

    const FILETIME* FileTime() const { return reinterpret_cast<const FILETIME*>(data); }
    const wchar_t* Text() const { return reinterpret_cast<const wchar_t*>(data); }
};

// The packed field. Every pointer points into the same block.
struct FieldBlob {
    DWORD size;                  // bytes of the whole block
    const wchar_t* caption;      // shown to the user; terminated
    DWORD captionLength;
    const wchar_t* column;       // the column that every SQL text names; terminated
    DWORD columnLength;
    const void* format;          // the format text, the FieldBoolTexts of a "bool", or null
    DWORD formatLength;          // characters of a format text, else 0
    DWORD textSize;              // n of a text field, else 0
    const FieldRef* reference;   // or null
    const FieldDefault* defaultValue;   // or null
    DWORD type;                  // type word
    DWORD valueSize;             // bytes of one value
    WORD bindType;
    DWORD controlKind;           // FieldControl
    int width;                   // -1 when not given; the list keeps its column width here
    int height;
    DWORD align;
    DWORD capAlign;
    DWORD border;

    DWORD Base() const { return FieldBase(type); }
    // The format text of a field that is not "bool", or null.
    const wchar_t* FormatText() const
    {
        return Base() != kFieldBool ? static_cast<const wchar_t*>(format) : nullptr;
    }
    // The two texts of a "bool" format, or null.
    const FieldBoolTexts* BoolTexts() const
    {
        return Base() == kFieldBool ? static_cast<const FieldBoolTexts*>(format) : nullptr;
    }
};

// A reference while it is parsed.
struct FieldRefSpec {
    wchar_t table[kFieldNameChars];
    wchar_t keyColumn[kFieldNameChars];
    wchar_t shownColumn[kFieldNameChars];
    wchar_t formFile[kFieldNameChars];
    int tableLength;
    int keyColumnLength;
    int shownColumnLength;
    int formFileLength;   // 0 when absent
    DWORD type;
    DWORD textSize;
};

// One field while its block is parsed. The blocks it points to come from
// DescHeap and are freed by Free, which the destructor also runs, so an
// abandoned field leaves nothing behind.
struct FieldDesc {
    wchar_t caption[kFieldNameChars];
    wchar_t column[kFieldNameChars];
    wchar_t* boolText[2];       // 256-character blocks, or null
    int boolLength[2];
    wchar_t* formatText;        // a 256-character block, or null
    FieldRefSpec* reference;    // or null
    DWORD defaultSize;          // bytes of defaultData
    int defaultKind;            // FieldDefaultKind
    void* defaultData;          // or null
    DWORD border;
    int captionLength;
    int columnLength;
    int formatLength;
    DWORD textSize;
    int width;                  // -1 when not given
    int height;
    DWORD align;
    DWORD capAlign;
    DWORD type;

    FieldDesc();
    ~FieldDesc() { Free(); }
    FieldDesc(const FieldDesc&) = delete;
    FieldDesc& operator=(const FieldDesc&) = delete;

    // Gives back every block and clears the pointers.
    void Free();
    // Bytes of the packed field; throws 4 for a base type without a value size.
    DWORD SerialSize() const;
    // Packs the field into a new blob; null when the heap refuses. Throws -1
    // for a reference that does not fit the field, 4 for an unknown base type.
    FieldBlob* Serialize() const;
};

// Appends one blob per field block of the list at the cursor to `out`.
void ParseFieldList(DescLexer& lex, DescList& out, bool referencesAllowed);
// One field block, packed.
FieldBlob* ParseFieldBlock(DescLexer& lex, bool referencesAllowed);
// The text after a block's "{" up to and including its "}".
void ParseField(FieldDesc& field, DescLexer& lex, bool referencesAllowed);
// Type words up to a "," or "}" (not consumed); the text size of "char".
DWORD ParseFieldType(DescLexer& lex, DWORD* textSize);
// "=" and one or two alignment words; the flags.
DWORD ParseAlign(DescLexer& lex);
// "=" and border words or "0"; the side bits.
DWORD ParseBorder(DescLexer& lex);

// Frees a blob taken from a DescList (a DescList::FreeItem).
void FreeFieldBlob(void* blob);
