// The profile window: creation, sampling, settings and input. Painting is
// in profilewnd_paint.cpp.
#include <wchar.h>
#include "images/viewer/profilewnd.h"

#include "foundation/globals.h"
#include "images/viewer/mainviewwnd.h"
#include "images/viewer/profileres.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/gdi.h"
#include "ui/placement.h"
#include "ui/popupmenu.h"

#include <math.h>
#include <stdlib.h>

#include <initializer_list>

ProfileClassResources gProfile;

static DMessageMapEntry profileEntries[] = {
    MapMessage<WM_CREATE, &ProfileWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &ProfileWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &ProfileWnd::OnSize>(),
    MapMessage<WM_PAINT, &ProfileWnd::OnPaint>(),
    MapMessage<WM_MOUSEMOVE, &ProfileWnd::OnMouseMove>(),
    MapMessage<WM_LBUTTONDOWN, &ProfileWnd::OnLButtonDown>(),
    MapMessage<WM_RBUTTONDOWN, &ProfileWnd::OnRButtonDown>(),
    MapMessage<WM_GETMINMAXINFO, &ProfileWnd::OnGetMinMaxInfo>(),
    DMapEnd(),
};
DMessageMap ProfileWnd::messageMap = {-1, 0, profileEntries};

bool RegisterProfileWnd()
{
    return ProfileWnd::RegisterClass();
}

void UnregisterProfileWnd()
{
    ProfileWnd::UnregisterClass();
}

bool ProfileWnd::RegisterClass()
{
    if (gProfile.registered)
        return true;
    if (!DWindow::RegisterMapClass(
            {kClassName, CS_OWNDC, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1))}))
        return false;
    const UINT labels[4] = {IDS_PROFILE_START, IDS_PROFILE_END, IDS_PROFILE_LENGTH, IDS_PROFILE_VALUE};
    for (int i = 0; i < 4; ++i)
        if (!LoadStringW(hInstance, labels[i], gProfile.labels[i], 32))
            gProfile.labels[i][0] = 0;
    gProfile.autoMaxIcon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PROFILE_AUTOMAX), IMAGE_ICON, 32, 32, 0);
    gProfile.autoMinIcon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PROFILE_AUTOMIN), IMAGE_ICON, 32, 32, 0);
    gProfile.closeIcon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_VIEWER_EXIT), IMAGE_ICON, 32, 32, 0);
    gProfile.barPen = CreatePen(PS_SOLID, 1, 0x7F7FFF);
    gProfile.cursorPen = CreatePen(PS_SOLID, 1, 0x000000);
    gProfile.backgroundPen = CreatePen(PS_SOLID, 1, 0xC0C0C0);
    gProfile.greyBrush = CreateSolidBrush(0xC0C0C0);
    gProfile.registered = true;
    return true;
}

void ProfileWnd::UnregisterClass()
{
    if (!gProfile.registered)
        return;
    ::UnregisterClassW(kClassName, hInstance);
    for (HICON i : {gProfile.autoMaxIcon, gProfile.autoMinIcon, gProfile.closeIcon})
        if (i)
            DestroyIcon(i);
    for (HGDIOBJ o : {(HGDIOBJ)gProfile.barPen, (HGDIOBJ)gProfile.cursorPen, (HGDIOBJ)gProfile.backgroundPen,
                      (HGDIOBJ)gProfile.greyBrush})
        if (o)
            DeleteObject(o);
    gProfile = ProfileClassResources();
}

ProfileWnd::~ProfileWnd()
{
    Destroy();
    FreeSamples();
}

int ProfileWnd::Create(HWND ownerWindow, ProfileOwner* profileOwner, const DPicturePtr& newPicture,
                       const ProfileLine& newLine, bool restrictedForm)
{
    if (Exists()) {
        if (!Compute(newPicture, newLine)) {
            Destroy();
            return 0;
        }
        RangeScroll();
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        return 1;
    }
    restricted = restrictedForm;
    owner = profileOwner;
    PlacementRect r;
    if (!restricted) {
        ReadSettings();
        if (!LoadWindowPlacement(r, L"Profile")) {
            CreateDefaultWindowPlacement(PlacementRect{100, 0, 600, 400}, L"Profile");
            if (!LoadWindowPlacement(r, L"Profile"))
                return 0;
        }
    } else {
        r = PlacementRect{100, 0, 200, 300};
    }
    wchar_t title[64];
    if (!LoadStringW(hInstance, IDS_PROFILE, title, 64))
        title[0] = 0;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | (restricted ? 0 : WS_THICKFRAME);
    const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_NOPARENTNOTIFY;
    if (!DWindow::Create(exStyle, kClassName, title, style, r.x, r.y, r.cx, r.cy,
                         ownerWindow, nullptr, hInstance, nullptr))
        return 0;
    if (!Compute(newPicture, newLine)) {
        Destroy();
        return 0;
    }
    if (restricted) {
        RECT c = {0, 0, labelWidth + 104, 6 * lineHeight + 4 + 44};
        AdjustWindowRectEx(&c, style, FALSE, exStyle);
        SetWindowPos(hwnd, nullptr, 0, 0, c.right - c.left, c.bottom - c.top,
                     SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    // Off the panel's toolbar when the screen has room elsewhere: the stored
    // or default place is the starting point.
    if (MainViewWnd* panel = MainViewWnd::Instance()) {
        const RECT toolbar = panel->GetToolbarScreenRect();
        MoveWindowClearOf(hwnd, &toolbar, 1);
    }
    RangeScroll();
    ShowWindow(hwnd, SW_SHOWNA);
    return 1;
}

int ProfileWnd::Compute(const DPicturePtr& newPicture, const ProfileLine& newLine)
{
    DPicture* p = newPicture.Get();
    if (!p || !p->GetBits())
        return 0;
    auto inside = [p](int x, int y) { return x >= 0 && y >= 0 && x < p->width && y < p->height; };
    if (!inside(newLine.x0, newLine.y0) || !inside(newLine.x1, newLine.y1))
        return 0;
    picture = newPicture;
    line = newLine;
    const int dx = abs(line.x1 - line.x0), dy = abs(line.y1 - line.y0);
    const int n = dx > dy ? dx : dy;
    if (n == 0) {
        FreeSamples();
        count = 0;
        return 0;
    }
    count = n + 1;
    length = sqrt((dx * p->spacingX) * (dx * p->spacingX) + (dy * p->spacingY) * (dy * p->spacingY));
    if (restricted)
        return 1;
    if (!ReserveSamples(count)) {
        count = 0;
        return 0;
    }
    cursor = 0;
    TakeSamples();
    RangeScroll();
    return 1;
}

bool ProfileWnd::ReserveSamples(int n)
{
    // Points (two int32 each), rounded to 8 bytes after 15 bytes of slack,
    // then the values.
    const size_t pointBytes = ((size_t)n * 2 * sizeof(int32_t) + 15) & ~(size_t)7;
    const size_t need = pointBytes + (size_t)n * sizeof(uint16_t);
    if (!block || blockSize < need) {
        FreeSamples();
        block = VirtualAlloc(nullptr, need, MEM_COMMIT, PAGE_READWRITE);
        if (!block)
            return false;
        MEMORY_BASIC_INFORMATION info;
        blockSize = VirtualQuery(block, &info, sizeof info) ? info.RegionSize : need;
    }
    points = static_cast<int32_t*>(block);
    values = reinterpret_cast<uint16_t*>(static_cast<char*>(block) + pointBytes);
    return true;
}

void ProfileWnd::FreeSamples()
{
    if (block)
        VirtualFree(block, 0, MEM_RELEASE);
    block = nullptr;
    blockSize = 0;
    points = nullptr;
    values = nullptr;
}

int ProfileWnd::PixelAt(int x, int y) const
{
    const DPicture* p = picture.Get();
    return p->GetBits()[(size_t)y * p->width + x];
}

namespace {

struct DdaCollect {
    int32_t* points;
    int capacity;
    int count;
};

void CALLBACK CollectPoint(int x, int y, LPARAM data)
{
    DdaCollect* c = reinterpret_cast<DdaCollect*>(data);
    if (c->count < c->capacity) {
        c->points[2 * c->count] = x;
        c->points[2 * c->count + 1] = y;
        ++c->count;
    }
}

}  // namespace

void ProfileWnd::TakeSamples()
{
    const DPicture* p = picture.Get();
    if (line.x0 == line.x1 || line.y0 == line.y1) {
        const bool vertical = line.x0 == line.x1;
        const int from = vertical ? line.y0 : line.x0, to = vertical ? line.y1 : line.x1;
        const int step = from > to ? -1 : 1;
        // Neighbours to the right of a vertical line or below a horizontal
        // one, as many as lie on the picture. The line was on the picture
        // when it was drawn, but the picture may have been turned since (the
        // window stays open): every read is held to the picture as it is.
        int across = averaging < 1 ? 1 : averaging;
        const int room = vertical ? p->width - line.x0 : p->height - line.y0;
        if (across > room)
            across = room;
        if (across < 1)
            across = 1;
        auto clampX = [p](int x) { return x < 0 ? 0 : (x >= p->width ? p->width - 1 : x); };
        auto clampY = [p](int y) { return y < 0 ? 0 : (y >= p->height ? p->height - 1 : y); };
        for (int i = 0; i < count; ++i) {
            const int at = from + i * step;
            const int x = vertical ? line.x0 : at, y = vertical ? at : line.y0;
            points[2 * i] = x;
            points[2 * i + 1] = y;
            unsigned sum = 0;
            for (int k = 0; k < across; ++k)
                sum += PixelAt(clampX(vertical ? x + k : x), clampY(vertical ? y : y + k));
            values[i] = (uint16_t)(sum / across);
        }
    } else {
        DdaCollect c = {points, count, 0};
        LineDDA(line.x0, line.y0, line.x1, line.y1, CollectPoint, reinterpret_cast<LPARAM>(&c));
        // LineDDA stops before the end point; the end point closes the list.
        for (int i = c.count; i < count; ++i) {
            points[2 * i] = line.x1;
            points[2 * i + 1] = line.y1;
        }
        for (int i = 0; i < count; ++i) {
            int x = points[2 * i], y = points[2 * i + 1];
            x = x < 0 ? 0 : (x >= p->width ? p->width - 1 : x);
            y = y < 0 ? 0 : (y >= p->height ? p->height - 1 : y);
            values[i] = (uint16_t)PixelAt(x, y);
        }
    }
    minimum = 65535;
    maximum = 0;
    for (int i = 0; i < count; ++i) {
        if (values[i] < minimum)
            minimum = values[i];
        if (values[i] > maximum)
            maximum = values[i];
    }
    if (maximum == 0)
        maximum = 65535;
    if (maximum == minimum) {
        minimum = 0;
        maximum = 65535;
    }
}

POINT ProfileWnd::SamplePoint(int i) const
{
    if (!points || i < 0 || i >= count)
        return POINT{-1, -1};
    return POINT{points[2 * i], points[2 * i + 1]};
}

int ProfileWnd::SampleValue(int i) const
{
    if (!values || i < 0 || i >= count)
        return -1;
    return values[i];
}

void ProfileWnd::SetAveraging(int width)
{
    averaging = width < 1 ? 1 : (width > kMaxAveraging ? kMaxAveraging : width);
    if (values && count > 0 && !restricted)
        TakeSamples();
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void ProfileWnd::SetZoom(int z)
{
    zoom = z < 1 ? 1 : (z > 5 ? 5 : z);
    RangeScroll();
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

void ProfileWnd::RangeScroll()
{
    if (!scroll.GetHwnd() || count <= 0)
        return;
    int page = (graph.right - graph.left) / zoom;
    if (page < 1)
        page = 1;
    DScrollInfo info = {DScrollMask::kMin | DScrollMask::kMax | DScrollMask::kPage, 0, count - 1, 0, page};
    scroll.SetInfo(&info);
}

// ---- settings ----

namespace {

const wchar_t kProfileKey[] = L"Profile";

DWORD ReadDword(HKEY key, const wchar_t* name, DWORD fallback, bool* found)
{
    DWORD v = 0, type = 0, size = sizeof v;
    *found = key && RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) == 0 &&
             type == REG_DWORD && size == sizeof v;
    return *found ? v : fallback;
}

}  // namespace

void ProfileWnd::ReadSettings()
{
    HKEY key = nullptr;
    if (OpenSettingsKey(kProfileKey, KEY_READ, false, &key) != ERROR_SUCCESS)
        key = nullptr;
    bool found;
    const DWORD z = ReadDword(key, L"scale", 1, &found);
    zoom = (z >= 1 && z <= 5) ? (int)z : 1;
    autoMax = ReadDword(key, L"bmax", 1, &found) != 0;
    autoMin = ReadDword(key, L"bmin", 0, &found) != 0;
    if (key)
        RegCloseKey(key);
}

void ProfileWnd::WriteSettings()
{
    HKEY key;
    if (OpenSettingsKey(kProfileKey, KEY_WRITE, true, &key) != ERROR_SUCCESS)
        return;
    const DWORD values3[3] = {(DWORD)zoom, autoMax ? 1u : 0u, autoMin ? 1u : 0u};
    const wchar_t* names[3] = {L"scale", L"bmax", L"bmin"};
    for (int i = 0; i < 3; ++i)
        RegSetValueExW(key, names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values3[i]), sizeof(DWORD));
    RegCloseKey(key);
}

// ---- window ----

LRESULT ProfileWnd::OnCreate(HWND, LPARAM)
{
    dc = GetDC();
    if (ControlFont)
        SelectObject(dc, ControlFont);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    SIZE s = {};
    GetTextExtentPoint32W(dc, L"00000", 5, &s);
    charWidth = s.cx + 2;
    charHeight = s.cy + 2;
    lineHeight = charHeight;
    labelWidth = charWidth;
    for (const wchar_t* label : gProfile.labels) {
        if (GetTextExtentPoint32W(dc, label, lstrlenW(label), &s) && s.cx + 4 > labelWidth)
            labelWidth = s.cx + 4;
    }
    const int infoBottom = (restricted ? 6 : 8) * lineHeight + 4;
    static const DButtonNotify checkNotify = {&ProfileWnd::OnCheckClicked};
    static const DButtonNotify closeNotify = {&ProfileWnd::OnCloseClicked};
    if (!restricted) {
        DButtonDesc d = {60, hwnd, DButtonStyle::kCheck | DButtonStyle::kVisible, 2, infoBottom, 40, 40, this,
                         nullptr, gProfile.autoMaxIcon, 32, 32, hInstance, nullptr, &checkNotify};
        autoMaxButton.Create(&d);
        d.x = 46;
        d.icon = gProfile.autoMinIcon;
        autoMinButton.Create(&d);
        autoMaxButton.SetCheck(autoMax);
        autoMinButton.SetCheck(autoMin);
    }
    DButtonDesc c = {60, hwnd, DButtonStyle::kVisible, 2, infoBottom + (restricted ? 0 : 44), 40, 40, this,
                     nullptr, gProfile.closeIcon, 32, 32, hInstance, nullptr, &closeNotify};
    closeButton.Create(&c);
    if (!restricted) {
        static const DScrollNotify scrollNotify = {&ProfileWnd::OnScrollSettled, &ProfileWnd::OnScrollSettled};
        DScrollDesc sd = {DScrollStyle::kVisible, this, hwnd, 0, 0, 10, 10, hInstance,
                          DScrollMask::kMin | DScrollMask::kMax, 0, 0, 0, 0, nullptr, &scrollNotify};
        scroll.Create(&sd);
        if (IsAdministrator) {
            static const DUpDownInput noInput = {};
            static const DUpDownNotify upDownNotify = {&ProfileWnd::OnAveragingSet, &ProfileWnd::OnAveragingSet};
            DUpDownDesc ud = {};
            ud.style = DUpDownStyle::kVisible | DUpDownStyle::kText;
            ud.x = 2;
            ud.y = infoBottom + 88;
            ud.width = 84;
            ud.height = 24;
            ud.parent = hwnd;
            ud.cookie = this;
            ud.input = &noInput;
            ud.notify = &upDownNotify;
            ud.mask = 1 | 2 | 4 | 8 | 16;
            ud.minimum = 1;
            ud.maximum = kMaxAveraging;
            ud.value = averaging;
            ud.defaultValue = 1;
            ud.step = 1;
            averagingControl.Create(&ud);
        }
    }
    return 0;
}

void ProfileWnd::OnDestroy()
{
    if (!restricted)
        WriteSettings();
    autoMaxButton.Destroy();
    autoMinButton.Destroy();
    closeButton.Destroy();
    scroll.Destroy();
    averagingControl.Destroy();
    if (!restricted)
        SaveWindowPlacement(hwnd, L"Profile", true);
    HWND self = hwnd;
    if (dc)
        ReleaseDC(dc);
    dc = nullptr;
    FreeSamples();
    count = 0;
    picture.Reset();
    // The owner repaints without the line: it must already see no window.
    hwnd = nullptr;
    if (owner)
        owner->OnProfileClosed(this);
    hwnd = self;
}

void ProfileWnd::OnSize(int width, int height, WPARAM)
{
    clientWidth = width;
    clientHeight = height;
    Layout();
}

void ProfileWnd::Layout()
{
    graph = RECT{labelWidth + 106, lineHeight + 4, clientWidth - 2, clientHeight - lineHeight - 2};
    if (graph.right < graph.left)
        graph.right = graph.left;
    if (graph.bottom < graph.top)
        graph.bottom = graph.top;
    if (scroll.GetHwnd())
        MoveWindow(scroll.GetHwnd(), graph.left, graph.bottom + 1, graph.right - graph.left, lineHeight, TRUE);
    RangeScroll();
}

void ProfileWnd::OnGetMinMaxInfo(LPARAM info)
{
    MINMAXINFO* m = reinterpret_cast<MINMAXINFO*>(info);
    m->ptMinTrackSize.x = 300;
    m->ptMinTrackSize.y = 200;
}

int ProfileWnd::SampleAtColumn(int x) const
{
    const int first = scroll.GetHwnd() ? scroll.GetPos() : 0;
    return first + (x - graph.left) / zoom;
}

void ProfileWnd::MoveCursor(int x)
{
    if (restricted || !values || x < graph.left || x >= graph.right)
        return;
    const int sample = SampleAtColumn(x);
    if (sample < 0 || sample >= count || sample == cursor)
        return;
    cursor = sample;
    if (dc)
        DrawGraph(dc);
}

void ProfileWnd::OnMouseMove(int x, int y, WPARAM keys)
{
    if ((keys & MK_LBUTTON) && y >= graph.top && y < graph.bottom)
        MoveCursor(x);
}

void ProfileWnd::OnLButtonDown(int x, int y, WPARAM)
{
    if (y >= graph.top && y < graph.bottom)
        MoveCursor(x);
}

void ProfileWnd::OnRButtonDown(int x, int y, WPARAM)
{
    if (restricted || x < graph.left || x >= graph.right || y < graph.top || y >= graph.bottom)
        return;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    wchar_t format[64], text[80];
    if (!LoadStringW(hInstance, IDS_ZOOM_PERCENT, format, 64))
        lstrcpyW(format, L"Zoom %i%%");
    for (int z = 1; z <= 5; ++z) {
        wsprintfW(text, format, z * 100);
        AppendMenuW(menu, MF_STRING | (z == zoom ? MF_CHECKED : 0), z, text);
    }
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    const int choice = TrackPopup(menu, TPM_LEFTALIGN | TPM_TOPALIGN, p.x, p.y, hwnd);
    DestroyMenu(menu);
    if (choice >= 1 && choice <= 5)
        SetZoom(choice);
}

void ProfileWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    DrawGraph(paint.Dc());
}

void ProfileWnd::OnScrollSettled(void* cookie, DScroll*, int)
{
    ProfileWnd* self = static_cast<ProfileWnd*>(cookie);
    if (self->dc)
        self->DrawGraph(self->dc);
}

void ProfileWnd::OnCheckClicked(void* cookie, DButton* button)
{
    ProfileWnd* self = static_cast<ProfileWnd*>(cookie);
    button->SetCheck(!button->GetCheck());
    self->autoMax = self->autoMaxButton.GetCheck();
    self->autoMin = self->autoMinButton.GetCheck();
    if (self->dc)
        self->DrawGraph(self->dc);
}

void ProfileWnd::OnCloseClicked(void* cookie, DButton*)
{
    static_cast<ProfileWnd*>(cookie)->Destroy();
}

void ProfileWnd::OnAveragingSet(void* cookie, DUpDown*, int value)
{
    static_cast<ProfileWnd*>(cookie)->SetAveraging(value);
}
