// GrayBitmapInfo: an 8-bit BITMAPINFO with a grey or inverted palette, for
// drawing the 8-bit output of the scaler or the renderer with
// SetDIBitsToDevice. The caller sets the width and height.
#pragma once

#include <windows.h>

class GrayBitmapInfo
{
public:
    GrayBitmapInfo();
    GrayBitmapInfo(const GrayBitmapInfo&) = delete;     // the pointer points into the object
    GrayBitmapInfo& operator=(const GrayBitmapInfo&) = delete;

    // Entry i = (i, i, i), or (255 - i, 255 - i, 255 - i) when inverted.
    void FillPalette(bool inverted);

    BITMAPINFO* Get() const { return info; }
    BITMAPINFOHEADER& Header() { return storage.header; }

private:
    BITMAPINFO* info;           // &storage, as a BITMAPINFO
    struct
    {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } storage;
};
