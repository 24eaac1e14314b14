// Thumbnail records and their states: the drawing blocks, captions and
// colours from the settings, the menu items, and drawing into a memory DC.
#include "images/files/iconrecord.h"

#include "images/files/thumbnails.h"
#include "imagefiles_fixture.h"

#include <gtest/gtest.h>

using namespace imgtest;

namespace {

// A 32-bit top-down DIB section selected into a memory DC, undone at the end.
class PixelCanvas
{
public:
    PixelCanvas(int width, int height) : width(width), height(height)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~PixelCanvas()
    {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC Dc() const { return dc; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        DWORD v = bits[(size_t)y * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int Count(COLORREF color, int w, int h) const
    {
        int n = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                n += At(x, y) == color;
        return n;
    }

private:
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    DWORD* bits = nullptr;
};

class IconRecordTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitIconBitmapInfo());
        LoadIconStates(nullptr);
    }
    void TearDown() override { FreeIconBitmapInfo(); }
    DataFolder folder;
};

TEST_F(IconRecordTest, DrawingBlocksAreTopDownGreyAndInverted)
{
    const BITMAPINFO* grey = IconBitmapInfo(false);
    const BITMAPINFO* inverted = IconBitmapInfo(true);
    ASSERT_NE(nullptr, grey);
    EXPECT_EQ(1072, reinterpret_cast<const BYTE*>(inverted) - reinterpret_cast<const BYTE*>(grey));
    EXPECT_EQ(40u, grey->bmiHeader.biSize);
    EXPECT_EQ(192, grey->bmiHeader.biWidth);
    EXPECT_EQ(-192, grey->bmiHeader.biHeight);
    EXPECT_EQ(8, grey->bmiHeader.biBitCount);
    EXPECT_EQ(36864u, grey->bmiHeader.biSizeImage);
    EXPECT_EQ(0u, grey->bmiHeader.biClrUsed);
    EXPECT_EQ(7, grey->bmiColors[7].rgbRed);
    EXPECT_EQ(7, grey->bmiColors[7].rgbBlue);
    EXPECT_EQ(248, inverted->bmiColors[7].rgbGreen);
    EXPECT_EQ(0, inverted->bmiColors[255].rgbRed);
}

TEST_F(IconRecordTest, StatesHaveTheirCaptionsAndDefaultColours)
{
    EXPECT_STREQ(L"Archived", IconStateCaption(kIconRowArchived));
    EXPECT_STREQ(L"Error Reading Icon", IconStateCaption(kIconRowError));
    EXPECT_STREQ(L"Removed", IconStateCaption(kIconRowRemoved));
    EXPECT_STREQ(L"Empty", IconStateCaption(kIconRowEmpty));
    EXPECT_EQ(0x000000u, IconStateColor(0));
    EXPECT_EQ(0x0000FFu, IconStateColor(1));
    EXPECT_EQ(0x00FF00u, IconStateColor(2));
    EXPECT_EQ(0xFFFFFFu, IconStateColor(3));
}

TEST_F(IconRecordTest, ColoursComeFromTheSettingsKeyWhenPresent)
{
    const std::wstring path = L"Software\\TobalFluoroTests\\IconParam" + std::to_wstring(GetCurrentProcessId());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    const DWORD red = 0x123456;
    RegSetValueExW(key, L"CTError", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&red), sizeof red);
    RegSetValueExW(key, L"CTArj", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);   // not a DWORD: default
    LoadIconStates(key);
    EXPECT_EQ(0x123456u, IconStateColor(kIconRowError));
    EXPECT_EQ(0x000000u, IconStateColor(kIconRowArchived));
    EXPECT_EQ(0xFFFFFFu, IconStateColor(kIconRowEmpty));
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    LoadIconStates(nullptr);
    EXPECT_EQ(0x0000FFu, IconStateColor(kIconRowError));
}

TEST_F(IconRecordTest, MenuItemsFollowTheTemplate)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 500, L"Template");
    EXPECT_EQ(4, AddIconStateMenuItems(menu, 500));
    ASSERT_EQ(5, GetMenuItemCount(menu));
    const UINT ids[] = {501, 502, 503, 504, 500};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ids[i], GetMenuItemID(menu, i)) << i;
    wchar_t text[64] = {};
    GetMenuStringW(menu, 503, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"Removed", text);
    DestroyMenu(menu);
}

TEST_F(IconRecordTest, ChooseColourRefusesRowsOutsideTheTable)
{
    EXPECT_FALSE(ChooseIconStateColor(nullptr, nullptr, 4));
    EXPECT_FALSE(ChooseIconStateColor(nullptr, nullptr, -1));
}

TEST_F(IconRecordTest, EmptyStateTextIsWhiteOnTheBackground)
{
    PixelCanvas canvas(200, 200);
    DrawIconStateText(canvas.Dc(), 0, 0, 192, 192, RGB(0, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), canvas.At(2, 2));
    EXPECT_GT(canvas.Count(RGB(255, 255, 255), 192, 192), 10);
}

TEST_F(IconRecordTest, ArchivedRecordWithoutPixelsShowsItsCaption)
{
    IconRecord record;
    record.state = kIconStateArchived;
    PixelCanvas canvas(200, 200);
    record.Draw(canvas.Dc(), 0, 0, 192, 192, RGB(255, 255, 255));
    EXPECT_EQ(RGB(255, 255, 255), canvas.At(1, 1));
    EXPECT_GT(canvas.Count(RGB(0, 0, 0), 192, 192), 10);
    EXPECT_EQ(nullptr, record.pixels);
}

TEST_F(IconRecordTest, MissingThumbnailShowsTheErrorCaptionAndIsTriedAgain)
{
    IconRecord record;
    record.state = kIconStateShow;
    record.SetFileName(L"T00000000010000000001");
    PixelCanvas canvas(200, 200);
    record.Draw(canvas.Dc(), 0, 0, 192, 192, RGB(255, 255, 255));
    EXPECT_EQ(nullptr, record.pixels);
    EXPECT_EQ(kIconStateShow, record.state);
    EXPECT_GT(canvas.Count(RGB(255, 0, 0), 192, 192), 10);

    std::vector<BYTE> icon(kIconBytes, 0);
    for (int x = 0; x < kIconSide; ++x)
        icon[x] = (BYTE)x;
    WriteBytes(folder.IconPath(L"T00000000010000000001"), icon);
    record.Draw(canvas.Dc(), 0, 0, 192, 192, RGB(255, 255, 255));
    ASSERT_NE(nullptr, record.pixels);
    EXPECT_EQ(RGB(100, 100, 100), canvas.At(100, 0));
    EXPECT_EQ(RGB(0, 0, 0), canvas.At(100, 100));
    record.negative = 1;
    record.Draw(canvas.Dc(), 0, 0, 192, 192, RGB(255, 255, 255));
    EXPECT_EQ(RGB(155, 155, 155), canvas.At(100, 0));
}

TEST_F(IconRecordTest, ShortThumbnailFileIsNotKept)
{
    WriteBytes(folder.IconPath(L"S00000000010000000001"), std::vector<BYTE>(100, 9));
    IconRecord record;
    record.SetFileName(L"S00000000010000000001");
    record.LoadIcon();
    EXPECT_EQ(nullptr, record.pixels);
}

}  // namespace
