// The diagnosis template editor: see notesnimok.h.
#include "app/notesnimok.h"

#include "app/inputtext.h"
#include "app/notecommon.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "images/viewer/mainviewwnd.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/placement.h"

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const wchar_t kListSql[] = L"SELECT DiagHelp, Txt FROM DiagHelp ORDER BY 2;";
const wchar_t kTextSql[] = L"SELECT DiagTemplate FROM DiagHelp WHERE DiagHelp=?;";
const wchar_t kSaveSql[] = L"UPDATE DiagHelp SET DiagTemplate=? WHERE DiagHelp=?;";
const wchar_t kUnlinkSql[] = L"UPDATE Snimok SET DiagHelp=NULL WHERE DiagHelp=?;";
const wchar_t kDeleteSql[] = L"DELETE FROM DiagHelp WHERE DiagHelp=?;";
const wchar_t kPlacementName[] = L"TNoteSnimok";
const PlacementRect kDefaultPlacement = {0, 0, 400, 600};
const int kEditId = 1, kListId = 2;
const int kNameChars = 64;

struct EditorButtonRow {
    UINT caption;
    UINT icon;
    UINT tip;
    DWORD style;
};
const EditorButtonRow kEditorButtons[TNoteSnimokWnd::kButtons] = {
    {IDS_EXIT, IDI_VIEWER_EXIT, IDS_TIP_CLOSE_TEMPLATES, DButtonStyle::kToolButton | DButtonStyle::kStayPressed | DButtonStyle::kIconBeforeCaption},
    {IDS_SELECT, IDI_TEMPLATE_SELECT, IDS_TIP_SELECT_TEMPLATE, DButtonStyle::kToolButton | DButtonStyle::kStayPressed | DButtonStyle::kIconBeforeCaption},
    {IDS_SAVE, IDI_VIEWER_SAVE, IDS_TIP_SAVE_TEMPLATE, DButtonStyle::kToolButton | DButtonStyle::kIconBeforeCaption},
    {IDS_DEFAULT, IDI_TEMPLATE_DEFAULT, IDS_TIP_DEFAULT_TEMPLATE, DButtonStyle::kToolButton | DButtonStyle::kIconBeforeCaption},
    {IDS_NEW, IDI_TEMPLATE_NEW, IDS_TIP_NEW_TEMPLATE, DButtonStyle::kToolButton | DButtonStyle::kIconBeforeCaption},
    {IDS_DELETE, IDI_TEMPLATE_DELETE, IDS_TIP_DELETE_TEMPLATE, DButtonStyle::kToolButton | DButtonStyle::kIconBeforeCaption},
};

bool gRegistered = false;

using notes::LoadText;
using notes::WindowText;

}  // namespace

static DMessageMapEntry editorEntries[] = {
    MapMessage<WM_CREATE, &TNoteSnimokWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &TNoteSnimokWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &TNoteSnimokWnd::OnSize>(),
    MapMessage<WM_GETMINMAXINFO, &TNoteSnimokWnd::OnGetMinMaxInfo>(),
    MapMessage<WM_COMMAND, &TNoteSnimokWnd::OnCommand>(),
    MapMessage<WM_VKEYTOITEM, &TNoteSnimokWnd::OnVKeyToItem>(),
    MapMessage<WM_FONTCHANGED_APP, &TNoteSnimokWnd::OnFontChanged>(),
    MapMessage<WM_CLOSE, &TNoteSnimokWnd::OnClose>(),
    DMapEnd(),
};
DMessageMap TNoteSnimokWnd::messageMap = {-1, 0, editorEntries};

bool TNoteSnimokWnd::RegisterClass()
{
    if (gRegistered)
        return true;
    if (!DWindow::RegisterMapClass({kClassName, 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1))}))
        return false;
    gRegistered = true;
    return true;
}

void TNoteSnimokWnd::UnregisterClass()
{
    UnregisterClassOnce(gRegistered, kClassName);
}

TNoteSnimokWnd::~TNoteSnimokWnd()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

void TNoteSnimokWnd::Destroy()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

bool TNoteSnimokWnd::Create(NoteCallback* callback, DWORD templateKey, BOOL keyGiven)
{
    if (hwnd || !gRegistered || !callback)
        return false;
    PlacementRect r;
    if (!LoadWindowPlacement(r, kPlacementName)) {
        CreateDefaultWindowPlacement(kDefaultPlacement, kPlacementName);
        if (!LoadWindowPlacement(r, kPlacementName))
            return false;
    }
    callback_ = callback;
    const std::wstring title = LoadText(IDS_TEMPLATE_EDITOR_TITLE);
    if (!DWindow::Create(WS_EX_TOOLWINDOW | WS_EX_NOPARENTNOTIFY, kClassName, title.c_str(),
                         WS_POPUP | WS_CAPTION | WS_THICKFRAME, r.x, r.y, r.cx, r.cy, callback->NoteWindow(), nullptr,
                         hInstance, nullptr))
        return false;
    selectedKey_ = templateKey;
    hasSelection_ = keyGiven != 0;
    if (!notes::RunShowingErrors(callback->NoteWindow(), [this] { FillList(); })) {
        DestroyWindow(hwnd);
        return false;
    }
    // Off the note it belongs to and the image panel's toolbar when the
    // screen has room elsewhere: the stored or default place is the start.
    RECT avoid[2] = {};
    ::GetWindowRect(callback->NoteWindow(), &avoid[0]);
    if (MainViewWnd* panel = MainViewWnd::Instance())
        avoid[1] = panel->GetToolbarScreenRect();
    MoveWindowClearOf(hwnd, avoid, 2);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    return true;
}

LRESULT TNoteSnimokWnd::OnCreate(HWND, LPARAM)
{
    static const DButtonNotify notify = {&TNoteSnimokWnd::OnButtonClicked, nullptr, nullptr, nullptr, nullptr,
                                         &TNoteSnimokWnd::OnButtonHover};
    static const DButtonInput keys = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, &TNoteSnimokWnd::OnButtonKey, nullptr,
                                      nullptr};
    buttonCount_ = 0;
    for (int i = 0; i < kButtons; ++i) {
        const EditorButtonRow& row = kEditorButtons[i];
        if (!notes::CreateButton(buttons_[i], hwnd, this, row.caption, row.icon, row.style, &keys, &notify))
            return -1;
        buttons_[i].ownerValue = i;
        ++buttonCount_;
    }
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 10, 10, hwnd,
                            (HMENU)(INT_PTR)kEditId, hInstance, nullptr);
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                                LBS_WANTKEYBOARDINPUT,
                            0, 0, 10, 10, hwnd, (HMENU)(INT_PTR)kListId, hInstance, nullptr);
    if (!edit_ || !list_)
        return -1;
    SendMessageW(edit_, EM_LIMITTEXT, notes::kLongTextChars, 0);
    if (ControlFont) {
        SendMessageW(edit_, WM_SETFONT, (WPARAM)ControlFont, FALSE);
        SendMessageW(list_, WM_SETFONT, (WPARAM)ControlFont, FALSE);
    }
    return 0;
}

void TNoteSnimokWnd::OnDestroy()
{
    SaveWindowPlacement(hwnd, kPlacementName, true);
    for (int i = 0; i < buttonCount_; ++i)
        buttons_[i].Destroy();
    buttonCount_ = 0;
    if (list_)
        DestroyWindow(list_);
    if (edit_)
        DestroyWindow(edit_);
    list_ = edit_ = nullptr;
    hasSelection_ = false;
}

// ---- the list and the text -------------------------------------------------------------

void TNoteSnimokWnd::FillList()
{
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    BoundStatement query(g_DbSession, kListSql);
    query.Execute();
    int remembered = -1;
    int count = 0;
    for (;;) {
        bool more = false;
        try {
            more = query.Next();
        } catch (const DODBErrors&) {
            throw MsgExcept(IDS_RECORD_NOT_FOUND);
        }
        if (!more)
            break;
        LONG key = 0;
        RowInt(query.Row(), 0, &key);
        wchar_t name[kNameChars + 1];
        RowText(query.Row(), 1, name, kNameChars + 1);
        const LRESULT item = SendMessageW(list_, LB_ADDSTRING, 0, (LPARAM)name);
        if (item >= 0) {
            SendMessageW(list_, LB_SETITEMDATA, item, key);
            if (hasSelection_ && remembered < 0 && (DWORD)key == selectedKey_)
                remembered = (int)item;
            ++count;
        }
    }
    if (count == 0) {
        hasSelection_ = false;
    } else {
        if (remembered < 0)
            remembered = 0;
        SendMessageW(list_, LB_SETCURSEL, remembered, 0);
        selectedKey_ = (DWORD)SendMessageW(list_, LB_GETITEMDATA, remembered, 0);
        hasSelection_ = true;
    }
    ShowSelectedText();
}

void TNoteSnimokWnd::ShowSelectedText()
{
    if (!hasSelection_) {
        SetWindowTextW(edit_, L"");
    } else {
        BoundStatement query(g_DbSession, kTextSql);
        if (!query.Params().SetValI4(1, (LONG)selectedKey_))
            throw MsgExcept(IDS_TEMPLATE_PARAMS_ERROR);
        query.Execute();
        if (!query.Next())
            throw MsgExcept(IDS_RECORD_NOT_FOUND);
        notes::SetEditFromRow(edit_, query.Row(), 0);
    }
    SendMessageW(edit_, EM_SETMODIFY, FALSE, 0);
}

bool TNoteSnimokWnd::OfferToSave()
{
    if (!hasSelection_ || !edit_ || !SendMessageW(edit_, EM_GETMODIFY, 0, 0))
        return true;
    const int answer =
        MessageBoxIdCaption(hwnd, IDS_TEMPLATE_MODIFIED, IDS_TEMPLATE_EDITOR_TITLE, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES) {
        Save();
        return true;
    }
    if (answer == IDNO) {
        SendMessageW(edit_, EM_SETMODIFY, FALSE, 0);
        return true;
    }
    return false;
}

bool TNoteSnimokWnd::ChooseItem(int item)
{
    const DWORD oldKey = selectedKey_;
    const bool hadSelection = hasSelection_;
    if (!OfferToSave()) {
        // Back to the template whose edits the user keeps.
        const LRESULT count = SendMessageW(list_, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; hadSelection && i < count; ++i) {
            if ((DWORD)SendMessageW(list_, LB_GETITEMDATA, i, 0) == oldKey) {
                SendMessageW(list_, LB_SETCURSEL, i, 0);
                break;
            }
        }
        return false;
    }
    if (item >= 0 && item != LB_ERR) {
        SendMessageW(list_, LB_SETCURSEL, item, 0);
        selectedKey_ = (DWORD)SendMessageW(list_, LB_GETITEMDATA, item, 0);
        hasSelection_ = true;
    } else {
        hasSelection_ = false;
    }
    ShowSelectedText();
    return true;
}

// ---- commands ------------------------------------------------------------------------------

void TNoteSnimokWnd::Exit()
{
    if (!OfferToSave())
        return;
    DestroyWindow(hwnd);
}

void TNoteSnimokWnd::Select()
{
    if (!OfferToSave())
        return;
    NoteCallback* callback = callback_;
    const DWORD key = selectedKey_;
    const BOOL given = hasSelection_ ? TRUE : FALSE;
    DestroyWindow(hwnd);
    callback->ApplyTemplate(key, given);
}

void TNoteSnimokWnd::Save()
{
    if (!hasSelection_)
        return;
    BoundStatement update(g_DbSession, kSaveSql, BoundStatement::kPrepared);
    DODBParams* block = update.DescribeParams(2);
    const std::wstring text = WindowText(edit_);
    // A template longer than the parameter is refused, as a note is.
    if (notes::RefuseTooLong(hwnd, text, notes::TextRoom(block, 0), nullptr))
        return;
    if (FAILED(block->SetValueStr(0, text.c_str(), (int)text.size())) ||
        FAILED(SetNumber(block, 1, (LONG)selectedKey_)))
        ThrowDatabaseError();
    update.Run();
    SendMessageW(edit_, EM_SETMODIFY, FALSE, 0);
}

void TNoteSnimokWnd::MakeDefault()
{
    if (!hasSelection_)
        return;
    HKEY key = nullptr;
    if (OpenSettingsKey(nullptr, KEY_SET_VALUE, false, &key) != ERROR_SUCCESS)
        return;
    const LRESULT item = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    const LRESULT length = item == LB_ERR ? LB_ERR : SendMessageW(list_, LB_GETTEXTLEN, item, 0);
    if (length != LB_ERR) {
        std::wstring name(length + 1, L'\0');
        SendMessageW(list_, LB_GETTEXT, item, (LPARAM)&name[0]);
        RegSetValueExW(key, L"DefTemplateName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       (DWORD)((wcslen(name.c_str()) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

void TNoteSnimokWnd::New()
{
    if (!OfferToSave())
        return;
    NewTableRow table(g_DbSession, L"DiagHelp");
    static const wchar_t* const names[2] = {L"DiagHelp", L"Txt"};
    DODBParams* row = table.BindColumns(2, names);
    wchar_t name[kNameChars + 1] = L"";
    if (InputText(hwnd, name, kNameChars + 1, IdOrText(IDS_ENTER_TEMPLATE_NAME), FALSE) < 1)
        return;
    if (FAILED(row->SetStatus(0, DBSTATUS_S_DEFAULT)) || FAILED(row->SetValueStr(1, name, (int)wcslen(name))))
        ThrowDatabaseError();
    table.Insert(row);
    LONG key = 0;
    if (!RowInt(row, 0, &key))
        ThrowDatabaseError();
    selectedKey_ = (DWORD)key;
    hasSelection_ = true;
    FillList();
}

void TNoteSnimokWnd::Delete()
{
    if (!hasSelection_)
        return;
    const LRESULT item = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    std::wstring name;
    if (item != LB_ERR) {
        const LRESULT length = SendMessageW(list_, LB_GETTEXTLEN, item, 0);
        if (length != LB_ERR) {
            name.assign(length + 1, L'\0');
            SendMessageW(list_, LB_GETTEXT, item, (LPARAM)&name[0]);
            name.resize(wcslen(name.c_str()));
        }
    }
    wchar_t question[512];
    const std::wstring format = LoadText(IDS_CONFIRM_DELETE_TEMPLATE);
    _snwprintf(question, 511, format.c_str(), name.c_str());
    question[511] = 0;
    const std::wstring caption = LoadText(IDS_TEMPLATE_EDITOR_TITLE);
    if (ShowPrompt(hwnd, question, caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;

    DODBPtr<DODBSession> session;
    if (!g_DbSource.IsSet() || FAILED(g_DbSource->CreateSession(session)))
        ThrowDatabaseError();
    HRESULT hr = session->BeginTx();
    if (FAILED(hr))
        ThrowDatabaseError(hr);
    try {
        for (const wchar_t* sql : {kUnlinkSql, kDeleteSql}) {
            BoundStatement statement(session, sql);
            if (!statement.Params().SetValI4(1, (LONG)selectedKey_))
                throw MsgExcept(IDS_TEMPLATE_PARAMS_ERROR);
            statement.Run();
        }
        hr = session->CommitSync();
        if (FAILED(hr))
            ThrowDatabaseError(hr);
    } catch (...) {
        session->AbortTx();
        throw;
    }
    // The edits of a deleted template have nothing left to go to.
    SendMessageW(edit_, EM_SETMODIFY, FALSE, 0);
    hasSelection_ = false;
    FillList();
}

void TNoteSnimokWnd::Run(int button)
{
    notes::RunShowingErrors(hwnd, [this, button] {
        switch (button) {
        case kExit: Exit(); break;
        case kSelect: Select(); break;
        case kSave: Save(); break;
        case kDefault: MakeDefault(); break;
        case kNew: New(); break;
        case kDelete: Delete(); break;
        default: break;
        }
    });
}

void TNoteSnimokWnd::OnButtonClicked(void* cookie, DButton* button)
{
    static_cast<TNoteSnimokWnd*>(cookie)->Run((int)button->ownerValue);
}

void TNoteSnimokWnd::OnButtonHover(void*, DButton* button)
{
    const LONG_PTR i = button->ownerValue;
    if (i < 0 || i >= kButtons)
        return;
    const std::wstring tip = LoadText(kEditorButtons[i].tip);
    if (!tip.empty())
        button->SetToolTip(2, tip.c_str(), (int)tip.size());
}

void TNoteSnimokWnd::OnButtonKey(void* cookie, DButton*, WPARAM key, LPARAM)
{
    TNoteSnimokWnd* self = static_cast<TNoteSnimokWnd*>(cookie);
    if (key == VK_RETURN)
        self->Run(kSelect);
    else if (key == VK_ESCAPE)
        self->Run(kExit);
}

LRESULT TNoteSnimokWnd::OnCommand(UINT id, UINT code, LPARAM)
{
    if (id != kListId || (code != LBN_SELCHANGE && code != LBN_DBLCLK))
        return 0;
    bool chosen = false;
    if (!notes::RunShowingErrors(hwnd, [this, &chosen] {
            const LRESULT item = SendMessageW(list_, LB_GETCURSEL, 0, 0);
            chosen = ChooseItem(item == LB_ERR ? -1 : (int)item);
        }) || !chosen)
        return 0;
    if (code == LBN_DBLCLK)
        Run(kSelect);
    return 0;
}

LRESULT TNoteSnimokWnd::OnVKeyToItem(int key, int, LPARAM)
{
    if (key == VK_RETURN)
        Run(kSelect);
    else if (key == VK_ESCAPE)
        Run(kExit);
    return -1;   // the list box's own handling of the key
}

void TNoteSnimokWnd::OnClose()
{
    Run(kExit);
}

// ---- layout --------------------------------------------------------------------------------

int TNoteSnimokWnd::ButtonHeight() const
{
    return notes::ButtonHeight(buttons_, buttonCount_);
}

void TNoteSnimokWnd::OnSize(int width, int height, WPARAM)
{
    width_ = width;
    height_ = height;
    Layout();
}

void TNoteSnimokWnd::Layout()
{
    const int W = width_, H = height_;
    buttonHeight_ = ButtonHeight();
    int columns = W / 120;
    if (columns < 1)
        columns = 1;
    if (columns > kButtons)
        columns = kButtons;
    buttonWidth_ = W / columns;
    int lastRowTop = 0;
    for (int i = 0; i < buttonCount_; ++i) {
        lastRowTop = (i / columns) * buttonHeight_;
        MoveWindow(buttons_[i].GetHwnd(), (i % columns) * buttonWidth_, lastRowTop, buttonWidth_, buttonHeight_,
                   TRUE);
    }
    const int y = lastRowTop + buttonHeight_ + 1;
    const int h = H > y ? H - y : 0;
    MoveWindow(list_, 0, y, W / 2 - 1, h, TRUE);
    MoveWindow(edit_, W / 2, y, W / 2, h, TRUE);
}

void TNoteSnimokWnd::OnGetMinMaxInfo(LPARAM info)
{
    notes::SetMinTrackSize(info, ButtonHeight());
}

void TNoteSnimokWnd::OnFontChanged(WPARAM notice)
{
    if (notes::ApplyButtonFont(notice, buttons_, buttonCount_))
        Layout();
}
