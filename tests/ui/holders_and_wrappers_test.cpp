// Window handle holders, the standard-control wrappers and the wait cursor.
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "ui/dwnd.h"
#include "ui/gdi.h"
#include "ui/std_controls.h"
#include "ui/wait_cursor.h"

#include <commctrl.h>

#include <stdio.h>
#include <string>

namespace {

class Parent : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
    }
    void TearDown() override { DestroyWindow(parent); }
    HWND parent = nullptr;
};

TEST_F(Parent, HolderDestroysItsWindowAndDestroyKeepsTheHandleValue)
{
    HWND h;
    {
        DWnd w;
        EXPECT_EQ(w.Destroy(), FALSE) << "nothing held";
        w.hwnd = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD, 0, 0, 30, 20, parent, nullptr, nullptr, nullptr);
        h = w.hwnd;
        SIZE s = w.GetSize();
        EXPECT_EQ(s.cx, 30);
        EXPECT_EQ(s.cy, 20);
        EXPECT_TRUE(w.Enable(FALSE) == 0);
        EXPECT_FALSE(IsWindowEnabled(h));
        w.Enable(TRUE);
        EXPECT_TRUE(IsWindowEnabled(h));
    }
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(Parent, EditGetTextIsAlwaysTerminated)
{
    DEdit e;
    EXPECT_EQ(e.style, 0x40800080u);
    ASSERT_TRUE(e.Create(parent, 7, 0));
    ASSERT_NE(e.hwnd, nullptr);
    EXPECT_EQ(GetDlgCtrlID(e.hwnd), 7);
    EXPECT_EQ(GetWindowLongW(e.hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE);
    e.SetText(L"abcdef");
    wchar_t buffer[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(e.GetText(buffer, 4), 3);
    EXPECT_STREQ(buffer, L"abc");
    wchar_t big[16];
    EXPECT_EQ(e.GetText(big, 16), 6);
    EXPECT_STREQ(big, L"abcdef");
}

TEST_F(Parent, EditStyleReplacesTheDefault)
{
    DEdit e;
    e.Create(parent, 1, WS_CHILD | WS_BORDER | ES_READONLY);
    EXPECT_EQ(GetWindowLongW(e.hwnd, GWL_STYLE) & ES_READONLY, ES_READONLY);
}

TEST_F(Parent, ComboBoxItemsDataAndSelection)
{
    DComboBox c;
    ASSERT_TRUE(c.Create(parent, GetModuleHandleW(nullptr), 3, WS_CHILD | CBS_DROPDOWNLIST));
    EXPECT_TRUE(c.AddItem(L"zero", 0));
    EXPECT_TRUE(c.AddItem(L"seven", 7));
    LPARAM value = 99;
    EXPECT_FALSE(c.GetCurSelData(&value)) << "nothing selected";
    EXPECT_EQ(value, 99);
    EXPECT_TRUE(c.SetCurSel(1));
    EXPECT_TRUE(c.GetCurSelData(&value));
    EXPECT_EQ(value, 7);
    wchar_t text[16];
    EXPECT_TRUE(c.GetCurSelText(text));
    EXPECT_STREQ(text, L"seven");
    EXPECT_TRUE(c.SetCurSel(0));
    EXPECT_TRUE(c.GetCurSelData(&value));
    EXPECT_EQ(value, 0) << "no item data was set for data 0";
    EXPECT_FALSE(c.SetCurSel(5));
    HWND h = c.hwnd;
    c.Destroy();
    EXPECT_EQ(c.hwnd, nullptr);
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(Parent, ButtonStaticAndGroupWrappers)
{
    ButtonCtl b;
    ASSERT_TRUE(b.Create(parent, 4, WS_CHILD | BS_AUTOCHECKBOX));
    b.SetCheck(0x10001);   // only the low half counts
    EXPECT_EQ(b.GetCheck(), BST_CHECKED);
    StaticCtl s;
    EXPECT_EQ(s.style, 0x4000000Cu);
    ASSERT_TRUE(s.Create(parent, 0));
    EXPECT_EQ(GetDlgCtrlID(s.hwnd), 1);
    s.SetText(L"label");
    wchar_t text[3];
    EXPECT_EQ(s.GetText(text, 3), 2);
    EXPECT_STREQ(text, L"la");
    DGroupBoxCtl g;
    ASSERT_TRUE(g.Create(parent, 5, L"Group"));
    EXPECT_EQ(GetWindowLongW(g.hwnd, GWL_STYLE) & 0xF, BS_GROUPBOX);
    DProgressCtl p;
    ASSERT_TRUE(p.Create(parent, 6, 0));
    p.SetRange(50, 0);
    p.SetPos(10);
    p.MoveBy(5);
    EXPECT_EQ(SendMessageW(p.hwnd, PBM_GETPOS, 0, 0), 15);
    EXPECT_EQ(p.maximum, 50);
}

TEST(DcFontHeight, IsTheSelectedFontsHeight)
{
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW lf = {};
    lf.lfHeight = -20;
    DGdiObject<HFONT> font(CreateFontIndirectW(&lf));
    {
        ScopedSelect sel(dc, font.Get());
        EXPECT_GE(GetDCFontHeight(dc), 20);
    }
    EXPECT_NE(GetCurrentObject(dc, OBJ_FONT), font.Get()) << "the DC left the scope as it came in";
    DeleteDC(dc);
}

TEST(SolidRect, FillsWithTheColour)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT r = {2, 2, 5, 5};
    EXPECT_NE(FillSolidRect(dc, &r, RGB(10, 200, 30)), 0);
    EXPECT_EQ(GetPixel(dc, 3, 3), RGB(10, 200, 30));
    EXPECT_NE(GetPixel(dc, 1, 1), RGB(10, 200, 30));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}

// ---- wait cursor ----------------------------------------------------------

// Writes a 32 x 32 monochrome cursor file, field by field.
void WriteCursorFile(const std::wstring& path)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    auto u16 = [f](unsigned v) { fputc(v & 0xFF, f); fputc((v >> 8) & 0xFF, f); };
    auto u32 = [&](unsigned v) { u16(v & 0xFFFF); u16(v >> 16); };
    u16(0); u16(2); u16(1);                       // directory: cursor, one image
    fputc(32, f); fputc(32, f); fputc(0, f); fputc(0, f);
    u16(3); u16(4);                               // hot spot
    u32(40 + 8 + 128 + 128); u32(6 + 16);         // size and offset of the image
    u32(40); u32(32); u32(64); u16(1); u16(1);    // BITMAPINFOHEADER, height doubled
    u32(0); u32(0); u32(0); u32(0); u32(0); u32(0);
    u32(0x000000); u32(0xFFFFFF);                 // palette
    for (int i = 0; i < 128; ++i) fputc(i < 64 ? 0xFF : 0x00, f);   // XOR mask
    for (int i = 0; i < 128; ++i) fputc(i < 64 ? 0x00 : 0xFF, f);   // AND mask
    fclose(f);
}

class WaitCursor : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        folder = std::wstring(tmp) + L"tf_waitcursor_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW((folder + L"Cursors").c_str(), nullptr);
        wcscpy(saved, CfgFolder);
        wcscpy(CfgFolder, folder.c_str());
        arrow = LoadCursorW(nullptr, IDC_ARROW);
        SetCursor(arrow);
    }
    void TearDown() override
    {
        wcscpy(CfgFolder, saved);
        DeleteFileW((folder + L"Cursors\\Wait.ani").c_str());
        RemoveDirectoryW((folder + L"Cursors").c_str());
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring folder;
    wchar_t saved[MAX_PATH];
    HCURSOR arrow = nullptr;
};

TEST_F(WaitCursor, NestedPairsRestoreOnceAtTheOutermostEnd)
{
    DWaitCursor w;
    w.Begin();
    w.Begin();
    w.Begin();
    EXPECT_EQ(GetCursor(), w.Cursor());
    EXPECT_EQ(w.Depth(), 3);
    SetCursor(nullptr);   // were an inner End to restore, it would put back the wait cursor, not the arrow
    w.End();
    w.End();
    EXPECT_EQ(GetCursor(), nullptr);
    w.End();
    EXPECT_EQ(GetCursor(), arrow);
    EXPECT_EQ(w.Depth(), 0);
}

TEST_F(WaitCursor, EndWithoutBeginChangesNothing)
{
    DWaitCursor w;
    w.End();
    EXPECT_EQ(w.Depth(), 0);
    EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(WaitCursor, MissingFileGivesTheHourglassAndIsNotLookedForAgain)
{
    DWaitCursor w;
    w.Begin();
    w.End();
    EXPECT_EQ(w.Cursor(), LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_FALSE(w.FromFile());
    WriteCursorFile(folder + L"Cursors\\Wait.ani");
    w.Begin();
    w.End();
    EXPECT_EQ(w.Cursor(), LoadCursorW(nullptr, IDC_WAIT));
    w.DestroyCursor();   // the shared hourglass is never destroyed
    EXPECT_EQ(w.Cursor(), LoadCursorW(nullptr, IDC_WAIT));
}

TEST_F(WaitCursor, CursorFileOfTheDescriptionFolderIsUsed)
{
    WriteCursorFile(folder + L"Cursors\\Wait.ani");
    DWaitCursor w;
    w.Begin();
    EXPECT_TRUE(w.FromFile());
    EXPECT_NE(w.Cursor(), LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(GetCursor(), w.Cursor());
    w.End();
    w.DestroyCursor();
    EXPECT_EQ(w.Cursor(), nullptr);
}

TEST_F(WaitCursor, OverlongFolderDoesNotOverflowThePath)
{
    std::wstring longFolder(MAX_PATH - 1, L'a');
    wmemcpy(CfgFolder, longFolder.c_str(), MAX_PATH - 1);
    CfgFolder[MAX_PATH - 1] = 0;
    DWaitCursor w;
    w.Begin();
    EXPECT_EQ(w.Cursor(), LoadCursorW(nullptr, IDC_WAIT));
    w.End();
}

}  // namespace
