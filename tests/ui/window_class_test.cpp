// Window class registration: one helper fills the class of map windows,
// table windows and windows with a procedure of their own.
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "ui/dwindow.h"
#include "ui/handler_table.h"

namespace {

const wchar_t kClass[] = L"Registration probe";

HICON NewIcon()
{
    return static_cast<HICON>(CopyImage(LoadIconW(nullptr, IDI_APPLICATION), IMAGE_ICON, 0, 0, 0));
}

bool IconAlive(HICON icon)
{
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return false;
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return true;
}

WNDCLASSEXW ClassInfo()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(GetClassInfoExW(hInstance, kClass, &wc));
    return wc;
}

class WindowClassTest : public ::testing::Test {
protected:
    void TearDown() override { UnregisterClassW(kClass, hInstance); }
};

struct TableProbe {
    HWND hwnd = nullptr;
    int creates = 0;
    LRESULT OnCreate(HWND, LPARAM) { ++creates; return 0; }
};
HandlerTable gProbeTable;

LRESULT CALLBACK OwnProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WindowClassTest, AMapClassBindsThroughTheMapProcedureWithTheGivenLook)
{
    ASSERT_TRUE(DWindow::RegisterMapClass(
        {kClass, CS_OWNDC | CS_NOCLOSE, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1))}));
    const WNDCLASSEXW wc = ClassInfo();
    EXPECT_EQ(reinterpret_cast<WNDPROC>(DWindow::FirstMessageProc), wc.lpfnWndProc);
    EXPECT_EQ(static_cast<UINT>(CS_OWNDC | CS_NOCLOSE), wc.style);
    EXPECT_EQ(4, wc.cbWndExtra) << "the object's slot";
    EXPECT_EQ(0, wc.cbClsExtra);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(5), wc.hbrBackground);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), wc.hCursor) << "the arrow unless a cursor is given";
    EXPECT_EQ(nullptr, wc.hIcon);
    EXPECT_FALSE(DWindow::RegisterMapClass({kClass})) << "a class is registered once";
}

TEST_F(WindowClassTest, ATableClassFillsItsTableAndBindsThroughTheThunk)
{
    gProbeTable = HandlerTable{};
    static const HandlerEntry handlers[] = {OnMessage<WM_CREATE, &TableProbe::OnCreate>()};
    HCURSOR cross = LoadCursorW(nullptr, IDC_CROSS);
    WindowClass cls{kClass, CS_NOCLOSE};
    cls.cursor = cross;
    ASSERT_NE(0, RegisterTableClass(cls, gProbeTable, handlers));
    const WNDCLASSEXW wc = ClassInfo();
    EXPECT_EQ(reinterpret_cast<WNDPROC>(FirstMessageThunk), wc.lpfnWndProc);
    EXPECT_EQ(cross, wc.hCursor);
    EXPECT_EQ(nullptr, wc.hbrBackground);

    TableProbe probe;
    DWindowDesc d = {&probe, &probe.hwnd, TableWindowProc<TableProbe, gProbeTable>, 0, kClass, nullptr, WS_POPUP,
                     0, 0, 10, 10, nullptr, nullptr, hInstance, nullptr};
    ASSERT_NE(nullptr, CreateWindowFromDesc(&d));
    EXPECT_EQ(1, probe.creates) << "WM_CREATE went through the table filled at registration";
    DestroyWindow(probe.hwnd);
}

TEST_F(WindowClassTest, AClassMayKeepItsOwnProcedure)
{
    WindowClass cls{kClass};
    cls.procedure = OwnProcedure;
    ASSERT_NE(0, RegisterTableClass(cls, gProbeTable, {OnMessage<WM_CREATE, &TableProbe::OnCreate>()}));
    EXPECT_EQ(reinterpret_cast<WNDPROC>(OwnProcedure), ClassInfo().lpfnWndProc);
}

TEST_F(WindowClassTest, TheClassOwnsItsIcons)
{
    WindowClass cls{kClass};
    cls.icon = NewIcon();
    cls.smallIcon = NewIcon();
    ASSERT_NE(0, RegisterClassWith(cls, FirstMessageThunk));
    EXPECT_EQ(cls.icon, ClassInfo().hIcon);
    EXPECT_EQ(cls.smallIcon, ClassInfo().hIconSm);

    // A second registration fails and destroys the icons it was given.
    WindowClass again{kClass};
    again.icon = NewIcon();
    again.smallIcon = NewIcon();
    ASSERT_TRUE(IconAlive(again.icon));
    EXPECT_EQ(0, RegisterClassWith(again, FirstMessageThunk));
    EXPECT_FALSE(IconAlive(again.icon));
    EXPECT_FALSE(IconAlive(again.smallIcon));

    // Unregistering destroys the class's own.
    EXPECT_TRUE(UnregisterClassAndIcons(kClass));
    EXPECT_FALSE(IconAlive(cls.icon));
    EXPECT_FALSE(IconAlive(cls.smallIcon));
    EXPECT_FALSE(UnregisterClassAndIcons(kClass)) << "nothing left to unregister";
}

TEST_F(WindowClassTest, AClassRegisteredOnceIsUnregisteredOnceWithItsIcon)
{
    bool registered = false;
    HICON icon = NewIcon();
    UnregisterClassOnce(registered, kClass, &icon);
    EXPECT_TRUE(IconAlive(icon)) << "nothing registered: nothing undone";
    ASSERT_TRUE(DWindow::RegisterMapClass({kClass}));
    registered = true;
    UnregisterClassOnce(registered, kClass, &icon);
    EXPECT_FALSE(registered);
    EXPECT_EQ(nullptr, icon);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    EXPECT_FALSE(GetClassInfoExW(hInstance, kClass, &wc)) << "the class is gone";
    UnregisterClassOnce(registered, kClass);   // a second time: nothing
}

}  // namespace
