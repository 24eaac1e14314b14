// The picture operations of the image view: window/level from a region, the
// note, turns and mirrors, reduction and restoration.
#include "images/viewer/snimokwnd.h"

#include "database/dberrors.h"

#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "images/viewer/viewerstore.h"
#include "images/viewer/viewhost.h"
#include "resources/strings.h"

namespace {

void RefreshParent(HWND parent, SnimokWnd* view)
{
    if (parent)
        RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    view->Redraw();
}

// x * to / from in 64 bits (a raster point on another raster's scale).
int Rescale(int x, int to, int from)
{
    return from > 0 ? (int)((long long)x * to / from) : x;
}

}  // namespace

void SnimokWnd::AutoWindowLevel(int minMax, SnimokWnd* view, const ToolArea* rect)
{
    if (!view || !view->picture.Get())
        return;
    DPicture* p = view->picture.Get();
    PixelRect r;
    const PixelRect* area = nullptr;
    if (rect) {
        r = PixelRect{rect->x0, rect->y0, rect->x1, rect->y1};
        area = &r;
    }
    int offset = p->displayOffset, width = p->displayWidth;
    if (minMax)
        p->RangeWindow(area, &offset, &width, false);
    else
        p->AutoWindow(area, &offset, &width, false);
    p->displayOffset = offset;
    p->displayWidth = width;
    if (SnimokHost* host = GetSnimokHost())
        host->SetLevelScrolls(view, 0);
    view->UpdateLut();
    view->Render();
}

void SnimokWnd::OpenNote()
{
    if (!picture.Get())
        return;
    if (!picture->stored) {
        if (MessageBoxId(hwnd, IDS_PICTURE_NOT_SAVED, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        if (!GetViewerStore().saveNewImage(picture.Get(), renderer.GetLut()))
            return;
    }
    if (!note)
        return;
    // The note's database errors are shown here, over the view.
    try {
        note->Create(hwnd, true, picture->imageId, picture->patient.GetPatientId());
    } catch (const DODBErrors& e) {
        e.ShowMessage(hwnd, nullptr, MB_OK | MB_ICONHAND);
    }
}

// After a turn or mirror: the work raster again, then the zoom around the
// point that was in the middle of the view.
int SnimokWnd::AfterTurn(int changed, int cx, int cy, bool redrawOnly)
{
    if (!changed)
        return 0;
    picture->ApplySharpen();
    SetScale(picture->scale, cx, cy);
    if (redrawOnly)
        Redraw();
    else
        RefreshParent(parent, this);
    return 1;
}

int SnimokWnd::FlipHorizontal()
{
    if (!picture.Get())
        return 0;
    const int cx = picture->viewCentreX, cy = picture->viewCentreY, w = picture->width;
    return AfterTurn(picture->MirrorHorizontal(), w - cx, cy, false);
}

int SnimokWnd::FlipVertical()
{
    if (!picture.Get())
        return 0;
    const int cx = picture->viewCentreX, cy = picture->viewCentreY, h = picture->height;
    return AfterTurn(picture->FlipVertical(), cx, h - cy, true);
}

int SnimokWnd::RotateClockwise()
{
    if (!picture.Get())
        return 0;
    const int cx = picture->viewCentreX, cy = picture->viewCentreY, h = picture->height;
    return AfterTurn(picture->RotateClockwise(), h - cy, cx, false);
}

int SnimokWnd::RotateCounterClockwise()
{
    if (!picture.Get())
        return 0;
    const int cx = picture->viewCentreX, cy = picture->viewCentreY, w = picture->width;
    return AfterTurn(picture->RotateCounterClockwise(), cy, w - cx, false);
}

int SnimokWnd::ReduceResolution(int factor)
{
    if (!picture.Get())
        return 0;
    DPicture* p = picture.Get();
    int cx = ViewToImageX(GetViewWidth() / 2), cy = ViewToImageY(GetViewHeight() / 2);
    profile.Destroy();
    if ((p->stateFlags & DPictureBase::kReduced) && p->full) {
        cx = Rescale(cx, p->fullWidth, p->width);
        cy = Rescale(cy, p->fullHeight, p->height);
    }
    try {
        p->Reduce(factor);
    } catch (...) {
        // The picture is as it was: the view keeps showing it.
        Render();
        Redraw();
        return 0;
    }
    const int sharpened = p->ApplySharpen();
    // The raster has a new size whatever the sharpening did: the zoom, the
    // maps and the buffer must follow it before anything renders again.
    SetScale(p->scale, Rescale(cx, p->width, p->fullWidth), Rescale(cy, p->height, p->fullHeight));
    RefreshParent(parent, this);
    return sharpened ? 1 : 0;
}

int SnimokWnd::RestoreResolution()
{
    if (!picture.Get())
        return 0;
    DPicture* p = picture.Get();
    if (!(p->stateFlags & DPictureBase::kReduced) || !p->full)
        return 0;
    const int cx = Rescale(ViewToImageX(GetViewWidth() / 2), p->fullWidth, p->width);
    const int cy = Rescale(ViewToImageY(GetViewHeight() / 2), p->fullHeight, p->height);
    profile.Destroy();
    if (!p->RestoreFullSize())
        return 0;
    p->ApplySharpen();
    SetScale(p->scale, cx, cy);
    RefreshParent(parent, this);
    return 1;
}

void SnimokWnd::OnProfileClosed(ProfileWnd*)
{
    Redraw();
}
