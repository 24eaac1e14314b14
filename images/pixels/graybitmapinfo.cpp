#include "images/pixels/graybitmapinfo.h"

#include <string.h>

GrayBitmapInfo::GrayBitmapInfo() : info(reinterpret_cast<BITMAPINFO*>(&storage))
{
    memset(&storage, 0, sizeof storage);
    storage.header.biSize = sizeof(BITMAPINFOHEADER);
    storage.header.biPlanes = 1;
    storage.header.biBitCount = 8;
    storage.header.biCompression = BI_RGB;
}

void GrayBitmapInfo::FillPalette(bool inverted)
{
    for (int i = 0; i < 256; ++i) {
        BYTE v = (BYTE)(inverted ? 255 - i : i);
        storage.colors[i].rgbRed = v;
        storage.colors[i].rgbGreen = v;
        storage.colors[i].rgbBlue = v;
        storage.colors[i].rgbReserved = 0;
    }
}
