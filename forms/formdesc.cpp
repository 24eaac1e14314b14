#include "forms/formdesc.h"

#include "resources/strings.h"

#include <new>
#include <string.h>

namespace {

enum FormSection { kSectionForm = 0, kSectionItems = 1, kSectionReference = 2 };

const DescKeyword kFormSections[] = {
    DESC_KEYWORD(L"form", kSectionForm),          DESC_KEYWORD(L"items", kSectionItems),
    DESC_KEYWORD(L"reference", kSectionReference), DESC_KEYWORD(L"форма", kSectionForm),
    DESC_KEYWORD(L"элементы", kSectionItems),     DESC_KEYWORD(L"ссылка", kSectionReference),
};

const int kRefItems = 6;   // the field list key of a reference section

const DescKeyword kRefKeys[] = {
    DESC_KEYWORD(L"name", kRefName),          DESC_KEYWORD(L"table", kRefTable),
    DESC_KEYWORD(L"key", kRefKey),            DESC_KEYWORD(L"basetable", kRefBaseTable),
    DESC_KEYWORD(L"basekey", kRefBaseKey),    DESC_KEYWORD(L"refkey", kRefRefKey),
    DESC_KEYWORD(L"items", kRefItems),        DESC_KEYWORD(L"имя", kRefName),
    DESC_KEYWORD(L"таблица", kRefTable),      DESC_KEYWORD(L"ключ", kRefKey),
    DESC_KEYWORD(L"бтаблица", kRefBaseTable), DESC_KEYWORD(L"бключ", kRefBaseKey),
    DESC_KEYWORD(L"сключ", kRefRefKey),       DESC_KEYWORD(L"элементы", kRefItems),
};

// Capacity of each text of a reference section.
const int kRefTextChars[kRefTextCount] = {256, 128, 128, 128, 128, 128};

void FreeRef(void* ref) { FormRefDesc::Destroy(static_cast<FormRefDesc*>(ref)); }

// Parses one reference section after its word and returns it.
FormRefDesc* ParseReferenceSection(DescLexer& lex)
{
    lex.OpenBlock();
    wchar_t texts[kRefTextCount][256];
    int lengths[kRefTextCount] = {0, 0, 0, 0, 0, 0};
    DescList fields;
    struct ListGuard {
        DescList& list;
        ~ListGuard() { list.Clear(FreeFieldBlob); }
    } guard{fields};
    for (;;) {
        if (lex.CloseBlock())
            break;
        const int key = ReadSectionWord(lex, kRefKeys, DescRows(kRefKeys));
        if (key == kRefItems)
            ParseFieldList(lex, fields, true);
        else
            lengths[key] = lex.ReadAssignedString(texts[key], kRefTextChars[key]);
    }
    const wchar_t* pointers[kRefTextCount];
    for (int i = 0; i < kRefTextCount; ++i)
        pointers[i] = texts[i];
    return FormRefDesc::Build(pointers, lengths, fields);
}

}  // namespace

// ---------------------------------------------------------------------------
// FormRefDesc

FormRefDesc::~FormRefDesc() { DescHeap::Free(strings); }

const wchar_t* FormRefDesc::String(int i) const
{
    if (!strings || i < 0 || i >= kRefTextCount)
        return nullptr;
    DWORD offset;
    memcpy(&offset, strings + i * sizeof(DWORD), sizeof(DWORD));
    return offset ? reinterpret_cast<const wchar_t*>(strings + offset + sizeof(DWORD)) : nullptr;
}

int FormRefDesc::StringLength(int i) const
{
    if (!strings || i < 0 || i >= kRefTextCount)
        return 0;
    DWORD offset, length;
    memcpy(&offset, strings + i * sizeof(DWORD), sizeof(DWORD));
    if (!offset)
        return 0;
    memcpy(&length, strings + offset, sizeof(DWORD));
    return static_cast<int>(length);
}

FormRefDesc* FormRefDesc::Build(const wchar_t* const texts[kRefTextCount], const int lengths[kRefTextCount],
                                DescList& fields)
{
    DWORD size = kRefTextCount * sizeof(DWORD);
    bool any = false;
    for (int i = 0; i < kRefTextCount; ++i) {
        if (lengths[i] > 0) {
            any = true;
            size += sizeof(DWORD) + (lengths[i] + 1) * sizeof(wchar_t);
            size = (size + 3) & ~3u;
        }
    }
    if (!any)
        ThrowDescFault(kDescReported);

    void* place = DescHeap::Alloc(sizeof(FormRefDesc));
    if (!place)
        ThrowDescFault(kDescNoMemory);
    FormRefDesc* ref = new (place) FormRefDesc;
    ref->strings = static_cast<BYTE*>(DescHeap::Alloc(size));
    if (!ref->strings || !ref->fields.MoveFrom(fields)) {
        Destroy(ref);
        ThrowDescFault(kDescNoMemory);
    }
    ref->stringsSize = size;
    memset(ref->strings, 0, size);
    DWORD at = kRefTextCount * sizeof(DWORD);
    for (int i = 0; i < kRefTextCount; ++i) {
        if (lengths[i] <= 0)
            continue;
        const DWORD length = static_cast<DWORD>(lengths[i]);
        memcpy(ref->strings + i * sizeof(DWORD), &at, sizeof(DWORD));
        memcpy(ref->strings + at, &length, sizeof(DWORD));
        memcpy(ref->strings + at + sizeof(DWORD), texts[i], length * sizeof(wchar_t));
        at += sizeof(DWORD) + (length + 1) * sizeof(wchar_t);
        at = (at + 3) & ~3u;
    }
    return ref;
}

void FormRefDesc::Destroy(FormRefDesc* ref)
{
    if (!ref)
        return;
    ref->~FormRefDesc();
    DescHeap::Free(ref);
}

// ---------------------------------------------------------------------------
// FormDesc

FormDesc::FormDesc() : refCount_(0), refs_(nullptr), name_(kDescNameChars) {}

FormDesc::~FormDesc() { Destroy(); }

void FormDesc::Destroy()
{
    fields_.Clear();
    for (int i = 0; i < refCount_; ++i)
        FormRefDesc::Destroy(refs_[i]);
    DescHeap::Free(refs_);
    refs_ = nullptr;
    refCount_ = 0;
    window_.Clear();
}

void FormDesc::SetName(const wchar_t* name) { name_.Copy(name ? name : L""); }

int FormDesc::Parse(const wchar_t* name)
{
    if (name) {
        Destroy();
        if (lstrlenW(name) > kDescNameChars)
            return 0;
        name_.Copy(name);
    } else if (name_.Length() == 0) {
        return 0;
    } else {
        Destroy();
    }
    DFileBuf file;
    DTextScan scan;
    if (!ReadDescFile(name_.GetString(), file, scan))
        return 0;
    DescLexer lex(scan);
    const int ok = RunDescParse(name_.GetString(), scan, [&] { ParseBody(lex); });
    if (!ok)
        Destroy();
    return ok;
}

void FormDesc::ParseBody(DescLexer& lex)
{
    DescList fields;
    DescList refs;
    struct Guard {
        DescList& fields;
        DescList& refs;
        ~Guard()
        {
            fields.Clear(FreeFieldBlob);
            refs.Clear(FreeRef);
        }
    } guard{fields, refs};

    while (lex.SkipBlanksAt()) {
        switch (ReadSectionWord(lex, kFormSections, DescRows(kFormSections))) {
        case kSectionForm:
            ParseWindowAttrs(lex, window_);
            break;
        case kSectionItems:
            ParseFieldList(lex, fields, true);
            break;
        case kSectionReference: {
            if (refs.Count() >= kMaxFormRefs)
                ThrowDescFault(kDescNoMemory);
            FormRefDesc* ref = ParseReferenceSection(lex);
            if (!refs.Push(ref)) {
                FormRefDesc::Destroy(ref);
                ThrowDescFault(kDescNoMemory);
            }
            break;
        }
        }
    }

    if (!fields_.MoveFrom(fields))
        ThrowDescFault(kDescNoMemory);
    const int n = refs.Count();
    if (n > 0) {
        refs_ = static_cast<FormRefDesc**>(DescHeap::Alloc(sizeof(FormRefDesc*) * n));
        if (!refs_)
            ThrowDescFault(kDescNoMemory);
        for (int i = 0; i < n; ++i)
            refs_[i] = static_cast<FormRefDesc*>(refs.Pop());
        refCount_ = n;
    }
    // A window without a field to edit would show nothing and could not be
    // left by the keyboard: such a file is refused where it is read (the
    // caller destroys what was taken).
    int fieldTotal = fields_.count;
    for (int i = 0; i < refCount_; ++i)
        fieldTotal += refs_[i]->fields.count;
    if (fieldTotal == 0)
        ThrowDescFileText(name_.GetString(), IDS_FORM_NO_FIELDS);
}
