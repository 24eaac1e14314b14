#include "forms/fielddesc.h"

#include "forms/descheap.h"
#include "foundation/datetime.h"
#include "foundation/journal.h"
#include "resources/strings.h"

#include <stddef.h>
#include <string.h>

namespace {

// Type words, read by text; the order matters for the prefix rule.
const DescKeyword kTypeWords[] = {
    DESC_KEYWORD(L"int8", kFieldInt8),
    DESC_KEYWORD(L"int16", kFieldInt16),
    DESC_KEYWORD(L"int32", kFieldInt32),
    DESC_KEYWORD(L"char", kFieldText),
    DESC_KEYWORD(L"varchar", kFieldText),
    DESC_KEYWORD(L"datetime", kFieldDateTime),
    DESC_KEYWORD(L"date", kFieldDate),
    DESC_KEYWORD(L"time", kFieldTime),
    DESC_KEYWORD(L"notnull", kFieldNotNull),
    DESC_KEYWORD(L"rowid", kFieldRowId),
    DESC_KEYWORD(L"unsigned", kFieldUnsigned),
    DESC_KEYWORD(L"bool", kFieldBool),
    DESC_KEYWORD(L"checkrow", kFieldCheckRow),
    DESC_KEYWORD(L"special", kFieldSpecial),
    DESC_KEYWORD(L"counter", kFieldCounter),
};

enum FieldAttr {
    kAttrReference = 1,
    kAttrFormat = 2,
    kAttrDefault = 3,
    kAttrWidth = 4,
    kAttrHeight = 5,
    kAttrAlign = 6,
    kAttrCapAlign = 7,
    kAttrBorder = 8,
};

// Field attributes, read by identifier; "control" sets the width.
const DescKeyword kAttrWords[] = {
    DESC_KEYWORD(L"reference", kAttrReference),
    DESC_KEYWORD(L"format", kAttrFormat),
    DESC_KEYWORD(L"control", kAttrWidth),
    DESC_KEYWORD(L"default", kAttrDefault),
    DESC_KEYWORD(L"width", kAttrWidth),
    DESC_KEYWORD(L"height", kAttrHeight),
    DESC_KEYWORD(L"align", kAttrAlign),
    DESC_KEYWORD(L"capalign", kAttrCapAlign),
    DESC_KEYWORD(L"border", kAttrBorder),
};

// Alignment words: 1 to 3 horizontal, 4 to 6 vertical.
const DescKeyword kAlignWords[] = {
    DESC_KEYWORD(L"left", 1),  DESC_KEYWORD(L"center", 2),  DESC_KEYWORD(L"right", 3),
    DESC_KEYWORD(L"top", 4),   DESC_KEYWORD(L"vcenter", 5), DESC_KEYWORD(L"bottom", 6),
};
const DWORD kAlignFlags[] = {0, kAlignLeft, kAlignCenter, kAlignRight, kAlignTop, kAlignVCenter, kAlignBottom};

const DescKeyword kBorderWords[] = {
    DESC_KEYWORD(L"left", kBorderLeft),
    DESC_KEYWORD(L"right", kBorderRight),
    DESC_KEYWORD(L"top", kBorderTop),
    DESC_KEYWORD(L"bottom", kBorderBottom),
};

const DescKeyword kNullWord[] = {DESC_KEYWORD(L"null", kDefaultNull)};

const DescKeyword kDefaultWords[] = {
    DESC_KEYWORD(L"date", static_cast<DWORD>(kDefaultToday)),
    DESC_KEYWORD(L"time", static_cast<DWORD>(kDefaultTimeNow)),
    DESC_KEYWORD(L"now", static_cast<DWORD>(kDefaultNow)),
    DESC_KEYWORD(L"string", kDefaultString),
};

template <class T, int N>
constexpr int Rows(const T (&)[N])
{
    return N;
}


// Requires `c` at the cursor (2 otherwise) and steps past it.
void Expect(DescLexer& lex, wchar_t c)
{
    if (lex.Peek() != c || lex.AtEnd())
        ThrowDescFault(kDescSyntax);
    lex.Advance();
}

wchar_t* AllocText()
{
    wchar_t* block = static_cast<wchar_t*>(DescHeap::Alloc(kFieldFormatChars * sizeof(wchar_t)));
    if (!block)
        ThrowDescFault(kDescNoMemory);
    return block;
}

// Lays the parts of a blob out one after another, 4-byte aligned; counts only
// when there is no block.
class Packer {
public:
    explicit Packer(BYTE* block) : base_(block), at_(0) {}

    void* Take(DWORD bytes)
    {
        void* p = base_ ? base_ + at_ : nullptr;
        at_ += (bytes + 3) & ~3u;
        return p;
    }
    const wchar_t* Text(const wchar_t* text, int length)
    {
        wchar_t* p = static_cast<wchar_t*>(Take(static_cast<DWORD>(length + 1) * sizeof(wchar_t)));
        if (p) {
            if (length > 0)
                memcpy(p, text, length * sizeof(wchar_t));
            p[length] = 0;
        }
        return p;
    }
    DWORD Size() const { return at_; }

private:
    BYTE* base_;
    DWORD at_;
};

struct ValueInfo {
    DWORD size;
    WORD bind;
};

// Value size and binding of a base type; 4 for any other.
ValueInfo ValueOf(DWORD base, DWORD textSize)
{
    switch (base) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
    case kFieldBool:
        return {4, kBindI4};
    case kFieldText:
        return {2 * textSize + 2, kBindWStr};
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime:
        return {8, kBindFileTime};
    default:
        ThrowDescFault(kDescNotImplemented);
    }
}

// Fills (or, without a block, measures) a packed field.
DWORD Pack(const FieldDesc& f, BYTE* block)
{
    Packer p(block);
    FieldBlob* blob = static_cast<FieldBlob*>(p.Take(sizeof(FieldBlob)));
    const wchar_t* caption = p.Text(f.caption, f.captionLength);
    const wchar_t* column = p.Text(f.column, f.columnLength);

    const void* format = nullptr;
    DWORD formatLength = 0;
    if (f.formatText) {
        format = p.Text(f.formatText, f.formatLength);
        formatLength = static_cast<DWORD>(f.formatLength);
    } else if (f.boolText[0] && f.boolText[1]) {
        FieldBoolTexts* texts = static_cast<FieldBoolTexts*>(p.Take(sizeof(FieldBoolTexts)));
        const wchar_t* t1 = p.Text(f.boolText[0], f.boolLength[0]);
        const wchar_t* t2 = p.Text(f.boolText[1], f.boolLength[1]);
        if (texts) {
            texts->count = 2;
            texts->text1 = t1;
            texts->length1 = static_cast<DWORD>(f.boolLength[0]);
            texts->text2 = t2;
            texts->length2 = static_cast<DWORD>(f.boolLength[1]);
        }
        format = texts;
    }

    const ValueInfo value = ValueOf(FieldBase(f.type), f.textSize);

    FieldRef* ref = nullptr;
    if (const FieldRefSpec* spec = f.reference) {
        ref = static_cast<FieldRef*>(p.Take(sizeof(FieldRef)));
        const wchar_t* table = p.Text(spec->table, spec->tableLength);
        const wchar_t* key = p.Text(spec->keyColumn, spec->keyColumnLength);
        const wchar_t* shown = p.Text(spec->shownColumn, spec->shownColumnLength);
        const wchar_t* form = p.Text(spec->formFile, spec->formFileLength);
        if (ref) {
            ref->table = table;
            ref->tableLength = static_cast<DWORD>(spec->tableLength);
            ref->keyColumn = key;
            ref->keyColumnLength = static_cast<DWORD>(spec->keyColumnLength);
            ref->shownColumn = shown;
            ref->shownColumnLength = static_cast<DWORD>(spec->shownColumnLength);
            ref->formFile = form;
            ref->formFileLength = static_cast<DWORD>(spec->formFileLength);
            ref->type = spec->type;
            ref->bindType = kBindWStr;
            ref->valueSize = 2 * spec->textSize + 2;
            ref->textSize = spec->textSize;
        }
    }

    FieldDefault* def = nullptr;
    if (f.defaultKind != kDefaultNone) {
        const DWORD dataBytes = f.defaultSize > 8 ? f.defaultSize : 8;
        def = static_cast<FieldDefault*>(p.Take(offsetof(FieldDefault, data) + dataBytes));
        if (def) {
            def->kind = f.defaultKind;
            def->dataSize = f.defaultSize;
            memset(def->data, 0, sizeof(def->data));
            if (f.defaultSize)
                memcpy(def->data, f.defaultData, f.defaultSize);
        }
    }

    if (blob) {
        blob->size = p.Size();
        blob->caption = caption;
        blob->captionLength = static_cast<DWORD>(f.captionLength);
        blob->column = column;
        blob->columnLength = static_cast<DWORD>(f.columnLength);
        blob->format = format;
        blob->formatLength = formatLength;
        blob->textSize = FieldBase(f.type) == kFieldText ? f.textSize : 0;
        blob->reference = ref;
        blob->defaultValue = def;
        blob->type = f.type;
        blob->valueSize = value.size;
        blob->bindType = value.bind;
        blob->controlKind = f.reference ? kControlList : FieldBase(f.type) == kFieldBool ? kControlCheck : kControlEdit;
        blob->width = f.width;
        blob->height = f.height;
        blob->align = f.align;
        blob->capAlign = f.capAlign;
        blob->border = f.border;
    }
    return p.Size();
}

void ParseFieldReference(FieldDesc& f, DescLexer& lex, bool referencesAllowed)
{
    if (!referencesAllowed)
        ThrowDescText(lex, IDS_FORM_REFERENCE_NOT_ALLOWED);
    if (f.reference)
        ThrowDescText(lex, IDS_FORM_REFERENCE_REDEFINED);
    FieldRefSpec* spec = static_cast<FieldRefSpec*>(DescHeap::Alloc(sizeof(FieldRefSpec)));
    if (!spec)
        ThrowDescFault(kDescNoMemory);
    memset(spec, 0, sizeof(*spec));
    f.reference = spec;
    if (lex.Peek() != L'{' || lex.AtEnd())
        ThrowDescText(lex, IDS_FORM_OPEN_BRACE_EXPECTED);
    lex.NextChar();
    spec->tableLength = lex.ReadString(spec->table, kFieldNameChars);
    lex.SkipBlanks();
    Expect(lex, L',');
    lex.SkipBlanks();
    spec->keyColumnLength = lex.ReadString(spec->keyColumn, kFieldNameChars);
    lex.SkipBlanks();
    Expect(lex, L',');
    lex.SkipBlanks();
    spec->shownColumnLength = lex.ReadString(spec->shownColumn, kFieldNameChars);
    lex.SkipBlanks();
    Expect(lex, L',');
    lex.SkipBlanks();
    spec->type = ParseFieldType(lex, &spec->textSize);
    if (lex.Peek() == L',') {
        lex.NextChar();
        spec->formFileLength = lex.ReadString(spec->formFile, kFieldNameChars);
        lex.SkipBlanks();
        if (lex.Peek() != L'}')
            ThrowDescText(lex, IDS_FORM_CLOSE_BRACE_EXPECTED);
    }
    lex.Advance();   // the "}"
}

void ParseFieldFormat(FieldDesc& f, DescLexer& lex)
{
    if (f.formatText)
        ThrowDescText(lex, IDS_FORM_FORMAT_REDEFINED);
    switch (FieldBase(f.type)) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
    case kFieldText:
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime:
        f.formatText = AllocText();
        f.formatLength = lex.ReadString(f.formatText, kFieldFormatChars);
        return;
    case kFieldBool:
        // A second format replaces the first two texts in their own blocks.
        if (lex.Peek() != L'{' || lex.AtEnd())
            ThrowDescText(lex, IDS_FORM_FORMAT_NOT_ALLOWED);
        lex.NextChar();
        for (int i = 0; i < 2; ++i) {
            if (!f.boolText[i])
                f.boolText[i] = AllocText();
            f.boolLength[i] = lex.ReadString(f.boolText[i], kFieldFormatChars);
            lex.SkipBlanks();
        }
        if (lex.Peek() != L'}')
            ThrowDescText(lex, IDS_FORM_BOOL_FORMAT_SYNTAX);
        lex.Advance();
        lex.SkipBlanks();
        return;
    default:
        ThrowDescText(lex, IDS_FORM_FORMAT_NOT_ALLOWED);
    }
}

void SetDefault(FieldDesc& f, int kind, const void* data, DWORD size)
{
    if (size) {
        f.defaultData = DescHeap::Alloc(size);
        if (!f.defaultData)
            ThrowDescFault(kDescNoMemory);
        memcpy(f.defaultData, data, size);
    }
    f.defaultSize = size;
    f.defaultKind = kind;
}

void ParseDefaultValue(FieldDesc& f, DescLexer& lex)
{
    wchar_t text[kFieldDefaultChars + 1];
    if (lex.Peek() == L'"') {
        const int length = lex.ReadString(text, kFieldDefaultChars);
        if (length == 0)
            ThrowDescFault(kDescSyntax);
        text[length] = 0;
        DWORD mode = kParseDate | kParseTime | kParseTimeOptional;
        if (FieldBase(f.type) == kFieldDate)
            mode = kParseDate;
        else if (FieldBase(f.type) == kFieldTime)
            mode = kParseTime;
        FILETIME time;
        if (!ParseDateToFileTime(text, &time, mode))
            ThrowDescFault(kDescSyntax);
        SetDefault(f, kDefaultFileTime, &time, sizeof(time));
        return;
    }
    int length;
    const int kind = lex.MatchIdent(kDefaultWords, Rows(kDefaultWords), &length);
    if (kind == -1)
        ThrowDescFault(kDescSyntax);
    lex.Scan().pos += length;
    if (kind != kDefaultString) {
        SetDefault(f, kind, nullptr, 0);
        return;
    }
    lex.SkipBlanks();
    Expect(lex, L'(');
    lex.SkipBlanks();
    const int n = lex.ReadString(text, kFieldDefaultChars);
    Expect(lex, L')');
    if (n == 0) {
        SetDefault(f, kDefaultNull, nullptr, 0);
        return;
    }
    text[n] = 0;
    SetDefault(f, kDefaultString, text, static_cast<DWORD>(n + 1) * sizeof(wchar_t));
}

void ParseDefault(FieldDesc& f, DescLexer& lex)
{
    if (f.defaultKind != kDefaultNone) {
        // This text is recorded with code 0, not the line.
        JournalWriteId(0, IDS_FORM_DEFAULT_REDEFINED);
        ThrowDescFault(kDescReported);
    }
    Expect(lex, L'=');
    lex.SkipBlanks();
    const int length = lex.IdentLength();
    if (length > 0 && FindKeyword(lex.Scan().Current(), length, kNullWord, 1) == kDefaultNull) {
        lex.Scan().pos += length;
        SetDefault(f, kDefaultNull, nullptr, 0);
        return;
    }
    switch (FieldBase(f.type)) {
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime:
        ParseDefaultValue(f, lex);
        return;
    default:
        ThrowDescFault(kDescNotImplemented);
    }
}

}  // namespace

FieldDesc::FieldDesc()
{
    memset(this, 0, sizeof(*this));
    width = -1;
}

void FieldDesc::Free()
{
    for (int i = 0; i < 2; ++i) {
        DescHeap::Free(boolText[i]);
        boolText[i] = nullptr;
    }
    DescHeap::Free(formatText);
    formatText = nullptr;
    DescHeap::Free(reference);
    reference = nullptr;
    DescHeap::Free(defaultData);
    defaultData = nullptr;
}

DWORD FieldDesc::SerialSize() const { return Pack(*this, nullptr); }

FieldBlob* FieldDesc::Serialize() const
{
    // Everything that can refuse the field is checked before the block is taken.
    if (FieldBase(type) == kFieldText && textSize > kFieldMaxTextSize)
        ThrowDescFault(kDescMissing);
    if (reference) {
        if (FieldBase(type) != kFieldInt32 || FieldBase(reference->type) != kFieldText ||
            reference->textSize > 255)
            ThrowDescFault(kDescMissing);
    }
    const DWORD size = SerialSize();
    BYTE* block = static_cast<BYTE*>(DescHeap::Alloc(size));
    if (!block)
        return nullptr;
    Pack(*this, block);
    return reinterpret_cast<FieldBlob*>(block);
}

DWORD ParseFieldType(DescLexer& lex, DWORD* textSize)
{
    DWORD type = 0;
    for (;;) {
        const int row = lex.MatchText(kTypeWords, Rows(kTypeWords));
        if (row < 0)
            ThrowDescText(lex, IDS_FORM_TYPE_UNKNOWN);
        const DWORD code = kTypeWords[row].code;
        lex.Scan().pos += static_cast<LONG>(kTypeWords[row].length);
        if (FieldBase(code)) {
            if (FieldBase(type))
                ThrowDescText(lex, IDS_FORM_TYPE_REDEFINED);
            type |= code;
            if (code == kFieldText) {
                lex.SkipBlanks();
                if (lex.Peek() != L'(')
                    ThrowDescFault(kDescBadSize);
                lex.Advance();
                lex.SkipBlanks();
                *textSize = lex.ReadUInt();
                if (lex.Peek() != L')' || lex.AtEnd())
                    ThrowDescFault(kDescBadSize);
                lex.Advance();
            }
        } else {
            if (type & code)
                ThrowDescFault(kDescFlagTwice);
            type |= code;
        }
        lex.SkipBlanks();
        if (lex.Peek() == L',' || lex.Peek() == L'}')
            return type;
    }
}

DWORD ParseAlign(DescLexer& lex)
{
    lex.SkipBlanks();
    Expect(lex, L'=');
    int length;
    const int first = lex.MatchIdent(kAlignWords, Rows(kAlignWords), &length);
    if (first < 0)
        ThrowDescFault(kDescSyntax);
    lex.Scan().pos += length;
    DWORD flags = kAlignFlags[first];
    lex.SkipBlanks();
    if (lex.Peek() != L'|')
        return flags;
    lex.Advance();
    const int second = lex.MatchIdent(kAlignWords, Rows(kAlignWords), &length);
    // Words 1 to 3 are horizontal, 4 to 6 vertical: one of each axis.
    if (second < 0 || (first <= 3) == (second <= 3))
        ThrowDescFault(kDescSyntax);
    lex.Scan().pos += length;
    return flags | kAlignFlags[second];
}

DWORD ParseBorder(DescLexer& lex)
{
    Expect(lex, L'=');
    lex.SkipBlanks();
    if (lex.Peek() == L'0') {
        lex.Advance();
        return 0;
    }
    DWORD bits = 0;
    for (;;) {
        int length;
        const int side = lex.MatchIdent(kBorderWords, Rows(kBorderWords), &length);
        if (side < 0)
            ThrowDescFault(kDescSyntax);
        bits |= static_cast<DWORD>(side);
        lex.Scan().pos += length;
        lex.SkipBlanks();
        if (lex.Peek() != L'|')
            return bits;
        lex.Advance();
        lex.SkipBlanks();
    }
}

void ParseField(FieldDesc& f, DescLexer& lex, bool referencesAllowed)
{
    lex.SkipBlanks();
    f.captionLength = lex.ReadString(f.caption, kFieldNameChars);
    lex.SkipBlanks();
    Expect(lex, L',');
    lex.SkipBlanks();
    f.columnLength = lex.ReadString(f.column, kFieldNameChars);
    lex.SkipBlanks();
    Expect(lex, L',');
    lex.SkipBlanks();
    f.type = ParseFieldType(lex, &f.textSize);
    if (FieldBase(f.type) == 0)
        ThrowDescFault(kDescSyntax);
    for (;;) {
        lex.SkipBlanks();
        const wchar_t c = lex.Peek();
        if (c == L'}') {
            lex.Advance();
            return;
        }
        if (c != L',')
            ThrowDescText(lex, IDS_FORM_UNKNOWN_KEYWORD);
        lex.NextChar();
        int length;
        const int attr = lex.MatchIdent(kAttrWords, Rows(kAttrWords), &length);
        lex.Scan().pos += length;
        lex.SkipBlanks();
        switch (attr) {
        case kAttrReference:
            ParseFieldReference(f, lex, referencesAllowed);
            break;
        case kAttrFormat:
            ParseFieldFormat(f, lex);
            break;
        case kAttrDefault:
            ParseDefault(f, lex);
            break;
        case kAttrWidth:
            f.width = lex.ReadAssignedInt();
            break;
        case kAttrHeight:
            f.height = lex.ReadAssignedInt();
            break;
        case kAttrAlign:
            f.align = ParseAlign(lex);
            break;
        case kAttrCapAlign:
            f.capAlign = ParseAlign(lex);
            break;
        case kAttrBorder:
            f.border = ParseBorder(lex);
            break;
        default:
            ThrowDescFault(kDescSyntax);
        }
    }
}

FieldBlob* ParseFieldBlock(DescLexer& lex, bool referencesAllowed)
{
    lex.SkipBlanks();
    if (lex.Peek() != L'{')
        ThrowDescFault(kDescSyntax);
    FieldDesc field;
    lex.Advance();
    ParseField(field, lex, referencesAllowed);
    FieldBlob* blob = field.Serialize();
    if (!blob)
        ThrowDescFault(kDescMissing);
    return blob;
}

void FreeFieldBlob(void* blob) { DescHeap::Free(blob); }

void ParseFieldList(DescLexer& lex, DescList& out, bool referencesAllowed)
{
    lex.SkipBlanks();
    lex.OpenBlock();
    for (;;) {
        if (lex.CloseBlock())
            return;
        FieldBlob* blob = ParseFieldBlock(lex, referencesAllowed);
        if (!out.Push(blob)) {
            DescHeap::Free(blob);
            ThrowDescFault(kDescMissing);
        }
    }
}
