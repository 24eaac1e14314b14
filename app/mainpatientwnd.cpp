// The main patient window: class, creation of the children, layout, keys and
// the window's messages. The lists and the patient are in mainwnd_lists.cpp,
// the menus in mainmenus.cpp.
#include "app/mainpatientwnd.h"

#include "app/exceptionbox.h"
#include "app/panelpatient.h"

#include "app/iconsnimok.h"
#include "app/mainmenus.h"
#include "app/exchangeservices.h"
#include "app/printservices.h"
#include "app/mainwnd_state.h"
#include "app/recordmaint.h"
#include "app/startup.h"
#include "images/viewer/mainviewwnd.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/registry.h"
#include "database/dberrors.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/handler_table.h"
#include "ui/window_errors.h"

#include <commctrl.h>

#include <cwchar>
#include <exception>

MainWindowState gMain;

namespace {

HandlerTable gMainHandlers;
bool gRegistered = false;

// ---- the buttons table --------------------------------------------------------

void NewPatientClicked(MainPatientWindow& w, DButton*) { w.EditPatient(TRUE); }
void PatientInfoClicked(MainPatientWindow& w, DButton*) { w.EditPatient(FALSE); }
void DeleteClicked(MainPatientWindow& w, DButton*) { w.DeleteCurrentPatient(); }
void ArchivingClicked(MainPatientWindow& w, DButton*)
{
    RunScanDbWindow(w.GetHwnd());
    // The main window stays enabled while the synchronisation window runs:
    // it may have been closed meanwhile.
    if (IsWindow(w.GetHwnd()))
        w.LoadLists(FALSE);
}
void MergeClicked(MainPatientWindow& w, DButton*)
{
    OpenMergeWindow(w.GetHwnd());
    w.LoadLists(FALSE);
}
void PrintClicked(MainPatientWindow& w, DButton* button) { w.OnPrintButton(button); }
void PrintRightClicked(MainPatientWindow& w, DButton*) { ChooseReportPrinter(w.GetHwnd()); }
void PluginsClicked(MainPatientWindow& w, DButton* button)
{
    RECT r;
    GetWindowRect(button->GetHwnd(), &r);
    BuildPluginMenu(w.GetHwnd(), r.right, (r.top + r.bottom) / 2);
}
void ExitClicked(MainPatientWindow&, DButton*) { RequestQuit(); }
void ExitRightClicked(MainPatientWindow& w, DButton* button) { RunExitCommand(w.ExitMenu(button)); }

typedef void (*ButtonHandler)(MainPatientWindow& window, DButton* button);

struct ButtonRow {
    DWORD style;
    UINT caption;
    UINT icon;   // 0: none
    UINT tooltip;
    ButtonHandler click;
    ButtonHandler rightClick;
};

// A tool button whose right click opens a menu (its corner arrow says so).
constexpr DWORD kMenuToolButton = DButtonStyle::kToolButton | DButtonStyle::kCornerArrow | DButtonStyle::kRightButton;

const ButtonRow kButtonRows[kMainButtonRows] = {
    {DButtonStyle::kToolButton, IDS_NEW_PATIENT, IDI_MAIN_NEW_PATIENT, IDS_TIP_NEW_PATIENT, NewPatientClicked, nullptr},
    {DButtonStyle::kToolButton, IDS_PATIENT_INFO, IDI_MAIN_PATIENT_INFO, IDS_TIP_PATIENT_CARD, PatientInfoClicked, nullptr},
    {DButtonStyle::kToolButton, IDS_DELETE, IDI_MAIN_DELETE, IDS_TIP_DELETE_PATIENT, DeleteClicked, nullptr},
    {DButtonStyle::kToolButton, IDS_ARCHIVING_BUTTON, IDI_MAIN_ARCHIVING, IDS_TIP_ARCHIVING, ArchivingClicked, nullptr},
    {DButtonStyle::kToolButton, IDS_MERGE_DATABASES, IDI_MAIN_MERGE, IDS_TIP_MERGE_DATABASES, MergeClicked, nullptr},
    {kMenuToolButton, IDS_PRINT, IDI_MAIN_PRINT, IDS_TIP_PRINT_PATIENT_LIST, PrintClicked, PrintRightClicked},
    {DButtonStyle::kToolButton, IDS_PLUGINS, 0, IDS_TIP_PLUGINS, PluginsClicked, nullptr},
    {kMenuToolButton, IDS_EXIT, IDI_CONNECT, IDS_TIP_EXIT_PROGRAM, ExitClicked, ExitRightClicked},
};

// Button callbacks: the cookie is the row.
int RowOf(void* cookie) { return static_cast<int>(reinterpret_cast<INT_PTR>(cookie)); }

void ButtonClicked(void* cookie, DButton* button)
{
    MainPatientWindow::Guarded([&] { kButtonRows[RowOf(cookie)].click(MainPatientWindow::Instance(), button); });
}
void ButtonRightClicked(void* cookie, DButton* button)
{
    const ButtonHandler handler = kButtonRows[RowOf(cookie)].rightClick;
    if (handler)
        MainPatientWindow::Guarded([&] { handler(MainPatientWindow::Instance(), button); });
}
void ButtonHover(void* cookie, DButton* button)
{
    wchar_t tip[257];
    const int length = LoadStringW(hInstance, kButtonRows[RowOf(cookie)].tooltip, tip, 257);
    if (length > 0)
        button->SetToolTip(2, tip, length);
}

const DButtonNotify kButtonNotify = {ButtonClicked, nullptr, nullptr, ButtonRightClicked, nullptr, ButtonHover};

// Keys of the buttons: arrows move along the column, the rest is the window's.
void ButtonKey(void*, DButton* button, WPARAM key, LPARAM)
{
    const int index = gMain.IndexOf(button);
    if (key == VK_UP && index > 0) {
        gMain.buttons[index - 1].SetFocus();
    } else if (key == VK_DOWN && index >= 0 && index + 1 < gMain.buttonCount) {
        gMain.buttons[index + 1].SetFocus();
    } else if (key == VK_RIGHT) {
        gMain.list.SetFocus();
    } else if (key != VK_UP && key != VK_DOWN) {
        MainPatientWindow::Guarded([&] { MainPatientWindow::Instance().OnKey(key); });
    }
}

const DButtonInput kButtonInput = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, ButtonKey, nullptr, nullptr};

// The filter heading: a click opens the filter form.
void FilterHeadingClicked(void*, DButton*)
{
    MainPatientWindow::Instance().LoadLists(TRUE);
}
const DButtonNotify kFilterNotify = {FilterHeadingClicked, nullptr, nullptr, nullptr, nullptr, nullptr};

// ---- the patient list's callbacks ---------------------------------------------

void ListRowChanged(void*, DListView*, int row)
{
    MainPatientWindow::Guarded([&] { MainPatientWindow::Instance().OnListRowChange(row); });
}
const DListViewNotify kListNotify = {ListRowChanged, nullptr, nullptr, nullptr, nullptr};

void ListKey(void*, DListView*, WPARAM key, LPARAM)
{
    if (key == VK_LEFT) {
        if (gMain.buttonCount > 0)
            gMain.buttons[0].SetFocus();
    } else if (key == VK_RIGHT) {
        gMain.strip.SetFocus();
    } else if (key != VK_UP && key != VK_DOWN && key != VK_PRIOR && key != VK_NEXT && key != VK_HOME &&
               key != VK_END) {
        MainPatientWindow::Guarded([&] { MainPatientWindow::Instance().OnKey(key); });
    }
}

// A right click in the list opens the service menu where the mouse is. The
// list reports its mouse to us instead of sending WM_NOTIFY.
void ListRightUp(void*, DListView*, WPARAM, int, int)
{
    MainPatientWindow::Guarded([] { OpenServiceMenuAtCursor(gMain.hwnd); });
}

const DListViewInput kListInput = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, ListRightUp,
                                   nullptr, nullptr, nullptr, nullptr, ListKey, nullptr, nullptr};

// ---- the clock -------------------------------------------------------------------

void CALLBACK ClockTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!gMain.statusBar)
        return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[64];
    if (FormatSystemTime(text, 64, TimePicture, &now) < 0)
        text[0] = 0;
    SendMessageW(gMain.statusBar, SB_SETTEXTW, kPartClock, reinterpret_cast<LPARAM>(text));
}

void SetPartText(int part, const wchar_t* text)
{
    if (gMain.statusBar)
        SendMessageW(gMain.statusBar, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text ? text : L""));
}

void LoadStateTexts()
{
    const UINT ids[3] = {IDS_LIST_READ_SUCCESS, IDS_LIST_READ_ERROR, IDS_LIST_READ_INTERRUPTED};
    for (int i = 0; i < 3; ++i)
        if (LoadStringW(hInstance, ids[i], gMain.stateTexts[i], MainWindowState::kStateChars) <= 0)
            gMain.stateTexts[i][0] = 0;
    wchar_t label[64];
    if (LoadStringW(hInstance, IDS_STATUS_PATIENTS, label, 64) <= 0)
        label[0] = 0;
    SetPartText(kPartPatientsLabel, label);
    if (LoadStringW(hInstance, IDS_STATUS_PICTURES, label, 64) <= 0)
        label[0] = 0;
    SetPartText(kPartPicturesLabel, label);
}

HFONT CurrentStatusFont()
{
    return gMain.ownStatusFont ? gMain.ownStatusFont : StatusFont;
}

// ---- creation ----------------------------------------------------------------------

bool CreateStatusBar(HWND hwnd)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    gMain.statusBar = CreateWindowExW(WS_EX_WINDOWEDGE | WS_EX_NOPARENTNOTIFY, STATUSCLASSNAMEW, nullptr,
                                      WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 0, 0, hwnd, nullptr, hInstance, nullptr);
    if (!gMain.statusBar)
        return false;
    if (CurrentStatusFont())
        SendMessageW(gMain.statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(CurrentStatusFont()), FALSE);
    int edges[kStatusPartCount] = {60, 120, 180, 240, 300, -1};
    SendMessageW(gMain.statusBar, SB_SETPARTS, kStatusPartCount, reinterpret_cast<LPARAM>(edges));
    LoadStateTexts();
    gMain.clockTimer = SetTimer(nullptr, 0, 1000, ClockTick);
    ClockTick(nullptr, 0, 0, 0);
    return true;
}

void SetUpSystemMenu(HWND hwnd)
{
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu)
        return;
    while (GetMenuItemCount(menu) > 0)
        if (!RemoveMenu(menu, 0, MF_BYPOSITION))
            break;
    wchar_t text[64];
    if (LoadStringW(hInstance, IDS_VERSION, text, 64) <= 0)
        wcscpy(text, L"Version");
    InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, MainPatientWindow::kVersionCommand, text);
}

bool CreateButtons(HWND hwnd)
{
    gMain.buttonCount = 0;
    const bool plugins = HasPluginMenuItems() != 0;
    for (int row = 0; row < kMainButtonRows; ++row) {
        if ((row == kRowMerge && !ImportSettingsPresent) || (row == kRowPlugins && !plugins))
            continue;
        const ButtonRow& spec = kButtonRows[row];
        wchar_t caption[257];
        if (LoadStringW(hInstance, spec.caption, caption, 257) <= 0)
            caption[0] = 0;
        HICON icon = spec.icon ? LoadIconRes(spec.icon) : nullptr;
        DButtonDesc desc = {60,      hwnd,      spec.style,           0,        0,
                            0,       0,         reinterpret_cast<void*>(static_cast<INT_PTR>(row)),
                            caption, icon,      IconSize,             IconSize, hInstance,
                            &kButtonInput, &kButtonNotify};
        DButton& button = gMain.buttons[gMain.buttonCount];
        if (!button.Create(&desc)) {
            if (icon)
                DestroyIcon(icon);
            return false;
        }
        if (spec.style & DButtonStyle::kRightButton)
            button.SetArrowColor(0xFF0000);
        gMain.rows[gMain.buttonCount++] = row;
    }
    return true;
}

bool CreateFilterHeading(HWND hwnd)
{
    DButtonDesc desc = {60,
                        hwnd,
                        DButtonStyle::kVisible | DButtonStyle::kMultiLine | DButtonStyle::kOwnsIcon |
                            DButtonStyle::kIconBeforeCaption,
                        0, 0, 0, 0, nullptr, nullptr, LoadIconRes(IDI_SET_FILTER),
                        IconSize, IconSize, hInstance, &kButtonInput, &kFilterNotify};
    return gMain.filterHeading.Create(&desc);
}

bool CreateCaptionLine(HWND hwnd)
{
    gMain.caption = CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                    0, 0, hwnd, nullptr, hInstance, nullptr);
    if (!gMain.caption)
        return false;
    if (CurrentStatusFont())
        SendMessageW(gMain.caption, WM_SETFONT, reinterpret_cast<WPARAM>(CurrentStatusFont()), FALSE);
    return true;
}

bool CreatePatientList(HWND hwnd)
{
    DListViewDesc desc = {DListViewStyle::kStandard, nullptr, hwnd, 0, 0, 0, 0, hInstance, &kListInput, &kListNotify};
    if (!gMain.list.Create(&desc))
        return false;
    SetWindowLongW(gMain.list.GetHwnd(), GWL_ID, MainPatientWindow::kListId);
    return true;
}

void DestroyChildren()
{
    if (gMain.clockTimer) {
        KillTimer(nullptr, gMain.clockTimer);
        gMain.clockTimer = 0;
    }
    if (gMain.statusBar) {
        DestroyWindow(gMain.statusBar);
        gMain.statusBar = nullptr;
    }
    if (gMain.ownStatusFont) {
        DeleteObject(gMain.ownStatusFont);
        gMain.ownStatusFont = nullptr;
    }
    for (int i = 0; i < gMain.buttonCount; ++i)
        gMain.buttons[i].Destroy();
    gMain.buttonCount = 0;
    gMain.filterHeading.Destroy();
    if (gMain.caption) {
        DestroyWindow(gMain.caption);
        gMain.caption = nullptr;
    }
    if (gMain.list.GetHwnd()) {
        if (gMain.listDesc)
            KeepListColumnWidths(gMain.list, *gMain.listDesc);
        gMain.list.Destroy();
    }
    gMain.strip.Destroy();
    DestroyMainView();
    CloseSnimokNote();
    SetSnimokNoteOwner(nullptr);
    SetIconCellActions(DefaultIconCellActions());
}

// ---- the image strip's commands --------------------------------------------------

void ExportFromCell(HWND owner, const DPicturePtr& picture)
{
    // The strip shows no view of the picture: its own settings make the table.
    ExportPicture(owner, picture, nullptr);
}

IconCellActions MainCellActions()
{
    IconCellActions actions = DefaultIconCellActions();
    actions.restoreFromArchive = &RestoreImageFromArchive;
    actions.deleteImage = &DeleteImageRecord;
    actions.deleteImageComplete = &DeleteImageRecordComplete;
    actions.moveImage = &MoveImageToPatient;
    actions.importPicture = &ImportPictureForPatient;
    actions.exportPicture = &ExportFromCell;
    return actions;
}

// ---- messages ---------------------------------------------------------------------

// The main image panel, owned by this window (a panel that exists already is
// kept). False when it cannot be made.
bool CreateImagePanel(HWND hwnd)
{
    InstallPanelPatientLookup();
    if (CreateMainView(hwnd))
        return true;
    MainViewWnd* panel = MainViewWnd::Instance();
    return panel && panel->IsCreated();
}

LRESULT OnCreate(HWND hwnd, LPARAM)
{
    gMain.hwnd = hwnd;
    gMain.buttonCount = 0;
    bool made = CreateStatusBar(hwnd);
    if (made) {
        SetUpSystemMenu(hwnd);
        LoadStateTexts();
        made = CreateButtons(hwnd) && CreateFilterHeading(hwnd) && CreateCaptionLine(hwnd) && CreatePatientList(hwnd) &&
               gMain.strip.Create(hwnd, &gMain.stripLink, nullptr) && CreateImagePanel(hwnd);
    }
    if (!made) {
        LogError(GetLastError(), L"Main patient window: a child window cannot be created");
        DestroyChildren();
        gMain.hwnd = nullptr;
        return -1;
    }
    // The strip's image commands do the patient workspace's record work, and
    // image notes open over this window.
    SetIconCellActions(MainCellActions());
    SetSnimokNoteOwner(hwnd);
    return 0;
}

void OnDestroy()
{
    DestroyChildren();
    gMain.firstLoad = true;
    gMain.filter.Clear();
    gMain.listDesc = nullptr;
    gMain.filterDesc = nullptr;
    gMain.hwnd = nullptr;
    RequestQuit();
}

void OnSize(int, int, WPARAM type)
{
    if (type != SIZE_MINIMIZED)
        MainPatientWindow::Instance().Layout();
}

void OnSetFocus(WPARAM)
{
    if (gMain.list.GetHwnd())
        gMain.list.SetFocus();
}

void OnClose()
{
    RequestQuit();
}

void OnEndSession(WPARAM, LPARAM)
{
    CurrentExitAction = kExitNone;
    RequestQuit();
}

// The frame never moves or sizes the window; only the close box answers.
LRESULT OnNcHitTest(int x, int y)
{
    const LRESULT hit = DefWindowProcW(gMain.hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y));
    return hit == HTCLOSE ? HTCLOSE : HTCLIENT;
}

LRESULT OnSysCommand(WPARAM command, int, int)
{
    if ((command & 0xFFF0) == MainPatientWindow::kVersionCommand)
        MainPatientWindow::Guarded([] { ShowAboutBox(gMain.hwnd); });
    return 0;
}

LRESULT OnNotify(WPARAM id, LPARAM header)
{
    const NMHDR* notice = reinterpret_cast<const NMHDR*>(header);
    if (notice && notice->idFrom == MainPatientWindow::kListId && notice->code == static_cast<UINT>(NM_RCLICK)) {
        MainPatientWindow::Guarded([] { OpenServiceMenuAtCursor(gMain.hwnd); });
        return 0;
    }
    return DefWindowProcW(gMain.hwnd, WM_NOTIFY, id, header);
}

LRESULT OnCommand(UINT, UINT, LPARAM)
{
    return 0;
}

void OnChar(WPARAM, LPARAM)
{
}

// The settings broadcast: the buttons' and the status bar's fonts.
void OnSettingBroadcast(WPARAM notice)
{
    MainPatientWindow::Guarded([&] { OnMainSettingChange(reinterpret_cast<const FontChangeNotice*>(notice)); });
}

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return DispatchStaticTable(gMainHandlers, hwnd, message, wParam, lParam);
    } catch (...) {
        KeepWindowException();
        return FailedMessageResult(message);
    }
}

}  // namespace

// ---- the state --------------------------------------------------------------------

int MainWindowState::IndexOf(const DButton* button) const
{
    for (int i = 0; i < buttonCount; ++i)
        if (&buttons[i] == button)
            return i;
    return -1;
}

void SetMainStatusPart(int part, const wchar_t* text)
{
    SetPartText(part, text);
}

void OnMainSettingChange(const FontChangeNotice* notice)
{
    if (!notice || !gMain.hwnd)
        return;
    if (wcscmp(notice->name, L"Button") == 0) {
        for (int i = 0; i < gMain.buttonCount; ++i)
            gMain.buttons[i].SetFont(notice->font);
        gMain.filterHeading.SetFont(notice->font);
    } else if (wcscmp(notice->name, L"StatusFont") == 0) {
        HFONT font = CreateFontIndirectW(&notice->font);
        if (font) {
            if (gMain.ownStatusFont)
                DeleteObject(gMain.ownStatusFont);
            gMain.ownStatusFont = font;
            SendMessageW(gMain.statusBar, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
            SendMessageW(gMain.caption, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        }
    }
    MainPatientWindow::Instance().Layout();
}

// ---- class and window ----------------------------------------------------------------

bool MainPatientWindow::RegisterClass()
{
    if (gRegistered)
        return false;
    static const HandlerEntry handlers[] = {
        OnStatic<WM_CREATE, &OnCreate>(),         OnStatic<WM_DESTROY, &OnDestroy>(),
        OnStatic<WM_SIZE, &OnSize>(),             OnStatic<WM_SETFOCUS, &OnSetFocus>(),
        OnStatic<WM_CLOSE, &OnClose>(),           OnStatic<WM_ENDSESSION, &OnEndSession>(),
        OnStatic<WM_NCHITTEST, &OnNcHitTest>(),   OnStatic<WM_NOTIFY, &OnNotify>(),
        OnStatic<WM_SYSCOMMAND, &OnSysCommand>(), OnStatic<WM_COMMAND, &OnCommand>(),
        OnStatic<WM_CHAR, &OnChar>(),             OnStatic<WM_FONTCHANGED_APP, &OnSettingBroadcast>(),
    };
    WindowClass cls{kClassName, 0, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1))};
    cls.icon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_MAIN_APP), IMAGE_ICON, 64, 64, 0));
    cls.smallIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_MAIN_APP), IMAGE_ICON, 16, 16, 0));
    cls.procedure = MainWindowProc;
    if (!RegisterTableClass(cls, gMainHandlers, handlers))
        return false;
    gRegistered = true;
    return true;
}

void MainPatientWindow::UnregisterClass()
{
    if (!gRegistered)
        return;
    UnregisterClassAndIcons(kClassName);
    gRegistered = false;
}

MainPatientWindow& MainPatientWindow::Instance()
{
    static MainPatientWindow window;
    return window;
}

BOOL MainPatientWindow::Create()
{
    if (gMain.hwnd)
        return TRUE;
    LoadPlugins();
    wchar_t title[128];
    if (LoadStringW(hInstance, IDS_MAIN_WINDOW, title, 128) <= 0)
        wcscpy(title, L"Main Window");
    HWND hwnd = CreateWindowExW(0, kClassName, title, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                hInstance, nullptr);
    std::exception_ptr kept = TakeWindowException();
    if (!hwnd || !gMain.hwnd) {
        if (hwnd)
            DestroyWindow(hwnd);
        return FALSE;
    }
    if (kept)
        Guarded([&] { std::rethrow_exception(kept); });
    ShowMainPatientWindow();
    Instance().LoadLists(TRUE);
    StartAutoPlugins();
    return TRUE;
}

int MainPatientWindow::Destroy()
{
    if (gMain.hwnd)
        DestroyWindow(gMain.hwnd);
    return 1;
}

HWND MainPatientWindow::GetHwnd()
{
    return gMain.hwnd;
}

void ShowMainPatientWindow()
{
    if (!gMain.hwnd)
        return;
    DWORD key = 0;
    if (gPatientLookup.GetIds(&key))
        MainPatientWindow::Guarded([] { gMain.strip.Reload(); });
    ShowWindow(gMain.hwnd, SW_SHOWNORMAL);
    UpdateWindow(gMain.hwnd);
}

void MainPatientWindow::ShowCaught()
{
    ShowProgramException(gMain.hwnd, std::current_exception());
}

// ---- layout ---------------------------------------------------------------------------

int MainPatientWindow::ButtonHeight() const
{
    const int line = gMain.buttonCount > 0 ? gMain.buttons[0].GetLineHeight() : 16;
    return line * 3 / 2 + IconSize;
}

void MainPatientWindow::Layout()
{
    if (!gMain.hwnd)
        return;
    RECT client;
    ::GetClientRect(gMain.hwnd, &client);
    const int width = client.right;
    int height = client.bottom;
    const int b = ButtonHeight();

    // The status bar lays itself out along the bottom.
    RECT bar = {};
    if (gMain.statusBar) {
        SendMessageW(gMain.statusBar, WM_SIZE, 0, MAKELPARAM(width, height));
        MoveWindow(gMain.statusBar, 0, height, width, -1, TRUE);
        GetWindowRect(gMain.statusBar, &bar);
        height -= bar.bottom - bar.top;
        // Parts: the clock as wide as its text, the rest in thirds.
        HDC dc = GetDC(gMain.statusBar);
        HGDIOBJ old = SelectObject(dc, CurrentStatusFont() ? CurrentStatusFont() : GetStockObject(DEFAULT_GUI_FONT));
        wchar_t now[64];
        SYSTEMTIME time;
        GetLocalTime(&time);
        const int chars = FormatSystemTime(now, 64, TimePicture, &time);
        SIZE extent = {};
        GetTextExtentPoint32W(dc, now, chars > 0 ? chars : 0, &extent);
        SelectObject(dc, old);
        ReleaseDC(gMain.statusBar, dc);
        const int t = (width - extent.cx - 20) / 3;
        const int n = t / 3;
        int edges[kStatusPartCount] = {extent.cx + 20, t, 2 * t - n, 2 * t, 3 * t - n, -1};
        SendMessageW(gMain.statusBar, SB_SETPARTS, kStatusPartCount, reinterpret_cast<LPARAM>(edges));
    }
    if (height < 0)
        height = 0;

    IconStrip& strip = gMain.strip;
    const int stripWidth = IconSnimok::CellWidth();
    strip.Layout(width - stripWidth, 0, stripWidth, height);
    const int middle = width - stripWidth - kButtonColumnWidth;

    if (gMain.filterHeading.GetHwnd())
        gMain.filterHeading.Move(kButtonColumnWidth, 0, middle, b, TRUE);

    int captionHeight = 0;
    if (gMain.caption) {
        HDC dc = GetDC(gMain.caption);
        HGDIOBJ old = SelectObject(dc, CurrentStatusFont() ? CurrentStatusFont() : GetStockObject(SYSTEM_FONT));
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(gMain.caption, dc);
        RECT frame = {0, 0, 0, metrics.tmHeight};
        AdjustWindowRectEx(&frame, WS_CHILD | WS_VISIBLE, FALSE, WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY);
        captionHeight = frame.bottom - frame.top;
        MoveWindow(gMain.caption, kButtonColumnWidth, b, middle, captionHeight, TRUE);
    }
    if (gMain.list.GetHwnd()) {
        const int top = b + captionHeight;
        gMain.list.Move(kButtonColumnWidth, top, middle, height > top ? height - top : 0, TRUE);
    }

    int y = 0;
    for (int i = 0; i < gMain.buttonCount; ++i) {
        DButton& button = gMain.buttons[i];
        int h = b;
        if (button.GetStyle() & DButtonStyle::kMultiLine)
            h += button.GetLineHeight();
        if (gMain.rows[i] == kRowExit)
            y += b / 2;
        button.Move(0, y, kButtonColumnWidth, h, TRUE);
        y += h + 1;
    }
}

// ---- keys ------------------------------------------------------------------------------

void MainPatientWindow::OnKey(WPARAM key)
{
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (key) {
    case VK_RETURN:
        if (shift)
            EditPatient(FALSE);
        break;
    case VK_INSERT:
        EditPatient(TRUE);
        break;
    case VK_DELETE:
        if (control)
            DeleteCurrentPatient();
        break;
    case VK_F3:
        LoadLists(TRUE);
        break;
    case VK_F5:
        LoadLists(FALSE);
        break;
    default:
        break;
    }
}

int MainPatientWindow::OnStripKey(WPARAM key)
{
    if (key == VK_LEFT) {
        gMain.list.SetFocus();
        return 1;
    }
    Guarded([&] { OnKey(key); });
    return 0;
}

// ---- accessors -------------------------------------------------------------------------

DListView* MainPatientWindow::GetList() { return &gMain.list; }
int MainPatientWindow::GetButtonCount() const { return gMain.buttonCount; }
DButton* MainPatientWindow::GetButtonAt(int index)
{
    return index >= 0 && index < gMain.buttonCount ? &gMain.buttons[index] : nullptr;
}
DButton* MainPatientWindow::GetButton(int row)
{
    for (int i = 0; i < gMain.buttonCount; ++i)
        if (gMain.rows[i] == row)
            return &gMain.buttons[i];
    return nullptr;
}
DButton* MainPatientWindow::GetFilterHeading() { return &gMain.filterHeading; }
HWND MainPatientWindow::GetCaptionLine() const { return gMain.caption; }
HWND MainPatientWindow::GetStatusBar() const { return gMain.statusBar; }
const DbFilter& MainPatientWindow::GetFilter() const { return gMain.filter; }
IconStrip& MainPatientWindow::GetStrip() { return gMain.strip; }

// ---- the strip's owner -----------------------------------------------------------------

int MainStripLink::OpenImage(DWORD imageKey, const wchar_t* fileName)
{
    return MainPatientWindow::Instance().OpenImage(imageKey, fileName);
}
void MainStripLink::ShowNote(DWORD imageKey, DWORD patientKey)
{
    MainPatientWindow::Instance().ShowNote(imageKey, patientKey);
}
int MainStripLink::OnKey(WPARAM key)
{
    return MainPatientWindow::Instance().OnStripKey(key);
}
void MainStripLink::ImagesCounted(int count)
{
    MainPatientWindow::Instance().ImagesCounted(count);
}

int MainPatientWindow::GetStatusText(int part, wchar_t* buffer, int capacity) const
{
    if (!buffer || capacity <= 0)
        return 0;
    buffer[0] = 0;
    if (!gMain.statusBar)
        return 0;
    const int length = LOWORD(SendMessageW(gMain.statusBar, SB_GETTEXTLENGTHW, part, 0));
    if (length >= capacity)
        return 0;
    SendMessageW(gMain.statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buffer));
    return length;
}
