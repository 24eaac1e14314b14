// The synchronisation window's life: Run and its loop, creation, layout,
// fonts and menus, and the end. The commands and the worker's reports are in
// syncwnd_commands.cpp.
#include "exchange/sync/syncwnd.h"

#include "exchange/disks/arjregistry.h"
#include "exchange/disks/removabledrive.h"
#include "exchange/sync/syncformat.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "foundation/settingskey.h"
#include "resources/resource.h"
#include "ui/formsfont.h"
#include "ui/window_errors.h"

#include <cstdlib>
#include <cwchar>

namespace {

ScanDbWindow* gOpen = nullptr;   // the one window that runs

const wchar_t kMessageCaption[] = L"Сообщение";

struct ButtonEntry {
    const wchar_t* text;
    bool enabled;
};
// In creation order (ScanDbWindow::ButtonId).
const ButtonEntry kButtons[ScanDbWindow::kButtonCount] = {
    {L"Указать", false},       {L"Указать", true},    {L"Закрыть", true},
    {L"Сканировать", true},    {L"Отмена", false},    {L"Создать ТС", true},
    {L"Синхр. БД", true},      {L"Продолжить", false}, {L"Извлечь диск", true},
};

const wchar_t* const kLabels[4] = {L"Путь к базе данных:", L"Нахождение архива:", L"Несинх. снимки(suspect):",
                                   L"Последний отсканированный арх. диск:"};

const DWORD kReadOnlyField = WS_CHILD | WS_BORDER | ES_READONLY;
const DWORD kGroupStyle = WS_CHILD | BS_GROUPBOX;
const DWORD kRadioStyle = WS_CHILD | BS_AUTORADIOBUTTON;

bool RegisterScanDbClass()
{
    return DWindow::RegisterMapClass({ScanDbWindow::kClassName, CS_HREDRAW | CS_VREDRAW,
                                      reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1))});
}

void UnregisterClasses()
{
    ErrMsgWin::UnregisterClass(hInstance);
    UnregisterClassAndIcons(ScanDbWindow::kClassName);
}

// Whether the window is the synchronisation window or one of its controls.
bool IsOfWindow(HWND window, HWND top)
{
    return window && (window == top || IsChild(top, window));
}

void InsertItem(HMENU menu, UINT position, UINT id, const wchar_t* text, HMENU submenu)
{
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE | (submenu ? MIIM_SUBMENU : 0);
    item.fType = MFT_STRING;
    item.fState = MFS_ENABLED;
    item.wID = id;
    item.hSubMenu = submenu;
    item.dwTypeData = const_cast<wchar_t*>(text);
    InsertMenuItemW(menu, position, TRUE, &item);
}

void PlaceWindow(HWND hwnd, const RECT& r)
{
    if (hwnd)
        MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

}  // namespace

DMessageMapEntry ScanDbWindow::entries[] = {
    MapMessage<WM_CREATE, &ScanDbWindow::OnCreate>(),
    MapMessage<WM_SIZE, &ScanDbWindow::OnSize>(),
    MapMessage<WM_COMMAND, &ScanDbWindow::OnCommand>(),
    MapMessage<WM_CLOSE, &ScanDbWindow::OnClose>(),
    MapMessage<WM_DESTROY, &ScanDbWindow::OnDestroy>(),
    MapMessage<WM_SETFOCUS, &ScanDbWindow::OnSetFocus>(),
    MapMessage<WM_CTLCOLORSTATIC, &ScanDbWindow::OnCtlColorStatic>(),
    MapMessage<WM_SYNC_PROGRESS, &ScanDbWindow::OnProgress>(),
    MapMessage<WM_DISK_PRESENT, &ScanDbWindow::OnDiskPresent>(),
    DMapEnd(),
};
DMessageMap ScanDbWindow::messageMap = {-1, 0, entries};

const DButtonNotify ScanDbWindow::kButtonNotify = {
    [](void* cookie, DButton* button) {
        static_cast<ScanDbWindow*>(cookie)->OnButton(static_cast<ButtonId>(button->ownerValue));
    },
    nullptr, nullptr, nullptr, nullptr, nullptr,
};

// ---- Run ----------------------------------------------------------------------------

ScanDbWindow* ScanDbWindow::Current()
{
    return gOpen;
}

ScanDbWindow* ScanDbWindow::Open(HWND parent)
{
    if (gOpen)
        return nullptr;
    RegisterScanDbClass();
    ErrMsgWin::RegisterClass(hInstance);
    ScanDbWindow* window = new ScanDbWindow;
    bool created = false;
    try {
        created = window->Create(0, kClassName, kTitle, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, parent,
                                 nullptr, hInstance, nullptr);
    } catch (...) {
        delete window;
        UnregisterClasses();
        throw;
    }
    if (!created) {
        ShowPrompt(parent, L"Ошибка при создании окна \nсвойства учетной записи.", nullptr, MB_OK);
        delete window;
        UnregisterClasses();
        return nullptr;
    }
    window->Show(SW_SHOW);
    gOpen = window;
    return window;
}

void ScanDbWindow::Close(ScanDbWindow* window)
{
    if (window == gOpen)
        gOpen = nullptr;
    delete window;
    UnregisterClasses();
}

int ScanDbWindow::Run(HWND parent)
{
    if (gOpen)
        return 1;
    ScanDbWindow* window = nullptr;
    try {
        window = Open(parent);
    } catch (...) {
        ShowPrompt(parent, L"Исключение1 функц. PrpAcc", nullptr, MB_OK);
        gOpen = nullptr;
        UnregisterClasses();
        return 0;
    }
    if (!window)
        return 0;
    try {
        MSG msg;
        while (window->GetHwnd()) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));   // the outer loop ends too
                break;
            }
            if (got == -1)
                break;
            // Tab and Enter do nothing in the window: no dialog manager moves
            // the focus, and no field takes them.
            if (msg.message == WM_KEYDOWN && (msg.wParam == VK_TAB || msg.wParam == VK_RETURN) &&
                IsOfWindow(msg.hwnd, window->GetHwnd()))
                continue;
            TranslateMessage(&msg);
            DispatchMessageShowing(msg, window->GetHwnd());
        }
    } catch (...) {
        ShowPrompt(parent, L"Исключение2 функц. PrpAcc", nullptr, MB_OK);
    }
    Close(window);
    return 1;
}

// ---- the object -------------------------------------------------------------------------

ScanDbWindow::ScanDbWindow() = default;

ScanDbWindow::~ScanDbWindow()
{
    Destroy();   // our WM_DESTROY handler must run while the object is whole
    waiter_.Close();
}

// ---- creation ----------------------------------------------------------------------------

LRESULT ScanDbWindow::OnCreate(HWND, LPARAM createStruct)
{
    InitializeCriticalSection(&lock_);
    lockMade_ = true;

    // 1-2. The data folder of the settings.
    HKEY key = nullptr;
    const LONG opened = OpenSettingsKey(nullptr, KEY_READ, false, &key);
    if (opened != ERROR_SUCCESS) {
        ShowPrompt(hwnd, syncfmt::SystemText(static_cast<DWORD>(opened)).c_str(), kMessageCaption, MB_OK);
        return -1;
    }
    wchar_t dataPath[kFolderChars] = L"";
    DWORD type = 0, bytes = sizeof dataPath - sizeof(wchar_t);
    if (RegQueryValueExW(key, L"DataPath", nullptr, &type, reinterpret_cast<BYTE*>(dataPath), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        dataPath[0] = 0;
    RegCloseKey(key);
    dataPath_ = dataPath;
    if (!dataPath_.empty() && dataPath_.back() != L'\\' && dataPath_.size() < kFolderChars - 1)
        dataPath_ += L'\\';

    // 3-5. Buttons, fonts, the pane, labels and fields, the group, menus.
    if (!CreateControls())
        return -1;
    BuildMenus();

    // 6. The size the layout asks for, centred on the screen.
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    RECT r = {0, 0, SyncClientWidth(), SyncClientHeight(metrics_)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(cs->style), TRUE, cs->dwExStyle);
    const int width = r.right - r.left, height = r.bottom - r.top;
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    // 7. The archive location and the last scanned disk.
    wchar_t archive[131] = L"";
    DWORD size = 131;
    ArjRegRead(kSynDbKey, kSynDbImgDir, REG_SZ, archive, &size);
    fields_[kArchivePath].SetText(archive);
    ReadLastScanDisk();

    // 8. Focus, counts, the disk waiter.
    focusTarget_ = fields_[kDatabasePath].GetHwnd();
    ShowCounts();
    waiter_.SetOwner(hwnd, WM_DISK_PRESENT, 0, 0);
    return 0;
}

bool ScanDbWindow::CreateControls()
{
    // The forms font nine tenths as high for labels and fields, and half as
    // high again for the buttons.
    LOGFONTW small = *GetFormsFont();
    small.lfHeight = static_cast<LONG>(small.lfHeight * 0.9);
    LOGFONTW large = small;
    large.lfHeight = static_cast<LONG>(small.lfHeight * 1.5);
    labelFont_ = CreateFontIndirectW(&small);
    fieldFont_ = CreateFontIndirectW(&small);
    largeFont_ = CreateFontIndirectW(&large);
    const int smallHeight = std::abs(small.lfHeight);
    metrics_.labelRow = static_cast<int>(smallHeight * 1.8);
    metrics_.fieldRow = static_cast<int>(smallHeight * 2.0);
    metrics_.groupCaption = metrics_.labelRow;

    for (int i = 0; i < kButtonCount; ++i) {
        DButtonDesc d = {sizeof(DButtonDesc), hwnd, DButtonStyle::kVisible, 0, 0, 0, 0, this, kButtons[i].text,
                         nullptr, 0, 0, hInstance, nullptr, &kButtonNotify};
        buttons_[i].ownerValue = i;
        if (!buttons_[i].Create(&d))
            return false;
        buttons_[i].SetFont(large);
        if (!kButtons[i].enabled)
            EnableWindow(buttons_[i].GetHwnd(), FALSE);
    }
    metrics_.buttonHeight = static_cast<int>(buttons_[kClose].GetLineHeight() * 2.1);

    if (!pane_.Create(hwnd, 1))
        return false;
    pane_.Show(SW_SHOW);
    for (int i = 0; i < 4; ++i) {
        labels_[i].Create(hwnd, WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE);
        labels_[i].SetFont(labelFont_, FALSE);
        labels_[i].SetText(kLabels[i]);
    }
    fields_[kArchivePath].Create(hwnd, 0, 0);
    for (FieldId field : {kDatabasePath, kCounts, kLastDisk, kStatus})
        fields_[field].Create(hwnd, 0, kReadOnlyField);
    for (DEdit& field : fields_) {
        field.SetFont(fieldFont_, FALSE);
        field.Show(SW_SHOW);
    }
    fields_[kDatabasePath].SetText(dataPath_.c_str());
    group_.Create(hwnd, 0, kGroupStyle);
    hddRadio_.Create(hwnd, 1, kRadioStyle);
    archiveRadio_.Create(hwnd, 2, kRadioStyle);
    const struct {
        ButtonCtl* control;
        const wchar_t* text;
    } texts[] = {{&group_, L"Сканирование дисков"},
                 {&hddRadio_, L"Сканирование Ж. Д."},
                 {&archiveRadio_, L"Сканирование арх. дисков"}};
    for (const auto& t : texts) {
        t.control->SetFont(labelFont_, FALSE);
        t.control->SetText(t.text);
        t.control->Show(SW_SHOW);
    }
    return true;
}

void ScanDbWindow::BuildMenus()
{
    menuBar_ = CreateMenu();
    commandsMenu_ = CreatePopupMenu();
    HMENU disks = CreatePopupMenu();
    InsertItem(disks, 0, IDM_SYNC_DISKS_SCANNED, L"Отсканированные", nullptr);
    InsertItem(disks, 1, IDM_SYNC_DISKS_NOT_SCANNED, L"НЕОтсканированные", nullptr);
    InsertItem(disks, 2, IDM_SYNC_DISKS_REGISTERED, L"Зарегистрированные", nullptr);
    InsertItem(commandsMenu_, 0, IDM_SYNC_MOVE_SUSPECT, L"Переместить снимки(suspect)...", nullptr);
    InsertItem(commandsMenu_, 1, IDM_SYNC_DROP_TABLES, L"Удалить вспом. таблицы", nullptr);
    InsertItem(commandsMenu_, 2, IDM_SYNC_DISKS, L"Диски", disks);
    InsertItem(menuBar_, 0, IDM_SYNC_COMMANDS, L"Команды", commandsMenu_);
    SetMenu(hwnd, menuBar_);
}

// ---- layout -------------------------------------------------------------------------------

void ScanDbWindow::OnSize(int width, int height, WPARAM)
{
    layout_ = ComputeSyncLayout(metrics_, width, height);
    const SyncLayout& l = layout_;
    PlaceWindow(pane_.GetHwnd(), l.pane);
    PlaceWindow(fields_[kStatus].GetHwnd(), l.status);
    const ButtonId bottom[SyncLayout::kBottomCount] = {kCreateTables, kSynchronise, kContinue, kEject, kClose};
    for (int i = 0; i < SyncLayout::kBottomCount; ++i)
        PlaceWindow(buttons_[bottom[i]].GetHwnd(), l.bottom[i]);
    PlaceWindow(group_.GetHwnd(), l.group);
    PlaceWindow(archiveRadio_.GetHwnd(), l.archiveRadio);
    PlaceWindow(buttons_[kScan].GetHwnd(), l.scan);
    PlaceWindow(buttons_[kCancel].GetHwnd(), l.cancel);
    PlaceWindow(hddRadio_.GetHwnd(), l.hddRadio);
    PlaceWindow(labels_[3].GetHwnd(), l.lastDiskLabel);
    PlaceWindow(fields_[kLastDisk].GetHwnd(), l.lastDiskField);
    PlaceWindow(labels_[2].GetHwnd(), l.countsLabel);
    PlaceWindow(fields_[kCounts].GetHwnd(), l.countsField);
    PlaceWindow(labels_[1].GetHwnd(), l.archiveLabel);
    PlaceWindow(fields_[kArchivePath].GetHwnd(), l.archiveField);
    PlaceWindow(buttons_[kBrowseArchive].GetHwnd(), l.archiveBrowse);
    PlaceWindow(labels_[0].GetHwnd(), l.databaseLabel);
    PlaceWindow(fields_[kDatabasePath].GetHwnd(), l.databaseField);
    PlaceWindow(buttons_[kBrowseDatabase].GetHwnd(), l.databaseBrowse);
}

LRESULT ScanDbWindow::OnCtlColorStatic(WPARAM dc, LPARAM control)
{
    // Labels, the group and the radio buttons stand on the window's own
    // ground; the read-only fields keep theirs.
    const HWND child = reinterpret_cast<HWND>(control);
    for (const DWnd* plain : {static_cast<const DWnd*>(&group_), static_cast<const DWnd*>(&hddRadio_),
                              static_cast<const DWnd*>(&archiveRadio_), static_cast<const DWnd*>(&labels_[0]),
                              static_cast<const DWnd*>(&labels_[1]), static_cast<const DWnd*>(&labels_[2]),
                              static_cast<const DWnd*>(&labels_[3])}) {
        if (plain->GetHwnd() == child) {
            SetBkColor(reinterpret_cast<HDC>(dc), GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
    }
    return DefWindowProcW(hwnd, WM_CTLCOLORSTATIC, dc, control);
}

void ScanDbWindow::OnSetFocus(WPARAM)
{
    if (focusTarget_)
        SetFocus(focusTarget_);
}

// ---- the end ------------------------------------------------------------------------------

void ScanDbWindow::OnDestroy()
{
    StopWorkerForGood();
    waiter_.Stop();
    for (DButton& button : buttons_)
        if (button.GetHwnd())
            DestroyWindow(button.GetHwnd());
    for (HFONT* font : {&labelFont_, &fieldFont_, &largeFont_}) {
        if (*font)
            DeleteObject(*font);
        *font = nullptr;
    }
    if (menuBar_) {
        SetMenu(hwnd, nullptr);
        DestroyMenu(menuBar_);   // its submenus with it
    }
    menuBar_ = commandsMenu_ = nullptr;
    focusTarget_ = nullptr;
    if (lockMade_) {
        progress_.Reset();
        DeleteCriticalSection(&lock_);
        lockMade_ = false;
    }
}

// ---- fields ------------------------------------------------------------------------------

std::wstring ScanDbWindow::FieldText(FieldId field) const
{
    wchar_t text[kFolderChars] = L"";
    GetWindowTextW(fields_[field].GetHwnd(), text, kFolderChars);
    return text;
}

void ScanDbWindow::SetFieldText(FieldId field, const wchar_t* text)
{
    fields_[field].SetText(text);
}

std::wstring ScanDbWindow::ButtonText(ButtonId button) const
{
    wchar_t text[64] = L"";
    buttons_[button].GetText(text, 64);
    return text;
}

void ScanDbWindow::ReadLastScanDisk()
{
    // The whole label: a value longer than the buffer would read as none.
    wchar_t label[kDiskLabelChars] = L"";
    DWORD size = kDiskLabelChars;
    ArjRegRead(kSynDbKey, kSynDbLastScanDisk, REG_SZ, label, &size);
    fields_[kLastDisk].SetText(label);
}
