// FormDesc: a described window with fields and reference sections, as the
// filter forms use it (for example "MainFilt.cfg").
//
// File sections (English or Russian words; a section may repeat, a later
// "form" replaces the window, field lists and references accumulate):
//   form      / форма     window section (DescWindow)
//   items     / элементы  field list, references allowed
//   reference / ссылка    "{" keys "}": name, table, key, basetable, basekey,
//                         refkey ("=" string each) and items (field list);
//                         at most 16 sections
#pragma once

#include "forms/descbase.h"
#include "forms/descheap.h"
#include "forms/fielddesc.h"

// Texts of a reference section's string set.
enum FormRefText {
    kRefName = 0,
    kRefTable = 1,
    kRefKey = 2,
    kRefBaseTable = 3,
    kRefBaseKey = 4,
    kRefRefKey = 5,
    kRefTextCount = 6,
};

// The most reference sections of one form description.
const int kMaxFormRefs = 16;

// One "reference" section: another table whose fields the filter tests
// through a sub-select.
struct FormRefDesc {
    DWORD stringsSize;     // bytes of the string set
    BYTE* strings;         // six u32 offsets (0: absent), then {u32 length; characters; 0} per present text
    DescStrArray fields;

    FormRefDesc() : stringsSize(0), strings(nullptr) {}
    ~FormRefDesc();

    // The text, or null when absent.
    const wchar_t* String(int i) const;
    // Its length, 0 when absent.
    int StringLength(int i) const;

    // Packs the texts and takes the fields (the list ends empty). Throws 0
    // (no record) when all six texts are empty, 3 when memory runs out.
    static FormRefDesc* Build(const wchar_t* const texts[kRefTextCount], const int lengths[kRefTextCount],
                              DescList& fields);
    static void Destroy(FormRefDesc* ref);
};

class FormDesc : public DescBase {
public:
    FormDesc();
    ~FormDesc() override;

    const wchar_t* GetName() const override { return name_.GetString(); }
    int GetNameLength() const override { return name_.Length(); }
    // With a name: destroys the content, takes the name and reads the file.
    // With null: reads the file of the current name again (0 when there is
    // none).
    int Parse(const wchar_t* name) override;
    // Frees every field, reference and the icon and clears the window texts.
    void Destroy();
    // Replaces the name.
    void SetName(const wchar_t* name);

    const DescStrArray& Fields() const { return fields_; }
    int RefCount() const { return refCount_; }
    const FormRefDesc* Ref(int i) const { return refs_[i]; }
    const DescWindow& Window() const { return window_; }
    const wchar_t* Caption() const { return window_.caption.GetString(); }
    HICON Icon() const { return window_.icon; }
    int Width() const { return window_.width; }
    int Height() const { return window_.height; }

private:
    void ParseBody(DescLexer& lex);

    DescStrArray fields_;       // every "items" field in file order
    int refCount_;
    FormRefDesc** refs_;        // DescHeap array of refCount_ pointers
    DescWindow window_;
    DStrBuf name_;
};
