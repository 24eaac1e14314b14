// The window-free half of the image view's renderer: the display look-up
// table, the zoom and view origin, the column and row maps, and the 8-bit
// render buffer filled by direct copy, nearest pixel or bilinear
// interpolation, with panning that moves the still-valid part of the buffer.
// The image view window owns one and paints GetBits() with its palettes.
//
// State and invariants:
//   - The buffer and both map blocks are allocated together for one cell
//     size (AllocRenderBuffers) and freed together (FreeRenderBuffers); the
//     buffer is (cell width rounded up to 4) x cell height bytes; the maps
//     hold N = (cell width rounded up to 16) + cell height entries, column
//     entries from 0, row entries from the rounded cell width.
//   - The view size never exceeds the buffer's cell; stride is the view
//     width rounded up to 4.
//   - Zoom, origin, zoomed size, scale and view centre live in the picture
//     (SetScale and Pan write them), so a picture carries its view state
//     from one view to another.
//   - The maps are valid for the picture's zoom and origin after
//     BuildScaleMaps; SetScale and Pan rebuild them. At a zoom of exactly 1.0
//     no maps are used.
//   - Every path reads only pixels inside the picture's work raster and
//     writes only inside the view's part of the buffer, whatever the
//     rectangle asked for.
//   - RenderRect of a large rectangle renders bands of its rows at the same
//     time on the caller's thread and helper threads (pixhelpers.h), and
//     returns when all are done: each band writes only its own rows of the
//     buffer and reads the picture, the table and the maps, made before the
//     first band starts and changed by nobody until the last one ends.
//
// Transitions: AllocRenderBuffers (no buffer -> buffer for a cell);
// SetPicture (none -> picture, table rebuilt); SetScale (zoom and origin ->
// maps -> whole view rendered); Pan (origin moved -> buffer moved -> strips
// rendered); UpdateLut after a change of offset, width or gamma.
#pragma once

#include "images/pixels/displaylut.h"
#include "images/pixels/picturebase.h"

#include <stdint.h>

class DisplayRenderer
{
public:
    DisplayRenderer();
    ~DisplayRenderer();
    DisplayRenderer(const DisplayRenderer&) = delete;
    DisplayRenderer& operator=(const DisplayRenderer&) = delete;

    // The picture to show (borrowed: the view holds its handle); rebuilds the
    // table. Null detaches.
    void SetPicture(DPictureBase* picture);
    DPictureBase* GetPicture() const { return picture; }

    const uint8_t* GetLut() const { return lut; }
    // The table from the picture's offset, width and gamma percent / 100.
    void UpdateLut();

    // Buffer and maps for a cell of w x h; nothing when already allocated for
    // exactly that size. False (no buffer, size 0 x 0) when an allocation fails.
    bool AllocRenderBuffers(int w, int h);
    void FreeRenderBuffers();
    int GetBufferWidth() const { return bufferWidth; }
    int GetBufferHeight() const { return bufferHeight; }

    // The area the zoom fits into: the cell less the caption strip.
    void SetZoomArea(int w, int h);

    // Zoom factor (or -1 fit width, -2 fit height, -3 fit all), origin and
    // view size for a centre in picture coordinates; then the maps and the
    // whole view. Nothing without a picture.
    void SetScale(double scale, int centreX, int centreY);
    // The client size of the view (clamped to the buffer's cell).
    void SetViewSize(int w, int h);

    void BuildScaleMaps();
    void Render();
    // One rectangle of view coordinates (clipped to the view).
    void RenderRect(int x, int y, int w, int h);
    void RenderNearest(int x, int y, int w, int h);
    void RenderBilinear(int x, int y, int w, int h);

    // Moves the picture under the view by a mouse delta; 1 when the origin
    // changed, 0 (nothing touched) when it did not.
    int Pan(int dx, int dy);

    int ViewToImageX(int x) const;
    int ViewToImageY(int y) const;
    // Orders the rectangle, then converts its four coordinates.
    void ViewRectToImage(PixelRect& rect) const;

    uint8_t* GetBits() const { return buffer; }
    int GetStride() const { return stride; }
    int GetViewWidth() const { return viewWidth; }
    int GetViewHeight() const { return viewHeight; }
    void SetSmooth(int on) { smooth = on; }
    int GetSmooth() const { return smooth; }

private:
    // A rectangle of at least kSplitPixels is rendered in bands of kBandRows
    // rows, shared with the process's helper threads (pixhelpers.h): a
    // full-frame render of a 3000 x 3000 picture takes a third of its time
    // on one thread alone.
    static const int kSplitPixels = 1 << 18;
    static const int kBandRows = 32;
    struct Band {
        DisplayRenderer* renderer;
        int x, y, w;            // the rectangle's left, top and width; a band's rows run from y
    };
    static void RenderBand(void* band, int from, int to);
    // The rows of a clipped rectangle by the path of the zoom.
    void RenderRows(int x, int y, int w, int h);
    bool Ready() const;
    void RenderDirect(int x, int y, int w, int h);
    void MoveBuffer(int sx, int sy);
    bool Clip(int& x, int& y, int& w, int& h) const;
    // The maps were built for the picture as it is now; a picture shared
    // with another view may have been turned, reduced or zoomed there since.
    bool MapsCurrent() const;
    const int32_t* ColumnIndex() const { return mapIndex; }
    const int32_t* RowIndex() const { return mapIndex + mapRowStart; }
    const uint16_t* ColumnFraction() const { return mapFraction; }
    const uint16_t* RowFraction() const { return mapFraction + mapRowStart; }

    DPictureBase* picture;      // borrowed; null: nothing to render
    uint8_t lut[kLutTableBytes];    // grey level of every pixel value, and a spare byte
    uint8_t* buffer;            // 8-bit render buffer, top-down, rows of `stride`
    int32_t* mapIndex;          // source column / row of each view column / row
    uint16_t* mapFraction;      // their 8-bit fractions
    int mapRowStart;            // index of the row entries in both map blocks
    int bufferWidth, bufferHeight;  // the cell size the buffer and maps are for
    int zoomAreaWidth, zoomAreaHeight;
    int viewWidth, viewHeight;  // client size of the view
    int stride;                 // view width rounded up to 4
    int smooth;                 // 1: bilinear when zoomed
    // What the maps were built for: picture size, zoom and origin.
    struct MapKey {
        const DPictureBase* picture;
        int32_t width, height, originX, originY;
        double zoom;
    } mapKey;
};
