#include "images/pixels/displayrenderer.h"

#include "images/pixels/pixhelpers.h"
#include "images/pixels/pixmem.h"
#include "images/pixels/renderkernels.h"

#include <math.h>
#include <string.h>

namespace {

inline int RoundUp(int v, int m)
{
    return (v + m - 1) / m * m;
}

inline int Min(int a, int b)
{
    return a < b ? a : b;
}

inline int Max(int a, int b)
{
    return a > b ? a : b;
}

} // namespace

DisplayRenderer::DisplayRenderer()
    : picture(nullptr), buffer(nullptr), mapIndex(nullptr), mapFraction(nullptr), mapRowStart(0), bufferWidth(0),
      bufferHeight(0), zoomAreaWidth(0), zoomAreaHeight(0), viewWidth(0), viewHeight(0), stride(0), smooth(1), mapKey()
{
    memset(lut, 0, sizeof lut);
}

DisplayRenderer::~DisplayRenderer()
{
    FreeRenderBuffers();
}

void DisplayRenderer::SetPicture(DPictureBase* p)
{
    picture = p;
    UpdateLut();
}

void DisplayRenderer::UpdateLut()
{
    if (picture)
        BuildDisplayLut(lut, picture->displayOffset, picture->displayWidth, picture->gammaPercent / 100.0);
}

bool DisplayRenderer::AllocRenderBuffers(int w, int h)
{
    if (buffer && w == bufferWidth && h == bufferHeight)
        return true;
    FreeRenderBuffers();
    if (w <= 0 || h <= 0)
        return false;
    const int columns = RoundUp(w, 16);
    const size_t entries = (size_t)columns + (size_t)h;
    buffer = static_cast<uint8_t*>(PixelAlloc((size_t)RoundUp(w, 4) * (size_t)h));
    mapIndex = buffer ? static_cast<int32_t*>(PixelAlloc(entries * sizeof(int32_t))) : nullptr;
    mapFraction = mapIndex ? static_cast<uint16_t*>(PixelAlloc(entries * sizeof(uint16_t))) : nullptr;
    if (!mapFraction) {
        FreeRenderBuffers();
        return false;
    }
    mapRowStart = columns;
    bufferWidth = w;
    bufferHeight = h;
    SetViewSize(viewWidth, viewHeight);
    return true;
}

void DisplayRenderer::FreeRenderBuffers()
{
    PixelFree(buffer);
    PixelFree(mapIndex);
    PixelFree(mapFraction);
    buffer = nullptr;
    mapIndex = nullptr;
    mapFraction = nullptr;
    mapKey = MapKey();
    bufferWidth = bufferHeight = 0;
    viewWidth = viewHeight = stride = 0;
}

void DisplayRenderer::SetZoomArea(int w, int h)
{
    zoomAreaWidth = Max(w, 0);
    zoomAreaHeight = Max(h, 0);
}

void DisplayRenderer::SetViewSize(int w, int h)
{
    viewWidth = Max(0, Min(w, bufferWidth));
    viewHeight = Max(0, Min(h, bufferHeight));
    stride = RoundUp(viewWidth, 4);
}

bool DisplayRenderer::Ready() const
{
    return picture && picture->work && picture->width > 0 && picture->height > 0 && buffer;
}

void DisplayRenderer::SetScale(double scale, int cx, int cy)
{
    if (!picture || picture->width <= 0 || picture->height <= 0)
        return;
    DPictureBase& p = *picture;
    const int W = p.width, H = p.height, AW = zoomAreaWidth, AH = zoomAreaHeight;
    // No room to show anything (a caption taller than the cell): a fit would
    // make the zoom 0 and every later division by it meaningless.
    if (AW <= 0 || AH <= 0) {
        SetViewSize(0, 0);
        return;
    }
    double z;
    int zw, zh;
    if (scale == -1.0) {
        z = (double)AW / W;
        zw = AW;
        zh = (int)(H * z);
        cx = W / 2;
    } else if (scale == -2.0) {
        z = (double)AH / H;
        zh = AH;
        zw = (int)(W * z);
        cy = H / 2;
    } else if (scale == -3.0) {
        double zx = (double)AW / W, zy = (double)AH / H;
        if (zx < zy) {
            z = zx;
            zw = AW;
            zh = (int)(H * z);
        } else {
            z = zy;
            zh = AH;
            zw = (int)(W * z);
        }
        cx = W / 2;
        cy = H / 2;
    } else {
        z = scale > 0 ? scale : 1.0;
        // A factor read from the database may be anything: the zoomed size
        // must still be a number of pixels.
        const double most = (double)(1 << 30) / (W > H ? W : H);
        if (!(z <= most))
            z = most;
        zw = (int)(W * z);
        zh = (int)(H * z);
    }
    const int vw = Min(zw, AW), vh = Min(zh, AH);
    p.zoomedWidth = zw;
    p.zoomedHeight = zh;
    p.scale = scale;
    p.viewCentreX = cx;
    p.viewCentreY = cy;
    p.zoom = z;
    // In floating point until clamped: a centre far off the picture would
    // overflow the integer.
    auto origin = [](double at, int view, int zoomed) {
        if (at + view > zoomed)
            at = zoomed - view;
        return at < 0 ? 0 : (int)at;
    };
    const int ox = origin(trunc(cx * z - vw / 2), vw, zw);
    const int oy = origin(trunc(cy * z - vh / 2), vh, zh);
    p.viewOriginX = ox;
    p.viewOriginY = oy;
    SetViewSize(vw, vh);
    BuildScaleMaps();
    Render();
}

void DisplayRenderer::BuildScaleMaps()
{
    // A zoom that is not a positive number (a fit into an empty area) has no
    // source position to map to.
    if (!picture || !mapIndex || picture->zoom == 1.0 || !(picture->zoom > 0.0) || picture->width <= 0 ||
        picture->height <= 0)
        return;
    const double zoom = picture->zoom;
    auto build = [zoom](int32_t* index, uint16_t* fraction, int count, int origin, int limit) {
        for (int i = 0; i < count; ++i) {
            double s = (i + origin) / zoom;
            int32_t v = (int32_t)s;
            int32_t f = (int32_t)((s - v) * 256) & 255;
            // Columns past the picture (a view wider than a stale zoomed
            // size) take its last pixel instead of reading beyond it.
            if (v >= limit || v < 0) {
                v = v < 0 ? 0 : limit - 1;
                f = 0;
            }
            index[i] = v;
            fraction[i] = (uint16_t)f;
        }
    };
    build(mapIndex, mapFraction, bufferWidth, picture->viewOriginX, picture->width);
    build(mapIndex + mapRowStart, mapFraction + mapRowStart, bufferHeight, picture->viewOriginY, picture->height);
    mapKey = MapKey{picture, picture->width, picture->height, picture->viewOriginX, picture->viewOriginY, zoom};
}

bool DisplayRenderer::MapsCurrent() const
{
    return mapKey.picture == picture && mapKey.width == picture->width && mapKey.height == picture->height &&
           mapKey.originX == picture->viewOriginX && mapKey.originY == picture->viewOriginY &&
           mapKey.zoom == picture->zoom;
}

void DisplayRenderer::Render()
{
    if (Ready())
        RenderRect(0, 0, viewWidth, viewHeight);
}

bool DisplayRenderer::Clip(int& x, int& y, int& w, int& h) const
{
    int x1 = Min(x + w, viewWidth), y1 = Min(y + h, viewHeight);
    x = Max(x, 0);
    y = Max(y, 0);
    w = x1 - x;
    h = y1 - y;
    return w > 0 && h > 0;
}

void DisplayRenderer::RenderRect(int x, int y, int w, int h)
{
    if (!Ready())
        return;
    if (picture->zoom != 1.0 && !(picture->zoom > 0.0))
        return;
    if (!Clip(x, y, w, h))
        return;
    // The bands share the maps: they are made before any band starts, and
    // a band that found them stale would make them again beside the others.
    if (picture->zoom != 1.0 && !MapsCurrent())
        BuildScaleMaps();
    if ((int64_t)w * h < kSplitPixels || (picture->zoom != 1.0 && !MapsCurrent())) {
        RenderRows(x, y, w, h);
        return;
    }
    Band band = {this, x, y, w};
    SplitRows(h, kBandRows, kPixelHelpers, &DisplayRenderer::RenderBand, &band);
}

void DisplayRenderer::RenderBand(void* context, int from, int to)
{
    const Band& band = *static_cast<const Band*>(context);
    band.renderer->RenderRows(band.x, band.y + from, band.w, to - from);
}

void DisplayRenderer::RenderRows(int x, int y, int w, int h)
{
    if (picture->zoom == 1.0)
        RenderDirect(x, y, w, h);
    else if (smooth)
        RenderBilinear(x, y, w, h);
    else
        RenderNearest(x, y, w, h);
}

void DisplayRenderer::RenderDirect(int x, int y, int w, int h)
{
    if (!Clip(x, y, w, h))
        return;
    const DPictureBase& p = *picture;
    // Only the part of the rectangle that lies over the picture.
    const int sx = x + p.viewOriginX, sy = y + p.viewOriginY;
    if (sx < 0 || sy < 0)
        return;
    w = Min(w, p.width - sx);
    h = Min(h, p.height - sy);
    if (w <= 0 || h <= 0)
        return;
    for (int r = 0; r < h; ++r)
        LutRow(p.work + (size_t)(sy + r) * p.width + sx, lut, buffer + (size_t)(y + r) * stride + x, w);
}

void DisplayRenderer::RenderNearest(int x, int y, int w, int h)
{
    if (!Ready() || !(picture->zoom > 0.0) || !Clip(x, y, w, h))
        return;
    if (!MapsCurrent())
        BuildScaleMaps();
    const DPictureBase& p = *picture;
    const int32_t* rows = RowIndex();
    const int32_t* cols = ColumnIndex();
    for (int r = y; r < y + h; ++r) {
        if (r + 2 < y + h)
            PrefetchRow(p.work + (size_t)rows[r + 2] * p.width, cols[x], cols[x + w - 1]);
        NearestRow(p.work + (size_t)rows[r] * p.width, cols + x, lut, buffer + (size_t)r * stride + x, w);
    }
}

void DisplayRenderer::RenderBilinear(int x, int y, int w, int h)
{
    if (!Ready() || !(picture->zoom > 0.0) || !Clip(x, y, w, h))
        return;
    if (!MapsCurrent())
        BuildScaleMaps();
    const DPictureBase& p = *picture;
    const double zoom = p.zoom;
    const int n = zoom >= 1.0 ? (int)zoom : 1;
    const int32_t* cols = ColumnIndex();
    const int32_t* rows = RowIndex();
    const uint16_t* fxs = ColumnFraction();
    const uint16_t* fys = RowFraction();
    // Where the right and lower neighbours stop existing; the maps are
    // monotonic, so trimming from the end keeps every read inside the raster
    // even when the zoomed size and the maps disagree.
    int xe = Max(x, Min(x + w, p.zoomedWidth - n - p.viewOriginX));
    int ye = Max(y, Min(y + h, p.zoomedHeight - n - p.viewOriginY));
    while (xe > x && cols[xe - 1] + 1 >= p.width)
        --xe;
    while (ye > y && rows[ye - 1] + 1 >= p.height)
        --ye;
    const int inner = xe - x, strip = x + w - xe;
    const int firstColumn = cols[x], lastColumn = Min(cols[x + w - 1] + 1, p.width - 1);
    for (int r = y; r < y + h; ++r) {
        // The source rows of the view row after next are asked for now.
        if (r + 2 < y + h) {
            const uint16_t* ahead = p.work + (size_t)rows[r + 2] * p.width;
            PrefetchRow(ahead, firstColumn, lastColumn);
            if (rows[r + 2] + 1 < p.height)
                PrefetchRow(ahead + p.width, firstColumn, lastColumn);
        }
        const uint16_t* r0 = p.work + (size_t)rows[r] * p.width;
        uint8_t* out = buffer + (size_t)r * stride;
        if (r < ye) {
            const uint16_t* r1 = r0 + p.width;
            BilinearRow(r0, r1, cols + x, fxs + x, fys[r], lut, out + x, inner);
            VerticalRow(r0, r1, cols + xe, fys[r], lut, out + xe, strip);
        } else {
            HorizontalRow(r0, cols + x, fxs + x, lut, out + x, inner);
            NearestRow(r0, cols + xe, lut, out + xe, strip);
        }
    }
}

void DisplayRenderer::MoveBuffer(int sx, int sy)
{
    // New (c, r) = old (c - sx, r - sy): rows bottom-up when moving down so
    // that each row is read before it is overwritten; memmove handles the
    // overlap within a row.
    const int width = viewWidth - (sx < 0 ? -sx : sx);
    const int height = viewHeight - (sy < 0 ? -sy : sy);
    if (width <= 0 || height <= 0)
        return;
    const int dstX = Max(sx, 0), srcX = Max(-sx, 0);
    for (int i = 0; i < height; ++i) {
        const int r = sy > 0 ? viewHeight - 1 - i : i;     // destination row
        memmove(buffer + (size_t)r * stride + dstX, buffer + (size_t)(r - sy) * stride + srcX, (size_t)width);
    }
}

int DisplayRenderer::Pan(int dx, int dy)
{
    if (!Ready())
        return 0;
    DPictureBase& p = *picture;
    auto clampOrigin = [](int origin, int delta, int view, int zoomed) {
        int v = origin - delta;
        if (v + view > zoomed)
            v = zoomed - view;
        if (v < 0)
            v = 0;
        return v;
    };
    const int nx = clampOrigin(p.viewOriginX, dx, viewWidth, p.zoomedWidth);
    const int ny = clampOrigin(p.viewOriginY, dy, viewHeight, p.zoomedHeight);
    if (nx == p.viewOriginX && ny == p.viewOriginY)
        return 0;
    const int sx = p.viewOriginX - nx, sy = p.viewOriginY - ny;
    p.viewOriginX = nx;
    p.viewOriginY = ny;
    p.viewCentreX = ViewToImageX(viewWidth / 2);
    p.viewCentreY = ViewToImageY(viewHeight / 2);
    if ((sx < 0 ? -sx : sx) <= viewWidth && (sy < 0 ? -sy : sy) <= viewHeight) {
        MoveBuffer(sx, sy);
        BuildScaleMaps();
        int restTop = 0, restHeight = viewHeight;
        if (sy < 0) {
            RenderRect(0, viewHeight + sy, viewWidth, -sy);
            restHeight = viewHeight + sy;
        } else if (sy > 0) {
            RenderRect(0, 0, viewWidth, sy);
            restTop = sy;
            restHeight = viewHeight - sy;
        }
        if (sx < 0)
            RenderRect(viewWidth + sx, restTop, -sx, restHeight);
        else if (sx > 0)
            RenderRect(0, restTop, sx, restHeight);
    } else {
        BuildScaleMaps();
        Render();
    }
    return 1;
}

int DisplayRenderer::ViewToImageX(int x) const
{
    if (!picture)
        return x;
    if (picture->zoom == 1.0 || !(picture->zoom > 0.0))
        return x + picture->viewOriginX;
    return (int)((x + picture->viewOriginX) / picture->zoom);
}

int DisplayRenderer::ViewToImageY(int y) const
{
    if (!picture)
        return y;
    if (picture->zoom == 1.0 || !(picture->zoom > 0.0))
        return y + picture->viewOriginY;
    return (int)((y + picture->viewOriginY) / picture->zoom);
}

void DisplayRenderer::ViewRectToImage(PixelRect& r) const
{
    if (r.left > r.right) {
        int t = r.left;
        r.left = r.right;
        r.right = t;
    }
    if (r.top > r.bottom) {
        int t = r.top;
        r.top = r.bottom;
        r.bottom = t;
    }
    r.left = ViewToImageX(r.left);
    r.right = ViewToImageX(r.right);
    r.top = ViewToImageY(r.top);
    r.bottom = ViewToImageY(r.bottom);
}
