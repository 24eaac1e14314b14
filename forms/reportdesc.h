// ReportDesc: a printed report described in a ".cfg" file: page margins and
// orientation, the tables it prints, a header of text blocks, and whether
// the SQL is shown.
//
// File sections (English or Russian words; sections may repeat):
//   page     / страница   "{" left right top bottom orientation "=" number "}"
//   table    / таблица    "{" list = "db form" filt = "filter form" "}"
//   header   / заголовок  "{" align = ..., text = "...", line, string = "..." "}"
//   show_sql / показ_sql  "=" number
// Each table names a database form description (its columns) and a form
// description (the filter that selects its rows); both come from the
// description cache and belong to it. A table needs both: printing builds
// its SELECT from the list form.
//
// A report is parsed once, read while it is printed and destroyed by its
// owner; it is not kept in the description cache.
#pragma once

#include "forms/descbase.h"

class DbFormDesc;
class FormDesc;

// Kinds of a header text block.
enum TextBlockKind : DWORD {
    kBlockAlign = 0,    // u32 alignment flags
    kBlockText = 1,     // u32 length n, n characters, a zero: a paragraph
    kBlockLine = 2,     // u32 0: a ruled line
    kBlockString = 3,   // u32 length n, n characters, a zero: one line
};

// The longest header text, in characters.
const int kMaxBlockText = 4095;

// One printed table.
struct ReportTable {
    DbFormDesc* list;   // the columns
    FormDesc* filt;     // the filter form
    struct {
        int count;
        void* values;
    } values;           // empty after parsing
};

// The header's blocks while they are parsed.
class TextBlockList {
public:
    TextBlockList() : count_(0), dataSize_(0), head_(nullptr), tail_(nullptr) {}
    ~TextBlockList();
    TextBlockList(const TextBlockList&) = delete;
    TextBlockList& operator=(const TextBlockList&) = delete;

    // Appends a block with `size` bytes of data; throws 3 when memory runs out.
    void AddData(DWORD kind, const void* data, DWORD size);
    // Appends a block {u32 length; the characters; a zero}.
    void AddText(DWORD kind, const wchar_t* text, int length);
    // One DescHeap block: `count` entries {u32 kind; u32 offset into the data
    // area}, then the data area. Null when there are no blocks or memory runs out.
    BYTE* Flatten() const;
    int Count() const { return count_; }

private:
    struct Node {
        Node* next;
        DWORD kind;
        DWORD dataSize;
        // the data follows
    };
    int count_;
    DWORD dataSize_;   // total of every block's data, each rounded to 4 bytes
    Node* head_;
    Node* tail_;
};

class ReportDesc : public DescBase {
public:
    ReportDesc();
    ~ReportDesc() override;

    const wchar_t* GetName() const override { return name_.GetString(); }
    int GetNameLength() const override { return name_.Length(); }
    // Parses the named file once: a report that already has a name gives 0.
    // 0 also for an unreadable file, a fault (in the journal) or a report
    // without tables.
    int Parse(const wchar_t* name) override;

    int Left() const { return left_; }
    int Right() const { return right_; }
    int Top() const { return top_; }
    int Bottom() const { return bottom_; }
    int Orientation() const { return orientation_; }
    int ShowSql() const { return showSql_; }

    int TableCount() const { return tableCount_; }
    const ReportTable& Table(int i) const { return tables_[i]; }

    int HeaderCount() const { return headerCount_; }
    DWORD HeaderKind(int i) const;
    // The flags of an alignment block.
    DWORD HeaderAlign(int i) const;
    // The text of a text or string block (terminated) and its length.
    const wchar_t* HeaderText(int i, int* length) const;

private:
    const BYTE* HeaderData(int i) const;

    DStrBuf name_;
    DStrBuf text_;          // left empty
    int left_, right_, top_, bottom_, orientation_;
    int showSql_;
    int headerCount_;
    BYTE* header_;          // TextBlockList::Flatten, or null
    int tableCount_;
    ReportTable* tables_;   // DescHeap array
};
