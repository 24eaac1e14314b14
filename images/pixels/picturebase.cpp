#include "images/pixels/picturebase.h"

#include "images/pixels/pixmem.h"
#include "images/pixels/rasterkernels.h"

#include <math.h>
#include <string.h>

#include <utility>

namespace {

const int kAfterClockwise[8] = {4, 6, 5, 7, 3, 1, 2, 0};
const int kAfterCounterClockwise[8] = {7, 5, 6, 4, 0, 2, 1, 3};

// x * num / den in 64 bits, truncated toward zero; x when den is 0.
inline int Scale64(int x, int num, int den)
{
    return den == 0 ? x : (int)((int64_t)x * num / den);
}

} // namespace

DPictureBase::DPictureBase(int w, int h)
{
    AllocBuffers(w, h);
}

DPictureBase::~DPictureBase()
{
    if (work != source)
        FreePixels(work);
    FreePixels(source);
    FreePixels(full);
}

uint16_t* DPictureBase::AllocPixels(int w, int h)
{
    return AllocRaster(w, h);
}

void DPictureBase::FreePixels(uint16_t* pixels)
{
    PixelFree(pixels);
}

bool DPictureBase::AllocBuffers(int w, int h)
{
    if (source && work)
        return false;
    uint16_t* newSource = AllocPixels(w, h);
    if (!newSource)
        return false;
    uint16_t* newWork = AllocPixels(w, h);
    if (!newWork) {
        FreePixels(newSource);
        return false;
    }
    FreePixels(source);
    FreePixels(work);
    source = newSource;
    work = newWork;
    width = zoomedWidth = w;
    height = zoomedHeight = h;
    return true;
}

bool DPictureBase::AllocShared(int w, int h, bool* fresh)
{
    if (source || work)
        return false;
    uint16_t* pixels = AllocRasterForOverwrite(w, h, fresh);
    if (!pixels)
        return false;
    source = work = pixels;
    width = zoomedWidth = w;
    height = zoomedHeight = h;
    return true;
}

bool DPictureBase::AllocSource()
{
    uint16_t* p = AllocPixels(width, height);
    if (!p)
        return false;
    SetSource(p);
    return true;
}

bool DPictureBase::AllocWork()
{
    uint16_t* p = AllocPixels(width, height);
    if (!p)
        return false;
    SetWork(p);
    return true;
}

void DPictureBase::SetSource(uint16_t* pixels)
{
    // A shared raster stays on as the work raster: it still shows what the
    // source held.
    if (pixels != source && source != work)
        FreePixels(source);
    source = pixels;
}

void DPictureBase::SetWork(uint16_t* pixels)
{
    if (pixels != work && work != source)
        FreePixels(work);
    work = pixels;
}

int DPictureBase::ImageToView(int x) const
{
    return Scale64(x, fullWidth, width);
}

int DPictureBase::ViewToImage(int x) const
{
    return Scale64(x, width, fullWidth);
}

int DPictureBase::MapX(int x) const
{
    if (zoom == 1.0)
        return x - viewOriginX;
    return Scale64(x, zoomedWidth, width) - viewOriginX;
}

int DPictureBase::MapY(int y) const
{
    if (zoom == 1.0)
        return y - viewOriginY;
    return Scale64(y, zoomedHeight, height) - viewOriginY;
}

void DPictureBase::MapRect(const PixelRect& in, PixelRect& out) const
{
    PixelRect r = {MapX(in.left), MapY(in.top), MapX(in.right), MapY(in.bottom)};
    out = r;
}

// ---- turning and mirroring ----

int DPictureBase::Transform(void (*kernel)(const uint16_t*, uint16_t*, int, int), bool swapsAxes, int newOrientation)
{
    if (!source || width <= 0 || height <= 0)
        return 0;
    const bool reduced = (stateFlags & kReduced) && full;
    uint16_t* newFull = nullptr;
    if (reduced && !(newFull = AllocPixels(fullWidth, fullHeight)))
        return 0;
    // The work raster takes the turned pixels, unless it is the source itself.
    uint16_t* target = work != source ? work : nullptr;
    if (!target && !(target = AllocRasterForOverwrite(width, height))) {
        FreePixels(newFull);
        return 0;
    }
    if (reduced) {
        kernel(full, newFull, fullWidth, fullHeight);
        FreePixels(full);
        full = newFull;
        if (swapsAxes) {
            std::swap(fullWidth, fullHeight);
            std::swap(fullSpacingX, fullSpacingY);
        }
    }
    kernel(source, target, width, height);
    work = source;
    source = target;
    if (swapsAxes) {
        std::swap(width, height);
        std::swap(spacingX, spacingY);
    }
    orientation = newOrientation;
    return 1;
}

int DPictureBase::MirrorHorizontal()
{
    return Transform(::MirrorHorizontal, false, orientation ^ 2);
}

int DPictureBase::FlipVertical()
{
    return Transform(::MirrorVertical, false, orientation ^ 1);
}

int DPictureBase::RotateClockwise()
{
    return Transform(::Rotate90CW, true, kAfterClockwise[orientation & 7]);
}

int DPictureBase::RotateCounterClockwise()
{
    return Transform(::Rotate90CCW, true, kAfterCounterClockwise[orientation & 7]);
}

int DPictureBase::ApplyOrientation()
{
    if (orientation == 0)
        return 1;
    CopyKernel kernel = OrientationKernel(orientation);
    if (!kernel)
        return 0;
    return Transform(kernel, (orientation & 4) != 0, orientation);
}

void DPictureBase::SelectKernel(uint16_t* dst) const
{
    CopyKernel kernel = InverseOrientationKernel(orientation);
    if (kernel && source && dst)
        kernel(source, dst, width, height);
}

// ---- reduction ----

void DPictureBase::Reduce(int factor)
{
    if (factor != -1 && factor < 2)
        throw kInvalidParameter;
    const bool reduced = (stateFlags & kReduced) && full;
    const uint16_t* from = reduced ? full : source;
    const int fw = reduced ? fullWidth : width, fh = reduced ? fullHeight : height;
    if (!from)
        throw kInvalidParameter;
    const int nw = factor == -1 ? (int)((int64_t)fw * 2 / 3) : fw / factor;
    const int nh = factor == -1 ? (int)((int64_t)fh * 2 / 3) : fh / factor;
    if (nw <= 0 || nh <= 0)
        throw kInvalidParameter;

    // One raster, written whole by the kernel: the work raster shares it
    // until ApplySharpen gives the work a raster of its own (only a
    // sharpening needs one), so nothing is allocated to be thrown away.
    uint16_t* newSource = AllocRasterForOverwrite(nw, nh);
    if (!newSource)
        throw PixelAllocError();
    if (factor == -1)
        ReduceTwoThirds(newSource, from, fw, fh, nw, nh);
    else
        ReduceBoxAverage(newSource, from, fw, fh, nw, nh, factor);

    uint16_t* oldWork = work != source ? work : nullptr;
    if (reduced) {
        FreePixels(source);
    } else {
        full = source;
        fullWidth = width;
        fullHeight = height;
        fullSpacingX = spacingX;
        fullSpacingY = spacingY;
        stateFlags |= kReduced;
    }
    FreePixels(oldWork);
    source = newSource;
    work = newSource;
    width = nw;
    height = nh;
    const double divisor = factor == -1 ? 1.5 : (double)factor;
    spacingX = fullSpacingX / divisor;
    spacingY = fullSpacingY / divisor;
    reduction = factor;
}

bool DPictureBase::RestoreFullSize()
{
    if (!(stateFlags & kReduced) || !full)
        return false;
    uint16_t* newWork = AllocPixels(fullWidth, fullHeight);
    if (!newWork)
        return false;
    if (work != source)
        FreePixels(work);
    FreePixels(source);
    source = full;
    full = nullptr;
    work = newWork;
    width = fullWidth;
    height = fullHeight;
    spacingX = fullSpacingX;
    spacingY = fullSpacingY;
    reduction = 0;
    stateFlags &= ~kReduced;
    return true;
}

void DPictureBase::FreeSaved()
{
    FreePixels(full);
    full = nullptr;
    reduction = 0;
    // Without the kept raster the picture is no longer in the reduced state:
    // a later turn would otherwise transform a raster that is gone.
    stateFlags &= ~kReduced;
}

// ---- work raster and filters ----

bool DPictureBase::RefreshWork()
{
    if (!source)
        return false;
    // The work raster becomes the source itself rather than a copy of it: no
    // copy, and no second raster until something needs its own (a sharpening
    // or a turn).
    SetWork(source);
    sharpenAmount = 0;
    return true;
}

int DPictureBase::Sharpen(int k)
{
    if (!source)
        return 0;
    uint16_t* target = work != source ? work : nullptr;
    const bool fresh = !target;
    if (fresh && !(target = AllocRasterForOverwrite(width, height)))
        return 0;
    if (!SharpenRaster(source, target, width, height, k)) {
        if (fresh)
            FreePixels(target);
        return 0;
    }
    SetWork(target);
    sharpenAmount = k;
    return 1;
}

int DPictureBase::ApplySharpen()
{
    if (sharpenAmount == 0)
        return RefreshWork() ? 1 : 0;
    return Sharpen(sharpenAmount);
}

bool DPictureBase::FilterImpulseNoise()
{
    if (!source)
        return false;
    uint16_t* filtered = AllocRasterForOverwrite(width, height);
    if (!filtered)
        return false;
    FilterImpulseNoiseRaster(source, filtered, width, height);
    SetSource(filtered);
    return true;
}

// ---- display windows ----

bool DPictureBase::ClipRect(const PixelRect* rect, PixelRect& r) const
{
    if (!rect) {
        r = {0, 0, width, height};
    } else {
        r = *rect;
        if (r.left > r.right)
            std::swap(r.left, r.right);
        if (r.top > r.bottom)
            std::swap(r.top, r.bottom);
        r.left = r.left < 0 ? 0 : r.left;
        r.top = r.top < 0 ? 0 : r.top;
        r.right = r.right > width ? width : r.right;
        r.bottom = r.bottom > height ? height : r.bottom;
    }
    return r.left < r.right && r.top < r.bottom;
}

void DPictureBase::AutoWindow(const PixelRect* rect, int* offset, int* widthOut, bool useSource) const
{
    const uint16_t* pixels = useSource ? source : work;
    PixelRect r;
    if (!pixels || !ClipRect(rect, r))
        return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if ((int64_t)w * h < 2)
        return;
    const uint16_t* first = pixels + (size_t)r.top * width + r.left;
    int lo, hi;
    ImageStats::MinMax(first, w, h, width, lo, hi);
    const double mean = ImageStats::Mean(first, w, h, width);
    const double sd = ImageStats::StdDev(first, w, h, width, mean);
    int off = (int)(3 * sd - mean);
    int wid = (int)(6 * sd);
    if (hi - lo >= wid) {
        if (off > 0) {
            wid -= off;
            off = 0;
        }
        if (off > -lo)
            off = -lo;
    } else {
        off = -lo;
        wid = hi - lo;
    }
    *offset = off;
    *widthOut = wid;
}

void DPictureBase::RangeWindow(const PixelRect* rect, int* offset, int* widthOut, bool useSource) const
{
    const uint16_t* pixels = useSource ? source : work;
    PixelRect r;
    if (!pixels || !ClipRect(rect, r))
        return;
    int lo, hi;
    ImageStats::MinMax(pixels + (size_t)r.top * width + r.left, r.right - r.left, r.bottom - r.top, width, lo, hi);
    *offset = -lo;
    *widthOut = hi - lo > 1 ? hi - lo : 1;
}
