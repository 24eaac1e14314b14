// The display look-up table: 65,536 entries, one grey level (0..255) for
// every 16-bit pixel value, from the picture's display offset, display width
// and gamma.
#pragma once

#include <stdint.h>

const int kLutSize = 65536;
// A table as the renderer holds it: the entries and one spare byte after
// them, which the row kernel reads along with the last entry (LutRow).
const int kLutTableBytes = kLutSize + 1;

// Linear (gamma 0.0): v = (i + offset) * 255 / width, 0 at or below 0, 255
// from the first entry that reaches 255 on, else truncated. Otherwise
// x = (i + offset) / width, 0 below 0, 255 above 1, else
// trunc(255 x^(gamma + 1)). A width of 0 gives a step table: entries up to
// -offset are 0, the later ones 255.
void BuildDisplayLut(uint8_t* table, int offset, int width, double gamma);
