#include "forms/dbformdesc.h"

#include "forms/descenv.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/registry.h"
#include "foundation/settingskey.h"
#include "resources/strings.h"
#include "ui/button.h"

#include <new>
#include <string.h>

namespace {

enum DbSection {
    kSecForm = 1,
    kSecTable = 2,
    kSecKey = 3,
    kSecItems = 4,
    kSecList = 5,
    kSecButtons = 6,
    kSecChild = 7,
    kSecStrings = 8,
    kSecNoSave = 9,
    kSecOrderBy = 10,
};

const DescKeyword kDbSections[] = {
    DESC_KEYWORD(L"form", kSecForm),       DESC_KEYWORD(L"table", kSecTable),
    DESC_KEYWORD(L"key", kSecKey),         DESC_KEYWORD(L"items", kSecItems),
    DESC_KEYWORD(L"list", kSecList),       DESC_KEYWORD(L"buttons", kSecButtons),
    DESC_KEYWORD(L"child", kSecChild),     DESC_KEYWORD(L"strings", kSecStrings),
    DESC_KEYWORD(L"nosave", kSecNoSave),   DESC_KEYWORD(L"orderby", kSecOrderBy),
    DESC_KEYWORD(L"форма", kSecForm),      DESC_KEYWORD(L"таблица", kSecTable),
    DESC_KEYWORD(L"ключ", kSecKey),        DESC_KEYWORD(L"элементы", kSecItems),
    DESC_KEYWORD(L"список", kSecList),     DESC_KEYWORD(L"кнопки", kSecButtons),
    DESC_KEYWORD(L"строки", kSecStrings),  DESC_KEYWORD(L"порядок", kSecOrderBy),
};

// Role words, read by text.
const DescKeyword kRoleWords[] = {
    DESC_KEYWORD(L"laborant", kRoleLaborant),
    DESC_KEYWORD(L"server", kRoleServer),
    DESC_KEYWORD(L"лаборант", kRoleLaborant),
    DESC_KEYWORD(L"сервер", kRoleServer),
};

enum ItemAttr {
    kItemCaption = 0,
    kItemIcon = 1,
    kItemTooltip = 2,
    kItemString = 3,
    kItemClick = 4,
    kItemRClick = 5,
    kItemMClick = 6
};

// Button attributes, read by text.
const DescKeyword kItemWords[] = {
    DESC_KEYWORD(L"caption", kItemCaption),   DESC_KEYWORD(L"icon", kItemIcon),
    DESC_KEYWORD(L"tooltip", kItemTooltip),   DESC_KEYWORD(L"string", kItemString),
    DESC_KEYWORD(L"click", kItemClick),       DESC_KEYWORD(L"rclick", kItemRClick),
    DESC_KEYWORD(L"mclick", kItemMClick),     DESC_KEYWORD(L"заголовок", kItemCaption),
    DESC_KEYWORD(L"иконка", kItemIcon),       DESC_KEYWORD(L"подсказка", kItemTooltip),
    DESC_KEYWORD(L"строка", kItemString),     DESC_KEYWORD(L"щелчок", kItemClick),
    DESC_KEYWORD(L"пщелчок", kItemRClick),    DESC_KEYWORD(L"сщелчок", kItemMClick),
};

// Event names of button handlers, English only, searched in this order.
const DescKeyword kEventNames[] = {
    DESC_KEYWORD(L"close", kEventClose),   DESC_KEYWORD(L"addupdate", kEventAddUpdate),
    DESC_KEYWORD(L"new", kEventNew),       DESC_KEYWORD(L"formopen", kEventFormOpen),
    DESC_KEYWORD(L"delete", kEventDelete),
};

const int kItemTextChars = 256;
const int kPairTextChars = 128;

// A button while it is parsed: texts 0 caption, 1 icon file, 2 tooltip,
// 3 string, each with a length that is -1 while unset.
struct ItemSpec {
    DWORD roles;
    wchar_t text[4][kItemTextChars];
    int length[4];
    int event[3];   // click, rclick, mclick: ButtonEvent, kEventNone while unset
};

// A "child" pair while it is parsed.
struct PairSpec {
    wchar_t text[2][kPairTextChars];
    int length[2];
};


void FreeSpec(void* spec) { DescHeap::Free(spec); }

// The event name after click, rclick or mclick.
void ParseEvent(DescLexer& lex, ItemSpec& spec, int slot)
{
    if (spec.event[slot] != kEventNone)
        ThrowDescText(lex, IDS_FORM_BUTTON_FUNCTION_REDEFINED);
    wchar_t name[kItemTextChars + 1];
    const int length = lex.ReadAssignedString(name, kItemTextChars);
    if (length == 0)
        ThrowDescText(lex, IDS_FORM_BUTTON_FUNCTION_INVALID);
    // A dropped button's handlers are read but not looked up.
    if (spec.roles & kRoleLaborant)
        return;
    const int event = FindKeyword(name, length, kEventNames, DescRows(kEventNames));
    if (event < 0) {
        name[length] = 0;
        wchar_t pattern[128];
        wchar_t text[kItemTextChars + 128];
        DStrBuf pat(pattern, 128);
        pat.LoadString(IDS_FORM_BUTTON_FUNCTION_NOT_FOUND);
        DStrBuf out(text, kItemTextChars + 128);
        out.Format(pattern, name);
        LogError(static_cast<DWORD>(lex.Line()), text);
        ThrowDescFault(kDescReported);
    }
    spec.event[slot] = event;
}

// One button block, with the roles given before it.
ItemSpec* ParseItem(DescLexer& lex, DWORD roles)
{
    lex.SkipBlanks();
    lex.OpenBlock();
    ItemSpec* spec = static_cast<ItemSpec*>(DescHeap::Alloc(sizeof(ItemSpec)));
    if (!spec)
        ThrowDescFault(kDescNoMemory);
    memset(spec, 0, sizeof(*spec));
    spec->roles = roles;
    for (int i = 0; i < 4; ++i)
        spec->length[i] = -1;
    struct Guard {
        ItemSpec* spec;
        ~Guard() { DescHeap::Free(spec); }
    } guard{spec};

    static const int kTwice[4] = {kDescFlagTwice, kDescBadSize, kDescTooltipTwice, kDescStringTwice};
    for (;;) {
        if (lex.CloseBlock())
            break;
        const int row = lex.MatchText(kItemWords, DescRows(kItemWords));
        if (row < 0)
            ThrowDescFault(kDescMissing);
        const LONG length = static_cast<LONG>(kItemWords[row].length);
        if (length >= lex.Remaining())
            ThrowDescFault(kDescEndOfText);
        lex.Scan().pos += length;
        const int attr = static_cast<int>(kItemWords[row].code);
        if (attr <= kItemString) {
            if (spec->length[attr] >= 0)
                ThrowDescFault(kTwice[attr]);
            spec->length[attr] = lex.ReadAssignedString(spec->text[attr], kItemTextChars);
        } else {
            ParseEvent(lex, *spec, attr - kItemClick);
        }
    }
    guard.spec = nullptr;
    return spec;
}

// The buttons section after its word: role words and button blocks.
void ParseButtons(DescLexer& lex, DescList& specs)
{
    lex.OpenBlock();
    DWORD roles = 0;
    for (;;) {
        lex.SkipBlanks();
        const wchar_t c = lex.Peek();
        if (c == L'}') {
            lex.Advance();
            return;
        }
        if (c == L'{') {
            ItemSpec* spec = ParseItem(lex, roles);
            roles = 0;
            if (spec->roles & kRoleLaborant) {
                DescHeap::Free(spec);
            } else if (!specs.Push(spec)) {
                DescHeap::Free(spec);
                ThrowDescFault(kDescNoMemory);
            }
            continue;
        }
        const int row = lex.MatchText(kRoleWords, DescRows(kRoleWords));
        if (row < 0)
            ThrowDescFault(kDescSyntax);
        const LONG length = static_cast<LONG>(kRoleWords[row].length);
        if (length >= lex.Remaining())
            ThrowDescFault(kDescEndOfText);
        roles |= kRoleWords[row].code;
        lex.Scan().pos += length;
    }
}

// The "child" section after its word: blocks of two strings.
void ParseTextPairs(DescLexer& lex, DescList& pairs)
{
    lex.OpenBlock();
    for (;;) {
        lex.SkipBlanks();
        const wchar_t c = lex.Peek();
        if (c == L'}') {
            lex.Advance();
            return;
        }
        if (c != L'{')
            ThrowDescFault(kDescSyntax);
        lex.NextChar();
        PairSpec* pair = static_cast<PairSpec*>(DescHeap::Alloc(sizeof(PairSpec)));
        if (!pair)
            ThrowDescFault(kDescNoMemory);
        struct Guard {
            PairSpec* pair;
            ~Guard() { DescHeap::Free(pair); }
        } guard{pair};
        pair->length[0] = lex.ReadString(pair->text[0], kPairTextChars);
        lex.SkipBlanks();
        pair->length[1] = lex.ReadString(pair->text[1], kPairTextChars);
        lex.SkipBlanks();
        if (lex.Peek() != L'}')
            ThrowDescFault(kDescSyntax);
        lex.Advance();
        if (!pairs.Push(pair))
            ThrowDescFault(kDescNoMemory);
        guard.pair = nullptr;
    }
}

void SetText(DStrBuf& out, const wchar_t* text, int length)
{
    out.Clear();
    if (length > 0)
        out.Assign(text, length);
}

}  // namespace

// ---------------------------------------------------------------------------
// ItemDesc

ItemDesc::ItemDesc()
    : caption(kItemTextChars), tooltip(kItemTextChars), string(kItemTextChars), icon(nullptr), click(0), rclick(0),
      mclick(0)
{
}

ItemDesc::~ItemDesc()
{
    if (icon)
        DestroyIcon(icon);
}

int ItemDesc::HasHandler(int event) const
{
    if (event < kEventClose || event > kEventDelete)
        return 0;
    return click == event || rclick == event || mclick == event;
}

void ItemDesc::ToControlItem(DButtonDesc& desc) const
{
    desc.caption = caption.Length() > 0 ? caption.GetString() : nullptr;
    desc.icon = icon;
    desc.iconWidth = IconSize;
    desc.iconHeight = IconSize;
    if (rclick)
        desc.style |= DButtonStyle::kRightButton;
    if (mclick)
        desc.style |= DButtonStyle::kMiddleButton;
}

// ---------------------------------------------------------------------------
// DbFormDesc

DbFormDesc::DbFormDesc()
    : children_(nullptr), childCount_(0), buttons_(nullptr), buttonCount_(0), name_(kDescNameChars), table_(1024),
      key_(128), order_(128), nosave_(0)
{
    memset(&font_, 0, sizeof(font_));
}

DbFormDesc::~DbFormDesc() { Destroy(); }

void DbFormDesc::Destroy()
{
    items_.Clear();
    list_.Clear();
    for (int i = 0; i < childCount_; ++i)
        children_[i].~DescTextPair();
    DescHeap::Free(children_);
    children_ = nullptr;
    childCount_ = 0;
    for (int i = 0; i < buttonCount_; ++i)
        buttons_[i].~ItemDesc();
    DescHeap::Free(buttons_);
    buttons_ = nullptr;
    buttonCount_ = 0;
    window_.Clear();
    table_.Clear();
    key_.Clear();
    order_.Clear();
}

int DbFormDesc::HasEvent(int event) const
{
    for (int i = 0; i < buttonCount_; ++i) {
        if (buttons_[i].HasHandler(event))
            return 1;
    }
    return 0;
}

int DbFormDesc::Parse(const wchar_t* name)
{
    if (!name || lstrlenW(name) > kDescNameChars)
        return 0;
    Destroy();
    name_.Copy(name);
    DFileBuf file;
    DTextScan scan;
    if (!ReadDescFile(name_.GetString(), file, scan))
        return 0;
    nosave_ = 0;
    DescLexer lex(scan);
    if (!RunDescParse(name_.GetString(), scan, [&] { ParseBody(lex); })) {
        Destroy();
        return 0;
    }
    LoadSettings();
    return 1;
}

void DbFormDesc::ParseBody(DescLexer& lex)
{
    DescList items, list, specs, pairs;
    struct Guard {
        DescList &items, &list, &specs, &pairs;
        ~Guard()
        {
            items.Clear(FreeFieldBlob);
            list.Clear(FreeFieldBlob);
            specs.Clear(FreeSpec);
            pairs.Clear(FreeSpec);
        }
    } guard{items, list, specs, pairs};

    wchar_t text[1024];
    while (lex.SkipBlanksAt()) {
        // "nosave" has no value: it may end the file.
        switch (ReadSectionWord(lex, kDbSections, DescRows(kDbSections), kSecNoSave)) {
        case kSecForm:
            ParseWindowAttrs(lex, window_);
            break;
        case kSecTable:
            SetText(table_, text, lex.ReadAssignedString(text, 1024));
            break;
        case kSecKey:
            SetText(key_, text, lex.ReadAssignedString(text, 128));
            break;
        case kSecOrderBy:
            SetText(order_, text, lex.ReadAssignedString(text, 128));
            break;
        case kSecItems:
            ParseFieldList(lex, items, true);
            break;
        case kSecList:
            ParseFieldList(lex, list, false);
            break;
        case kSecButtons:
            ParseButtons(lex, specs);
            break;
        case kSecChild:
            ParseTextPairs(lex, pairs);
            break;
        case kSecStrings:
            ThrowDescFault(kDescNotImplemented);
        case kSecNoSave:
            nosave_ = 1;
            break;
        }
    }

    if (table_.Length() == 0 || key_.Length() == 0)
        ThrowDescFault(kDescMissing);
    if (!items_.MoveFrom(items) || !list_.MoveFrom(list))
        ThrowDescFault(kDescMissing);

    if (const int n = specs.Count()) {
        buttons_ = static_cast<ItemDesc*>(DescHeap::Alloc(sizeof(ItemDesc) * n));
        if (!buttons_)
            ThrowDescFault(kDescMissing);
        for (; buttonCount_ < n; ++buttonCount_) {
            ItemSpec* spec = static_cast<ItemSpec*>(specs.Pop());
            ItemDesc* item = new (&buttons_[buttonCount_]) ItemDesc;
            const bool made = item->caption.Capacity() && item->tooltip.Capacity() && item->string.Capacity();
            if (made) {
                SetText(item->caption, spec->text[kItemCaption], spec->length[kItemCaption]);
                SetText(item->tooltip, spec->text[kItemTooltip], spec->length[kItemTooltip]);
                SetText(item->string, spec->text[kItemString], spec->length[kItemString]);
                if (spec->length[kItemIcon] > 0)
                    item->icon = LoadDescIcon(spec->text[kItemIcon], spec->length[kItemIcon]);
                item->click = spec->event[0];
                item->rclick = spec->event[1];
                item->mclick = spec->event[2];
            }
            DescHeap::Free(spec);
            if (!made) {
                ++buttonCount_;   // constructed: Destroy takes it down
                ThrowDescFault(kDescMissing);
            }
        }
    }

    if (const int n = pairs.Count()) {
        children_ = static_cast<DescTextPair*>(DescHeap::Alloc(sizeof(DescTextPair) * n));
        if (!children_)
            ThrowDescFault(kDescMissing);
        for (; childCount_ < n; ++childCount_) {
            PairSpec* spec = static_cast<PairSpec*>(pairs.Pop());
            DescTextPair* pair = new (&children_[childCount_]) DescTextPair;
            const bool made = pair->first.Alloc(kPairTextChars) && pair->second.Alloc(kPairTextChars);
            if (made) {
                SetText(pair->first, spec->text[0], spec->length[0]);
                SetText(pair->second, spec->text[1], spec->length[1]);
            }
            DescHeap::Free(spec);
            if (!made) {
                ++childCount_;
                ThrowDescFault(kDescMissing);
            }
        }
    }
}

int DbFormDesc::LoadSettings()
{
    bool fontRead = false;
    if (!nosave_) {
        // The form's subkey of the settings key, read access only: a user who
        // may not change the machine's settings still gets the form's font
        // and column widths.
        HKEY opened = nullptr;
        if (OpenSettingsKey(name_.GetString(), KEY_READ, false, &opened) == ERROR_SUCCESS) {
            const DRegKey holder(opened);
            const HKEY key = holder.GetHKey();
            fontRead = RegReadLogFont(font_, key, L"Font");
            for (int i = 0; i < list_.count; ++i) {
                wchar_t valueName[32];
                DStrBuf value(valueName, 32);
                value.Clear();
                value.AppendFormat(L"Column%i", i);
                DWORD width, type, size = sizeof(width);
                if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&width), &size) !=
                        ERROR_SUCCESS ||
                    type != REG_DWORD || size != sizeof(width))
                    break;
                // Widths below 10 pixels stand for the default width.
                list_[i]->width = width <= 9 ? -1 : static_cast<int>(width);
            }
        }
    }
    if (!fontRead) {
        if (const LOGFONTW* forms = GetFormsFont())
            font_ = *forms;
    }
    return 1;
}

int DbFormDesc::SaveSettings()
{
    if (nosave_)
        return 1;
    HKEY created = nullptr;
    if (OpenSettingsKey(name_.GetString(), KEY_READ | KEY_WRITE, true, &created) != ERROR_SUCCESS)
        return 0;
    const DRegKey holder(created);
    const HKEY key = holder.GetHKey();
    int ok = 1;
    for (int i = 0; i < list_.count; ++i) {
        wchar_t valueName[32];
        DStrBuf value(valueName, 32);
        value.Clear();
        value.AppendFormat(L"Column%i", i);
        const DWORD width = static_cast<DWORD>(list_[i]->width);
        if (RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&width), sizeof(width)) !=
            ERROR_SUCCESS)
            ok = 0;
    }
    return ok;
}
