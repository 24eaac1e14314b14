// The main image panel: registration, creation, the toolbar and its
// controls, layouts and view slots, caption and the show functions.
// Commands are in mainview_commands.cpp, preparation in mainview_prepare.cpp.
#include "images/viewer/mainviewwnd.h"

#include "foundation/globals.h"
#include "foundation/journal.h"
#include "images/viewer/statwnd.h"
#include "images/viewer/viewerservices.h"
#include "images/viewer/viewerstore.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/gdi.h"

#include <new>

namespace {

MainViewWnd* gPanel = nullptr;
bool gPanelRegistered = false;

struct ToolbarRow {
    DWORD flags;
    UINT caption;
    UINT icon;
    int group;          // non-zero: a 20-pixel gap above; negative: administrators only
    UINT tooltip;       // 0: none
};

// A tool button whose corner arrow marks a menu; with kRightButton the menu is
// on the right button.
constexpr DWORD kToolMenuButton = DButtonStyle::kToolButton | DButtonStyle::kCornerArrow;
constexpr DWORD kToolMenuRightButton = kToolMenuButton | DButtonStyle::kRightButton;

const ToolbarRow kToolbar[kPanelButtonCount] = {
    {DButtonStyle::kToolButton, IDS_EXIT, IDI_VIEWER_EXIT, 0, IDS_TIP_QUIT_IMAGE_WINDOW},
    {DButtonStyle::kToolButton, IDS_SAVE, IDI_VIEWER_SAVE, 0, IDS_TIP_SAVE_PICTURE},
    {kToolMenuButton, IDS_WINDOWS_LAYOUT, IDI_VIEWER_WINDOWS, 0, 0},
    {DButtonStyle::kToolButton, IDS_PATIENT_INFO, IDI_VIEWER_PATIENT, 1, IDS_TIP_PICTURE_PATIENT_CARD},
    {kToolMenuRightButton, IDS_DESCRIPTION, IDI_VIEWER_DESCRIPTION, 0, IDS_TIP_OPEN_DESCRIPTION},
    {kToolMenuRightButton, IDS_PRINT, IDI_VIEWER_PRINT, 0, IDS_TIP_PRINT_PICTURE},
    {DButtonStyle::kToolButton | DButtonStyle::kStayPressed, IDS_PROFILE, IDI_VIEWER_PROFILE, 1, IDS_TIP_MEASURE_DISTANCE},
    {kToolMenuRightButton | DButtonStyle::kStayPressed, IDS_STATISTICS, IDI_VIEWER_PROFILE, 0, IDS_TIP_STATISTICS},
    {kToolMenuRightButton | DButtonStyle::kStayPressed, IDS_EQUALIZATION, IDI_VIEWER_EQUALIZE, 0, IDS_TIP_AUTO_BALANCE},
    {kToolMenuButton, IDS_IMAGING_MODES, IDI_VIEWER_CAPTION, 0, IDS_TIP_OPERATIONS},
    {DButtonStyle::kToolButton | DButtonStyle::kCheck, IDS_NEGATIVE, IDI_VIEWER_NEGATIVE, 0, IDS_TIP_POSITIVE_NEGATIVE},
};

}  // namespace

const MainViewWnd::Layout MainViewWnd::kLayouts[kLayoutCount] = {
    {1, 1, 1}, {2, 2, 1}, {2, 1, 2}, {4, 2, 2}, {6, 3, 2}, {6, 2, 3}, {9, 3, 3},
};

static DMessageMapEntry panelEntries[] = {
    MapMessage<WM_CREATE, &MainViewWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &MainViewWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &MainViewWnd::OnSize>(),
    MapMessage<WM_PAINT, &MainViewWnd::OnPaint>(),
    MapMessage<WM_KEYDOWN, &MainViewWnd::OnKeyDown>(),
    MapMessage<WM_LBUTTONDOWN, &MainViewWnd::OnLButtonDown>(),
    MapMessage<WM_RBUTTONDOWN, &MainViewWnd::OnRButtonDown>(),
    MapMessage<WM_FONTCHANGED_APP, &MainViewWnd::OnFontChanged>(),
    DMapEnd(),
};
DMessageMap MainViewWnd::messageMap = {-1, 0, panelEntries};

// ---- registration ----

bool RegisterMainViewSnimokWnd()
{
    if (gPanelRegistered)
        return true;
    if (!StatisticsWnd::RegisterClass())
        return false;
    LoadPrepareSnimokSettings();
    if (!DWindow::RegisterMapClass({MainViewWnd::kClassName, CS_DBLCLKS | CS_OWNDC | CS_NOCLOSE,
                                    reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1))})) {
        StatisticsWnd::UnregisterClass();
        return false;
    }
    gPanelRegistered = true;
    return true;
}

void UnregisterMainViewSnimokWnd()
{
    if (!gPanelRegistered)
        return;
    StatisticsWnd::UnregisterClass();
    ::UnregisterClassW(MainViewWnd::kClassName, hInstance);
    gPanelRegistered = false;
}

bool RegisterViewerClasses()
{
    if (!SnimokWnd::RegisterClass())
        return false;
    if (!ProfileWnd::RegisterClass()) {
        SnimokWnd::UnregisterClass();
        return false;
    }
    if (!RegisterMainViewSnimokWnd()) {
        ProfileWnd::UnregisterClass();
        SnimokWnd::UnregisterClass();
        return false;
    }
    return true;
}

void UnregisterViewerClasses()
{
    DestroyMainView();
    UnregisterMainViewSnimokWnd();
    ProfileWnd::UnregisterClass();
    SnimokWnd::UnregisterClass();
}

// ---- creation ----

MainViewWnd* MainViewWnd::Instance()
{
    return gPanel;
}

MainViewWnd::MainViewWnd() = default;

MainViewWnd::~MainViewWnd()
{
    Destroy();
    DeleteAllViews();
    if (GetSnimokHost() == this)
        SetSnimokHost(nullptr);
    if (gPanel == this)
        gPanel = nullptr;
}

int CreateMainView(HWND parent)
{
    if (!gPanel) {
        gPanel = new (std::nothrow) MainViewWnd();
        if (!gPanel)
            return 0;
    }
    return gPanel->Create(parent);
}

void DestroyMainView()
{
    delete gPanel;
    gPanel = nullptr;
}

int MainViewWnd::Create(HWND parent)
{
    if (hwnd)
        return 0;
    SetSnimokHost(this);
    if (!DWindow::Create(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN), parent, nullptr, hInstance, nullptr))
        return 0;
    return 1;
}

bool MainViewWnd::IsShown() const
{
    return hwnd && IsWindowVisible(hwnd);
}

RECT MainViewWnd::GetToolbarScreenRect() const
{
    RECT r = {};
    if (!IsShown() || !::GetWindowRect(hwnd, &r))
        return RECT{};
    r.right = r.left + kToolbarWidth;
    return r;
}

LRESULT MainViewWnd::OnCreate(HWND, LPARAM)
{
    viewCount = 1;
    layoutMode = 0;
    HDC dc = GetDC();
    {
        ScopedSelect font(dc, ControlFont);
        captionHeight = GetDCFontHeight(dc);
    }
    ReleaseDC(dc);
    if (captionHeight < 16)
        captionHeight = 16;
    captionIcon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_VIEWER_CAPTION), IMAGE_ICON, 16, 16, 0);
    return MakeToolbar() ? 0 : -1;
}

bool MainViewWnd::MakeToolbar()
{
    static const DButtonNotify notify = {&MainViewWnd::ButtonClicked, nullptr, nullptr,
                                         &MainViewWnd::ButtonRightClicked, nullptr, &MainViewWnd::ButtonHover};
    static const DButtonInput keys = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, &MainViewWnd::ButtonKey, nullptr, nullptr};
    buttonCount = 0;
    for (int row = 0; row < kPanelButtonCount; ++row) {
        const ToolbarRow& r = kToolbar[row];
        if (r.group < 0 && !IsAdministrator)
            continue;
        wchar_t text[64];
        if (!LoadStringW(hInstance, r.caption, text, 64))
            text[0] = 0;
        HICON icon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(r.icon), IMAGE_ICON, IconSize, IconSize, 0);
        DButtonDesc d = {60, hwnd, r.flags, 0, 0, kToolbarWidth, 40, this, text, icon, IconSize, IconSize,
                         hInstance, &keys, &notify};
        DButton* b = new (std::nothrow) DButton;
        if (!b || !b->Create(&d)) {
            delete b;
            if (icon)
                DestroyIcon(icon);
            return false;
        }
        b->ownerValue = row;
        if (r.flags & DButtonStyle::kRightButton)
            b->SetFaceColor(0xFF0000);
        if (r.flags & DButtonStyle::kCornerArrow)
            b->SetArrowColor(0xFF0000);
        buttons[row] = b;
        ++buttonCount;
    }
    // Every key pressed on a window/level control is the panel's key.
    static const DUpDownInput forward = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, &MainViewWnd::ControlKey, nullptr,
                                         nullptr};
    static const DUpDownNotify offsetNotify = {&MainViewWnd::OffsetSet, &MainViewWnd::OffsetChanging};
    static const DUpDownNotify widthNotify = {&MainViewWnd::WidthSet, &MainViewWnd::WidthChanging};
    offsetIcon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_VIEWER_OFFSET), IMAGE_ICON, 32, 32, 0);
    widthIcon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_VIEWER_WIDTH), IMAGE_ICON, 32, 32, 0);
    const DWORD style = DUpDownStyle::kVisible | (IsAdministrator ? DUpDownStyle::kText : DUpDownStyle::kIcon);
    DUpDownDesc o = {};
    o.style = style;
    o.width = kToolbarWidth;
    o.height = 40;
    o.parent = hwnd;
    o.cookie = this;
    o.icon = offsetIcon;
    o.iconWidth = 32;
    o.iconHeight = 32;
    o.input = &forward;
    o.notify = &offsetNotify;
    o.mask = 1 | 2 | 4 | 8 | 16;
    o.minimum = -kLevelRange;
    o.maximum = kLevelRange;
    o.value = 0;
    o.defaultValue = 0;
    o.step = 1;
    if (!offsetControl.Create(&o))
        return false;
    DUpDownDesc w = o;
    w.icon = widthIcon;
    w.notify = &widthNotify;
    w.minimum = 1;
    w.maximum = kLevelRange;
    w.value = kLevelRange;
    w.defaultValue = kLevelRange;
    if (!widthControl.Create(&w))
        return false;
    return true;
}

void MainViewWnd::OnDestroy()
{
    for (DButton*& b : buttons) {
        delete b;
        b = nullptr;
    }
    buttonCount = 0;
    if (captionIcon)
        DestroyIcon(captionIcon);
    captionIcon = nullptr;
    offsetControl.Destroy();
    widthControl.Destroy();
    if (offsetIcon)
        DestroyIcon(offsetIcon);
    if (widthIcon)
        DestroyIcon(widthIcon);
    offsetIcon = widthIcon = nullptr;
    DeleteAllViews();
}

void MainViewWnd::OnSize(int width, int height, WPARAM)
{
    viewArea = RECT{kToolbarWidth, captionHeight, width, height};
    PlaceViews();
    PlaceToolbar();
}

void MainViewWnd::PlaceViews()
{
    for (int i = 0; i < viewCount; ++i) {
        if (views[i] && views[i]->GetHwnd()) {
            const RECT c = GetViewRect(i);
            views[i]->SetPosition(c.left, c.top, c.right, c.bottom);
        }
    }
}

void MainViewWnd::PlaceToolbar()
{
    DButton* first = nullptr;
    for (DButton* b : buttons)
        if (b && !first)
            first = b;
    if (!first)
        return;
    buttonHeight = first->GetLineHeight() * 3 / 2 + (IsSmallScreen ? 16 : 32);
    int y = viewArea.top;
    for (int row = 0; row <= kButtonModes; ++row) {
        if (!buttons[row])
            continue;
        if (kToolbar[row].group != 0)
            y += 20;
        MoveWindow(buttons[row]->GetHwnd(), 0, y, kToolbarWidth, buttonHeight, TRUE);
        y += buttonHeight;
    }
    offsetRect = RECT{0, y, kToolbarWidth, y + buttonHeight};
    y += buttonHeight;
    widthRect = RECT{0, y, kToolbarWidth, y + buttonHeight};
    y += buttonHeight;
    MoveWindow(offsetControl.GetHwnd(), offsetRect.left, offsetRect.top, kToolbarWidth, buttonHeight, TRUE);
    MoveWindow(widthControl.GetHwnd(), widthRect.left, widthRect.top, kToolbarWidth, buttonHeight, TRUE);
    if (buttons[kButtonNegative])
        MoveWindow(buttons[kButtonNegative]->GetHwnd(), 0, y, kToolbarWidth, buttonHeight, TRUE);
}

void MainViewWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    HDC dc = paint.Dc();
    RECT line = {0, 0, viewArea.right, captionHeight};
    FillRect(dc, &line, GetSysColorBrush(COLOR_WINDOW));
    if (captionIcon)
        DrawIconEx(dc, 0, 0, captionIcon, 16, 16, 0, nullptr, DI_NORMAL);
    ScopedSelect font(dc, ControlFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, 0);
    TextOutW(dc, 16, 0, caption, lstrlenW(caption));
}

void MainViewWnd::OnKeyDown(WPARAM key, LPARAM)
{
    OnKey(key);
}

void MainViewWnd::OnLButtonDown(int x, int y, WPARAM)
{
    if (x >= 0 && x < 16 && y >= 0 && y < 16 && GetViewerServices().runImageStrip)
        GetViewerServices().runImageStrip(hwnd, patientId, 16, 0, 0);
}

void MainViewWnd::OnRButtonDown(int x, int y, WPARAM)
{
    if (x >= 0 && x < 16 && y >= 0 && y < 16 && GetViewerServices().showServiceMenu)
        GetViewerServices().showServiceMenu(hwnd, 16, 0, 0);
}

void MainViewWnd::OnFontChanged(WPARAM noticeParam)
{
    const FontChangeNotice* notice = reinterpret_cast<const FontChangeNotice*>(noticeParam);
    if (!notice || lstrcmpiW(notice->name, L"Button") != 0)
        return;
    for (DButton* b : buttons)
        if (b)
            b->SetFont(notice->font);
    PlaceToolbar();
}

// ---- views and layouts ----

RECT MainViewWnd::GetViewRect(int n) const
{
    const Layout& l = kLayouts[layoutMode];
    const int W = viewArea.right - viewArea.left, H = viewArea.bottom - viewArea.top;
    const int cw = W / l.columns - (2 * l.columns - 2), ch = H / l.rows - (2 * l.rows - 2);
    const int column = n % l.columns, row = n / l.columns;
    return RECT{viewArea.left + column * (cw + 2), viewArea.top + row * (ch + 2), cw, ch};
}

int MainViewWnd::SlotOf(const SnimokWnd* view) const
{
    for (int i = 0; i < kMaxViews; ++i)
        if (view && views[i] == view)
            return i;
    return -1;
}

void MainViewWnd::DeleteView(int n)
{
    if (!views[n])
        return;
    if (active == views[n])
        active = nullptr;
    delete views[n];
    views[n] = nullptr;
}

void MainViewWnd::DeleteAllViews()
{
    for (int i = 0; i < kMaxViews; ++i)
        DeleteView(i);
    active = nullptr;
}

void MainViewWnd::SetLayout(int mode)
{
    if (mode < 0 || mode >= kLayoutCount)
        return;
    const int count = kLayouts[mode].views;
    for (int i = count; i < kMaxViews; ++i)
        DeleteView(i);
    layoutMode = mode;
    viewCount = count;
    for (int i = 0; i < count; ++i) {
        if (!views[i])
            views[i] = new (std::nothrow) SnimokWnd;
        if (!views[i])
            continue;
        const RECT c = GetViewRect(i);
        if (views[i]->GetHwnd()) {
            views[i]->SetCaptionMode(count > 1, true, c.left, c.top, c.right, c.bottom);
        } else if (hwnd && !views[i]->Create(hwnd, DPicturePtr(), c.left, c.top, c.right, c.bottom, count > 1)) {
            DeleteView(i);
        }
    }
    active = nullptr;
    for (int i = 0; i < kMaxViews; ++i)
        if (views[i])
            views[i]->SetActive(false);
    if (views[0])
        SetActiveView(views[0]);
    if (hwnd)
        RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void MainViewWnd::SetActiveView(SnimokWnd* view)
{
    if (active && active != view)
        active->SetActive(false);
    active = view;
    if (active)
        active->SetActive(true);
}

SnimokWnd* MainViewWnd::AddSnimok(const DPicturePtr& picture)
{
    int slot = SlotOf(active);
    if (slot < 0) {
        slot = viewCount - 1;
        for (int i = 0; i < viewCount; ++i) {
            if (!views[i] || !views[i]->GetSnimok().Get()) {
                slot = i;
                break;
            }
        }
        if (!views[slot])
            views[slot] = new (std::nothrow) SnimokWnd;
        if (!views[slot])
            return nullptr;
        SetActiveView(views[slot]);
    }
    SnimokWnd* view = views[slot];
    if (!view->GetHwnd()) {
        const RECT c = GetViewRect(slot);
        if (!view->Create(hwnd, picture, c.left, c.top, c.right, c.bottom, viewCount > 1))
            return nullptr;
        view->SetActive(true);
    } else {
        view->AttachSnimok(picture);
        SetLevelScrolls(view, 1);
    }
    return view;
}

DPicture* MainViewWnd::ActivePicture() const
{
    return active ? active->GetSnimok().Get() : nullptr;
}

// ---- window/level controls ----

void MainViewWnd::SetLevelScrolls(SnimokWnd* view, int setDefault)
{
    if (!view || !view->GetSnimok().Get())
        return;
    const DPicture* p = view->GetSnimok().Get();
    ShowNegativeCheck(p->negative != 0);
    offsetValue = p->displayOffset;
    widthValue = p->displayWidth;
    if (setDefault == 1) {
        offsetDefault = offsetValue;
        widthDefault = widthValue;
    }
    levelStep = p->displayWidth >= 256 ? p->displayWidth / 256 + 1 : 1;
    DUpDownInfo info = {4 | 16, 0, 0, offsetValue, 0, levelStep};
    if (setDefault == 1) {
        info.mask |= 8;
        info.defaultValue = offsetDefault;
    }
    offsetControl.SetInfo(&info);
    info.value = widthValue;
    info.defaultValue = widthDefault;
    info.step = -levelStep;
    widthControl.SetInfo(&info);
}

void MainViewWnd::LevelChanged()
{
    if (!active)
        return;
    active->UpdateLut();
    active->Render();
    active->Redraw();
}

void MainViewWnd::OnOffsetChanged(int value, bool committed)
{
    DPicture* p = ActivePicture();
    offsetValue = value;
    if (!p || (committed && value == p->displayOffset))
        return;
    p->displayOffset = value;
    LevelChanged();
}

void MainViewWnd::OnWidthChanged(int value, bool committed)
{
    DPicture* p = ActivePicture();
    if (value < 1)
        value = 1;
    widthValue = value;
    if (!p)
        return;
    if (committed) {
        if (value == p->displayWidth)
            return;
        p->displayWidth = value;
        levelStep = value >= 256 ? value / 256 + 1 : 1;
        DUpDownInfo info = {16, 0, 0, 0, 0, levelStep};
        offsetControl.SetInfo(&info);
        info.step = -levelStep;
        widthControl.SetInfo(&info);
    } else {
        p->displayWidth = value;
    }
    LevelChanged();
}

void MainViewWnd::ControlKey(void* cookie, DUpDown*, WPARAM key, LPARAM)
{
    static_cast<MainViewWnd*>(cookie)->OnKey(key);
}

void MainViewWnd::OffsetSet(void* cookie, DUpDown*, int value)
{
    static_cast<MainViewWnd*>(cookie)->OnOffsetChanged(value, true);
}
void MainViewWnd::OffsetChanging(void* cookie, DUpDown*, int value)
{
    static_cast<MainViewWnd*>(cookie)->OnOffsetChanged(value, false);
}
void MainViewWnd::WidthSet(void* cookie, DUpDown*, int value)
{
    static_cast<MainViewWnd*>(cookie)->OnWidthChanged(value, true);
}
void MainViewWnd::WidthChanging(void* cookie, DUpDown*, int value)
{
    static_cast<MainViewWnd*>(cookie)->OnWidthChanged(value, false);
}

// ---- patient and caption ----

int MainViewWnd::SetPatient(uint32_t id, const PatientInfo* known)
{
    patientId = id;
    if (known)
        knownPatient = *known;
    wchar_t text[512];
    if (!GetViewerStore().lookupPatient(id, known ? known : &knownPatient, text, 512))
        return 0;
    SetCaption(text, -1);
    return 1;
}

void MainViewWnd::ReloadPatient()
{
    wchar_t text[512];
    if (GetViewerStore().lookupPatient(patientId, &knownPatient, text, 512))
        SetCaption(text, -1);
}

void MainViewWnd::SetCaption(const wchar_t* text, int length)
{
    if (!text)
        text = L"";
    if (length < 0)
        length = lstrlenW(text);
    if (length > 511)
        length = 511;
    memcpy(caption, text, length * sizeof(wchar_t));
    caption[length] = 0;
    if (hwnd) {
        RECT line = {0, 0, viewArea.right, captionHeight};
        InvalidateRect(hwnd, &line, TRUE);
        UpdateWindow(hwnd);
    }
}

// ---- the show functions of the application shell ----

namespace {

bool Prepare(int equalize, DPicture* picture)
{
    try {
        return PrepareSnimokForView(equalize, nullptr, picture) != 0;
    } catch (...) {
        return false;
    }
}

// The panel is owned by the main patient window, and Wine, unlike Windows,
// stacks an owner that becomes active (clicked, or left active by a closing
// note or dialog of its own) above the popups it owns: the panel then lies
// under the main window while it stays visible, and showing a visible window
// changes nothing, so the pictures opened after stayed out of sight. Every
// show puts the panel on top and activates it, which gives it the keyboard
// focus. Under Wine SetWindowPos to the top does both, as SetForegroundWindow,
// SetActiveWindow and BringWindowToTop each do; SetForegroundWindow follows
// for the case of another program's window in front.
void BringToFront(HWND panel)
{
    if (!SetWindowPos(panel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW))
        LogCallError(GetLastError(), L"SetWindowPos", L"main image panel to the top");
    SetForegroundWindow(panel);
}

void ShowPanel(MainViewWnd* panel, const DPicturePtr& picture, int equalize, bool always)
{
    if (!panel || !panel->IsCreated() || !picture.Get())
        return;
    panel->DeleteAllViews();
    panel->SetLayout(panel->GetLayoutMode());
    if (!panel->SetPatient(picture->patient.GetPatientId(), &picture->patient))
        return;
    if (!Prepare(equalize, picture.Get()))
        return;
    panel->AddSnimok(picture);
    if (!panel->shown || always) {
        ShowWindow(panel->GetHandle(), SW_SHOW);
        panel->shown = true;
    }
    BringToFront(panel->GetHandle());
    // Painted once it is on top: under Wine, what a panel lying below painted
    // stays off the screen when it is raised (the part uncovered shows blank).
    RedrawWindow(panel->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

}  // namespace

void ShowMainView(const DPicturePtr& picture)
{
    ShowPanel(MainViewWnd::Instance(), picture, 1, false);
}

void ShowMainViewRefresh(const DPicturePtr& picture)
{
    ShowPanel(MainViewWnd::Instance(), picture, 0, true);
}

void ShowMainViewAgain(const DPicturePtr& picture)
{
    MainViewWnd* panel = MainViewWnd::Instance();
    if (!panel || !panel->IsCreated() || !picture.Get())
        return;
    if (!Prepare(0, picture.Get()))
        return;
    panel->AddSnimok(picture);
    RedrawWindow(panel->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
