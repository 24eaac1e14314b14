// The note window: see notesnimok.h.
#include "app/notesnimok.h"

#include "app/mainmenus.h"
#include "app/notecommon.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/gdi.h"
#include "ui/placement.h"

#include <stdio.h>
#include <string.h>

#include <string>

static_assert(NoteSnimokWnd::kEditLimit == notes::kLongTextChars, "the edit field takes what is stored");

namespace {

const wchar_t kLoadSql[] =
    L"SELECT Snimok.Apicriz, Snimok.DiagHelp, Snimok.[Date file], DiagHelp.Txt, Snimok.NoDelete FROM Snimok "
    L"LEFT JOIN DiagHelp ON Snimok.DiagHelp=DiagHelp.DiagHelp WHERE Snimok.Snimok=?;";
const wchar_t kSaveSql[] = L"UPDATE Snimok SET DiagHelp=?, Apicriz=?, NoDelete=? WHERE Snimok=?;";
const wchar_t kTemplateSql[] = L"SELECT DiagTemplate, txt FROM DiagHelp WHERE DiagHelp=?;";
const wchar_t kDefaultTemplateSql[] = L"SELECT DiagHelp FROM DiagHelp WHERE txt=?;";

const PlacementRect kDefaultPlacement = {200, 0, 400, 600};
const COLORREF kHeaderColor = 0xFF8040;
const COLORREF kProtectedFace = 0xD3D3D3;
const COLORREF kUnprotectedFace = 0xC0C0C0;

struct NoteButtonRow {
    NoteSnimokWnd::Button kind;
    UINT caption;
    UINT icon;
    UINT tip;
    DWORD style;
    bool readOnly;   // also in a read-only window
};
constexpr DWORD kStayingToolButton =
    DButtonStyle::kToolButton | DButtonStyle::kStayPressed | DButtonStyle::kIconBeforeCaption;
const NoteButtonRow kNoteButtons[4] = {
    {NoteSnimokWnd::kExit, IDS_EXIT, IDI_VIEWER_EXIT, IDS_TIP_CLOSE_DESCRIPTION, kStayingToolButton, true},
    {NoteSnimokWnd::kSave, IDS_SAVE, IDI_VIEWER_SAVE, IDS_TIP_SAVE_CLOSE_DESCRIPTION, kStayingToolButton, false},
    {NoteSnimokWnd::kTemplate, IDS_TEMPLATE_BUTTON, IDI_NOTE_TEMPLATE, IDS_TIP_DESCRIPTION_TEMPLATE,
     DButtonStyle::kToolButton | DButtonStyle::kRightButton | DButtonStyle::kIconBeforeCaption,
     false},
    {NoteSnimokWnd::kPrint, IDS_PRINT, IDI_VIEWER_PRINT, IDS_TIP_PRINT_DESCRIPTION, DButtonStyle::kToolButton | DButtonStyle::kIconBeforeCaption,
     true},
};
const DWORD kProtectStyle = DButtonStyle::kVisible | DButtonStyle::kCheck | DButtonStyle::kIconBeforeCaption;

bool gRegistered = false;
wchar_t gHeaderFormat[64] = L"";
HICON gProtectIcon = nullptr;    // icon 236 at the icon size
WNDPROC gEditProc = nullptr;     // the EDIT class's own procedure

void PrintNotAvailable(HWND owner, DWORD, DWORD)
{
    ShowNotAvailableYet(owner);
}
NotePrintFunction gPrint = &PrintNotAvailable;

using notes::LoadText;
using notes::WindowText;

}  // namespace

// ---- class ------------------------------------------------------------------------

static DMessageMapEntry noteEntries[] = {
    MapMessage<WM_CREATE, &NoteSnimokWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &NoteSnimokWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &NoteSnimokWnd::OnSize>(),
    MapMessage<WM_PAINT, &NoteSnimokWnd::OnPaint>(),
    MapMessage<WM_GETMINMAXINFO, &NoteSnimokWnd::OnGetMinMaxInfo>(),
    MapMessage<WM_SETFOCUS, &NoteSnimokWnd::OnSetFocus>(),
    MapMessage<WM_CLOSE, &NoteSnimokWnd::OnClose>(),
    MapMessage<WM_FONTCHANGED_APP, &NoteSnimokWnd::OnFontChanged>(),
    DMapEnd(),
};
DMessageMap NoteSnimokWnd::messageMap = {-1, 0, noteEntries};

bool NoteSnimokWnd::RegisterClass()
{
    if (gRegistered)
        return true;
    if (!DWindow::RegisterMapClass({kClassName, CS_OWNDC}))
        return false;
    if (!LoadStringW(hInstance, IDS_TEMPLATE_HEADER, gHeaderFormat, 64))
        wcscpy(gHeaderFormat, L"%1");
    gProtectIcon = LoadIconRes(IDI_NOTE_PROTECTED);
    gRegistered = true;
    return true;
}

void NoteSnimokWnd::UnregisterClass()
{
    if (!gRegistered)
        return;
    ::UnregisterClassW(kClassName, hInstance);
    if (gProtectIcon)
        DestroyIcon(gProtectIcon);
    gProtectIcon = nullptr;
    gRegistered = false;
}

NotePrintFunction SetNotePrintFunction(NotePrintFunction function)
{
    NotePrintFunction old = gPrint;
    gPrint = function ? function : &PrintNotAvailable;
    return old;
}

// ---- life -----------------------------------------------------------------------------

NoteSnimokWnd::NoteSnimokWnd() : link_(this)
{
}

NoteSnimokWnd::~NoteSnimokWnd()
{
    // The map's handlers belong to this class: the window goes while they exist.
    if (hwnd)
        DestroyWindow(hwnd);
}

bool NoteSnimokWnd::Create(HWND owner, bool editable, DWORD imageKey, DWORD patientKey)
{
    if (hwnd || !gRegistered)
        return false;
    editable_ = editable;
    const wchar_t* name = editable ? L"NoteSnimok" : L"NoteView";
    PlacementRect r;
    if (!LoadWindowPlacement(r, name)) {
        CreateDefaultWindowPlacement(kDefaultPlacement, name);
        if (!LoadWindowPlacement(r, name))
            return false;
    }
    imageKey_ = imageKey;
    patientKey_ = patientKey;
    if (!DWindow::Create(WS_EX_TOOLWINDOW | WS_EX_NOPARENTNOTIFY, kClassName, L"",
                         WS_POPUP | WS_CLIPCHILDREN | WS_CAPTION | WS_THICKFRAME, r.x, r.y, r.cx, r.cy, owner, nullptr,
                         hInstance, nullptr))
        return false;
    bool loaded = false;
    try {
        loaded = Load();
    } catch (...) {
        DestroyWindow(hwnd);
        throw;
    }
    if (!loaded) {
        DestroyWindow(hwnd);
        return false;
    }
    // Shown over the window it was opened from. The owner given may be a
    // child window (an image view): a child has no place among the top-level
    // windows, and placing the note after it would leave the note hidden.
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING);
    return true;
}

bool NoteSnimokWnd::ChangeSnimok(DWORD imageKey, DWORD patientKey)
{
    if (!hwnd)
        return false;
    // A description that cannot be stored whole stays on screen with its message.
    if (editable_ && SaveStep(true, hwnd) < 0)
        return false;
    imageKey_ = imageKey;
    patientKey_ = patientKey;
    bool loaded = false;
    try {
        loaded = Load();
    } catch (...) {
        ForgetChanges();
        DestroyWindow(hwnd);
        throw;
    }
    if (!loaded) {
        ForgetChanges();
        DestroyWindow(hwnd);
        return false;
    }
    InvalidateRect(hwnd, nullptr, TRUE);
    return true;
}

void NoteSnimokWnd::Destroy()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

LRESULT NoteSnimokWnd::OnCreate(HWND, LPARAM)
{
    DWORD editStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
    if (!editable_)
        editStyle |= ES_READONLY;
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", editStyle, 0, 0, 10, 10, hwnd, nullptr, hInstance,
                            nullptr);
    if (!edit_)
        return -1;
    SendMessageW(edit_, EM_LIMITTEXT, kEditLimit, 0);
    if (ControlFont)
        SendMessageW(edit_, WM_SETFONT, (WPARAM)ControlFont, FALSE);
    gEditProc = (WNDPROC)SetWindowLongPtrW(edit_, GWLP_WNDPROC, (LONG_PTR)&NoteSnimokWnd::EditProc);

    static const DButtonNotify notify = {&NoteSnimokWnd::OnButtonClicked, nullptr, nullptr,
                                         &NoteSnimokWnd::OnButtonRightClicked, nullptr,
                                         &NoteSnimokWnd::OnButtonHover};
    static const DButtonInput keys = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, &NoteSnimokWnd::OnButtonKey, nullptr,
                                      nullptr};
    buttonCount_ = 0;
    for (const NoteButtonRow& row : kNoteButtons) {
        if (!editable_ && !row.readOnly)
            continue;
        DButton& b = buttons_[buttonCount_];
        if (!notes::CreateButton(b, hwnd, this, row.caption, row.icon, row.style, &keys, &notify))
            return -1;
        b.ownerValue = row.kind;
        buttonKinds_[buttonCount_++] = row.kind;
    }
    const std::wstring protectCaption = LoadText(IDS_PROTECT_IMAGE);
    DButtonDesc p = {60, hwnd, kProtectStyle, 0, 0, 100, 40, this, protectCaption.c_str(), nullptr, 0, 0,
                     hInstance, &keys, &notify};
    if (!protect_.Create(&p))
        return -1;
    protect_.ownerValue = -1;
    ShowProtect(false);

    HDC dc = GetDC();
    if (ControlFont)
        SelectObject(dc, ControlFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0xFFFFFF);
    headerBrush_ = CreateSolidBrush(kHeaderColor);
    return 0;
}

void NoteSnimokWnd::OnDestroy()
{
    editor_.Destroy();
    // However the note goes, an edited description is offered for saving.
    if (editable_ && IsChanged()) {
        try {
            SaveStep(true, nullptr);
        } catch (const DODBErrors& e) {
            e.ShowMessage(nullptr, nullptr, MB_OK | MB_ICONHAND);
        }
    }
    SaveWindowPlacement(hwnd, editable_ ? L"NoteSnimok" : L"NoteView", true);
    for (int i = 0; i < buttonCount_; ++i)
        buttons_[i].Destroy();
    buttonCount_ = 0;
    protect_.Destroy();
    if (headerBrush_)
        DeleteObject(headerBrush_);
    headerBrush_ = nullptr;
    edit_ = nullptr;
}

// ---- loading and saving -------------------------------------------------------------

bool NoteSnimokWnd::Load()
{
    BoundStatement query(g_DbSession, kLoadSql);
    if (!query.Params().SetValI4(1, (LONG)imageKey_))
        ThrowDatabaseError();
    query.Execute();
    if (!query.Next()) {
        // The image's row is gone (deleted meanwhile): say so; the caller
        // closes the window.
        MessageBoxIdCaption(GetWindow(hwnd, GW_OWNER), IDS_RECORD_NOT_FOUND, IDS_DESCRIPTION, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    DODBParams* row = query.Row();
    notes::SetEditFromRow(edit_, row, 0);
    SendMessageW(edit_, EM_SETMODIFY, FALSE, 0);
    LONG key = 0;
    if (RowInt(row, 1, &key)) {
        hasTemplate_ = 1;
        templateKey_ = (DWORD)key;
        templateNameLength_ = RowText(row, 3, templateName_, kTemplateNameChars + 1);
        if (templateNameLength_ < 0)
            templateNameLength_ = 0;
    } else {
        hasTemplate_ = 0;
        templateKey_ = 0;
        templateName_[0] = 0;
        templateNameLength_ = 0;
    }
    FILETIME date = {};
    wchar_t title[64] = L"";
    if (RowDate(row, 2, &date))
        FormatFileTime(title, 64, DateTimePicture, &date);
    SetWindowTextW(hwnd, title);
    protectValue_ = 0;
    RowInt(row, 4, &protectValue_);
    ShowProtect(protectValue_ != 0);
    if (headerTop_ > 0 || width_ > 0)
        InvalidateRect(hwnd, nullptr, TRUE);
    return true;
}

bool NoteSnimokWnd::IsChanged() const
{
    if (!edit_)
        return false;
    if (SendMessageW(edit_, EM_GETMODIFY, 0, 0))
        return true;
    return protect_.GetCheck() != (protectValue_ != 0);
}

void NoteSnimokWnd::ForgetChanges()
{
    if (edit_)
        SendMessageW(edit_, EM_SETMODIFY, FALSE, 0);
    protectValue_ = protect_.GetCheck() ? 1 : 0;
}

bool NoteSnimokWnd::Save(bool ask)
{
    return SaveStep(ask, hwnd) == 1;
}

int NoteSnimokWnd::SaveStep(bool ask, HWND promptOwner)
{
    if (!IsChanged())
        return 0;
    if (ask) {
        if (MessageBoxIdCaption(promptOwner, IDS_DESCRIPTION_MODIFIED, IDS_DESCRIPTION, MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
            return 0;
    }
    BoundStatement update(g_DbSession, kSaveSql, BoundStatement::kPrepared);
    DODBParams* block = update.DescribeParams(4);
    const std::wstring text = WindowText(edit_);
    // The description goes whole or not at all: a text longer than the
    // column's parameter would be cut without a word.
    const std::wstring caption = LoadText(IDS_DESCRIPTION);
    if (notes::RefuseTooLong(promptOwner, text, notes::TextRoom(block, 1), caption.c_str()))
        return -1;
    const bool protect = protect_.GetCheck();
    if ((hasTemplate_ ? SetNumber(block, 0, (LONG)templateKey_) : block->SetStatus(0, DBSTATUS_S_ISNULL)) != S_OK ||
        FAILED(block->SetValueStr(1, text.c_str(), (int)text.size())) || FAILED(SetNumber(block, 2, protect ? 1 : 0)) ||
        FAILED(SetNumber(block, 3, (LONG)imageKey_)))
        ThrowDatabaseError();
    update.Run();
    ForgetChanges();
    return 1;
}

void NoteSnimokWnd::ShowProtect(bool on)
{
    protect_.SetCheck(on);
    if (on) {
        protect_.SetIcon(gProtectIcon, IconSize, IconSize);
        protect_.SetFaceColor(kProtectedFace);
    } else {
        protect_.SetIcon(nullptr, 0, 0);
        protect_.SetFaceColor(kUnprotectedFace);
    }
}

// ---- commands ------------------------------------------------------------------------------

template <class F> void NoteSnimokWnd::Guarded(F f)
{
    notes::RunShowingErrors(hwnd, f);
}

void NoteSnimokWnd::Exit()
{
    if (editable_ && SaveStep(true, hwnd) < 0)
        return;
    ForgetChanges();
    DestroyWindow(hwnd);
}

void NoteSnimokWnd::SaveAndClose()
{
    if (SaveStep(false, hwnd) < 0)
        return;
    ForgetChanges();
    DestroyWindow(hwnd);
}

void NoteSnimokWnd::Print()
{
    if (editable_ && SaveStep(false, hwnd) < 0)
        return;
    gPrint(hwnd, imageKey_, patientKey_);
}

void NoteSnimokWnd::ToggleProtect()
{
    if (!editable_)
        return;
    ShowProtect(!protect_.GetCheck());
}

void NoteSnimokWnd::ApplyTemplate(DWORD templateKey, BOOL keyGiven)
{
    hasTemplate_ = 0;
    if (keyGiven) {
        BoundStatement query(g_DbSession, kTemplateSql);
        if (!query.Params().SetValI4(1, (LONG)templateKey))
            ThrowDatabaseError();
        query.Execute();
        if (query.Next()) {
            DODBParams* row = query.Row();
            hasTemplate_ = 1;
            templateKey_ = templateKey;
            notes::SetEditFromRow(edit_, row, 0);
            SendMessageW(edit_, EM_SETMODIFY, TRUE, 0);
            templateNameLength_ = RowText(row, 1, templateName_, kTemplateNameChars + 1);
            if (templateNameLength_ < 0)
                templateNameLength_ = 0;
            RECT band = {0, headerTop_, width_, headerTop_ + headerTextHeight_};
            InvalidateRect(hwnd, &band, TRUE);
            UpdateWindow(hwnd);
            return;
        }
    }
    SetWindowTextW(edit_, L"");
    SendMessageW(edit_, EM_SETMODIFY, TRUE, 0);
    templateName_[0] = 0;
    templateNameLength_ = 0;
    InvalidateRect(hwnd, nullptr, TRUE);
}

void NoteSnimokWnd::ApplyDefaultTemplate()
{
    HKEY key = nullptr;
    if (OpenSettingsKey(nullptr, KEY_READ, false, &key) != ERROR_SUCCESS)
        return;
    wchar_t name[257] = L"";
    DWORD type = 0, size = sizeof name - sizeof(wchar_t);
    const LONG error = RegQueryValueExW(key, L"DefTemplateName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS || type != REG_SZ)
        return;
    name[size / sizeof(wchar_t)] = 0;
    BoundStatement query(g_DbSession, kDefaultTemplateSql);
    if (!query.Params().SetStr(1, name, (int)wcslen(name)))
        ThrowDatabaseError();
    query.Execute();
    LONG templateKey = 0;
    if (query.Next() && RowInt(query.Row(), 0, &templateKey))
        ApplyTemplate((DWORD)templateKey, TRUE);
}

void NoteSnimokWnd::OpenTemplateEditor()
{
    if (editor_.GetHwnd()) {
        SetForegroundWindow(editor_.GetHwnd());
        return;
    }
    editor_.Create(&link_, templateKey_, hasTemplate_);
}

DButton* NoteSnimokWnd::GetButton(Button which)
{
    for (int i = 0; i < buttonCount_; ++i) {
        if (buttonKinds_[i] == which)
            return &buttons_[i];
    }
    return nullptr;
}

void NoteSnimokWnd::OnButtonClicked(void* cookie, DButton* button)
{
    NoteSnimokWnd* self = static_cast<NoteSnimokWnd*>(cookie);
    const LONG_PTR kind = button->ownerValue;
    self->Guarded([self, kind] {
        switch (kind) {
        case kExit: self->Exit(); break;
        case kSave: self->SaveAndClose(); break;
        case kTemplate: self->OpenTemplateEditor(); break;
        case kPrint: self->Print(); break;
        default: self->ToggleProtect(); break;
        }
    });
}

void NoteSnimokWnd::OnButtonRightClicked(void* cookie, DButton* button)
{
    NoteSnimokWnd* self = static_cast<NoteSnimokWnd*>(cookie);
    if (button->ownerValue == kTemplate)
        self->Guarded([self] { self->ApplyDefaultTemplate(); });
}

void NoteSnimokWnd::OnButtonHover(void*, DButton* button)
{
    for (const NoteButtonRow& row : kNoteButtons) {
        if (row.kind != button->ownerValue)
            continue;
        const std::wstring tip = LoadText(row.tip);
        if (!tip.empty())
            button->SetToolTip(2, tip.c_str(), (int)tip.size());
    }
}

void NoteSnimokWnd::OnButtonKey(void* cookie, DButton*, WPARAM key, LPARAM)
{
    NoteSnimokWnd* self = static_cast<NoteSnimokWnd*>(cookie);
    if (key == VK_ESCAPE)
        self->Guarded([self] { self->Exit(); });
}

LRESULT CALLBACK NoteSnimokWnd::EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        NoteSnimokWnd* self = WindowObject<NoteSnimokWnd>(GetParent(edit));
        if (self) {
            self->Guarded([self] { self->Exit(); });
            if (!IsWindow(edit))
                return 0;
        }
    }
    return CallWindowProcW(gEditProc, edit, message, wParam, lParam);
}

void NoteSnimokWnd::OnClose()
{
    // Alt+F4 closes as Exit does: an edited note is offered for saving.
    Guarded([this] { Exit(); });
}

// ---- layout and painting -------------------------------------------------------------

int NoteSnimokWnd::ButtonHeight() const
{
    return notes::ButtonHeight(buttons_, buttonCount_);
}

void NoteSnimokWnd::OnSize(int width, int height, WPARAM)
{
    width_ = width;
    height_ = height;
    Layout();
}

void NoteSnimokWnd::Layout()
{
    const int W = width_, H = height_;
    buttonHeight_ = ButtonHeight();
    int columns = W / 120;
    if (columns < 1)
        columns = 1;
    if (columns > buttonCount_)
        columns = buttonCount_ > 0 ? buttonCount_ : 1;
    buttonWidth_ = W / columns;
    int y = 0;
    HDWP batch = BeginDeferWindowPos(buttonCount_);
    for (int i = 0; i < buttonCount_; ++i) {
        const int column = i % columns;
        y = (i / columns) * buttonHeight_;
        if (batch)
            batch = DeferWindowPos(batch, buttons_[i].GetHwnd(), nullptr, column * buttonWidth_, y, buttonWidth_,
                                   buttonHeight_, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch)
        EndDeferWindowPos(batch);
    headerTop_ = y + buttonHeight_ + 1;
    TEXTMETRICW tm = {};
    HDC dc = GetDC();
    GetTextMetricsW(dc, &tm);
    headerTextHeight_ = tm.tmHeight + tm.tmExternalLeading;
    const int protectTop = headerTop_ + headerTextHeight_;
    MoveWindow(protect_.GetHwnd(), 0, protectTop, W, buttonHeight_, TRUE);
    const int editTop = protectTop + buttonHeight_;
    MoveWindow(edit_, 0, editTop, W, H > editTop ? H - editTop : 0, TRUE);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void NoteSnimokWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    HDC dc = paint.Dc();
    RECT top = {0, 0, width_ + 1, headerTop_ + 1};
    HBRUSH window = CreateSolidBrush(WindowColor);
    if (window) {
        FillRect(dc, &top, window);
        DeleteObject(window);
    }
    RECT band = {0, headerTop_, width_, headerTop_ + headerTextHeight_};
    if (headerBrush_)
        FillRect(dc, &band, headerBrush_);
    if (templateNameLength_ > 0) {
        const DWORD_PTR args[1] = {(DWORD_PTR)templateName_};
        wchar_t* text = nullptr;
        const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                           FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                       gHeaderFormat, 0, 0, (LPWSTR)&text, 0, (va_list*)args);
        if (n && text)
            TextOutW(dc, 0, headerTop_, text, (int)n);
        if (text)
            LocalFree(text);
    }
}

void NoteSnimokWnd::OnGetMinMaxInfo(LPARAM info)
{
    notes::SetMinTrackSize(info, ButtonHeight());
}

void NoteSnimokWnd::OnSetFocus(WPARAM)
{
    if (edit_)
        ::SetFocus(edit_);
}

void NoteSnimokWnd::OnFontChanged(WPARAM notice)
{
    if (notes::ApplyButtonFont(notice, buttons_, buttonCount_))
        Layout();
}
