// The merge window's layout: see importlayout.h.
#include "exchange/merge/importlayout.h"

namespace {

struct Units {
    int L, G, H;
};

Units UnitsOf(int fontHeight)
{
    Units u;
    u.L = 3 * fontHeight / 2;
    u.G = fontHeight / 2 + 4;
    if (u.G < 10)
        u.G = 10;
    u.H = u.L / 2;
    return u;
}

RECT Box(int x, int y, int width, int height)
{
    return RECT{x, y, x + width, y + height};
}

}  // namespace

ImportLayout ComputeImportLayout(int W, int fontHeight, int buttonHeight)
{
    const Units u = UnitsOf(fontHeight);
    const int L = u.L, G = u.G, H = u.H;
    ImportLayout layout;

    layout.frames[ImportLayout::kInfoFrame] = Box(20, 20, W - 40, L + G + 10);
    layout.lines[ImportLayout::kNotMergedLine] = Box(30, G + 20, (W - 70) / 2, L);
    layout.lines[ImportLayout::kMergedLine] = Box((W - 40) / 2 + 25, G + 20, (W - 70) / 2, L);

    const int y1 = 2 * G + L + H + 30;
    layout.frames[ImportLayout::kImportFrame] = Box(20, y1, W - 40, H + 2 * L + G + 10);
    layout.lines[ImportLayout::kPatientLine] = Box(30, y1 + G, W - 60, L);
    layout.lines[ImportLayout::kImageLine] = Box(30, y1 + G + L + H, W - 60, L);

    const int y2 = y1 + 2 * G + 2 * L + 2 * H + 10;
    layout.frames[ImportLayout::kStatusFrame] = Box(20, y2, W - 40, 2 * L + G + 10);
    layout.panes[ImportLayout::kStatusPane] = Box(30, y2 + G, W - 60, 2 * L);

    const int y3 = y2 + G + 2 * L + 2 * H + 10;
    layout.frames[ImportLayout::kErrorFrame] = Box(20, y3, W - 40, 2 * L + G + 10);
    layout.panes[ImportLayout::kErrorPane] = Box(30, y3 + G, W - 60, 2 * L);

    const int buttonsY = y3 + G + 2 * L + 2 * H + 10;
    const int buttonWidth = (W - 160) / 4;
    const int xs[ImportLayout::kButtons] = {20, (W - 40) / 4 + 30, 2 * (W - 40) / 4 + 40, 3 * (W - 40) / 4 + 50};
    for (int i = 0; i < ImportLayout::kButtons; ++i)
        layout.buttons[i] = Box(xs[i], buttonsY, buttonWidth, buttonHeight + 4);
    return layout;
}

int ImportMinClientHeight(int fontHeight, int buttonHeight)
{
    const Units u = UnitsOf(fontHeight);
    return 7 * u.L + 7 * u.G + 6 * u.H + buttonHeight + 84;
}
