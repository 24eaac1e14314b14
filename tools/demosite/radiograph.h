// Synthetic radiographs for the demo site and for tests: a soft body field
// with anatomy-like thickness, bone-like bands (a spine and curved ribs, or
// the two bones of a limb), a collimated border that let no radiation through,
// and quantum noise, at 12 to 14 bits. The same seed gives the same picture.
#pragma once

#include "images/pixels/picture.h"

enum class RadiographKind { Chest, Limb };

// A new picture of width x height with its source and work rasters filled,
// bits per pixel and levels set, the spacing known (0.143 mm), the display
// window set automatically and the view centred; null when it cannot be
// allocated or the arguments are out of range (bits 8..16, sizes >= 64).
DPicturePtr MakeRadiograph(int width, int height, int bits, unsigned seed, RadiographKind kind);
