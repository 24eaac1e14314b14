#include "forms/kartwnd.h"

#include "forms/dbformdesc.h"
#include "forms/desccache.h"
#include "forms/filterwnd.h"
#include "forms/formcontrols.h"
#include "forms/kartdata.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/strbuf.h"
#include "resources/strings.h"
#include "ui/gdi.h"
#include "ui/window_errors.h"

#include <commctrl.h>

namespace {

// What the card's WM_CREATE gets.
struct KartCreateParams {
    const DbFormDesc* form;
    HWND owner;
    LONG key;
    int flag;
};

}  // namespace

DMessageMapEntry DbKartWindow::entries[] = {
    MapMessage<WM_CREATE, &DbKartWindow::OnCreate>(),
    MapMessage<WM_DESTROY, &DbKartWindow::OnDestroy>(),
    MapMessage<WM_SIZE, &DbKartWindow::OnSize>(),
    MapMessage<WM_PAINT, &DbKartWindow::OnPaint>(),
    MapMessage<WM_SETFOCUS, &DbKartWindow::OnSetFocus>(),
    DMapEnd(),
};
DMessageMap DbKartWindow::messageMap = {-1, 0, entries};

DbKartWindow::DbKartWindow()
    : key_(0), flag_(0), clientWidth_(0), clientHeight_(0), textHeight_(0), statusHeight_(0), font_(nullptr),
      statusBar_(nullptr), form_(nullptr), outcome_{-1, 0, 0}, pendingCheck_(nullptr)
{
    status_[0] = 0;
}

DbKartWindow::~DbKartWindow()
{
    // Our WM_DESTROY needs this part of the object.
    Destroy();
}

// ---------------------------------------------------------------- classes

bool DbKartWindow::RegisterClass()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    return DWindow::RegisterMapClass({kClassName});
}

void DbKartWindow::UnregisterClass()
{
    ::UnregisterClassW(kClassName, hInstance);
}

bool DbKartWindow::RegisterClasses()
{
    if (!RegisterClass())
        return false;
    if (!DbFiltFormWindow::RegisterClass()) {
        UnregisterClass();
        return false;
    }
    return true;
}

void DbKartWindow::UnregisterClasses()
{
    UnregisterClass();
    DbFiltFormWindow::UnregisterClass();
    DescCache::Instance().Clear();
}

// ---------------------------------------------------------------- creation

bool DbKartWindow::Create(const DbFormDesc* form, HWND owner, LONG key, int flag)
{
    if (hwnd != nullptr) {
        Show(SW_SHOW);
        return true;
    }
    form_ = form;
    outcome_ = {-1, key, flag};
    KartCreateParams params = {form, owner, key, flag};
    if (!DWindow::Create(WS_EX_CONTROLPARENT, kClassName, form->Caption(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                         0, 0, owner, nullptr, hInstance, &params)) {
        formctl::ReportWindowFailure(owner, form->GetName());
        return false;
    }

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const int w = form->Width();
    int width = screenWidth;
    if (w > 0)
        width = w < screenWidth ? w : screenWidth;
    else if (w > -1000 && w < 0)
        width = screenWidth * -w / 1000;
    const int h = form->Height();
    int height = screenHeight;
    if (h > 0) {
        height = h;
    } else if (h == -2) {
        RECT frame = {0, 0, 0, layout_.CalcHeight(RowHeight())};
        AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_CONTROLPARENT);
        height = (frame.bottom - frame.top) + statusHeight_;
    } else if (h > -1000 && h < 0) {
        height = screenHeight * -h / 1000;
    }
    if (height > screenHeight)
        height = screenHeight;
    SetPos(nullptr, (screenWidth - width) / 2, (screenHeight - height) / 2, width, height, SWP_NOZORDER);
    Show(SW_SHOW);
    Update();
    return true;
}

LRESULT DbKartWindow::OnCreate(HWND, LPARAM createStruct)
{
    const KartCreateParams* params =
        static_cast<const KartCreateParams*>(reinterpret_cast<const CREATESTRUCTW*>(createStruct)->lpCreateParams);
    form_ = params->form;
    if (form_->Icon() != nullptr)
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(form_->Icon()));
    statusBar_ = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", hwnd, 1);
    if (statusBar_ == nullptr)
        return -1;
    if (StatusFont != nullptr)
        SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(StatusFont), FALSE);
    RECT bar = {};
    ::GetWindowRect(statusBar_, &bar);
    statusHeight_ = bar.bottom - bar.top;

    font_ = CreateFontIndirectW(&form_->Font());
    HDC dc = ::GetDC(hwnd);
    if (dc != nullptr) {
        ScopedSelect select(dc, font_);
        SIZE size = {};
        GetTextExtentPoint32W(dc, L"986", 3, &size);
        textHeight_ = size.cy;
    }
    if (dc != nullptr)
        ::ReleaseDC(hwnd, dc);
    if (!layout_.Build(this, hwnd, form_, font_))
        return -1;
    if (!SetRecord(params->key, params->flag) || !KartData::Run(layout_, key_, flag_))
        return -1;
    return 0;
}

void DbKartWindow::OnDestroy()
{
    layout_.Reset();
    if (font_ != nullptr)
        DeleteObject(font_);
    font_ = nullptr;
    if (statusBar_ != nullptr)
        DestroyWindow(statusBar_);
    statusBar_ = nullptr;
    status_[0] = 0;
    outcome_.key = key_;
    outcome_.flag = flag_;
}

void DbKartWindow::OnSize(int width, int height, WPARAM)
{
    clientWidth_ = static_cast<int>(width);
    clientHeight_ = static_cast<int>(height);
    if (statusBar_ != nullptr)
        MoveWindow(statusBar_, 0, clientHeight_ - statusHeight_, clientWidth_, statusHeight_, TRUE);
    layout_.Arrange(0, 0, clientWidth_, clientHeight_ - statusHeight_, RowHeight());
}

void DbKartWindow::OnPaint()
{
    DPaintScope paint(hwnd);
    RECT client = {};
    GetClientRect(&client);
    const COLORREF background = WindowColor;   // read once at start-up
    FillSolidRect(paint.Dc(), &client, background);
    ScopedSelect select(paint.Dc(), font_);
    const COLORREF oldBack = SetBkColor(paint.Dc(), background);
    layout_.DrawLabels(paint.Dc(), textHeight_);
    SetBkColor(paint.Dc(), oldBack);
}

void DbKartWindow::OnSetFocus(WPARAM)
{
    if (layout_.fieldCount > 0)
        KartLayout::FocusField(layout_.fields[0]);
}

// ---------------------------------------------------------------- status

void DbKartWindow::SetStatus(const wchar_t* text)
{
    lstrcpynW(status_, text != nullptr ? text : L"", 256);
}

void DbKartWindow::SetStatusId(UINT id)
{
    status_[0] = 0;
    LoadStringW(hInstance, id, status_, 256);
}

void DbKartWindow::ShowStatus()
{
    if (statusBar_ != nullptr)
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status_));
}

void DbKartWindow::ModeText(const KartError& error)
{
    UINT id = IDS_UNKNOWN_INTERNAL_ERROR;
    switch (error.code) {
    case kKartErrorRead:
        id = IDS_FIELD_READ_ERROR;
        break;
    case kKartErrorFormat:
        id = IDS_FIELD_FORMAT_INVALID;
        break;
    case kKartErrorRequired:
        id = IDS_FIELD_REQUIRES_DATA;
        break;
    case kKartErrorLink:
        id = IDS_FIELD_LINK_ERROR;
        break;
    default:
        break;
    }
    wchar_t pattern[256] = {};
    LoadStringW(hInstance, id, pattern, 256);
    const wchar_t* caption = error.field != nullptr ? error.field->desc->caption : L"";
    DStrBuf text(status_, 256);
    if (text.Format(pattern, caption) == 0)
        SetStatus(pattern);
}

// ---------------------------------------------------------------- commands

bool DbKartWindow::Save()
{
    // F2 or the save button with the cursor still in a "checkrow" field: the
    // test that leaving the field runs comes first, so that a duplicate is
    // offered before it is stored. Opening the existing row ends the save.
    if (KartField* pending = pendingCheck_) {
        const LONG keyBefore = key_;
        const int flagBefore = flag_;
        if (!CheckField(pending))
            return false;
        if (flag_ != flagBefore || key_ != keyBefore)
            return false;
    }
    status_[0] = 0;
    bool saved = false;
    try {
        KartForm::ReadAll(layout_.fieldCount, layout_.fields);
        KartFields::Check(layout_.fieldCount, layout_.fields);
        if (flag_ > 0) {
            saved = KartData::UpdateRecord(*form_, layout_.fieldCount, layout_.fields, key_);
            if (!saved)
                SetStatusId(IDS_DATA_SAVE_ERROR);
        } else {
            LONG newKey = 0;
            saved = KartData::InsertRecord(*form_, layout_.fieldCount, layout_.fields, &newKey);
            if (saved) {
                key_ = newKey;
                flag_ = 1;
            } else {
                SetStatusId(IDS_DATA_ADD_ERROR);
            }
        }
        if (saved) {
            SetStatusId(IDS_DATA_SAVED);
            outcome_.result = 0;
        }
        KartData::Run(layout_, key_, flag_);
    } catch (const KartError& e) {
        ModeText(e);
    } catch (int index) {
        wchar_t pattern[256] = {};
        LoadStringW(hInstance, IDS_PARAMETER_READ_ERROR, pattern, 256);
        const wchar_t* caption = index >= 0 && index < layout_.fieldCount ? layout_.fields[index]->desc->caption : L"";
        DStrBuf text(status_, 256);
        text.Format(pattern, caption);
    }
    ShowStatus();
    if (!saved)
        MessageBeep(MB_ICONEXCLAMATION);
    return saved;
}

void DbKartWindow::Reload()
{
    status_[0] = 0;
    flag_ = 0;
    pendingCheck_ = nullptr;
    ShowStatus();
    KartForm::ApplyDateDefaults(layout_.fieldCount, layout_.fields);
    try {
        KartForm::ShowAll(layout_.fieldCount, layout_.fields);
    } catch (const KartError&) {
    }
    if (layout_.fieldCount > 0)
        KartLayout::FocusField(layout_.fields[0]);
}

bool DbKartWindow::Delete()
{
    status_[0] = 0;
    if (flag_ <= 0) {
        ShowStatus();
        return false;
    }
    const KartDeleteResult result = KartData::DeleteRecord(hwnd, *form_, key_);
    if (result == kDeleteDone) {
        outcome_.result = 0;
        Reload();
        KartData::Run(layout_, key_, flag_);
    } else if (result == kDeleteFailed) {
        SetStatusId(IDS_RECORD_DELETE_ERROR);
    }
    ShowStatus();
    return result == kDeleteDone;
}

bool DbKartWindow::SetRecord(LONG key, int flag)
{
    if (flag < 1) {
        Reload();
        return true;
    }
    if (flag_ > 0 && key_ == key)
        return true;
    key_ = key;
    flag_ = flag;
    bool shown = KartData::LoadRecord(*form_, layout_.fieldCount, layout_.fields, key);
    if (shown) {
        try {
            shown = KartForm::ShowAll(layout_.fieldCount, layout_.fields);
        } catch (const KartError&) {
            shown = false;
        }
    }
    if (!shown) {
        Reload();
        return false;
    }
    return true;
}

void DbKartWindow::FieldEntered(KartField* field)
{
    if (flag_ <= 0 && (field->desc->type & kFieldCheckRow))
        pendingCheck_ = field;
}

bool DbKartWindow::CheckField(KartField* field)
{
    if (flag_ > 0 || !(field->desc->type & kFieldCheckRow))
        return true;
    pendingCheck_ = nullptr;
    status_[0] = 0;
    bool result = false;
    try {
        if (!KartForm::ReadAndCheckKeys(layout_.fieldCount, layout_.fields)) {
            result = true;   // no "rowid" field: nothing to look up, the focus may move on
        } else {
            LONG existing = 0;
            bool found = false;
            if (KartData::SelectByKey(*form_, layout_.fieldCount, layout_.fields, &existing, &found)) {
                result = true;
                if (found) {
                    if (MessageBoxIdCaption(hwnd, IDS_RECORD_ALREADY_EXISTS, form_->Caption(),
                                            MB_YESNO | MB_ICONQUESTION) == IDYES)
                        SetRecord(existing, 1);
                }
            }
        }
    } catch (const KartError& e) {
        if (e.code == kKartErrorRequired)
            result = true;
        else
            ModeText(e);
    }
    ShowStatus();
    if (!result) {
        pendingCheck_ = field;   // still due: the focus stays in the field
        MessageBeep(MB_ICONEXCLAMATION);
    }
    return result;
}

bool DbKartWindow::OnKey(WPARAM key)
{
    switch (key) {
    case VK_ESCAPE:
        if (!form_->HasEvent(kEventClose))
            return false;
        Destroy();
        return true;
    case VK_INSERT:
        if (!form_->HasEvent(kEventNew))
            return false;
        Reload();
        return true;
    case VK_F2:
        if (!form_->HasEvent(kEventAddUpdate))
            return false;
        Save();
        return true;
    case VK_F8:
        if (!form_->HasEvent(kEventDelete))
            return false;
        Delete();
        return true;
    default:
        return false;
    }
}

void DbKartWindow::RunEvent(int event, const ItemDesc& item)
{
    switch (event) {
    case kEventClose:
        Destroy();
        break;
    case kEventAddUpdate:
        Save();
        break;
    case kEventNew:
        Reload();
        break;
    case kEventFormOpen:
        if (item.string.Length() > 0)
            RunKartForm(item.string.GetString(), hwnd, 0, 0);
        break;
    case kEventDelete:
        Delete();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- running

bool RunKartForm(const wchar_t* name, HWND owner, LONG key, int flag, KartOutcome* outcome)
{
    DbFormDesc* form = DescCache::DbFormDescFor(name);
    if (form == nullptr)
        return false;
    DbKartWindow card;
    try {
        if (!card.Create(form, owner, key, flag))
            return false;
    } catch (...) {
        return false;
    }
    if (owner != nullptr)
        EnableWindow(owner, FALSE);
    MSG message;
    while (card.GetHwnd() != nullptr) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The owner's loop must end too.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        TranslateMessage(&message);
        DispatchMessageShowing(message, card.GetHwnd());
    }
    // The owner comes back before the card goes, so that it is activated.
    if (owner != nullptr) {
        EnableWindow(owner, TRUE);
        SetActiveWindow(owner);
    }
    card.Destroy();
    if (outcome != nullptr)
        *outcome = card.Outcome();
    return true;
}

DbKartWindow* CreateKartForm(const wchar_t* name, HWND owner, LONG key, int flag)
{
    DbFormDesc* form = DescCache::DbFormDescFor(name);
    if (form == nullptr)
        return nullptr;
    DbKartWindow* card = new DbKartWindow;
    bool created = false;
    try {
        created = card->Create(form, owner, key, flag);
    } catch (...) {
    }
    if (!created) {
        delete card;
        return nullptr;
    }
    return card;
}

bool GetKartFormKey(DbKartWindow* card, LONG* key)
{
    if (card == nullptr || card->Flag() <= 0)
        return false;
    *key = card->Key();
    return true;
}

void DestroyKartForm(DbKartWindow* card)
{
    delete card;
}
