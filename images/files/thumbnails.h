// Thumbnails: one ".thb" file per stored image in the icon folder, 192 rows
// of 192 grey bytes, the top row first, no header (36,864 bytes). It shows
// the image as its view showed it when it was saved: through the display
// look-up table, at the view's zoom and around the view's centre, fitted into
// the square and centred across the shorter side; the rest is 0.
//
// StoreIcon writes the new thumbnail into "<name>.thb.tmp" and renames it
// over "<name>.thb" only when the whole file was written, so a failed write
// keeps the thumbnail the image had.
#pragma once

#include <windows.h>
#include <stdint.h>

const int kIconSide = 192;
const DWORD kIconBytes = kIconSide * kIconSide;    // 36,864

// How a picture fits the thumbnail: the scaler's zoom (source pixels per
// thumbnail pixel) and the output size, at most 192 x 192.
struct IconFit {
    double factor;
    int columns;
    int rows;
};

// The fit of a width x height picture at a view scale: -1 fit width, -2 fit
// height, -3 fit all, else the zoom (0 or another value that is not a zoom is
// taken as 1.0). False for a picture without pixels.
bool ComputeIconFit(int width, int height, double scale, IconFit& fit);

// Renders the thumbnail into `out` (36,864 bytes): the fitted output placed
// in the zero-filled square. False when the scaler cannot allocate.
bool RenderIcon(uint8_t* out, const uint16_t* work, int width, int height, int centreX, int centreY, double scale,
                const uint8_t* lut);

// Writes "<icon folder><file name>.thb"; true when it was written. Failures
// go to the journal and never stop the caller.
bool StoreIcon(const wchar_t* fileName, const uint16_t* work, int width, int height, int centreX, int centreY,
               double scale, const uint8_t* lut);

// One page allocation held for its owner's life.
class DPageBuffer
{
public:
    DPageBuffer() : block(nullptr) {}
    ~DPageBuffer();
    DPageBuffer(const DPageBuffer&) = delete;
    DPageBuffer& operator=(const DPageBuffer&) = delete;

    // Allocates (committed, read-write, zero-filled) only when nothing is
    // held; returns the block held, or null when the allocation fails.
    void* Alloc(size_t size);
    void* Get() const { return block; }

private:
    void* block;
};
