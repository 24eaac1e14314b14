// The arithmetic of a printed page: from what the printer reports and the
// margins the caller asks for, the paper size, the printable area inside the
// margins and where its top-left corner lies on the device, in hundredths of
// a millimetre (0.01 mm) with y growing downwards.
//
// One logical unit is 0.01 mm on the device: LOGPIXELSX device pixels make
// 2540 units across, LOGPIXELSY down. (The printer's HIMETRIC mapping is not
// used: it is derived from the page size in whole millimetres, and lines drawn
// to the edge of the printable area would then end past the margin.)
//
// Device coordinates of a printer start at the top-left corner of its
// printable region, PHYSICALOFFSETX/Y pixels in from the paper's edge, and
// end HORZRES/VERTRES pixels further.
#pragma once

// What GetDeviceCaps reports, in device pixels.
struct PageDeviceCaps {
    int physicalWidth;    // PHYSICALWIDTH: the paper
    int physicalHeight;   // PHYSICALHEIGHT
    int offsetX;          // PHYSICALOFFSETX: the unprintable border at the left
    int offsetY;          // PHYSICALOFFSETY: at the top
    int horzRes;          // HORZRES: the printable region's width
    int vertRes;          // VERTRES
    int logPixelsX;       // LOGPIXELSX: pixels per inch across
    int logPixelsY;       // LOGPIXELSY: down
};

// Margins from the paper's edges and the smallest printable area the caller
// accepts (0 = any), in 0.01 mm.
struct PageRequest {
    int left, right, top, bottom;
    int minWidth, minHeight;
};

struct PageLayout {
    int paperWidth, paperHeight;           // 0.01 mm
    int printableWidth, printableHeight;   // the area inside the margins, 0.01 mm
    int originX, originY;                  // its top-left corner in device pixels
    int endX, endY;                        // device pixel of (printableWidth, printableHeight)
};

// Device pixels of a length in 0.01 mm at the resolution, rounded to the
// nearest pixel as the device mapping does.
int HiMetricToPixels(int length, int pixelsPerInch);

// Lays the page out. The result is 0, or the string id of the first check
// that fails, in this order:
//   IDS_PRINTER_NO_RESOLUTION   LOGPIXELSX or LOGPIXELSY is 0 or less
//   329 IDS_LEFT_MARGIN_TOO_SMALL   the left margin lies in the unprintable border
//   330 IDS_TOP_MARGIN_TOO_SMALL
//   331 IDS_WIDTH_TOO_SMALL     printable width below the minimum, or none at all
//   332 IDS_HEIGHT_TOO_SMALL
//   333 IDS_RIGHT_MARGIN_TOO_SMALL  the printable area ends right of the printable region
//   334 IDS_BOTTOM_MARGIN_TOO_SMALL
// `out` is filled as far as the checks went.
unsigned LayOutPage(const PageDeviceCaps& caps, const PageRequest& request, PageLayout* out);
