// Binding a new window to its object before its first message, for the plain
// set (descriptor + first-message thunk) and the DWindow set.
#include "common/window_harness.h"
#include "ui/dwindow.h"
#include "ui/handler_table.h"

#include <stdexcept>
#include <vector>

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleW(nullptr);
}

// A plain-set object that records, for each message, whether it was already
// bound (handle stored, object at index 0) when the message arrived.
struct Probe {
    HWND hwnd = nullptr;
    std::vector<UINT> messages;
    bool unboundSeen = false;
    LRESULT createResult = 0;
    bool throwInCreate = false;
    // A child to create during WM_CREATE.
    Probe* child = nullptr;
    HWND childCreated = nullptr;
    bool slotEmptyInCreate = false;
};

const wchar_t kProbeClass[] = L"Binding probe";

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Probe* p = WindowObject<Probe>(hwnd);
    if (!p)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    try {
        p->messages.push_back(message);
        if (p->hwnd != hwnd)
            p->unboundSeen = true;
        if (message == WM_CREATE) {
            p->slotEmptyInCreate = CreationSlot::Peek() == nullptr;
            if (p->throwInCreate)
                throw std::runtime_error("create failed");
            if (p->child) {
                DWindowDesc d = {p->child, &p->child->hwnd, ProbeProc, 0,    kProbeClass, nullptr, WS_CHILD | WS_VISIBLE,
                                 0,        0,               10,        10,   hwnd,        nullptr, Instance(), nullptr};
                p->childCreated = CreateWindowFromDesc(&d);
            }
            return p->createResult;
        }
    } catch (...) {
        KeepWindowException();
        return FailedMessageResult(message);
    }
    LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongW(hwnd, 0, 0);
        p->hwnd = nullptr;
    }
    return r;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.cbWndExtra = 4;
        wc.hInstance = Instance();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kProbeClass;
        atom = RegisterWindowClass(&wc);
        ASSERT_NE(atom, 0);
        EXPECT_EQ(wc.lpfnWndProc, FirstMessageThunk);
    }
    void TearDown() override { UnregisterClassW(kProbeClass, Instance()); }

    HWND Create(Probe* p, HWND parent = nullptr)
    {
        DWindowDesc d = {p, &p->hwnd, ProbeProc, 0, kProbeClass, L"probe", parent ? WS_CHILD : WS_POPUP,
                         0, 0,        50,        50, parent,     nullptr,  Instance(), nullptr};
        return CreateWindowFromDesc(&d);
    }
    ATOM atom = 0;
};

TEST_F(Binding, BoundBeforeTheFirstMessageReachesTheClassProcedure)
{
    Probe p;
    HWND h = Create(&p);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(p.hwnd, h);
    EXPECT_EQ(WindowObject<Probe>(h), &p);
    EXPECT_FALSE(p.unboundSeen);
    ASSERT_FALSE(p.messages.empty());
    EXPECT_EQ(p.messages.front(), static_cast<UINT>(WM_NCCREATE)) << "the first message is forwarded, not eaten";
    EXPECT_NE(std::find(p.messages.begin(), p.messages.end(), static_cast<UINT>(WM_CREATE)), p.messages.end());
    EXPECT_EQ(GetWindowLongW(h, GWL_WNDPROC), reinterpret_cast<LONG>(ProbeProc));
    EXPECT_EQ(CreationSlot::Peek(), nullptr);
    DestroyWindow(h);
    EXPECT_EQ(p.hwnd, nullptr) << "the handle is forgotten when the window goes";
}

TEST_F(Binding, ChildCreatedInsideWmCreateGetsItsOwnBinding)
{
    Probe parent, child;
    parent.child = &child;
    HWND h = Create(&parent);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(parent.slotEmptyInCreate) << "the slot is empty again before WM_CREATE runs";
    ASSERT_NE(parent.childCreated, nullptr);
    EXPECT_EQ(child.hwnd, parent.childCreated);
    EXPECT_EQ(GetParent(child.hwnd), h);
    EXPECT_EQ(WindowObject<Probe>(child.hwnd), &child);
    EXPECT_EQ(WindowObject<Probe>(h), &parent);
    EXPECT_FALSE(child.unboundSeen);
    EXPECT_FALSE(parent.unboundSeen);
    DestroyWindow(h);
    EXPECT_EQ(child.hwnd, nullptr);
    EXPECT_EQ(parent.hwnd, nullptr);
}

TEST_F(Binding, NullDescriptorCreatesNothing)
{
    EXPECT_EQ(CreateWindowFromDesc(nullptr), nullptr);
    EXPECT_EQ(CreationSlot::Peek(), nullptr);
}

TEST_F(Binding, WindowWithoutDescriptorIsRefusedAndUnbound)
{
    HWND h = CreateWindowExW(0, kProbeClass, nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr);
    EXPECT_EQ(h, nullptr) << "the first-message procedure answers -1 to WM_NCCREATE";
    if (h)
        DestroyWindow(h);
}

TEST_F(Binding, FailedCreationLeavesNoStaleHandleAndAnEmptySlot)
{
    Probe p;
    p.createResult = -1;
    EXPECT_EQ(Create(&p), nullptr);
    EXPECT_EQ(p.hwnd, nullptr) << "the handle stored at the first message is cleared at WM_NCDESTROY";
    EXPECT_EQ(CreationSlot::Peek(), nullptr);

    Probe q;
    HWND h = Create(&q);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(q.hwnd, h);
    EXPECT_EQ(WindowObject<Probe>(h), &q);
    DestroyWindow(h);
}

TEST_F(Binding, ExceptionFromWmCreateReachesTheCreator)
{
    Probe p;
    p.throwInCreate = true;
    EXPECT_THROW(Create(&p), std::runtime_error);
    EXPECT_EQ(p.hwnd, nullptr);
    EXPECT_FALSE(HasWindowException());
    EXPECT_EQ(CreationSlot::Peek(), nullptr);
}

TEST_F(Binding, ExceptionFromANestedWmCreateReachesTheOuterCreator)
{
    Probe parent, child;
    child.throwInCreate = true;
    parent.child = &child;
    EXPECT_THROW(Create(&parent), std::runtime_error);
    EXPECT_EQ(parent.hwnd, nullptr);
    EXPECT_EQ(child.hwnd, nullptr);
    EXPECT_FALSE(HasWindowException());
}

TEST_F(Binding, ExceptionKeptEarlierIsNotBlamedOnALaterCreation)
{
    try {
        throw std::logic_error("earlier");
    } catch (...) {
        KeepWindowException();
    }
    Probe p;
    HWND h = Create(&p);
    EXPECT_NE(h, nullptr);
    EXPECT_THROW(RethrowWindowException(), std::logic_error);
    DestroyWindow(h);
}

// ---- DWindow set ----------------------------------------------------------

class CountingWindow : public DWindow {
public:
    DMessageMap* GetMessageMap() override { return &map; }
    LRESULT OnCreate(LPARAM) { boundAtCreate = GetHwnd() != nullptr; return 0; }
    void OnDestroy() { destroyed = true; }
    static DMessageMapEntry entries[];
    static DMessageMap map;
    bool boundAtCreate = false;
    bool destroyed = false;
};
DMessageMapEntry CountingWindow::entries[] = {
    DMapEntry<MsgCrack::kNone>(WM_DESTROY, &CountingWindow::OnDestroy),
    DMapEntry<MsgCrack::kLParamResult>(WM_CREATE, &CountingWindow::OnCreate),
    DMapEnd(),
};
DMessageMap CountingWindow::map = {-1, 0, CountingWindow::entries};

const wchar_t kDWindowClass[] = L"Binding DWindow";

class DWindowBinding : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.cbWndExtra = 4;
        wc.hInstance = Instance();
        wc.lpszClassName = kDWindowClass;
        ASSERT_TRUE(DWindow::RegisterClassEx(&wc));
        EXPECT_EQ(wc.lpfnWndProc, DWindow::FirstMessageProc);
    }
    void TearDown() override { UnregisterClassW(kDWindowClass, Instance()); }
};

TEST_F(DWindowBinding, MapIsSortedAtTheFirstWindowAndOnlyThen)
{
    CountingWindow::map.count = -1;
    CountingWindow a;
    ASSERT_TRUE(a.Create(0, kDWindowClass, nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr));
    EXPECT_TRUE(a.boundAtCreate);
    ASSERT_EQ(CountingWindow::map.count, 2);
    EXPECT_EQ(CountingWindow::entries[0].message, static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(CountingWindow::entries[1].message, static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(GetWindowLongW(a.GetHwnd(), GWL_WNDPROC), reinterpret_cast<LONG>(DWindow::StaticWndProc));

    // A sorted map is left alone: were it sorted again, this swap would be undone.
    std::swap(CountingWindow::entries[0], CountingWindow::entries[1]);
    CountingWindow b;
    ASSERT_TRUE(b.Create(0, kDWindowClass, nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr));
    EXPECT_EQ(CountingWindow::entries[0].message, static_cast<UINT>(WM_DESTROY));
    std::swap(CountingWindow::entries[0], CountingWindow::entries[1]);
    HWND h = a.GetHwnd();
    EXPECT_TRUE(a.Destroy());
    EXPECT_TRUE(a.destroyed);
    EXPECT_EQ(a.GetHwnd(), nullptr) << "cleared at WM_NCDESTROY";
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(DWindowBinding, EmptyProcedureWordBecomesStaticWndProc)
{
    CountingWindow w;
    HWND field = nullptr;
    DWindowCreateDesc d = {&w, &field, 0, nullptr, 0, kDWindowClass, nullptr, WS_POPUP, 0, 0, 10, 10,
                           nullptr, nullptr, Instance(), nullptr};
    ASSERT_TRUE(DWindow::CreateEx(&d));
    EXPECT_EQ(d.windowProc, DWindow::StaticWndProc);
    EXPECT_NE(field, nullptr);
    EXPECT_EQ(WindowObject<DWindow>(field), &w);
    DestroyWindow(field);
}

TEST_F(DWindowBinding, DestroyingTheObjectDestroysItsWindow)
{
    HWND h;
    {
        DWindow w;
        ASSERT_TRUE(w.Create(0, kDWindowClass, nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr));
        h = w.GetHwnd();
        EXPECT_TRUE(IsWindow(h));
    }
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(DWindowBinding, CreationFailureReturnsFalseWithAnEmptySlot)
{
    DWindow w;
    EXPECT_FALSE(w.Create(0, L"No such class", nullptr, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr));
    EXPECT_EQ(w.GetHwnd(), nullptr);
    EXPECT_EQ(CreationSlot::Peek(), nullptr);
}

}  // namespace
