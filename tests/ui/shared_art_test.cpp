// The cursors and icons that several windows load by the same number: each
// is in the program's resources with the id the windows use, at the sizes
// they ask for, and the header and up-down controls show the program's own
// cursors rather than the system's stand-ins.
#include "controls_fixture.h"

#include "resources/resource.h"
#include "ui/header.h"
#include "ui/updown.h"

namespace {

struct Picture {
    UINT id;
    UINT type;   // IMAGE_CURSOR or IMAGE_ICON
    int size;
};

// The hot spot and the number of drawn (not transparent) pixels of a cursor
// or icon; false when it has no colour bitmap.
bool Inspect(HICON picture, POINT* hot, int* drawn)
{
    ICONINFO info = {};
    if (!GetIconInfo(picture, &info))
        return false;
    hot->x = static_cast<LONG>(info.xHotspot);
    hot->y = static_cast<LONG>(info.yHotspot);
    *drawn = 0;
    BITMAP mask = {};
    if (info.hbmMask && GetObjectW(info.hbmMask, sizeof mask, &mask)) {
        // The AND mask: a 0 bit is a drawn pixel (first half of a monochrome
        // cursor's mask, the whole mask of a colour one).
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, info.hbmMask);
        const int height = info.hbmColor ? mask.bmHeight : mask.bmHeight / 2;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < mask.bmWidth; ++x)
                if (GetPixel(dc, x, y) == RGB(0, 0, 0))
                    ++*drawn;
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    const bool colour = info.hbmColor != nullptr;
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    return colour;
}

TEST(SharedArt, EveryNumberTheWindowsLoadIsInTheResources)
{
    const Picture pictures[] = {
        {IDC_UPDOWN_DRAG, IMAGE_CURSOR, 0},   {IDC_UPDOWN_HOVER, IMAGE_CURSOR, 0},
        {IDC_HEADER_RESIZE, IMAGE_CURSOR, 0}, {IDI_SET_FILTER, IMAGE_ICON, 32},
        {IDI_SET_FILTER, IMAGE_ICON, 16},     {IDI_CONNECT, IMAGE_ICON, 32},
        {IDI_CONNECT, IMAGE_ICON, 16},
    };
    for (const Picture& p : pictures) {
        HANDLE loaded = LoadImageW(hInstance, MAKEINTRESOURCEW(p.id), p.type, p.size, p.size,
                                   p.size ? 0 : LR_DEFAULTSIZE);
        ASSERT_NE(nullptr, loaded) << p.id << " " << p.size;
        POINT hot = {};
        int drawn = 0;
        EXPECT_TRUE(Inspect(static_cast<HICON>(loaded), &hot, &drawn)) << p.id;
        EXPECT_GT(drawn, p.size == 16 ? 20 : 60) << p.id << ": a picture, not an empty frame";
        if (p.type == IMAGE_CURSOR) {
            EXPECT_EQ(15, hot.x) << p.id << ": the hot spot is the picture's centre";
            EXPECT_EQ(15, hot.y) << p.id;
            DestroyCursor(static_cast<HCURSOR>(loaded));
        } else {
            DestroyIcon(static_cast<HICON>(loaded));
        }
    }
    EXPECT_EQ(102u, DUpDown::kDragCursorId);
    EXPECT_EQ(142u, DUpDown::kHoverCursorId);
    EXPECT_EQ(144u, DHeader::kResizeCursorId);
}

// Registered as the start-up registers it, the header holds the program's own
// resize cursor, not the system's stand-in.
TEST_F(ControlsTest, TheHeaderTakesTheProgramsResizeCursor)
{
    ASSERT_NE(nullptr, DHeader::ResizeCursor());
    EXPECT_NE(LoadCursorW(nullptr, IDC_SIZEWE), DHeader::ResizeCursor());
    POINT hot = {};
    int drawn = 0;
    ASSERT_TRUE(Inspect(DHeader::ResizeCursor(), &hot, &drawn));
    EXPECT_EQ(15, hot.x);
    EXPECT_GT(drawn, 60);
}

}  // namespace
