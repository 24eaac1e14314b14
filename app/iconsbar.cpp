#include "app/iconsbar.h"

#include "app/iconsnimok.h"

#include "database/dberrors.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "images/viewer/mainviewwnd.h"
#include "images/files/xmgfile.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/wait_cursor.h"
#include "ui/window_errors.h"
#include "ui/gdi.h"

#include <string>

namespace {

bool gRegistered = false;
HICON gIcon = nullptr;
IconsBar* gCurrent = nullptr;
const DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

}  // namespace

static DMessageMapEntry barEntries[] = {
    MapMessage<WM_CREATE, &IconsBar::OnCreate>(),
    MapMessage<WM_DESTROY, &IconsBar::OnDestroy>(),
    MapMessage<WM_SIZE, &IconsBar::OnSize>(),
    MapMessage<WM_PAINT, &IconsBar::OnPaint>(),
    MapMessage<WM_CLOSE, &IconsBar::OnClose>(),
    MapMessage<WM_NCHITTEST, &IconsBar::OnNcHitTest>(),
    DMapEnd(),
};
DMessageMap IconsBar::messageMap = {-1, 0, barEntries};

bool IconsBar::RegisterClass()
{
    if (gRegistered)
        return true;
    gIcon = (HICON)LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_ICONSBAR), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    WindowClass cls{kClassName, CS_HREDRAW | CS_VREDRAW, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1))};
    cls.icon = gIcon;
    if (!DWindow::RegisterMapClass(cls)) {
        gIcon = nullptr;   // destroyed with the class that was not made
        return false;
    }
    gRegistered = true;
    return true;
}

void IconsBar::UnregisterClass()
{
    UnregisterClassOnce(gRegistered, kClassName, &gIcon);
}

IconsBar* IconsBar::Current()
{
    return gCurrent;
}

IconsBar::IconsBar() : owner_(this)
{
}

IconsBar::~IconsBar()
{
    if (hwnd)
        DestroyWindow(hwnd);
    strip_.Destroy();
}

int IconsBar::Run(HWND owner, DWORD patientKey, int x, int y, int flags)
{
    IconsBar bar;
    CreateParam param = {patientKey, x, y, flags};
    const std::wstring title = LoadText(IDS_PICTURES_WINDOW_TITLE);
    bool created = false;
    try {
        created = gRegistered && bar.Create(0, kClassName, title.c_str(), kStyle, x, y, 10, 10, owner, nullptr,
                                            hInstance, &param);
    } catch (const DODBErrors& e) {
        // Loading the patient failed while the window was being made: the
        // database's own text first, then the window's failure below.
        e.ShowMessage(owner, nullptr, MB_OK | MB_ICONHAND);
        created = false;
    } catch (...) {
        created = false;
    }
    if (!created || !bar.GetHwnd()) {
        if (bar.GetHwnd())
            DestroyWindow(bar.GetHwnd());
        MessageBoxId(owner, IDS_PICTURES_WINDOW_ERROR, MB_OK | MB_ICONHAND);
        return 0;
    }
    IconsBar* outer = gCurrent;
    gCurrent = &bar;
    ShowWindow(bar.GetHwnd(), SW_SHOW);
    MSG msg;
    while (bar.GetHwnd()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (!got) {
            // The program is ending: leave, and let the outer loop see it too.
            PostQuitMessage((int)msg.wParam);
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageShowing(msg, bar.GetHwnd());
    }
    if (bar.GetHwnd())
        DestroyWindow(bar.GetHwnd());
    gCurrent = outer;
    return 1;
}

RECT IconsBar::PlaceWindow(int x, int y, int flags, DWORD style, DWORD exStyle)
{
    RECT r = {0, 0, IconSnimok::CellWidth(), GetSystemMetrics(SM_CYSCREEN) - 70};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int W = r.right - r.left;
    int H = r.bottom - r.top;
    const int SW = GetSystemMetrics(SM_CXSCREEN), SH = GetSystemMetrics(SM_CYSCREEN);
    int left, top;
    if (flags & kRightEdgeAtX) {
        left = x > W ? x - W : 0;
    } else if (flags & kCentredOnX) {
        if (x < SW / 2)
            left = x > W / 2 ? x - W / 2 : 0;
        else
            left = SW - x > W / 2 ? x - W / 2 : SW - W;
    } else {
        left = SW - x <= W ? SW - W : x;
    }
    if (flags & kBottomEdgeAtY) {
        if (y <= H) {
            H = y;
            top = 0;
        } else {
            top = y - H;
        }
    } else if (flags & kCentredOnY) {
        if (y >= SH / 2) {
            if (SH - y <= H / 2)
                H = 2 * (SH - y);
            top = y - H / 2;
        } else if (y <= H / 2) {
            top = 0;
            H = 2 * y;
        } else {
            top = y - H / 2;
        }
    } else {
        top = y;
        if (SH - y < H)
            H = SH - y;
    }
    return RECT{left, top, left + W, top + H};
}

LRESULT IconsBar::OnCreate(HWND, LPARAM createStruct)
{
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    const CreateParam* param = static_cast<const CreateParam*>(cs->lpCreateParams);
    if (!param || !strip_.Create(hwnd, &owner_, nullptr))
        return -1;
    strip_.LoadPatient(param->patientKey);   // a database error fails the creation
    const RECT r = PlaceWindow(param->x, param->y, param->flags, (DWORD)GetWindowLongW(hwnd, GWL_STYLE),
                               (DWORD)GetWindowLongW(hwnd, GWL_EXSTYLE));
    MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    return 0;
}

void IconsBar::OnDestroy()
{
    strip_.Destroy();
    owner_.note.Destroy();
}

void IconsBar::OnSize(int width, int height, WPARAM)
{
    strip_.Layout(0, 0, width, height);
}

void IconsBar::OnPaint()
{
    DPaintScope paint(hwnd);   // the buttons cover the bar: nothing of its own to draw
}

void IconsBar::OnClose()
{
    DestroyWindow(hwnd);
}

LRESULT IconsBar::OnNcHitTest(int x, int y)
{
    const LRESULT hit = DefWindowProcW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y));
    return hit == HTCAPTION ? HTCLIENT : hit;
}

int IconsBar::StripOwner::OpenImage(DWORD imageKey, const wchar_t* fileName)
{
    gWaitCursor.Begin();
    try {
        DPicturePtr picture = LoadPictureFileEx(imageKey, fileName, bar_->GetHwnd());
        if (picture.Get())
            ShowMainViewAgain(picture);
    } catch (...) {
        gWaitCursor.End();
        throw;
    }
    gWaitCursor.End();
    // Whether or not the picture could be had, the choice is made: the window goes.
    if (bar_->GetHwnd())
        DestroyWindow(bar_->GetHwnd());
    return 1;
}

void IconsBar::StripOwner::ShowNote(DWORD imageKey, DWORD patientKey)
{
    try {
        if (note.GetHwnd())
            note.ChangeSnimok(imageKey, patientKey);
        else
            note.Create(bar_->GetHwnd(), false, imageKey, patientKey);
    } catch (const DODBErrors& e) {
        e.ShowMessage(bar_->GetHwnd(), nullptr, MB_OK | MB_ICONHAND);
    }
}
