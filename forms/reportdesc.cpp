#include "forms/reportdesc.h"

#include "forms/dbformdesc.h"
#include "forms/desccache.h"
#include "forms/descheap.h"
#include "forms/fielddesc.h"
#include "forms/formdesc.h"

#include <string.h>

namespace {

enum ReportSection { kSecPage = 1, kSecTable = 2, kSecHeader = 3, kSecShowSql = 4 };

const DescKeyword kReportSections[] = {
    DESC_KEYWORD(L"page", kSecPage),         DESC_KEYWORD(L"table", kSecTable),
    DESC_KEYWORD(L"header", kSecHeader),     DESC_KEYWORD(L"show_sql", kSecShowSql),
    DESC_KEYWORD(L"страница", kSecPage),     DESC_KEYWORD(L"таблица", kSecTable),
    DESC_KEYWORD(L"заголовок", kSecHeader),  DESC_KEYWORD(L"показ_sql", kSecShowSql),
};

enum Margin { kLeft = 1, kRight = 2, kTop = 3, kBottom = 4, kOrientation = 5 };

const DescKeyword kMarginKeys[] = {
    DESC_KEYWORD(L"left", kLeft),       DESC_KEYWORD(L"right", kRight),
    DESC_KEYWORD(L"top", kTop),         DESC_KEYWORD(L"bottom", kBottom),
    DESC_KEYWORD(L"orientation", kOrientation),
    DESC_KEYWORD(L"слева", kLeft),      DESC_KEYWORD(L"справа", kRight),
    DESC_KEYWORD(L"сверху", kTop),      DESC_KEYWORD(L"снизу", kBottom),
    DESC_KEYWORD(L"ориентация", kOrientation),
};

enum TableKey { kKeyList = 1, kKeyFilt = 2 };

const DescKeyword kTableKeys[] = {
    DESC_KEYWORD(L"list", kKeyList),
    DESC_KEYWORD(L"filt", kKeyFilt),
    DESC_KEYWORD(L"список", kKeyList),
    DESC_KEYWORD(L"фильтр", kKeyFilt),
};

enum BlockWord { kWordAlign = 1, kWordText = 2, kWordLine = 3, kWordString = 4 };

const DescKeyword kBlockWords[] = {
    DESC_KEYWORD(L"align", kWordAlign),          DESC_KEYWORD(L"text", kWordText),
    DESC_KEYWORD(L"line", kWordLine),            DESC_KEYWORD(L"string", kWordString),
    DESC_KEYWORD(L"выравнивание", kWordAlign),   DESC_KEYWORD(L"текст", kWordText),
    DESC_KEYWORD(L"линия", kWordLine),           DESC_KEYWORD(L"строка", kWordString),
};


struct ParsedTable {
    DbFormDesc* list;
    FormDesc* filt;
};

// What the parse collects before it goes into the description.
struct ReportParseState {
    int margins[6];          // indexed by Margin
    DescList tables;         // ParsedTable
    TextBlockList blocks;
    int showSql;

    ReportParseState() : showSql(0) { memset(margins, 0, sizeof(margins)); }
    ~ReportParseState() { tables.Clear(DescHeap::Free); }
};

void ParsePage(DescLexer& lex, ReportParseState& state)
{
    lex.OpenBlock();
    for (;;) {
        if (lex.CloseBlock())
            return;
        const int key = ReadSectionWord(lex, kMarginKeys, DescRows(kMarginKeys));
        state.margins[key] = lex.ReadAssignedInt();
    }
}

void ParseTable(DescLexer& lex, ReportParseState& state)
{
    ParsedTable* table = static_cast<ParsedTable*>(DescHeap::Alloc(sizeof(ParsedTable)));
    if (!table)
        ThrowDescFault(kDescNoMemory);
    table->list = nullptr;
    table->filt = nullptr;
    if (!state.tables.Push(table)) {
        DescHeap::Free(table);
        ThrowDescFault(kDescNoMemory);
    }
    lex.OpenBlock();
    for (;;) {
        if (lex.CloseBlock())
            break;
        const int key = ReadSectionWord(lex, kTableKeys, DescRows(kTableKeys));
        if ((key == kKeyList && table->list) || (key == kKeyFilt && table->filt))
            ThrowDescFault(kDescSyntax);
        wchar_t name[kDescNameChars + 1];
        const int length = lex.ReadAssignedString(name, kDescNameChars);
        if (length == 0)
            ThrowDescFault(kDescSyntax);
        name[length] = 0;
        if (key == kKeyList) {
            table->list = DescCache::DbFormDescFor(name);
            if (!table->list)
                ThrowDescFault(kDescSyntax);
        } else {
            table->filt = DescCache::FormDescFor(name);
            if (!table->filt)
                ThrowDescFault(kDescSyntax);
        }
    }
    // The filter selects the rows and must be there; a table without a list
    // form has no columns of its own.
    if (!table->filt)
        ThrowDescFault(kDescSyntax);
}

// A "text" or "string" block's value: "=" directly, blanks, a string.
void ParseBlockText(DescLexer& lex, TextBlockList& blocks, DWORD kind)
{
    if (lex.Peek() != L'=')
        ThrowDescFault(kDescSyntax);
    lex.Advance();
    lex.SkipBlanks();
    if (lex.StringLength() > kMaxBlockText)
        ThrowDescFault(kDescSyntax);
    wchar_t* text = static_cast<wchar_t*>(DescHeap::Alloc((kMaxBlockText + 1) * sizeof(wchar_t)));
    if (!text)
        ThrowDescFault(kDescNoMemory);
    struct Guard {
        wchar_t* text;
        ~Guard() { DescHeap::Free(text); }
    } guard{text};
    const int length = lex.ReadString(text, kMaxBlockText);
    blocks.AddText(kind, text, length);
}

void ParseTextBlocks(TextBlockList& blocks, DescLexer& lex)
{
    lex.OpenBlock();
    for (;;) {
        if (lex.CloseBlock())
            return;
        switch (ReadSectionWord(lex, kBlockWords, DescRows(kBlockWords))) {
        case kWordAlign: {
            const DWORD flags = ParseAlign(lex);
            blocks.AddData(kBlockAlign, &flags, sizeof(flags));
            break;
        }
        case kWordText:
            ParseBlockText(lex, blocks, kBlockText);
            break;
        case kWordLine: {
            const DWORD zero = 0;
            blocks.AddData(kBlockLine, &zero, sizeof(zero));
            break;
        }
        case kWordString:
            ParseBlockText(lex, blocks, kBlockString);
            break;
        }
    }
}

void ParseBody(ReportParseState& state, DescLexer& lex)
{
    while (lex.SkipBlanksAt()) {
        switch (ReadSectionWord(lex, kReportSections, DescRows(kReportSections))) {
        case kSecPage:
            ParsePage(lex, state);
            break;
        case kSecTable:
            ParseTable(lex, state);
            break;
        case kSecHeader:
            ParseTextBlocks(state.blocks, lex);
            break;
        case kSecShowSql:
            state.showSql = lex.ReadAssignedInt();
            break;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// TextBlockList

TextBlockList::~TextBlockList()
{
    while (Node* node = head_) {
        head_ = node->next;
        DescHeap::Free(node);
    }
}

void TextBlockList::AddData(DWORD kind, const void* data, DWORD size)
{
    Node* node = static_cast<Node*>(DescHeap::Alloc(sizeof(Node) + size));
    if (!node)
        ThrowDescFault(kDescNoMemory);
    node->next = nullptr;
    node->kind = kind;
    node->dataSize = size;
    memcpy(node + 1, data, size);
    if (tail_)
        tail_->next = node;
    else
        head_ = node;
    tail_ = node;
    ++count_;
    dataSize_ += (size + 3) & ~3u;
}

void TextBlockList::AddText(DWORD kind, const wchar_t* text, int length)
{
    const DWORD size = sizeof(DWORD) + (length + 1) * sizeof(wchar_t);
    BYTE* data = static_cast<BYTE*>(DescHeap::Alloc(size));
    if (!data)
        ThrowDescFault(kDescNoMemory);
    const DWORD n = static_cast<DWORD>(length);
    memcpy(data, &n, sizeof(n));
    memcpy(data + sizeof(n), text, length * sizeof(wchar_t));
    memset(data + sizeof(n) + length * sizeof(wchar_t), 0, sizeof(wchar_t));
    struct Guard {
        BYTE* data;
        ~Guard() { DescHeap::Free(data); }
    } guard{data};
    AddData(kind, data, size);
}

BYTE* TextBlockList::Flatten() const
{
    if (count_ == 0)
        return nullptr;
    const DWORD entries = static_cast<DWORD>(count_) * 2 * sizeof(DWORD);
    BYTE* block = static_cast<BYTE*>(DescHeap::Alloc(entries + dataSize_));
    if (!block)
        return nullptr;
    memset(block, 0, entries + dataSize_);
    DWORD offset = 0;
    int i = 0;
    for (const Node* node = head_; node; node = node->next, ++i) {
        memcpy(block + i * 8, &node->kind, sizeof(DWORD));
        memcpy(block + i * 8 + 4, &offset, sizeof(DWORD));
        memcpy(block + entries + offset, node + 1, node->dataSize);
        offset += (node->dataSize + 3) & ~3u;
    }
    return block;
}

// ---------------------------------------------------------------------------
// ReportDesc

ReportDesc::ReportDesc()
    : name_(kDescNameChars), left_(0), right_(0), top_(0), bottom_(0), orientation_(0), showSql_(0), headerCount_(0),
      header_(nullptr), tableCount_(0), tables_(nullptr)
{
}

ReportDesc::~ReportDesc()
{
    DescHeap::Free(tables_);
    DescHeap::Free(header_);
}

int ReportDesc::Parse(const wchar_t* name)
{
    if (name_.Length() > 0 || !name || !*name || lstrlenW(name) > kDescNameChars)
        return 0;
    name_.Copy(name);
    DFileBuf file;
    DTextScan scan;
    if (!ReadDescFile(name_.GetString(), file, scan))
        return 0;
    ReportParseState state;
    DescLexer lex(scan);
    if (!RunDescParse(name_.GetString(), scan, [&] { ParseBody(state, lex); }))
        return 0;

    left_ = state.margins[kLeft];
    right_ = state.margins[kRight];
    top_ = state.margins[kTop];
    bottom_ = state.margins[kBottom];
    orientation_ = state.margins[kOrientation];

    const int n = state.tables.Count();
    if (n == 0)
        return 0;
    tables_ = static_cast<ReportTable*>(DescHeap::Alloc(sizeof(ReportTable) * n));
    if (!tables_)
        return 0;
    for (int i = 0; i < n; ++i) {
        ParsedTable* parsed = static_cast<ParsedTable*>(state.tables.Pop());
        tables_[i].list = parsed->list;
        tables_[i].filt = parsed->filt;
        tables_[i].values.count = 0;
        tables_[i].values.values = nullptr;
        DescHeap::Free(parsed);
    }
    tableCount_ = n;

    showSql_ = state.showSql;
    if (state.blocks.Count() > 0) {
        header_ = state.blocks.Flatten();
        if (!header_)
            return 0;
        headerCount_ = state.blocks.Count();
    }
    return 1;
}

const BYTE* ReportDesc::HeaderData(int i) const
{
    DWORD offset;
    memcpy(&offset, header_ + i * 8 + 4, sizeof(offset));
    return header_ + headerCount_ * 8 + offset;
}

DWORD ReportDesc::HeaderKind(int i) const
{
    if (i < 0 || i >= headerCount_)
        return 0xFFFFFFFF;
    DWORD kind;
    memcpy(&kind, header_ + i * 8, sizeof(kind));
    return kind;
}

DWORD ReportDesc::HeaderAlign(int i) const
{
    if (HeaderKind(i) != kBlockAlign)
        return 0;
    DWORD flags;
    memcpy(&flags, HeaderData(i), sizeof(flags));
    return flags;
}

const wchar_t* ReportDesc::HeaderText(int i, int* length) const
{
    const DWORD kind = HeaderKind(i);
    if (kind != kBlockText && kind != kBlockString) {
        if (length)
            *length = 0;
        return nullptr;
    }
    const BYTE* data = HeaderData(i);
    DWORD n;
    memcpy(&n, data, sizeof(n));
    if (length)
        *length = static_cast<int>(n);
    return reinterpret_cast<const wchar_t*>(data + sizeof(DWORD));
}
