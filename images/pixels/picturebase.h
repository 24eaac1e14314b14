// The pixel half of the picture: its geometry and display fields, its three
// rasters and every operation that changes them (turning, mirroring,
// reduction, sharpening, filtering, display windows). DPicture (picture.h)
// adds the patient record, identity and reference count on the Windows side.
//
// Rasters (all width x height unsigned 16-bit pixels, row by row, no padding,
// committed pages through pixmem.h; the picture owns all three):
//   source  the current pixels in the current orientation; the file is
//           written from it (GetBits)
//   work    what the display and thumbnails show: the source raster itself
//           (the same pointer, after RefreshWork or a load) or a sharpened
//           copy of it (GetWorkBits); stale after a turn until ApplySharpen
//           runs, and unsharpened after a reduction (the reduced source
//           itself) until then
//   full    while reduced (stateFlags bit 0), the full-size raster kept aside
//           in the current orientation, else null
//
// Invariants:
//   - the source raster is the stored raster transformed by the orientation's
//     kernel; every turn and mirror updates the orientation to keep it so;
//   - reduced <=> (stateFlags & kReduced) <=> full != null; reducing again
//     reduces from the full raster, RestoreFullSize ends the state;
//   - an operation that fails to allocate leaves every field as it was: all
//     buffers are allocated before anything is freed or swapped;
//   - work == source means one raster shown as it is: it is freed once, and
//     anything that writes the work raster (Sharpen, a turn) first gives it a
//     raster of its own.
//
// Transitions: AllocBuffers (empty -> sized); ApplyOrientation (loaded ->
// oriented); MirrorHorizontal, FlipVertical, RotateClockwise,
// RotateCounterClockwise (orientation changes); Reduce (full size or reduced
// -> reduced); RestoreFullSize (reduced -> full size); FreeSaved (reduced ->
// full size at the reduced resolution). A picture is used by one thread at a
// time.
#pragma once

#include <stdint.h>

// {left, top, right, bottom} in raster pixels, right and bottom exclusive;
// laid out like the Windows RECT.
struct PixelRect
{
    int32_t left, top, right, bottom;
};

// Size, display settings and view state: constructed as one block, all zero
// except the zoom factor.
struct DPictureGeometry
{
    int32_t width = 0, height = 0;          // size of the current rasters
    int32_t displayOffset = 0;              // look-up table offset ("Bri")
    int32_t displayWidth = 0;               // look-up table width ("Contrast")
    int32_t gammaPercent = 0;               // gamma x 100; 0 is linear; display only
    int32_t negative = 0;                   // 1: inverted palette ("Negativ")
    int32_t stored = 0;                     // 1 when the picture has a database row
    int32_t bitsPerPixel = 0;               // 1..16
    int32_t levels = 0;                     // 2^bitsPerPixel
    uint32_t extra[2] = {0, 0};             // carried unchanged to and from the file
    int32_t orientation = 0;                // 0..7: how the source derives from the stored raster
    uint32_t imageId = 0;                   // "Snimok"; 0 until the picture has a row
    int32_t viewOriginX = 0, viewOriginY = 0;   // view's top-left in the zoomed picture
    int32_t zoomedWidth = 0, zoomedHeight = 0;  // size at the current zoom
    double zoom = 1.0;                      // current zoom factor
    double spacingX = 0.0, spacingY = 0.0;  // pixel spacing across and down
};

class DPictureBase : public DPictureGeometry
{
public:
    enum : uint32_t { kReduced = 1 };       // stateFlags: the full raster is kept aside
    enum : uint32_t { kSpacingKnown = 1 };  // imageFlags: the spacing came from the file
    static const unsigned kInvalidParameter = 87;   // ERROR_INVALID_PARAMETER

    uint32_t stateFlags = 0;                // kReduced
    uint32_t imageFlags = 0;                // kSpacingKnown; other bits carried to the file
    int32_t reduction = 0;                  // 0 full size, -1 two thirds, n >= 2 by n
    int32_t sharpenAmount = 0;              // the amount last applied by Sharpen
    int32_t viewCentreX = 0, viewCentreY = 0;   // raster point in the middle of a view
    double scale = 1.0;                     // view zoom request, or -1/-2/-3 fit modes
    uint16_t* work = nullptr;               // displayed pixels
    uint16_t* source = nullptr;             // current pixels
    int32_t fullWidth = 0, fullHeight = 0;  // size of the kept full raster
    double fullSpacingX = 0.0, fullSpacingY = 0.0;
    uint16_t* full = nullptr;               // kept full-size raster while reduced

    DPictureBase() = default;
    DPictureBase(int width, int height);    // also allocates both rasters
    ~DPictureBase();
    DPictureBase(const DPictureBase&) = delete;
    DPictureBase& operator=(const DPictureBase&) = delete;

    static uint16_t* AllocPixels(int width, int height);    // null on failure
    static void FreePixels(uint16_t* pixels);

    // Both rasters of width x height; false (nothing changed) when both exist
    // already or an allocation fails. Sets the size and the zoomed size.
    bool AllocBuffers(int width, int height);
    // One raster of width x height that is both source and work, its pixels
    // undefined: for a reader that writes every one. False (nothing changed)
    // when either raster exists or the allocation fails. `fresh` as
    // PixelAllocForOverwrite sets it.
    bool AllocShared(int width, int height, bool* fresh = nullptr);
    // A new source or work raster of the current size, the old one freed;
    // false (old kept) when the allocation fails.
    bool AllocSource();
    bool AllocWork();
    // Installs a caller's raster of the current size (freeing the old one
    // unless the other raster is the same).
    void SetSource(uint16_t* pixels);
    void SetWork(uint16_t* pixels);

    uint16_t* GetBits() const { return source; }
    uint16_t* GetWorkBits() const { return work; }

    // Between the reduced and the full-size raster (x * full width / width and
    // back); the products are 64-bit.
    int ImageToView(int x) const;
    int ViewToImage(int x) const;
    // Picture to view coordinates at the current zoom and origin.
    void MapRect(const PixelRect& in, PixelRect& out) const;
    int MapX(int x) const;
    int MapY(int y) const;

    // Turning and mirroring: 1, or 0 when a buffer could not be allocated
    // (nothing changed). The work raster is stale afterwards: ApplySharpen.
    int MirrorHorizontal();
    int FlipVertical();
    int RotateClockwise();
    int RotateCounterClockwise();
    // Makes the source from the stored raster after loading; 0 for an
    // orientation outside 0..7 or a failed allocation.
    int ApplyOrientation();
    // Writes the stored raster (the inverse of the orientation's kernel) into
    // dst; nothing for orientation 0 or outside 0..7.
    void SelectKernel(uint16_t* dst) const;

    // Reduces by factor n >= 2, or to two thirds for -1, from the full raster.
    // Throws the unsigned error 87 for any other factor (or one that leaves no
    // pixel) and the allocation's error code when a raster cannot be had;
    // either way the picture is as it was. The work raster is the new source
    // itself until ApplySharpen (a sharpened picture gets its own there).
    void Reduce(int factor);
    // Makes the kept full raster the source again; false (nothing changed)
    // when the picture is not reduced or the new work raster cannot be had.
    bool RestoreFullSize();
    // Drops the kept full raster, staying at the reduced resolution.
    void FreeSaved();

    // Work raster = source (shared, no copy); sharpen amount 0. False without
    // a source raster.
    bool RefreshWork();
    // Sharpens the source into the work raster with amount k; 0 (work raster
    // as it was) when the blur buffer cannot be allocated.
    int Sharpen(int k);
    // RefreshWork or Sharpen with the stored amount.
    int ApplySharpen();
    // Replaces the source by its impulse-filtered copy; false (unchanged)
    // when the copy cannot be allocated.
    bool FilterImpulseNoise();

    // Display windows over a rectangle (null: the whole picture; clipped to
    // the raster) of the work raster, or the source when useSource is set;
    // nothing is set for an empty rectangle (AutoWindow: fewer than 2 pixels).
    void AutoWindow(const PixelRect* rect, int* offset, int* width, bool useSource) const;
    void RangeWindow(const PixelRect* rect, int* offset, int* width, bool useSource) const;

private:
    // Runs `kernel` over the full raster (when reduced) and the source,
    // exchanging the axes when `swapsAxes`; then sets `newOrientation`.
    int Transform(void (*kernel)(const uint16_t*, uint16_t*, int, int), bool swapsAxes, int newOrientation);
    bool ClipRect(const PixelRect* rect, PixelRect& out) const;
};
