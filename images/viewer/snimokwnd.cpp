// The image view: creation, placement in its cell, the caption strip and
// painting. Tools are in snimokwnd_tools.cpp, picture operations in
// snimokwnd_ops.cpp.
#include "images/viewer/snimokwnd.h"

#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "images/viewer/viewhost.h"
#include "resources/resource.h"
#include "ui/gdi.h"

namespace {

// Class resources, made at registration.
struct ViewClassResources {
    HCURSOR normalCursor = nullptr;
    HCURSOR dragCursor = nullptr;
    HCURSOR startMarker = nullptr;
    HCURSOR endMarker = nullptr;
    HPEN linePen = nullptr;       // 0x008000: the line while it is drawn
    HBRUSH greyBrush = nullptr;   // 0xC0C0C0: a view without a picture
    bool registered = false;
};
ViewClassResources gView;

void FillPalette(GreyDibHeader& h, bool inverted)
{
    ZeroMemory(&h, sizeof h);
    h.header.biSize = sizeof(BITMAPINFOHEADER);
    h.header.biPlanes = 1;
    h.header.biBitCount = 8;
    h.header.biCompression = BI_RGB;
    for (int i = 0; i < 256; ++i) {
        const BYTE v = (BYTE)(inverted ? 255 - i : i);
        h.colors[i] = RGBQUAD{v, v, v, 0};
    }
}

}  // namespace

HCURSOR SnimokCursor(int which)
{
    switch (which) {
    case 0: return gView.normalCursor;
    case 1: return gView.dragCursor;
    case 2: return gView.startMarker;
    default: return gView.endMarker;
    }
}

HPEN SnimokLinePen()
{
    return gView.linePen;
}

static DMessageMapEntry viewEntries[] = {
    MapMessage<WM_CREATE, &SnimokWnd::OnCreate>(),
    MapMessage<WM_DESTROY, &SnimokWnd::OnDestroy>(),
    MapMessage<WM_SIZE, &SnimokWnd::OnSize>(),
    MapMessage<WM_PAINT, &SnimokWnd::OnPaint>(),
    MapMessage<WM_NCCALCSIZE, &SnimokWnd::OnNcCalcSize>(),
    MapMessage<WM_NCPAINT, &SnimokWnd::OnNcPaint>(),
    MapMessage<WM_NCHITTEST, &SnimokWnd::OnNcHitTest>(),
    MapMessage<WM_MOUSEACTIVATE, &SnimokWnd::OnMouseActivate>(),
    MapMessage<WM_MOUSEMOVE, &SnimokWnd::OnMouseMove>(),
    MapMessage<WM_LBUTTONDOWN, &SnimokWnd::OnLButtonDown>(),
    MapMessage<WM_LBUTTONUP, &SnimokWnd::OnLButtonUp>(),
    MapMessage<WM_RBUTTONDOWN, &SnimokWnd::OnRButtonDown>(),
    MapMessage<WM_CAPTURECHANGED, &SnimokWnd::OnCaptureChanged>(),
    MapMessage<WM_CANCELMODE, &SnimokWnd::OnCancelMode>(),
    DMapEnd(),
};
DMessageMap SnimokWnd::messageMap = {-1, 0, viewEntries};

bool SnimokWnd::RegisterClass()
{
    if (gView.registered)
        return true;
    HCURSOR normal = LoadCursorW(hInstance, MAKEINTRESOURCEW(IDC_SNIMOK_NORMAL));
    WindowClass cls{kClassName, CS_DBLCLKS | CS_OWNDC | CS_NOCLOSE};
    cls.cursor = normal ? normal : LoadCursorW(nullptr, IDC_ARROW);
    if (!DWindow::RegisterMapClass(cls)) {
        if (normal)
            DestroyCursor(normal);
        return false;
    }
    gView.normalCursor = cls.cursor;
    gView.dragCursor = LoadCursorW(hInstance, MAKEINTRESOURCEW(IDC_SNIMOK_DRAG));
    if (!gView.dragCursor)
        gView.dragCursor = LoadCursorW(nullptr, IDC_SIZEALL);
    gView.startMarker = LoadCursorW(hInstance, MAKEINTRESOURCEW(IDC_LINE_START));
    gView.endMarker = LoadCursorW(hInstance, MAKEINTRESOURCEW(IDC_LINE_END));
    gView.linePen = CreatePen(PS_SOLID, 1, 0x008000);
    gView.greyBrush = CreateSolidBrush(0xC0C0C0);
    gView.registered = true;
    return true;
}

void SnimokWnd::UnregisterClass()
{
    if (!gView.registered)
        return;
    ::UnregisterClassW(kClassName, hInstance);
    if (gView.linePen)
        DeleteObject(gView.linePen);
    if (gView.greyBrush)
        DeleteObject(gView.greyBrush);
    // Cursors loaded from the program's resources are shared and need no
    // destruction; nor do the system cursors taken when one is missing.
    gView = ViewClassResources();
}

bool RegisterSnimokWnd()
{
    return SnimokWnd::RegisterClass();
}

void UnregisterSnimokWnd()
{
    SnimokWnd::UnregisterClass();
}

SnimokWnd::SnimokWnd()
{
    FillPalette(normalHeader, false);
    FillPalette(invertedHeader, true);
    if (GetViewerServices().newNote)
        note.reset(GetViewerServices().newNote());
}

SnimokWnd::~SnimokWnd()
{
    Destroy();
}

int SnimokWnd::Create(HWND parentWindow, const DPicturePtr& newPicture, int x, int y, int w, int h,
                      bool withCaption)
{
    if (hwnd)
        return 0;
    parent = parentWindow;
    hasCaption = withCaption;
    captionHeight = hasCaption ? GetSystemMetrics(SM_CYCAPTION) : 0;
    cell = RECT{x, y, w, h};
    if (!DWindow::Create(WS_EX_NOPARENTNOTIFY, kClassName, L"", WS_CHILD, 0, 0, 0, 0, parent, nullptr, hInstance,
                         nullptr))
        return 0;
    SetPosition(x, y, w, h);
    if (!AttachSnimok(newPicture)) {
        Destroy();
        return 0;
    }
    Show(SW_SHOW);
    Update();
    return 1;
}

int SnimokWnd::AttachSnimok(const DPicturePtr& newPicture)
{
    if (picture.Get()) {
        EndTool();
        profile.Destroy();
        renderer.SetPicture(nullptr);
        picture.Reset();
    }
    if (note)
        note->Destroy();
    picture = newPicture;
    renderer.SetPicture(picture.Get());
    if (!picture.Get()) {
        if (hwnd)
            SetText(L"");
        moveHandler = &SnimokWnd::MoveIdle;
        SizeWindow(cell.right, cell.bottom);
        DrawCaptionStrip();
        return 1;
    }
    wchar_t caption[64];
    FormatImageCaption(picture.Get(), caption, 64);
    if (hwnd)
        SetText(caption);
    moveHandler = &SnimokWnd::MoveReadout;
    renderer.UpdateLut();
    SetScale(picture->scale, picture->viewCentreX, picture->viewCentreY);
    DrawCaptionStrip();
    if (SnimokHost* host = GetSnimokHost())
        host->SetLevelScrolls(this, 1);
    return 1;
}

void FormatImageCaption(const DPicture* picture, wchar_t* text, int capacity)
{
    if (!text || capacity <= 0)
        return;
    text[0] = 0;
    if (picture && FormatFileTime(text, capacity, DateTimePicture, &picture->imageDate) < 0)
        text[0] = 0;
}

void SnimokWnd::SetActive(bool flag)
{
    if (flag == active)
        return;
    active = flag;
    if (hasCaption)
        DrawCaptionStrip();
}

int SnimokWnd::SetCaptionMode(bool withCaption, bool move, int x, int y, int w, int h)
{
    if (withCaption != hasCaption) {
        hasCaption = withCaption;
        return move ? SetPosition(x, y, w, h) : SetPosition(cell.left, cell.top, cell.right, cell.bottom);
    }
    return move ? SetPosition(x, y, w, h) : 1;
}

int SnimokWnd::SetPosition(int x, int y, int w, int h)
{
    cell = RECT{x, y, w, h};
    captionHeight = hasCaption ? GetSystemMetrics(SM_CYCAPTION) : 0;
    renderer.SetZoomArea(w, h - captionHeight);
    if (!renderer.AllocRenderBuffers(w, h)) {
        SizeWindow(w, h);
        return 0;
    }
    if (picture.Get())
        SetScale(picture->scale, picture->viewCentreX, picture->viewCentreY);
    else
        SizeWindow(w, h);
    return 1;
}

void SnimokWnd::SetScale(double scale, int centreX, int centreY)
{
    if (!picture.Get())
        return;
    // A factor of 0 or less is shown at 1.0 and kept as it was asked for; only
    // a value that is no number at all (from a damaged row) becomes 1.0.
    if (scale != scale)
        scale = 1.0;
    // No room for the picture (a caption taller than the cell): nothing to
    // divide by, so the view shows nothing until it gets a real cell.
    if (cell.right <= 0 || cell.bottom - captionHeight <= 0 || !renderer.GetBits() || picture->width <= 0 ||
        picture->height <= 0) {
        renderer.SetViewSize(0, 0);
        SizeWindow(0, 0);
        return;
    }
    renderer.SetScale(scale, centreX, centreY);
    SizeWindow(renderer.GetViewWidth(), renderer.GetViewHeight());
}

void SnimokWnd::SizeWindow(int vw, int vh)
{
    int ww = cell.right, wh = cell.bottom;
    if (picture.Get()) {
        ww = vw;
        wh = vh + captionHeight;
    }
    if (ww < 0)
        ww = 0;
    if (wh < 0)
        wh = 0;
    if (!hwnd)
        return;
    SetWindowPos(hwnd, nullptr, cell.left + (cell.right - ww) / 2, cell.top + (cell.bottom - wh) / 2, ww, wh,
                 SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
}

void SnimokWnd::Redraw()
{
    if (dc)
        Paint(dc);
}

void SnimokWnd::PaintBufferPart(HDC target, const RECT& area)
{
    const int saved = SaveDC(target);
    IntersectClipRect(target, area.left, area.top, area.right, area.bottom);
    const int vw = renderer.GetViewWidth(), vh = renderer.GetViewHeight();
    if (picture.Get() && renderer.GetBits() && vw > 0 && vh > 0) {
        GreyDibHeader& h = picture->negative ? invertedHeader : normalHeader;
        h.header.biWidth = vw;
        h.header.biHeight = -vh;
        SetDIBitsToDevice(target, 0, 0, vw, vh, 0, 0, 0, vh, renderer.GetBits(),
                          reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS);
    }
    RestoreDC(target, saved);
}

void SnimokWnd::Paint(HDC target)
{
    const int vw = renderer.GetViewWidth(), vh = renderer.GetViewHeight();
    if (picture.Get() && renderer.GetBits() && vw > 0 && vh > 0) {
        GreyDibHeader& h = picture->negative ? invertedHeader : normalHeader;
        h.header.biWidth = vw;
        h.header.biHeight = -vh;
        SetDIBitsToDevice(target, 0, 0, vw, vh, 0, 0, 0, vh, renderer.GetBits(),
                          reinterpret_cast<const BITMAPINFO*>(&h), DIB_RGB_COLORS);
        if (profile.Exists())
            DrawProfileOverlay(target);
    } else if (hwnd) {
        RECT r;
        GetClientRect(&r);
        FillRect(target, &r, gView.greyBrush ? gView.greyBrush : (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    }
}

void SnimokWnd::DrawCaptionStrip()
{
    if (!hwnd || !hasCaption || captionHeight <= 0)
        return;
    HDC wdc = GetWindowDC(hwnd);
    if (!wdc)
        return;
    RECT w;
    GetWindowRect(&w);
    RECT strip = {0, 0, w.right - w.left, captionHeight - 1};
    DrawCaption(hwnd, wdc, &strip, DC_TEXT | (active ? DC_ACTIVE : 0));
    RECT rest = {0, captionHeight - 1, w.right - w.left, captionHeight};
    FillRect(wdc, &rest, GetSysColorBrush(COLOR_BTNFACE));
    ::ReleaseDC(hwnd, wdc);
}

LRESULT SnimokWnd::OnCreate(HWND, LPARAM)
{
    moveHandler = &SnimokWnd::MoveIdle;
    renderer.SetSmooth(1);
    dc = GetDC();
    return 0;
}

void SnimokWnd::OnDestroy()
{
    if (toolActive || cursorHidden) {
        toolActive = false;
        ShowCursorAgain();
    }
    toolState = kStateNone;
    if (dc)
        ReleaseDC(dc);
    dc = nullptr;
    profile.Destroy();
    if (note)
        note->Destroy();
    renderer.SetPicture(nullptr);
    renderer.FreeRenderBuffers();
    picture.Reset();
    if (GetSnimokHost() && active)
        active = false;
}

void SnimokWnd::OnSize(int width, int height, WPARAM)
{
    renderer.SetViewSize(width, height);
}

void SnimokWnd::OnPaint()
{
    DPaintScope paint(hwnd);
    Paint(paint.Dc());
}

LRESULT SnimokWnd::OnNcCalcSize(WPARAM, LPARAM params)
{
    RECT* r = reinterpret_cast<RECT*>(params);
    r->top += captionHeight;
    if (r->top > r->bottom)
        r->top = r->bottom;
    return 0;
}

void SnimokWnd::OnNcPaint(WPARAM)
{
    DrawCaptionStrip();
}

LRESULT SnimokWnd::OnNcHitTest(int x, int y)
{
    RECT w;
    GetWindowRect(&w);
    if (x < w.left || x >= w.right || y < w.top || y >= w.bottom)
        return HTNOWHERE;
    return y - w.top < captionHeight ? HTBORDER : HTCLIENT;
}

LRESULT SnimokWnd::OnMouseActivate(WPARAM, int, int)
{
    if (SnimokHost* host = GetSnimokHost())
        host->SetActiveView(this);
    return MA_ACTIVATE;
}
