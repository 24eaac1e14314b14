#include "printing/pagesetup.h"

#include "resources/strings.h"

#include <stdint.h>

int HiMetricToPixels(int length, int pixelsPerInch)
{
    const int64_t scaled = static_cast<int64_t>(length) * pixelsPerInch;
    // Round half away from zero, as the device mapping rounds.
    const int64_t half = 2540 / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / 2540 : -((-scaled + half) / 2540));
}

unsigned LayOutPage(const PageDeviceCaps& caps, const PageRequest& request, PageLayout* out)
{
    *out = PageLayout{};
    if (caps.logPixelsX <= 0 || caps.logPixelsY <= 0)
        return IDS_PRINTER_NO_RESOLUTION;
    out->paperWidth = static_cast<int>(static_cast<int64_t>(caps.physicalWidth) * 2540 / caps.logPixelsX);
    out->paperHeight = static_cast<int>(static_cast<int64_t>(caps.physicalHeight) * 2540 / caps.logPixelsY);

    out->originX = static_cast<int>(static_cast<int64_t>(request.left) * caps.logPixelsX / 2540) - caps.offsetX;
    out->originY = static_cast<int>(static_cast<int64_t>(request.top) * caps.logPixelsY / 2540) - caps.offsetY;
    if (out->originX < 0)
        return IDS_LEFT_MARGIN_TOO_SMALL;
    if (out->originY < 0)
        return IDS_TOP_MARGIN_TOO_SMALL;

    out->printableWidth = out->paperWidth - (request.right + request.left);
    out->printableHeight = out->paperHeight - (request.top + request.bottom);
    // Margins that leave no printable area at all fail as a too small one would.
    if (out->printableWidth <= 0 || (request.minWidth != 0 && out->printableWidth < request.minWidth))
        return IDS_WIDTH_TOO_SMALL;
    if (out->printableHeight <= 0 || (request.minHeight != 0 && out->printableHeight < request.minHeight))
        return IDS_HEIGHT_TOO_SMALL;

    // The far corner must lie inside the printable region, which ends
    // HORZRES/VERTRES pixels from the device origin.
    out->endX = out->originX + HiMetricToPixels(out->printableWidth, caps.logPixelsX);
    out->endY = out->originY + HiMetricToPixels(out->printableHeight, caps.logPixelsY);
    if (out->endX > caps.horzRes)
        return IDS_RIGHT_MARGIN_TOO_SMALL;
    if (out->endY > caps.vertRes)
        return IDS_BOTTOM_MARGIN_TOO_SMALL;
    return 0;
}
