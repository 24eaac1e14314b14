#include "archive/diskprep.h"

#include "archive/arjworker.h"
#include "archive/volumeconfig.h"
#include "archive/workerbase.h"
#include "exchange/disks/arjregistry.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/formsfont.h"
#include "ui/window_errors.h"

#include <commctrl.h>

#include <cwchar>

namespace {

// The buttons show their icon beside the caption, small enough for the
// button's height.
const int kButtonIconSize = 24;

HICON LoadButtonIcon(UINT id)
{
    return static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(id), IMAGE_ICON, kButtonIconSize,
                                         kButtonIconSize, 0));
}

const wchar_t kDefaultTemplateFolder[] = L"d:\\cfg";
const wchar_t kDefaultBackupFile[] = L"hospital.bak";
const wchar_t kPartialSuffix[] = L".new";
const DWORD kDefaultSizes[] = {100, 200, 300, 500};

const wchar_t* gTemplateFolder = nullptr;
const wchar_t* gTemplateFile = nullptr;
DBDiskPreparation* gRunning = nullptr;   // the window of the running loop

std::wstring NumberText(DWORD value)
{
    wchar_t text[16];
    _snwprintf(text, 15, L"%lu", static_cast<unsigned long>(value));
    text[15] = 0;
    return text;
}

void AddItem(HWND box, DWORD value)
{
    const std::wstring text = NumberText(value);
    const LRESULT index = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0)
        SendMessageW(box, CB_SETITEMDATA, static_cast<WPARAM>(index), value);
}

// The item data of the selection; 0 without one.
DWORD Selected(HWND box)
{
    const LRESULT index = SendMessageW(box, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return 0;
    const LRESULT data = SendMessageW(box, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? 0 : static_cast<DWORD>(data);
}

// Writes the whole text as UTF-16 into a new file; the Win32 code.
DWORD WriteWholeFile(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((c >> 8) & 0xFF);
    }
    DWORD written = 0;
    DWORD error = ERROR_SUCCESS;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    if (!FlushFileBuffers(file) && error == ERROR_SUCCESS)
        error = GetLastError();
    CloseHandle(file);
    return error;
}

}  // namespace

DMessageMapEntry DBDiskPreparation::entries[] = {
    MapMessage<WM_PAINT, &DBDiskPreparation::OnPaint>(),
    MapMessage<WM_CREATE, &DBDiskPreparation::OnCreate>(),
    MapMessage<WM_SIZE, &DBDiskPreparation::OnSize>(),
    MapMessage<WM_CLOSE, &DBDiskPreparation::OnClose>(),
    MapMessage<WM_DESTROY, &DBDiskPreparation::OnDestroy>(),
    DMapEnd(),
};
DMessageMap DBDiskPreparation::messageMap = {-1, 0, entries};

const DButtonNotify DBDiskPreparation::kButtonNotify = {&DBDiskPreparation::OnButtonClicked, nullptr, nullptr,
                                                        nullptr, nullptr, nullptr};

DBDiskPreparation::~DBDiskPreparation()
{
    Destroy();
}

bool DBDiskPreparation::Register()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.cbWndExtra = 4;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_ARCHIVE));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kClassName;
    return DWindow::RegisterClassEx(&wc);
}

void DBDiskPreparation::Unregister()
{
    ::UnregisterClassW(kClassName, hInstance);
}

void DBDiskPreparation::SetTemplatePath(const wchar_t* folder, const wchar_t* file)
{
    gTemplateFolder = folder;
    gTemplateFile = file;
}

DBDiskPreparation* DBDiskPreparation::Running()
{
    return gRunning;
}

int DBDiskPreparation::Run(HWND owner)
{
    if (gRunning)
        return 1;
    try {
        DBDiskPreparation window;
        if (!window.Create(owner)) {
            MessageBoxById(IDS_DISK_PREPARE_WINDOW_ERROR, MB_OK);
            return 1;
        }
        window.Show(SW_SHOW);
        window.Update();
        gRunning = &window;
        MSG msg;
        while (window.GetHwnd() && IsWindow(window.GetHwnd())) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            if (got < 0)
                break;
            TranslateMessage(&msg);
            DispatchMessageShowing(msg);
        }
        gRunning = nullptr;
    } catch (...) {
        gRunning = nullptr;
        MessageBoxById(IDS_UNHANDLED_EXCEPTION, MB_OK);
    }
    return 1;
}

bool DBDiskPreparation::Create(HWND owner)
{
    if (hwnd)
        return false;
    const std::wstring title = ArchiveText(IDS_DISK_PREPARE_TITLE);
    return DWindow::Create(0, kClassName, title.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0, 0, owner,
                           nullptr, hInstance, nullptr);
}

LRESULT DBDiskPreparation::OnCreate(HWND, LPARAM)
{
    statusBar_ = CreateStatusWindowW(WS_CHILD | WS_VISIBLE, L"", hwnd, 0);
    if (!statusBar_)
        return -1;
    if (StatusFont)
        SendMessageW(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(StatusFont), FALSE);
    live_ = true;

    struct ButtonItem {
        DButton* button;
        UINT caption;
        UINT icon;
        int id;
    };
    const ButtonItem items[2] = {{&prepare_, IDS_PREPARE, IDI_ARCHIVE, kPrepareId},
                                 {&close_, IDS_CLOSE, IDI_CONNECT, kCloseId}};
    for (const ButtonItem& item : items) {
        const std::wstring caption = ArchiveText(item.caption);
        DButtonDesc d = {sizeof(DButtonDesc),
                         hwnd,
                         DButtonStyle::kVisible | DButtonStyle::kOwnsIcon | DButtonStyle::kIconThenCaption |
                             DButtonStyle::kSideBySide,
                         0,
                         0,
                         0,
                         0,
                         this,
                         caption.c_str(),
                         LoadButtonIcon(item.icon),
                         kButtonIconSize,
                         kButtonIconSize,
                         hInstance,
                         nullptr,
                         &kButtonNotify};
        item.button->ownerValue = item.id;
        if (!item.button->Create(&d))
            return -1;
    }

    LOGFONTW lf = {};
    if (const LOGFONTW* forms = GetFormsFont()) {
        lf = *forms;
    } else {
        lf.lfHeight = -17;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = RUSSIAN_CHARSET;
        lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
        wcscpy(lf.lfFaceName, L"Times New Roman");
    }
    font_.Reset(CreateFontIndirectW(&lf));
    sizesLabel_.Init(hwnd, font_.Get());
    countsLabel_.Init(hwnd, font_.Get());
    sizesLabel_.SetText(ArchiveText(IDS_DISK_RESERVE_LABEL).c_str(), -1);
    countsLabel_.SetText(ArchiveText(IDS_NUMBER_OF_COPIES).c_str(), -1);

    const DWORD comboStyle = WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL;
    sizes_ = CreateWindowExW(0, WC_COMBOBOXW, L"", comboStyle, 0, 0, 10, 10, hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSizesId)), hInstance, nullptr);
    counts_ = CreateWindowExW(0, WC_COMBOBOXW, L"", comboStyle, 0, 0, 10, 10, hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCountsId)), hInstance, nullptr);
    if (!sizes_ || !counts_)
        return -1;
    SendMessageW(sizes_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    SendMessageW(counts_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    LoadSettings();

    // Metrics from the screen.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    scaledWidth_ = static_cast<int>(w <= 1024 ? w * 1.27 : w <= 1152 ? w * 1.14 : w);
    scaledHeight_ = static_cast<int>(h < 880 ? h * 1.28 : h);
    const int textHeight = prepare_.GetLineHeight() > 0 ? prepare_.GetLineHeight() : 16;
    buttonHeight_ = static_cast<int>(2.4 * textHeight);
    buttonWidth_ = scaledWidth_ / 8;
    const int labelText = sizesLabel_.GetTextWidth() > countsLabel_.GetTextWidth() ? sizesLabel_.GetTextWidth()
                                                                                   : countsLabel_.GetTextWidth();
    labelWidth_ = labelText + 10;
    labelHeight_ = sizesLabel_.GetTextHeight() + 8;
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    RECT bar = {};
    ::GetWindowRect(statusBar_, &bar);
    statusHeight_ = bar.bottom - bar.top;
    const double W = scaledWidth_, H = scaledHeight_;
    const int width = static_cast<int>(W / 64) + labelWidth_ + static_cast<int>(W / 64) + static_cast<int>(W / 16) +
                      static_cast<int>(W / 20) + buttonWidth_ + static_cast<int>(W / 48);
    const int height = statusHeight_ + static_cast<int>(H / 22.75) + 2 * labelHeight_ + static_cast<int>(H / 22.75) +
                       static_cast<int>(H / 40) + GetSystemMetrics(SM_CYCAPTION) + 6;
    // The buttons must fit too.
    const int buttonsHeight = static_cast<int>(H / 40) + 2 * buttonHeight_ + static_cast<int>(H / 60) +
                              statusHeight_ + GetSystemMetrics(SM_CYCAPTION) + 12;
    const int windowHeight = height > buttonsHeight ? height : buttonsHeight;
    SetWindowPos(hwnd, nullptr, (w - width) / 2, (h - windowHeight) / 2, width, windowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

void DBDiskPreparation::LoadSettings()
{
    SendMessageW(sizes_, CB_RESETCONTENT, 0, 0);
    SendMessageW(counts_, CB_RESETCONTENT, 0, 0);
    const std::wstring folder = gTemplateFolder ? gTemplateFolder : kDefaultTemplateFolder;
    const std::wstring file = gTemplateFile ? gTemplateFile : kDiskCfgName;
    ArjVolumeConfig config;
    config.SetFolder(folder.c_str());
    config.SetFile(file.c_str());
    HANDLE probe = CreateFileW(config.FullPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    bool loaded = false;
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        try {
            loaded = config.Load() != 0;
        } catch (...) {
            LogError(0, L"DBDiskPreparation: the template cannot be read");
            loaded = false;
        }
    }
    if (!loaded) {
        SetStatus(IDS_DEFAULT_SETTINGS);
        for (DWORD size : kDefaultSizes)
            AddItem(sizes_, size);
        SendMessageW(sizes_, CB_SETCURSEL, 1, 0);
        AddItem(counts_, 1);
        SendMessageW(counts_, CB_SETCURSEL, 0, 0);
    } else {
        for (DWORD i = 0; i < config.GetNSteps(); ++i)
            AddItem(sizes_, config.GetMinReserv() + i * config.GetStep());
        SendMessageW(sizes_, CB_SETCURSEL, 0, 0);
        AddItem(counts_, config.GetNCopies());
        SendMessageW(counts_, CB_SETCURSEL, 0, 0);
    }
    targetFile_ = kDiskCfgName;
    wchar_t name[261] = L"";
    DWORD chars = 261;
    backupFile_ = ArjRegRead(kBackupDbKey, kBackupFileValue, REG_SZ, name, &chars) && name[0] ? name
                                                                                            : kDefaultBackupFile;
}

void DBDiskPreparation::OnSize(int width, int height, WPARAM)
{
    if (!statusBar_)
        return;
    SendMessageW(statusBar_, WM_SIZE, 0, 0);
    MoveWindow(statusBar_, 0, height - statusHeight_, width, statusHeight_, TRUE);
    const double W = scaledWidth_, H = scaledHeight_;
    const int x = width - static_cast<int>(W / 48) - buttonWidth_;
    const int y = static_cast<int>(H / 40);
    prepare_.Move(x, y, buttonWidth_, buttonHeight_, TRUE);
    close_.Move(x, y + buttonHeight_ + static_cast<int>(H / 60), buttonWidth_, buttonHeight_, TRUE);
    const int xc = x - static_cast<int>(W / 20) - static_cast<int>(W / 16) - static_cast<int>(W / 64);
    const int yc = height - statusHeight_ - static_cast<int>(H / 22.75);
    const int comboWidth = static_cast<int>(W / 16);
    const int listHeight = static_cast<int>(H / 5);
    countsLabel_.SetRect(xc - labelWidth_, yc - labelHeight_, xc, yc);
    MoveWindow(counts_, xc + static_cast<int>(W / 64), yc - labelHeight_, comboWidth, listHeight, TRUE);
    const int ys = yc - labelHeight_ - static_cast<int>(H / 22.75);
    sizesLabel_.SetRect(xc - labelWidth_, ys - labelHeight_, xc, ys);
    MoveWindow(sizes_, xc + static_cast<int>(W / 64), ys - labelHeight_, comboWidth, listHeight, TRUE);
    ShowWindow(sizes_, SW_SHOW);
    ShowWindow(counts_, SW_SHOW);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void DBDiskPreparation::OnPaint()
{
    DPaintScope paint(hwnd);
    sizesLabel_.Draw(paint.Dc());
    countsLabel_.Draw(paint.Dc());
}

void DBDiskPreparation::OnClose()
{
    Destroy();
}

void DBDiskPreparation::OnDestroy()
{
    live_ = false;
    if (prepare_.GetHwnd())
        DestroyWindow(prepare_.GetHwnd());
    if (close_.GetHwnd())
        DestroyWindow(close_.GetHwnd());
    if (statusBar_) {
        DestroyWindow(statusBar_);
        statusBar_ = nullptr;
    }
    font_.Reset();
}

void DBDiskPreparation::SetStatus(UINT id)
{
    statusText_ = ArchiveText(id);
    if (statusBar_)
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(statusText_.c_str()));
}

void DBDiskPreparation::Fail(UINT id)
{
    SetStatus(id);
    MessageBeep(MB_ICONEXCLAMATION);
}

void DBDiskPreparation::WriteReserveFiles()
{
    std::wstring root;
    if (ArchivePath[0]) {
        root += ArchivePath[0];
        root += L":\\";
    }
    ULARGE_INTEGER available, total, freeBytes;
    if (root.empty() || !GetDiskFreeSpaceExW(root.c_str(), &available, &total, &freeBytes)) {
        Fail(IDS_DISK_SIZE_ERROR);
        return;
    }
    // Nothing is written unless the choice is whole and the disk has the room.
    const DWORD reserve = Selected(sizes_);
    const DWORD copies = Selected(counts_);
    if (reserve == 0 || copies == 0) {
        Fail(IDS_DISKCFG_CREATE_ERROR);
        return;
    }
    if (freeBytes.QuadPart / 1048576ull < reserve) {
        Fail(IDS_DISK_SPACE_NOT_ENOUGH);
        return;
    }
    // The new file is written whole beside the old one, then takes its place.
    const std::wstring target = root + targetFile_;
    const std::wstring partial = target + kPartialSuffix;
    DWORD error = WriteWholeFile(partial, BuildDiskCfgText(reserve, backupFile_.c_str(), copies));
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        wchar_t text[400];
        _snwprintf(text, 399, L"DBDiskPreparation: %ls cannot be written: error %lu", target.c_str(), error);
        text[399] = 0;
        LogError(error, text);
        DeleteFileW(partial.c_str());
        Fail(IDS_DISKCFG_CREATE_ERROR);
        return;
    }
    SetStatus(IDS_DISK_PREPARED);
}

void DBDiskPreparation::OnButtonClicked(void* cookie, DButton* button)
{
    DBDiskPreparation* self = static_cast<DBDiskPreparation*>(cookie);
    if (button->ownerValue == kPrepareId)
        self->WriteReserveFiles();
    else if (button->ownerValue == kCloseId)
        self->Destroy();
}
