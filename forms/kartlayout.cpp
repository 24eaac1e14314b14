#include "forms/kartlayout.h"

#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "forms/dbformdesc.h"
#include "forms/descheap.h"
#include "forms/fieldvalue.h"
#include "forms/formcontrols.h"
#include "forms/kartdata.h"
#include "forms/kartsql.h"
#include "forms/kartwnd.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "resources/strings.h"
#include "ui/button.h"
#include "ui/gdi.h"
#include "ui/listview.h"

#include <string.h>

#include <algorithm>

namespace {

// The class procedures of "EDIT" and "COMBOBOX", saved once for the process:
// the subclassed controls hand them every message after or instead of their
// own handling.
WNDPROC gEditProc = nullptr;
WNDPROC gComboProc = nullptr;

using formctl::ButtonDesc;
using formctl::ShiftHeld;

KartField* FieldOf(HWND control)
{
    return reinterpret_cast<KartField*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

bool CtrlHeld()
{
    return (GetKeyState(VK_CONTROL) & 0x8000) != 0;
}

void PassKey(KartField* field, WPARAM key)
{
    if (field->window != nullptr)
        field->window->OnKey(key);
}

LRESULT EditProcInner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    KartField* field = FieldOf(hwnd);
    if (field == nullptr)
        return CallWindowProcW(gEditProc, hwnd, message, wParam, lParam);
    const bool multiLine = (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
    switch (message) {
    case WM_SETFOCUS:
        if (field->window != nullptr)
            field->window->FieldEntered(field);
        break;
    case WM_KILLFOCUS:
        if (!multiLine) {
            // Errors are ignored here: the save reads and checks every field again.
            try {
                KartField::ReadFromControl(field);
                const wchar_t* mask = field->desc->FormatText();
                if (field->Base() == kFieldText && mask != nullptr && !field->IsNull()) {
                    MaskMatches(reinterpret_cast<wchar_t*>(field->Value()), mask, field->CharCount(),
                                static_cast<int>(field->desc->formatLength));
                    KartField::Show(field);
                }
            } catch (const KartError&) {
            }
        }
        break;
    case WM_KEYDOWN: {
        LRESULT result = CallWindowProcW(gEditProc, hwnd, message, wParam, lParam);
        if (!multiLine && IsWindow(hwnd))
            PassKey(field, wParam);
        return result;
    }
    case WM_CHAR:
        if (wParam == L'\t' || (wParam == L'\r' && !multiLine)) {
            KartLayout::MoveFocus(field, ShiftHeld());
            return 0;
        }
        break;
    default:
        break;
    }
    return CallWindowProcW(gEditProc, hwnd, message, wParam, lParam);
}

LRESULT ComboProcInner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    KartField* field = FieldOf(hwnd);
    if (field == nullptr)
        return CallWindowProcW(gComboProc, hwnd, message, wParam, lParam);
    switch (message) {
    case WM_SETFOCUS:
        if (field->window != nullptr)
            field->window->FieldEntered(field);
        break;
    case WM_KEYDOWN: {
        LRESULT result = CallWindowProcW(gComboProc, hwnd, message, wParam, lParam);
        if (!IsWindow(hwnd))
            return result;
        if (wParam == VK_RETURN && CtrlHeld()) {
            KartLayout::RunReference(field);
        } else if (wParam == VK_TAB || wParam == VK_RETURN) {
            KartLayout::MoveFocus(field, ShiftHeld());
        } else if (wParam == VK_DELETE) {
            SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        } else if (wParam == VK_F5) {
            try {
                KartField::ReadFromControl(field);
            } catch (const KartError&) {
            }
            KartField::FillLookup(field);
        } else {
            PassKey(field, wParam);
        }
        return result;
    }
    case WM_CHAR:
        if (wParam == L'\t' || wParam == L'\r')
            return 0;   // handled at WM_KEYDOWN
        break;
    default:
        break;
    }
    return CallWindowProcW(gComboProc, hwnd, message, wParam, lParam);
}

const WNDPROC EditProc = &formctl::NoThrowProc<EditProcInner>;
const WNDPROC ComboProc = &formctl::NoThrowProc<ComboProcInner>;

// The yes/no buttons: a click stores the checked state and shows the field,
// which inverts the value; Tab and Enter move on, other keys go to the card.
void OnCheckClicked(void*, DButton* button)
{
    // Callbacks run inside the button's window procedure: nothing may leave them.
    try {
        KartField* field = reinterpret_cast<KartField*>(button->ownerValue);
        if (field == nullptr)
            return;
        field->SetWord(button->GetCheck() ? 1 : 0);
        try {
            KartField::Show(field);
        } catch (const KartError&) {
        }
    } catch (...) {
    }
}

void OnCheckKey(void*, DButton* button, WPARAM key, LPARAM)
{
    try {
        KartField* field = reinterpret_cast<KartField*>(button->ownerValue);
        if (field == nullptr)
            return;
        if (key == VK_TAB || key == VK_RETURN)
            KartLayout::MoveFocus(field, ShiftHeld());
        else
            PassKey(field, key);
    } catch (...) {
    }
}

void OnReferenceClicked(void*, DButton* button)
{
    try {
        KartField* field = reinterpret_cast<KartField*>(button->ownerValue);
        if (field != nullptr)
            KartLayout::RunReference(field);
    } catch (...) {
    }
}

const DButtonNotify kCheckNotify = {OnCheckClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
const DButtonNotify kReferenceNotify = {OnReferenceClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
const DButtonInput kCheckInput = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, OnCheckKey, nullptr, nullptr};

// The form's buttons: each knows its item's index; the card runs the events.
const ItemDesc* ItemOf(DButton* button, DbKartWindow** card, void* cookie)
{
    *card = static_cast<DbKartWindow*>(cookie);
    const DbFormDesc* form = (*card)->Form();
    const int index = static_cast<int>(button->ownerValue);
    return form != nullptr && index >= 0 && index < form->ButtonCount() ? &form->Button(index) : nullptr;
}

void OnItemClick(void* cookie, DButton* button)
{
    try {
        DbKartWindow* card = nullptr;
        if (const ItemDesc* item = ItemOf(button, &card, cookie))
            card->RunEvent(item->click, *item);
    } catch (...) {
    }
}

void OnItemRClick(void* cookie, DButton* button)
{
    try {
        DbKartWindow* card = nullptr;
        if (const ItemDesc* item = ItemOf(button, &card, cookie))
            card->RunEvent(item->rclick, *item);
    } catch (...) {
    }
}

void OnItemMClick(void* cookie, DButton* button)
{
    try {
        DbKartWindow* card = nullptr;
        if (const ItemDesc* item = ItemOf(button, &card, cookie))
            card->RunEvent(item->mclick, *item);
    } catch (...) {
    }
}

void OnItemHover(void* cookie, DButton* button)
{
    try {
        DbKartWindow* card = nullptr;
        const ItemDesc* item = ItemOf(button, &card, cookie);
        if (item != nullptr && item->tooltip.Length() > 0)
            button->SetToolTip(2, item->tooltip.GetString(), item->tooltip.Length());
    } catch (...) {
    }
}

const DButtonNotify kItemNotify = {OnItemClick, nullptr, nullptr, OnItemRClick, OnItemMClick, OnItemHover};

// The card's list: choosing a row shows it.
void OnListSelection(void* cookie, DListView* list, int row)
{
    try {
        DbKartWindow* card = static_cast<DbKartWindow*>(cookie);
        LONG_PTR key = 0;
        if (row >= 0 && list->GetItemData(0, row, &key))
            card->SetRecord(static_cast<LONG>(key), 1);
        else
            card->SetRecord(0, 0);
    } catch (...) {
    }
}

const DListViewNotify kListNotify = {OnListSelection, nullptr, nullptr, nullptr, nullptr};

bool IsListField(const FieldBlob* f)
{
    return (f->type & kFieldSpecial) == 0;
}

// Width in pixels of a text in the font.
int TextWidth(HWND window, HFONT font, const wchar_t* text, int length)
{
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return 0;
    SIZE size = {};
    {
        ScopedSelect select(dc, font);
        GetTextExtentPoint32W(dc, text, length, &size);
    }
    ReleaseDC(window, dc);
    return size.cx;
}

}  // namespace

// ---------------------------------------------------------------- building

bool KartLayout::Build(DbKartWindow* ownerWindow, HWND parentWindow, const DbFormDesc* formDesc, HFONT formFont)
{
    Destroy();
    owner = ownerWindow;
    parent = parentWindow;
    form = formDesc;
    font = formFont;
    if (!formctl::LoadClassProcs(&gEditProc, &gComboProc))
        return false;
    if (form->List().count > 0 && !CreateList()) {
        Destroy();
        return false;
    }
    if (!CreateFields(font) || !CreateButtons(font)) {
        Destroy();
        return false;
    }
    return true;
}

bool KartLayout::CreateList()
{
    list = new DListView;
    DListViewDesc d = {DListViewStyle::kStandard, owner, parent, 0, 0, 0, 0, hInstance, nullptr, &kListNotify};
    if (!list->Create(&d))
        return false;
    const DescStrArray& columns = form->List();
    for (int i = 0; i < columns.count; ++i) {
        const FieldBlob* f = columns[i];
        if (!IsListField(f))
            continue;
        int maxLength = 0;
        switch (f->Base()) {
        case kFieldInt8:
        case kFieldInt16:
        case kFieldInt32:
            maxLength = 10;
            break;
        case kFieldBool:
            maxLength = YesNoTextWidth(*f);
            break;
        case kFieldText:
            maxLength = f->textSize < 255 ? static_cast<int>(f->textSize) : -1;
            break;
        case kFieldDateTime:
        case kFieldDate:
        case kFieldTime:
            maxLength = 32;
            break;
        default:
            maxLength = -1;
            break;
        }
        if (maxLength < 0) {
            JournalWriteId(0, IDS_LIST_TYPE_NOT_SUPPORTED);
            return false;
        }
        auto horizontal = [](DWORD align) {
            return (align & kAlignRight) ? DListColumnFlags::kAlignRight
                   : (align & kAlignCenter) ? DListColumnFlags::kAlignCenter
                                            : DListColumnFlags::kAlignLeft;
        };
        DListColumn column = {};
        const DWORD capAlign = horizontal(f->capAlign);
        column.headerFlags = DListColumnFlags::kCaption |
                             (capAlign == DListColumnFlags::kAlignRight ? 1u : capAlign == DListColumnFlags::kAlignCenter ? 2u : 0u);
        column.cellKind = DListColumnFlags::kTextCells | horizontal(f->align);
        column.index = -1;
        column.width = f->width < 1 ? 100 : f->width;
        column.maxLength = maxLength;
        column.caption = f->caption;
        if (!list->InsertColumn(&column))
            return false;
    }
    return true;
}

bool KartLayout::CreateControl(KartField* f, HFONT font, int id)
{
    const FieldBlob* d = f->desc;
    HMENU menu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id));
    switch (d->controlKind) {
    case kControlEdit: {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL;
        int limit = 0;
        switch (d->Base()) {
        case kFieldInt8:
        case kFieldInt16:
        case kFieldInt32:
            // Signed fields take a "-": only unsigned ones are digits alone.
            if (d->type & kFieldUnsigned)
                style |= ES_NUMBER;
            limit = 12;
            break;
        case kFieldText:
            if (d->textSize > 255)
                style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
            limit = static_cast<int>(d->textSize);
            break;
        case kFieldDateTime:
        case kFieldDate:
        case kFieldTime:
            limit = 31;   // a date and a time with seconds, with room to spare
            break;
        default:
            return false;
        }
        f->control = CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, L"EDIT", L"", style, 0, 0, 0, 0, parent,
                                     menu, hInstance, nullptr);
        if (f->control == nullptr)
            return false;
        SendMessageW(f->control, EM_LIMITTEXT, limit, 0);
        SetWindowLongPtrW(f->control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(f));
        SetWindowLongPtrW(f->control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc));
        SendMessageW(f->control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return true;
    }
    case kControlList: {
        f->control = CreateWindowExW(WS_EX_NOPARENTNOTIFY, L"COMBOBOX", L"",
                                     WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 0, 0, parent, menu,
                                     hInstance, nullptr);
        if (f->control == nullptr)
            return false;
        SetWindowLongPtrW(f->control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(f));
        SetWindowLongPtrW(f->control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComboProc));
        SendMessageW(f->control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        const FieldRef* ref = d->reference;
        if (ref != nullptr && ref->formFileLength > 0) {
            DButton* button = new DButton;
            DButtonDesc bd = ButtonDesc(parent, DButtonStyle::kVisible | DButtonStyle::kCheck, owner, d->caption, &kReferenceNotify, nullptr);
            button->ownerValue = reinterpret_cast<LONG_PTR>(f);
            if (button->Create(&bd)) {
                button->SetFont(form->Font());
                f->refButton = button;
            } else {
                delete button;   // the field simply has no reference button
            }
        }
        return true;
    }
    case kControlCheck: {
        if (d->Base() != kFieldBool)
            return false;
        DButton* button = new DButton;
        DButtonDesc bd = ButtonDesc(parent, DButtonStyle::kVisible | DButtonStyle::kCheck, owner, nullptr, &kCheckNotify, &kCheckInput);
        button->ownerValue = reinterpret_cast<LONG_PTR>(f);
        if (!button->Create(&bd)) {
            delete button;
            return false;
        }
        button->SetFont(form->Font());
        f->check = button;
        return true;
    }
    default:
        return false;
    }
}

bool KartLayout::CreateFields(HFONT font)
{
    const DescStrArray& items = form->Items();
    if (items.count == 0)
        return true;
    fields = static_cast<KartField**>(DescHeap::Alloc(items.count * sizeof(KartField*)));
    if (fields == nullptr)
        return false;
    memset(fields, 0, items.count * sizeof(KartField*));
    fieldCount = items.count;
    for (int i = 0; i < items.count; ++i) {
        fields[i] = KartField::Create(form, items[i]);
        if (fields[i] == nullptr)
            return false;
        fields[i]->window = owner;
        if (!CreateControl(fields[i], font, 100 + i))
            return false;
    }
    for (int i = 0; i < fieldCount; ++i) {
        fields[i]->prev = i > 0 ? fields[i - 1] : nullptr;
        fields[i]->next = i + 1 < fieldCount ? fields[i + 1] : nullptr;
    }
    return true;
}

bool KartLayout::CreateButtons(HFONT)
{
    const int n = form->ButtonCount();
    if (n == 0)
        return true;
    buttons = new DButton[n];
    buttonCount = n;
    for (int i = 0; i < n; ++i) {
        const ItemDesc& item = form->Button(i);
        DButtonDesc d = ButtonDesc(parent, DButtonStyle::kVisible | DButtonStyle::kHoverTimeout, owner, nullptr, &kItemNotify, nullptr);
        item.ToControlItem(d);
        buttons[i].ownerValue = i;
        if (!buttons[i].Create(&d))
            return false;
    }
    return true;
}

void KartLayout::Reset()
{
    if (list != nullptr && list->GetHwnd() != nullptr) {
        // The widths stay with the description for the next card of this form.
        const DescStrArray& columns = form->List();
        int column = 0;
        for (int i = 0; i < columns.count; ++i) {
            if (!IsListField(columns[i]))
                continue;
            int width = list->GetColumnWidth(column++);
            if (width > 0)
                columns[i]->width = width;
        }
    }
    Destroy();
}

void KartLayout::Destroy()
{
    if (fields != nullptr) {
        for (int i = 0; i < fieldCount; ++i) {
            KartField* f = fields[i];
            if (f == nullptr)
                continue;
            if (f->control != nullptr && IsWindow(f->control)) {
                SetWindowLongPtrW(f->control, GWLP_USERDATA, 0);
                DestroyWindow(f->control);
            }
            delete f->check;
            delete f->refButton;
            KartField::Free(f);
        }
        DescHeap::Free(fields);
    }
    fields = nullptr;
    fieldCount = 0;
    delete[] buttons;
    buttons = nullptr;
    buttonCount = 0;
    delete list;
    list = nullptr;
}

// ---------------------------------------------------------------- layout

int KartLayout::CalcHeight(int r) const
{
    int height = 0;
    if (buttonCount > 0)
        height += IconSize + 2 * buttons[0].GetLineHeight();
    if (fieldCount == 0)
        return height + 8 * r;
    for (int i = 0; i < fieldCount; ++i) {
        const FieldBlob* d = fields[i]->desc;
        height += list != nullptr ? 2 * r : r;
        if (d->controlKind == kControlEdit && d->Base() == kFieldText && d->textSize > 255)
            height += 4 * r;
    }
    return height;
}

void KartLayout::Arrange(int x, int y, int width, int height, int r)
{
    rowHeight = r;
    int top = y;
    if (buttonCount > 0) {
        const int buttonHeight = IconSize + 2 * buttons[0].GetLineHeight();
        for (int i = 0; i < buttonCount; ++i) {
            const int left = x + width * i / buttonCount;
            const int right = x + width * (i + 1) / buttonCount - 1;
            buttons[i].Move(left, y, right - left, buttonHeight, TRUE);
        }
        top += buttonHeight;
    }
    const int bottom = y + height;
    int areaX = x, captionWidth = width / 3, controlX = x + width / 3, controlWidth = width - width / 3 - 4;
    int step = r, captionAlign = 2;
    if (list != nullptr) {
        const int listWidth = fieldCount > 0 ? width / 2 - 2 : width - 2;
        list->Move(x, top, listWidth, bottom - top > 0 ? bottom - top : 0, TRUE);
        if (list->GetColumnCount() == 1)
            list->SetColumnWidth(0, listWidth - 2);
        areaX = x + width - listWidth;
        captionWidth = listWidth;
        controlX = areaX;
        controlWidth = listWidth - 4;
        step = 2 * r;
        captionAlign = 1;
    }
    int cy = top;
    for (int i = 0; i < fieldCount; ++i) {
        KartField* f = fields[i];
        const FieldBlob* d = f->desc;
        f->captionX = areaX;
        f->captionY = cy;
        f->captionWidth = captionWidth;
        f->captionAlign = captionAlign;
        f->controlX = controlX;
        f->controlY = list != nullptr ? cy + r : cy;
        f->controlWidth = controlWidth;
        f->controlHeight = r;
        int advance = step;
        if (d->controlKind == kControlEdit && d->Base() == kFieldText && d->textSize > 255) {
            // A long text: caption centred, the control below it across the whole width.
            f->captionX = list != nullptr ? areaX : x;
            f->captionWidth = list != nullptr ? captionWidth : width;
            f->captionAlign = 1;
            f->controlX = f->captionX;
            f->controlY = cy + r;
            f->controlWidth = (list != nullptr ? captionWidth : width) - 4;
            f->controlHeight = 3 * r;
            if (i == fieldCount - 1 && bottom - f->controlY - 3 * r >= r)
                f->controlHeight = bottom - f->controlY;
            advance = step + 4 * r;
        }
        if (d->controlKind == kControlList) {
            int comboWidth = f->controlWidth;
            if (f->refButton != nullptr) {
                comboWidth = f->controlWidth * 3 / 4;
                f->refButton->Move(f->controlX + comboWidth + 3, f->controlY, f->controlWidth / 4 - 6, r, TRUE);
            }
            MoveWindow(f->control, f->controlX, f->controlY, comboWidth, 10 * r, TRUE);
            SendMessageW(f->control, CB_SETDROPPEDWIDTH, comboWidth, 0);
        } else if (d->controlKind == kControlCheck && f->check != nullptr) {
            int buttonX = f->controlX, buttonY = f->controlY, space = f->controlWidth;
            if (list != nullptr) {
                f->captionAlign = 0;
                f->captionWidth = captionWidth / 2;
                buttonX = areaX + captionWidth / 2 + 4;
                buttonY = cy;
                space = captionWidth / 2 - 8;
            }
            // As wide as one and a half times the wider of its two texts, when that fits.
            int yesLength = 0, noLength = 0;
            const wchar_t* yes = YesNoText(*d, true, &yesLength);
            const wchar_t* no = YesNoText(*d, false, &noLength);
            const int wider = std::max(TextWidth(parent, font, yes, yesLength), TextWidth(parent, font, no, noLength));
            int buttonWidth = wider * 3 / 2 + f->check->GetMargin();
            if (buttonWidth > space || wider == 0)
                buttonWidth = space;
            f->check->Move(buttonX, buttonY, buttonWidth, r, TRUE);
        } else if (f->control != nullptr) {
            MoveWindow(f->control, f->controlX, f->controlY, f->controlWidth, f->controlHeight, TRUE);
        }
        cy += advance;
    }
}

void KartLayout::DrawLabels(HDC dc, int textHeight) const
{
    for (int i = 0; i < fieldCount; ++i) {
        const KartField* f = fields[i];
        RECT rc = {f->captionX, f->captionY, f->captionX + f->captionWidth - 10, f->captionY + textHeight};
        UINT format = DT_SINGLELINE | DT_NOPREFIX;
        if (f->captionAlign == 1) {
            format |= DT_CENTER;
        } else if (f->captionAlign == 2) {
            format |= DT_RIGHT;
            OffsetRect(&rc, 0, (rowHeight - textHeight) / 2);
        }
        DrawTextW(dc, f->desc->caption, static_cast<int>(f->desc->captionLength), &rc, format);
    }
}

// ---------------------------------------------------------------- focus and commands

bool KartLayout::FocusField(KartField* field)
{
    if (field == nullptr)
        return false;
    HWND target = field->control != nullptr ? field->control : field->check != nullptr ? field->check->GetHwnd() : nullptr;
    if (target == nullptr)
        return false;
    SetFocus(target);
    return true;
}

void KartLayout::MoveFocus(KartField* field, bool backward)
{
    if (backward) {
        FocusField(field->prev);
        return;
    }
    if (field->window != nullptr && !field->window->CheckField(field))
        return;
    FocusField(field->next);
}

void KartLayout::RunReference(KartField* field)
{
    const FieldRef* ref = field->desc->reference;
    if (ref == nullptr || ref->formFileLength == 0)
        return;
    try {
        KartField::ReadFromControl(field);
    } catch (const KartError&) {
    }
    HWND card = field->window != nullptr ? field->window->GetHwnd() : nullptr;
    RunKartForm(ref->formFile, card, field->IsNull() ? 0 : static_cast<LONG>(field->Word()), field->IsNull() ? 0 : 1);
    KartField::FillLookup(field);
}

// ---------------------------------------------------------------- lists

bool IsKeyPending()
{
    MSG message;
    return PeekMessageW(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE | PM_NOYIELD) != FALSE;
}

int FillListFromRowset(DListView* list, DODBRowset* rowset, DODBParams* row, const DescStrArray& fields,
                       const LONG* wantedKey, LONG* key, int* flag, bool stopOnKey)
{
    ULONG columns = 0;
    for (int i = 0; i < fields.count; ++i)
        if (IsListField(fields[i]))
            ++columns;
    int result = 0;
    int chosen = -1;
    while (rowset->GetNextData(row)) {
        DWORD rowKey = 0;
        if (!KartData::ReadInteger(row, columns, &rowKey))
            return -1;
        DListItem item = {DListItemMask::kData, 0, 0, -1, nullptr, 0, 0, static_cast<LONG_PTR>(rowKey)};
        if (!list->InsertItem(&item))
            return -1;
        const int index = list->GetRowCount() - 1;
        if (wantedKey != nullptr && chosen < 0 && static_cast<DWORD>(*wantedKey) == rowKey)
            chosen = index;
        if (stopOnKey && IsKeyPending()) {
            result = 1;
            break;
        }
        ULONG c = 0;
        for (int i = 0; i < fields.count; ++i) {
            const FieldBlob* f = fields[i];
            if (!IsListField(f))
                continue;
            const ULONG column = c++;
            if (!row->IsOk(column))
                continue;
            wchar_t text[260];
            const wchar_t* shown = text;
            int length = 0;
            switch (f->Base()) {
            case kFieldInt8:
            case kFieldInt16:
            case kFieldInt32: {
                DWORD value = 0;
                if (KartData::ReadInteger(row, column, &value))
                    length = _snwprintf(text, 259, L"%i", static_cast<int>(value));
                break;
            }
            case kFieldBool: {
                DWORD value = 0;
                if (f->BoolTexts() != nullptr && KartData::ReadInteger(row, column, &value))
                    shown = YesNoText(*f, value != 0, &length);
                break;
            }
            case kFieldText:
                if (row->GetWType(column) == DBTYPE_WSTR) {
                    shown = static_cast<const wchar_t*>(row->GetValuePtr(column));
                    length = static_cast<int>(row->GetLength(column) / sizeof(wchar_t));
                }
                break;
            case kFieldDateTime:
            case kFieldDate:
            case kFieldTime:
                if (row->GetWType(column) == DBTYPE_FILETIME)
                    length = FormatFieldDate(text, 260, f->FormatText(), f->Base(),
                                             *static_cast<const FILETIME*>(row->GetValuePtr(column)));
                break;
            default:
                break;
            }
            if (length > 0) {
                DListItem cell = {DListItemMask::kText, 0, static_cast<int>(column), index,
                                  const_cast<wchar_t*>(shown), length, 0, 0};
                list->SetItem(&cell);
            }
        }
    }
    if (result == 0 && !rowset->IsEndOfRowset())
        return -1;
    if (list->GetRowCount() == 0) {
        *key = 0;
        *flag = 0;
        return result;
    }
    if (chosen < 0)
        chosen = 0;
    LONG_PTR data = 0;
    const bool read = list->GetItemData(0, chosen, &data);
    *key = read ? static_cast<LONG>(data) : 0;
    *flag = read ? 1 : 0;
    list->SelectItem(chosen);
    return result;
}

namespace KartData {

bool Run(KartLayout& layout, LONG key, int flag)
{
    if (layout.list == nullptr)
        return true;
    layout.list->DeleteAllItems();
    try {
        SqlText sql;
        if (!KartSql::BuildRowList(sql, *layout.form) || !g_DbSession.IsSet())
            return false;
        BoundStatement query(g_DbSession, sql.c_str());
        query.Execute();
        LONG chosenKey = 0;
        int chosenFlag = 0;
        const int filled = FillListFromRowset(layout.list, query.Rowset(), query.Row(), layout.form->List(),
                                              flag > 0 ? &key : nullptr, &chosenKey, &chosenFlag, false);
        if (filled < 0)
            ThrowDatabaseError();
        return true;
    } catch (const DODBErrors& e) {
        e.ShowMessage(nullptr, nullptr, MB_OK | MB_ICONERROR);
    }
    return false;
}

}  // namespace KartData
