#include "forms/filterwnd.h"

#include "forms/fielddesc.h"
#include "forms/filtertext.h"
#include "forms/formcontrols.h"
#include "forms/formdesc.h"
#include "forms/kartdata.h"
#include "forms/descenv.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/strbuf.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/gdi.h"
#include "ui/popupmenu.h"
#include "ui/window_errors.h"

#include <commctrl.h>

#include <string.h>

#include <algorithm>

namespace {

WNDPROC gEditProc = nullptr;
WNDPROC gComboProc = nullptr;

using formctl::ButtonDesc;
using formctl::ShiftHeld;

FilterField* EditorOf(HWND control)
{
    return reinterpret_cast<FilterField*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

DbFiltFormWindow* WindowOf(FilterField* editor)
{
    return editor->row->group->window;
}

LRESULT EditProcInner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    FilterField* editor = EditorOf(hwnd);
    if (editor == nullptr)
        return CallWindowProcW(gEditProc, hwnd, message, wParam, lParam);
    if (message == WM_KEYDOWN) {
        LRESULT result = CallWindowProcW(gEditProc, hwnd, message, wParam, lParam);
        if (IsWindow(hwnd))
            WindowOf(editor)->OnRowKey(editor->row, wParam);
        return result;
    }
    if (message == WM_CHAR) {
        const bool multiLine = (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0;
        if (wParam == L'\t' || (wParam == L'\r' && !multiLine)) {
            WindowOf(editor)->MoveFocus(editor, ShiftHeld());
            return 0;
        }
    }
    return CallWindowProcW(gEditProc, hwnd, message, wParam, lParam);
}

LRESULT ComboProcInner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    FilterField* editor = EditorOf(hwnd);
    if (editor == nullptr)
        return CallWindowProcW(gComboProc, hwnd, message, wParam, lParam);
    if (message == WM_KEYDOWN) {
        LRESULT result = CallWindowProcW(gComboProc, hwnd, message, wParam, lParam);
        if (!IsWindow(hwnd))
            return result;
        if (wParam == VK_DELETE && (GetKeyState(VK_CONTROL) & 0x8000) == 0) {
            SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        } else if (wParam == VK_F5) {
            FilterCondition* c = editor->row->condition;
            LRESULT item = SendMessageW(hwnd, CB_GETCURSEL, 0, 0);
            if (item != CB_ERR) {
                DWORD key = static_cast<DWORD>(SendMessageW(hwnd, CB_GETITEMDATA, item, 0));
                c->SetValue(editor->index, &key, 4);
            } else {
                c->SetValue(editor->index, nullptr, 0);
            }
            const FilterValue& v = c->values[editor->index];
            FillLookupCombo(hwnd, *editor->field->reference, !v.IsEmpty(),
                            v.IsEmpty() ? 0 : *reinterpret_cast<const DWORD*>(v.data));
        } else {
            WindowOf(editor)->OnRowKey(editor->row, wParam);
        }
        return result;
    }
    if (message == WM_CHAR && (wParam == L'\t' || wParam == L'\r')) {
        WindowOf(editor)->MoveFocus(editor, ShiftHeld());
        return 0;
    }
    return CallWindowProcW(gComboProc, hwnd, message, wParam, lParam);
}

const WNDPROC EditProc = &formctl::NoThrowProc<EditProcInner>;
const WNDPROC ComboProc = &formctl::NoThrowProc<ComboProcInner>;

// The yes/no editor: a click toggles the value between 0 and 1.
void OnYesNoClicked(void*, DButton* button)
{
    // Callbacks run inside the button's window procedure: nothing may leave them.
    try {
        FilterField* editor = reinterpret_cast<FilterField*>(button->ownerValue);
        FilterCondition* c = editor->row->condition;
        const FilterValue& v = c->values[editor->index];
        DWORD value = !v.IsEmpty() && *reinterpret_cast<const DWORD*>(v.data) != 0 ? 0 : 1;
        c->SetValue(editor->index, &value, 4);
        std::wstring text = FilterValueText(*c, editor->index);
        button->SetText(text.c_str(), static_cast<int>(text.size()));
    } catch (...) {
    }
}

void OnYesNoKey(void*, DButton* button, WPARAM key, LPARAM)
{
    try {
        FilterField* editor = reinterpret_cast<FilterField*>(button->ownerValue);
        if (key == VK_TAB || key == VK_RETURN)
            WindowOf(editor)->MoveFocus(editor, ShiftHeld());
        else
            WindowOf(editor)->OnRowKey(editor->row, key);
    } catch (...) {
    }
}

void OnKindClicked(void* cookie, DButton* button)
{
    try {
        FilterRow* row = reinterpret_cast<FilterRow*>(button->ownerValue);
        static_cast<DbFiltFormWindow*>(cookie)->OnRowKey(row, VK_F3);
    } catch (...) {
    }
}

void OnKindKey(void* cookie, DButton* button, WPARAM key, LPARAM)
{
    try {
        static_cast<DbFiltFormWindow*>(cookie)->OnRowKey(reinterpret_cast<FilterRow*>(button->ownerValue), key);
    } catch (...) {
    }
}

const DButtonNotify kYesNoNotify = {OnYesNoClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
const DButtonInput kYesNoInput = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, OnYesNoKey, nullptr, nullptr};
const DButtonNotify kKindNotify = {OnKindClicked, nullptr, nullptr, nullptr, nullptr, nullptr};
const DButtonInput kKindInput = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, OnKindKey, nullptr, nullptr};

// The three buttons along the top.
struct TopButton {
    UINT caption;
    UINT icon;
    UINT tooltip;
};
const TopButton kTopButtons[3] = {
    {IDS_SET_FILTER, IDI_SET_FILTER, IDS_TIP_SET_FILTER},
    {IDS_EXIT, IDI_CONNECT, IDS_TIP_CLOSE_WINDOW},
    {IDS_RESET, IDI_CONNECT, IDS_TIP_RESET_FILTER},
};

void OnTopClicked(void* cookie, DButton* button)
{
    try {
        DbFiltFormWindow* window = static_cast<DbFiltFormWindow*>(cookie);
        switch (button->ownerValue) {
        case 0:
            window->SetFilter();
            break;
        case 1:
            window->Close(0);
            break;
        default:
            window->Reset();
            break;
        }
    } catch (...) {
    }
}

void OnTopHover(void*, DButton* button)
{
    try {
        wchar_t text[256] = {};
        const int n = LoadStringW(hInstance, kTopButtons[button->ownerValue].tooltip, text, 256);
        if (n > 0)
            button->SetToolTip(2, text, n);
    } catch (...) {
    }
}

const DButtonNotify kTopNotify = {OnTopClicked, nullptr, nullptr, nullptr, nullptr, OnTopHover};

// Characters an editor of the type reads.
int ReadLimit(const FieldBlob* f)
{
    switch (f->Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
        return 15;
    case kFieldText:
        return static_cast<int>(f->textSize);
    case kFieldDateTime:
        return 31;
    case kFieldDate:
        return 13;
    case kFieldTime:
        return 8;
    default:
        return 0;
    }
}

}  // namespace

DMessageMapEntry DbFiltFormWindow::entries[] = {
    MapMessage<WM_CREATE, &DbFiltFormWindow::OnCreate>(),
    MapMessage<WM_DESTROY, &DbFiltFormWindow::OnDestroy>(),
    MapMessage<WM_SIZE, &DbFiltFormWindow::OnSize>(),
    MapMessage<WM_PAINT, &DbFiltFormWindow::OnPaint>(),
    MapMessage<WM_KEYDOWN, &DbFiltFormWindow::OnKeyDown>(),
    MapMessage<WM_SETFOCUS, &DbFiltFormWindow::OnSetFocus>(),
    DMapEnd(),
};
DMessageMap DbFiltFormWindow::messageMap = {-1, 0, entries};

DbFiltFormWindow::DbFiltFormWindow()
    : clientWidth_(0), clientHeight_(0), textHeight_(0), rowHeight_(0), font_(nullptr), statusBar_(nullptr),
      caller_(nullptr), result_(-1)
{
    status_[0] = 0;
    own_.conditions = nullptr;
    own_.left = own_.top = own_.width = own_.rowHeight = 0;
    own_.window = this;
    own_.number = 0;
}

DbFiltFormWindow::~DbFiltFormWindow()
{
    Destroy();
}

bool DbFiltFormWindow::RegisterClass()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    return DWindow::RegisterMapClass({kClassName});
}

void DbFiltFormWindow::UnregisterClass()
{
    ::UnregisterClassW(kClassName, hInstance);
}

// ---------------------------------------------------------------- running

bool DbFiltFormWindow::Run(DbFilter* filter, HWND owner, bool* set)
{
    if (set != nullptr)
        *set = false;
    DbFiltFormWindow window;
    try {
        if (!window.Create(filter, owner))
            return false;
    } catch (...) {
        MessageBoxId(owner, IDS_WINDOW_CREATE_EXCEPTION, MB_OK | MB_ICONERROR);
        return false;
    }
    // Like the card, the form is modal: its owner takes no input meanwhile.
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    bool ran = true;
    try {
        MSG message;
        while (window.GetHwnd() != nullptr) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            if (got == -1)
                break;
            TranslateMessage(&message);
            DispatchMessageShowing(message, window.GetHwnd());
        }
    } catch (...) {
        MessageBoxId(owner, IDS_WINDOW_CREATE_EXCEPTION, MB_OK | MB_ICONERROR);
        ran = false;
    }
    if (owner != nullptr) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    window.Destroy();
    if (set != nullptr)
        *set = window.Result() > 0;
    return ran;
}

bool RunFilterForm(const wchar_t* name, HWND owner)
{
    FormDesc form;
    if (!form.Parse(name))
        return false;
    DbFilter filter;
    if (!filter.Load(&form))
        return false;
    return DbFiltFormWindow::Run(&filter, owner, nullptr);
}

int DbFiltFormWindow::ButtonHeight() const
{
    return buttons_[0].GetLineHeight() * 3 / 2 + IconSize;
}

int DbFiltFormWindow::ContentHeight() const
{
    RECT bar = {};
    if (statusBar_ != nullptr)
        ::GetWindowRect(statusBar_, &bar);
    int height = (bar.bottom - bar.top) + ButtonHeight();
    auto group = [&](const FilterGroup& g) {
        height += static_cast<int>(g.rows.size()) * rowHeight_ + (g.title.empty() ? 0 : rowHeight_);
    };
    group(own_);
    for (const auto& g : sections_)
        group(*g);
    return height;
}

bool DbFiltFormWindow::Create(DbFilter* filter, HWND owner)
{
    status_[0] = 0;
    result_ = -1;
    caller_ = filter;
    if (!working_.Assign(*filter)) {
        const std::wstring text = EMsg(IDS_VALUE_COPY_ERROR).Text();
        ShowPrompt(owner, text.c_str(), nullptr, MB_OK | MB_ICONERROR);
        return false;
    }
    const FormDesc* form = working_.Form();
    if (form == nullptr)
        return false;   // a filter that was never loaded has nothing to edit
    if (!DWindow::Create(WS_EX_NOPARENTNOTIFY, kClassName, form->Caption(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                         0, 0, owner, nullptr, hInstance, nullptr)) {
        formctl::ReportWindowFailure(owner, form->GetName());
        return false;
    }

    // The full-screen work size, kept within the monitor's work area.
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int fullWidth = GetSystemMetrics(SM_CXFULLSCREEN);
    int fullHeight = GetSystemMetrics(SM_CYFULLSCREEN);
    if (fullWidth > work.right - work.left)
        fullWidth = work.right - work.left;
    if (fullHeight > work.bottom - work.top)
        fullHeight = work.bottom - work.top;
    const int w = form->Width(), h = form->Height();
    if (w == 0 && h == 0) {
        Show(SW_SHOWMAXIMIZED);
        Update();
        return Shown(owner);
    }
    int width = fullWidth;
    if (w >= -1000 && w <= -1)
        width = fullWidth * -w / 1000;
    else if (w > 0 && w <= fullWidth)
        width = w;
    int height = fullHeight;
    if (h == -2) {
        RECT frame = {0, 0, 0, ContentHeight()};
        AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_NOPARENTNOTIFY);
        height = frame.bottom - frame.top;
    } else if (h >= -1000 && h <= -1) {
        height = fullHeight * -h / 1000;
    } else if (h > 0) {
        height = h;
    }
    if (height > fullHeight)
        height = fullHeight;
    SetPos(nullptr, work.left + (fullWidth - width) / 2, work.top + (fullHeight - height) / 2, width, height,
           SWP_NOZORDER);
    Show(SW_SHOW);
    Update();
    return Shown(owner);
}

bool DbFiltFormWindow::Shown(HWND owner)
{
    // A modal window nobody can see would leave its owner disabled for good.
    RECT rect = {};
    ::GetWindowRect(hwnd, &rect);
    if (IsWindowVisible(hwnd) && rect.right > rect.left && rect.bottom > rect.top)
        return true;
    formctl::ReportWindowFailure(owner, working_.Form()->GetName());
    Destroy();
    return false;
}

// ---------------------------------------------------------------- messages

LRESULT DbFiltFormWindow::OnCreate(HWND, LPARAM)
{
    const bool procs = formctl::LoadClassProcs(&gEditProc, &gComboProc);
    statusBar_ = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", hwnd, 1);
    if (statusBar_ == nullptr || !procs)
        return -1;
    if (StatusFont != nullptr)
        SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(StatusFont), FALSE);
    const FormDesc* form = working_.Form();
    if (form->Icon() != nullptr)
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(form->Icon()));
    const LOGFONTW* logFont = GetFormsFont();
    if (logFont != nullptr)
        font_ = CreateFontIndirectW(logFont);
    HDC dc = ::GetDC(hwnd);
    if (dc != nullptr) {
        ScopedSelect select(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        textHeight_ = metrics.tmHeight;
        ::ReleaseDC(hwnd, dc);
    }
    rowHeight_ = textHeight_ * 3 / 2;

    for (int i = 0; i < 3; ++i) {
        const std::wstring caption = LoadText(kTopButtons[i].caption);
        DButtonDesc d = ButtonDesc(hwnd, DButtonStyle::kToolButton, this, caption.c_str(), &kTopNotify, nullptr);
        d.icon = LoadIconRes(kTopButtons[i].icon);
        d.iconWidth = d.iconHeight = IconSize;
        buttons_[i].ownerValue = i;
        if (!buttons_[i].Create(&d))
            return -1;
    }
    if (!CreateGroup(own_, working_.Own(), form->Fields(), 0, std::wstring()))
        return -1;
    for (int s = 0; s < working_.SectionCount() && s < form->RefCount(); ++s) {
        const FormRefDesc* ref = form->Ref(s);
        std::wstring title;
        if (ref->String(kRefName) != nullptr)
            title.assign(ref->String(kRefName), ref->StringLength(kRefName));
        sections_.push_back(std::unique_ptr<FilterGroup>(new FilterGroup));
        FilterGroup& group = *sections_.back();
        group.window = this;
        if (!CreateGroup(group, working_.Section(s), ref->fields, s + 1, title))
            return -1;
    }
    return 0;
}

bool DbFiltFormWindow::CreateGroup(FilterGroup& group, DbFilterValues& conditions, const DescStrArray& fields,
                                   int number, const std::wstring& title)
{
    group.conditions = &conditions;
    group.window = this;
    group.number = number;
    group.title = title;
    group.left = group.top = group.width = 0;
    group.rowHeight = rowHeight_;
    for (int i = 0; i < conditions.count && i < fields.count; ++i) {
        group.rows.push_back(std::unique_ptr<FilterRow>(new FilterRow));
        FilterRow* row = group.rows.back().get();
        row->condition = &conditions.conditions[i];
        row->rect = RECT{0, 0, 0, 0};
        row->captionEnd = row->kindEnd = 0;
        row->index = i;
        row->group = &group;
        const std::wstring caption = LoadText(FilterKindCaption(row->condition->kind));
        DButtonDesc d = ButtonDesc(hwnd, DButtonStyle::kVisible, this, caption.c_str(), &kKindNotify, &kKindInput);
        row->kindButton.ownerValue = reinterpret_cast<LONG_PTR>(row);
        if (!row->kindButton.Create(&d) || !BuildEditors(row))
            return false;
    }
    return true;
}

bool DbFiltFormWindow::BuildEditors(FilterRow* row)
{
    for (auto& editor : row->editors)
        if (editor->control != nullptr) {
            SetWindowLongPtrW(editor->control, GWLP_USERDATA, 0);
            DestroyWindow(editor->control);
        }
    row->editors.clear();
    FilterCondition* c = row->condition;
    const FieldBlob* f = c->field;
    const int n = FilterKindValues(c->kind) < c->valueCount ? FilterKindValues(c->kind) : c->valueCount;
    for (int i = 0; i < n; ++i) {
        std::unique_ptr<FilterField> editor(new FilterField{row, i, f, true, nullptr, nullptr});
        if (f->reference != nullptr) {
            editor->control = CreateWindowExW(WS_EX_NOPARENTNOTIFY, L"COMBOBOX", L"",
                                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 0, 0, hwnd,
                                              nullptr, hInstance, nullptr);
            if (editor->control == nullptr)
                return false;
            SetWindowLongPtrW(editor->control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(editor.get()));
            SetWindowLongPtrW(editor->control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComboProc));
            const FilterValue& v = c->values[i];
            FillLookupCombo(editor->control, *f->reference, !v.IsEmpty(),
                            v.IsEmpty() ? 0 : *reinterpret_cast<const DWORD*>(v.data));
        } else if (f->Base() == kFieldBool) {
            editor->isWindow = false;
            const std::wstring text = FilterValueText(*c, i);
            editor->button.reset(new DButton);
            DButtonDesc d = ButtonDesc(hwnd, DButtonStyle::kVisible, this, text.c_str(), &kYesNoNotify, &kYesNoInput);
            editor->button->ownerValue = reinterpret_cast<LONG_PTR>(editor.get());
            if (!editor->button->Create(&d))
                return false;
        } else {
            DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
            int limit = 0;
            switch (f->Base()) {
            case kFieldInt8:
            case kFieldInt16:
            case kFieldInt32:
                if (f->type & kFieldUnsigned)
                    style |= ES_NUMBER;   // a signed field takes its "-"
                limit = 16;
                break;
            case kFieldText:
                if (f->textSize >= 256)
                    style |= ES_MULTILINE;
                limit = static_cast<int>(f->textSize);
                break;
            case kFieldDateTime:
                limit = 32;
                break;
            case kFieldDate:
                limit = 14;
                break;
            case kFieldTime:
                limit = 8;
                break;
            default:
                return false;
            }
            editor->control = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, 0, 0, 0, 0, hwnd, nullptr,
                                              hInstance, nullptr);
            if (editor->control == nullptr)
                return false;
            SendMessageW(editor->control, EM_LIMITTEXT, limit, 0);
            SetWindowLongPtrW(editor->control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(editor.get()));
            SetWindowLongPtrW(editor->control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc));
            SetWindowTextW(editor->control, FilterValueText(*c, i).c_str());
        }
        if (editor->control != nullptr && font_ != nullptr)
            SendMessageW(editor->control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        row->editors.push_back(std::move(editor));
    }
    const std::wstring caption = LoadText(FilterKindCaption(c->kind));
    row->kindButton.SetText(caption.c_str(), static_cast<int>(caption.size()));
    LayoutRow(row);
    return true;
}

void DbFiltFormWindow::OnDestroy()
{
    for (DButton& b : buttons_)
        b.Destroy();
    working_.Clear();
    auto destroy = [](FilterGroup& group) {
        for (auto& row : group.rows)
            for (auto& editor : row->editors)
                if (editor->control != nullptr) {
                    SetWindowLongPtrW(editor->control, GWLP_USERDATA, 0);
                    DestroyWindow(editor->control);
                }
        group.rows.clear();
    };
    destroy(own_);
    for (auto& g : sections_)
        destroy(*g);
    sections_.clear();
    if (font_ != nullptr)
        DeleteObject(font_);
    font_ = nullptr;
    status_[0] = 0;
    if (statusBar_ != nullptr)
        DestroyWindow(statusBar_);
    statusBar_ = nullptr;
}

void DbFiltFormWindow::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = static_cast<int>(width);
    clientHeight_ = static_cast<int>(height);
    if (statusBar_ != nullptr)
        SendMessageW(statusBar_, WM_SIZE, 0, 0);
    const int buttonHeight = ButtonHeight();
    for (int i = 0; i < 3; ++i) {
        const int left = clientWidth_ * i / 3;
        const int right = clientWidth_ * (i + 1) / 3 - 1;
        buttons_[i].Move(left, 0, right - left, buttonHeight, TRUE);
    }
    int y = buttonHeight;
    LayoutGroup(own_, y);
    for (auto& g : sections_)
        LayoutGroup(*g, y);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void DbFiltFormWindow::LayoutGroup(FilterGroup& group, int& y)
{
    group.left = 0;
    group.width = clientWidth_;
    group.rowHeight = rowHeight_;
    group.top = y;
    if (!group.title.empty())
        y += rowHeight_;
    for (auto& row : group.rows) {
        row->rect = RECT{0, y, clientWidth_, y + rowHeight_};
        LayoutRow(row.get());
        y += rowHeight_;
    }
}

void DbFiltFormWindow::LayoutRow(FilterRow* row)
{
    const int x = row->rect.left, y = row->rect.top;
    const int w = row->rect.right - row->rect.left, h = row->rect.bottom - row->rect.top;
    row->captionEnd = x + w / 4;
    row->kindEnd = x + 2 * w / 5;
    if (w <= 0)
        return;
    row->kindButton.Move(row->captionEnd + 4, y + 1, row->kindEnd - 4 - (row->captionEnd + 4), h - 2, TRUE);
    const int n = static_cast<int>(row->editors.size());
    for (int i = 0; i < n; ++i) {
        FilterField* editor = row->editors[i].get();
        const int width = w / (2 * n) - 3;
        const int left = row->kindEnd + i * (width + 3);
        if (editor->button)
            editor->button->Move(left, y + 1, width, h - 2, TRUE);
        else if (editor->control != nullptr)
            MoveWindow(editor->control, left, y + 1, width, editor->field->reference != nullptr ? 10 * (h - 2) : h - 2,
                       TRUE);
    }
}

void DbFiltFormWindow::OnPaint()
{
    DPaintScope paint(hwnd);
    HDC dc = paint.Dc();
    RECT client = {};
    GetClientRect(&client);
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    FillSolidRect(dc, &client, background);
    ScopedSelect select(dc, font_);
    const COLORREF oldBack = SetBkColor(dc, background);
    auto paintGroup = [&](const FilterGroup& group) {
        if (!group.title.empty()) {
            RECT title = {group.left, group.top, group.left + group.width, group.top + group.rowHeight};
            const COLORREF old = SetTextColor(dc, RGB(255, 0, 0));
            DrawTextW(dc, group.title.c_str(), static_cast<int>(group.title.size()), &title,
                      DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            SetTextColor(dc, old);
        }
        for (const auto& row : group.rows) {
            RECT caption = {row->rect.left, row->rect.top, row->captionEnd, row->rect.bottom};
            const FieldBlob* f = row->condition->field;
            DrawTextW(dc, f->caption, static_cast<int>(f->captionLength), &caption,
                      DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    };
    paintGroup(own_);
    for (const auto& g : sections_)
        paintGroup(*g);
    SetBkColor(dc, oldBack);
}

void DbFiltFormWindow::OnKeyDown(WPARAM key, LPARAM)
{
    OnKey(key);
}

void DbFiltFormWindow::OnSetFocus(WPARAM)
{
    for (auto& row : own_.rows) {
        if (row->editors.empty())
            continue;
        FilterField* editor = row->editors.front().get();
        SetFocus(editor->control != nullptr ? editor->control : editor->button->GetHwnd());
        return;
    }
}

// ---------------------------------------------------------------- keys and focus

bool DbFiltFormWindow::OnKey(WPARAM key)
{
    if (key == VK_ESCAPE) {
        Close(0);
        return true;
    }
    if (key == VK_F2) {
        SetFilter();
        return true;
    }
    if (key == VK_DELETE && (GetKeyState(VK_CONTROL) & 0x8000)) {
        Reset();
        return true;
    }
    return false;
}

void DbFiltFormWindow::OnRowKey(FilterRow* row, WPARAM key)
{
    if (key != VK_F3) {
        OnKey(key);
        return;
    }
    ShowKindMenu(row);
    if (!row->editors.empty()) {
        FilterField* editor = row->editors.front().get();
        SetFocus(editor->control != nullptr ? editor->control : editor->button->GetHwnd());
    }
}

std::vector<FilterField*> DbFiltFormWindow::AllEditors()
{
    std::vector<FilterField*> all;
    auto collect = [&all](FilterGroup& group) {
        for (auto& row : group.rows)
            for (auto& editor : row->editors)
                all.push_back(editor.get());
    };
    collect(own_);
    for (auto& g : sections_)
        collect(*g);
    return all;
}

void DbFiltFormWindow::MoveFocus(FilterField* from, bool backward)
{
    std::vector<FilterField*> all = AllEditors();
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] != from)
            continue;
        FilterField* to = nullptr;
        if (backward && i > 0)
            to = all[i - 1];
        else if (!backward && i + 1 < all.size())
            to = all[i + 1];
        if (to != nullptr)
            SetFocus(to->control != nullptr ? to->control : to->button->GetHwnd());
        return;
    }
}

void DbFiltFormWindow::ShowKindMenu(FilterRow* row)
{
    // The menu's order: "Equal", then what the field's kind offers, each list
    // in the order users read it (dates: the comparisons, the empty tests,
    // then "Now").
    static const int kListOrder[] = {kFilterEqual, kFilterEmpty, kFilterNotEmpty};
    static const int kIntegerOrder[] = {kFilterEqual, kFilterLess, kFilterMore, kFilterBetween};
    static const int kBoolOrder[] = {kFilterEqual, kFilterNotUsed};
    static const int kTextOrder[] = {kFilterEqual, kFilterSubstring, kFilterLike, kFilterLess,
                                     kFilterMore,  kFilterEmpty,     kFilterNotEmpty};
    static const int kDateOrder[] = {kFilterEqual, kFilterLess,     kFilterMore, kFilterBetween,
                                     kFilterEmpty, kFilterNotEmpty, kFilterNow};
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    std::vector<int> kinds;
    const FieldBlob* f = row->condition->field;
    auto offer = [&](const int* order, size_t count) {
        for (size_t i = 0; i < count; ++i)
            if (order[i] != row->condition->kind && FilterCondition::Offers(f, order[i]))
                kinds.push_back(order[i]);
    };
    if (f->reference != nullptr) {
        offer(kListOrder, sizeof kListOrder / sizeof kListOrder[0]);
    } else {
        switch (f->Base()) {
        case kFieldText: offer(kTextOrder, sizeof kTextOrder / sizeof kTextOrder[0]); break;
        case kFieldBool: offer(kBoolOrder, sizeof kBoolOrder / sizeof kBoolOrder[0]); break;
        case kFieldDateTime:
        case kFieldDate:
        case kFieldTime: offer(kDateOrder, sizeof kDateOrder / sizeof kDateOrder[0]); break;
        default: offer(kIntegerOrder, sizeof kIntegerOrder / sizeof kIntegerOrder[0]); break;
        }
    }
    for (int kind : kinds)
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(kind), LoadText(FilterKindCaption(kind)).c_str());
    POINT at = {row->kindEnd, row->rect.top};
    ClientToScreen(hwnd, &at);
    const int chosen = TrackPopup(menu, TPM_NONOTIFY | TPM_RIGHTALIGN, at.x, at.y, hwnd);
    DestroyMenu(menu);
    if (chosen > 0)
        ChooseKind(row, chosen);
}

bool DbFiltFormWindow::ChooseKind(FilterRow* row, int kind)
{
    if (!FilterCondition::SetKind(row->condition, kind))
        return false;
    return BuildEditors(row);
}

// ---------------------------------------------------------------- commands

void DbFiltFormWindow::ReadEditor(FilterField* editor)
{
    FilterCondition* c = editor->row->condition;
    const FieldBlob* f = editor->field;
    if (f->reference != nullptr) {
        if (!editor->isWindow || editor->control == nullptr || f->Base() != kFieldInt32)
            throw EMsg(IDS_CONTROL_TYPE_MISMATCH);
        LRESULT item = SendMessageW(editor->control, CB_GETCURSEL, 0, 0);
        if (item == CB_ERR) {
            c->SetValue(editor->index, nullptr, 0);
        } else {
            DWORD key = static_cast<DWORD>(SendMessageW(editor->control, CB_GETITEMDATA, item, 0));
            c->SetValue(editor->index, &key, 4);
        }
        return;
    }
    if (f->Base() == kFieldBool) {
        if (editor->isWindow)
            throw EMsg(IDS_CONTROL_TYPE_MISMATCH);
        return;   // the button keeps the value current
    }
    const int limit = ReadLimit(f);
    if (limit == 0)
        throw EMsg(IDS_UNKNOWN_VALUE_TYPE);
    if (!editor->isWindow || editor->control == nullptr)
        throw EMsg(IDS_CONTROL_TYPE_MISMATCH);
    std::vector<wchar_t> text(limit + 2, 0);
    int n = GetWindowTextW(editor->control, text.data(), limit + 1);
    if (n < 0)
        n = 0;
    text[n] = 0;
    if (c->kind == kFilterSubstring && f->Base() == kFieldText)
        FilterSubstringText(text.data(), n, static_cast<int>(f->textSize));
    FilterReadText(*c, editor->index, text.data());
}

void DbFiltFormWindow::ReadRow(FilterRow* row)
{
    switch (row->condition->kind) {
    case kFilterEqual:
    case kFilterLess:
    case kFilterMore:
    case kFilterLike:
    case kFilterSubstring:
    case kFilterNow:
        if (!row->editors.empty())
            ReadEditor(row->editors[0].get());
        break;
    case kFilterBetween:
        for (auto& editor : row->editors)
            ReadEditor(editor.get());
        break;
    case kFilterEmpty:
    case kFilterNotEmpty:
    case kFilterNotUsed:
        break;
    default:
        throw EMsg(IDS_UNKNOWN_FILTER_METHOD);
    }
    FilterCondition::Normalize(row->condition);
}

void DbFiltFormWindow::ShowStatus()
{
    if (statusBar_ != nullptr)
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status_));
}

bool DbFiltFormWindow::SetFilter()
{
    status_[0] = 0;
    const std::wstring pattern = LoadText(IDS_READ_ERROR_PATTERN);
    std::wstring problem;
    try {
        for (auto& row : own_.rows)
            ReadRow(row.get());
        for (auto& g : sections_)
            for (auto& row : g->rows)
                ReadRow(row.get());
    } catch (const EMsg& e) {
        problem = e.Text();
    } catch (const DException& e) {
        problem = LoadText(e.code == kDExceptionMemory ? IDS_FILTER_OUT_OF_MEMORY : IDS_FILTER_INVALID_PARAMETER_TYPE);
    } catch (...) {
        problem = LoadText(IDS_FILTER_UNKNOWN_EXCEPTION);
    }
    DStrBuf status(status_, 256);
    if (!problem.empty()) {
        MessageBeep(MB_ICONEXCLAMATION);
        status.Format(pattern.c_str(), problem.c_str());
        ShowStatus();
        return false;
    }
    if (!caller_->Assign(working_)) {
        // The caller keeps the filter it had; the window stays open.
        MessageBeep(MB_ICONEXCLAMATION);
        status.Format(LoadText(IDS_COPY_ERROR_PATTERN).c_str(), LoadText(IDS_VALUE_COPY_ERROR).c_str());
        ShowStatus();
        return false;
    }
    status.Copy(LoadText(IDS_READY).c_str());
    ShowStatus();
    Close(1);
    return true;
}

void DbFiltFormWindow::Reset()
{
    // The reset destroys the editors, the one holding the focus among them:
    // the focus then goes back to the same row's first editor (or the form's
    // first one), so that the keys keep working without a click.
    FilterRow* focusRow = nullptr;
    const HWND focus = GetFocus();
    const bool focusInForm = focus != nullptr && (focus == hwnd || IsChild(hwnd, focus));
    for (FilterField* editor : AllEditors())
        if (focus != nullptr && (editor->control == focus || (editor->button && editor->button->GetHwnd() == focus)))
            focusRow = editor->row;
    auto resetGroup = [this](FilterGroup& group) {
        for (auto& row : group.rows) {
            FilterCondition* c = row->condition;
            const int kind = FilterCondition::DefaultKind(c);
            c->FreeValues();
            c->kind = 0;
            if (!FilterCondition::SetKind(c, kind))
                throw EMsg(IDS_VALUE_RESET_ERROR);
            for (int i = 0; i < c->valueCount; ++i)
                c->SetValue(i, nullptr, 0);
            FilterCondition::Normalize(c);
            if (!BuildEditors(row.get()))
                throw EMsg(IDS_VALUE_SHOW_ERROR);
        }
    };
    try {
        resetGroup(own_);
        for (auto& g : sections_)
            resetGroup(*g);
    } catch (...) {
    }
    if (focusRow != nullptr && !focusRow->editors.empty()) {
        FilterField* editor = focusRow->editors.front().get();
        SetFocus(editor->control != nullptr ? editor->control : editor->button->GetHwnd());
    } else if (focusInForm || focusRow != nullptr) {
        OnSetFocus(0);
    }
}

void DbFiltFormWindow::Close(int result)
{
    result_ = result;
    Destroy();
}
