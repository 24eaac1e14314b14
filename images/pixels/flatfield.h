// Flat-field gain map: for every detector pixel, the factor that brings an
// exposure of a uniform field to a reference level, kept in a file mapped
// into memory and multiplied into later images. No command of the program
// creates one; the component is complete in itself.
//
// The file ("flat" map), little-endian, written field by field:
//   0  "flat" (0x74616C66)      4  version 0x10000
//   8  file size: 24 + 4 w h    12 0
//   16 width                    20 height
//   24 gains: w x h single-precision floats, row by row from the top
// Only this form is carried; the program reads no other.
//
// States: no name -> SetFileName -> named -> Create or Open -> mapped
// (IsAvailable) -> Unmap -> named -> Close -> no name. Every failure is a
// false result and leaves the object unmapped.
#pragma once

#include "images/pixels/picturebase.h"

#include <stdint.h>

class FlatField
{
public:
    virtual ~FlatField() {}
    // Keeps a copy of the name unless one is held; false when it cannot.
    virtual bool SetFileName(const wchar_t* name) = 0;
    // Unmaps and forgets the name.
    virtual void Close() = 0;
    // Unmaps the view and closes the mapping and the file.
    virtual void Unmap() = 0;
    // Maps the named file read-only after checking its magic, version and
    // sizes.
    virtual bool Open() = 0;
    // Writes the named map from a raster of a uniform exposure: gain =
    // level / p (the low 16 bits of the level), 0 for a pixel of 0; the map
    // stays mapped.
    virtual bool Create(const uint16_t* reference, int width, int height, uint32_t level) = 0;
    // Multiplies the pixels of the region (pixels: a raster as wide as the
    // map) by their gains; pixels at the depth's maximum and gains of 0 are
    // left alone; results are clamped to the maximum. False when the region
    // is not inside the map or the depth is not 1..16.
    virtual bool Apply(uint16_t* pixels, const PixelRect& region, int bitsPerPixel) = 0;
    virtual bool IsAvailable() const = 0;

    // A message box with the caption "FlatFloat".
    static void ShowError(const wchar_t* text);
};

// A new, empty gain map; null when it cannot be allocated.
FlatField* CreateFlatField();
