// Message maps and handler tables: which handler runs, with which unpacked
// arguments, and what the window procedure returns.
#include "common/window_harness.h"
#include "ui/dwindow.h"
#include "ui/handler_table.h"

#include <stdexcept>

using harness::CallLog;
using harness::LogMatches;

namespace {

HINSTANCE Instance()
{
    return GetModuleHandleW(nullptr);
}

const UINT kPrivate = 0x8001;
const UINT kThrowPosted = WM_APP + 7;

class MapWindow : public DWindow {
public:
    DMessageMap* GetMessageMap() override { return &map; }

    void OnMouseMove(WPARAM keys, int x, int y) { log.Addf("move %u %d %d", keys, x, y); }
    void OnLButtonDown(WPARAM keys, UINT x, UINT y) { log.Addf("ldown %u %u %u", keys, x, y); }
    LRESULT OnNcHitTest(int x, int y) { log.Addf("hittest %d %d", x, y); return HTCAPTION; }
    void OnSize(WPARAM type, int w, int h) { log.Addf("size %u %d %d", type, w, h); }
    LRESULT OnSetText(LPARAM) { return 77; }              // kind 15: result passes through
    void OnGetTextLength() { log.Add("gettextlength"); }   // kind 1: result is 0
    LRESULT OnPaint(PAINTSTRUCT* ps)
    {
        paintDC = ps->hdc;
        paintRect = ps->rcPaint;
        return 5;
    }
    void OnPrivate(WPARAM w) { log.Addf("private %u", w); }
    void OnThrow() { throw std::runtime_error("posted"); }
    void OnCommand(int id, int code, LPARAM l) { log.Addf("command %d %d %ld", id, code, l); }

    static DMessageMapEntry entries[];
    static DMessageMap map;
    CallLog log;
    HDC paintDC = nullptr;
    RECT paintRect = {};
};
DMessageMapEntry MapWindow::entries[] = {
    DMapEntry<MsgCrack::kWParam>(kPrivate, &MapWindow::OnPrivate),
    DMapEntry<MsgCrack::kWParamLHalvesSigned>(WM_MOUSEMOVE, &MapWindow::OnMouseMove),
    DMapEntry<MsgCrack::kWParamLHalves>(WM_LBUTTONDOWN, &MapWindow::OnLButtonDown),
    DMapEntry<MsgCrack::kLHalvesSignedResult>(WM_NCHITTEST, &MapWindow::OnNcHitTest),
    DMapEntry<MsgCrack::kWParamLHalvesSigned>(WM_SIZE, &MapWindow::OnSize),
    DMapEntry<MsgCrack::kLParamResult>(WM_SETTEXT, &MapWindow::OnSetText),
    DMapEntry<MsgCrack::kNone>(WM_GETTEXTLENGTH, &MapWindow::OnGetTextLength),
    DMapEntry<MsgCrack::kPaint>(WM_PAINT, &MapWindow::OnPaint),
    DMapEntry<MsgCrack::kNone>(kThrowPosted, &MapWindow::OnThrow),
    DMapEntry<MsgCrack::kWHalvesSignedLParam>(WM_COMMAND, &MapWindow::OnCommand),
    DMapEnd(),
};
DMessageMap MapWindow::map = {-1, 0, MapWindow::entries};

const wchar_t kMapClass[] = L"Dispatch map window";

class MessageMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        WindowClass cls{kMapClass};
        cls.instance = Instance();
        ASSERT_TRUE(DWindow::RegisterMapClass(cls));
        ASSERT_TRUE(w.Create(0, kMapClass, nullptr, WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, Instance(), nullptr));
        w.log.Clear();
    }
    void TearDown() override
    {
        w.Destroy();
        UnregisterClassW(kMapClass, Instance());
    }
    LRESULT Send(UINT m, WPARAM wp, LPARAM lp) { return SendMessageW(w.GetHwnd(), m, wp, lp); }
    MapWindow w;
};

TEST_F(MessageMap, CoordinatesAreSignedOrUnsignedByKind)
{
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, -7));
    Send(WM_LBUTTONDOWN, 0, MAKELPARAM(-1, 3));
    EXPECT_EQ(Send(WM_NCHITTEST, 0, MAKELPARAM(-20, 40000)), HTCAPTION);
    Send(WM_COMMAND, MAKEWPARAM(0xFFFF, 2), 9);
    EXPECT_TRUE(LogMatches(w.log, {"move 1 -5 -7", "ldown 0 65535 3", "hittest -20 -25536", "command -1 2 9"}));
}

TEST_F(MessageMap, ResultKindsPassOrDropTheHandlersResult)
{
    EXPECT_EQ(Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x")), 77);
    EXPECT_EQ(Send(WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_TRUE(w.log.Contains("gettextlength"));
}

TEST_F(MessageMap, UnmappedMessagesGoToDefWindowProc)
{
    // Below the first entry, between entries, above the last.
    EXPECT_EQ(Send(WM_NULL, 0, 0), 0);
    SetWindowTextW(w.GetHwnd(), L"abc");   // WM_SETTEXT is mapped: the text never reaches the default
    EXPECT_EQ(Send(WM_GETTEXT, 0, 0), 0);
    EXPECT_EQ(Send(0x9000, 1, 2), DefWindowProcW(w.GetHwnd(), 0x9000, 1, 2));
    EXPECT_EQ(w.log.Lines().size(), 0u);
}

TEST_F(MessageMap, PrivateMessagesAboveWmUserAreMapped)
{
    Send(kPrivate, 42, 0);
    EXPECT_TRUE(LogMatches(w.log, {"private 42"}));
}

TEST_F(MessageMap, PaintKindWrapsBeginAndEndPaint)
{
    ShowWindow(w.GetHwnd(), SW_SHOWNA);
    RECT r = {1, 2, 11, 12};
    InvalidateRect(w.GetHwnd(), &r, FALSE);
    EXPECT_EQ(Send(WM_PAINT, 0, 0), 5);
    EXPECT_NE(w.paintDC, nullptr);
    EXPECT_LE(w.paintRect.left, 1);
    EXPECT_GE(w.paintRect.right, 11);
    RECT left;
    EXPECT_FALSE(GetUpdateRect(w.GetHwnd(), &left, FALSE)) << "EndPaint validated the window";
}

TEST_F(MessageMap, ExceptionFromAPostedMessageReachesTheLoop)
{
    PostMessageW(w.GetHwnd(), kThrowPosted, 0, 0);
    PostQuitMessage(3);
    EXPECT_THROW(RunMessageLoop(), std::runtime_error);
    EXPECT_FALSE(HasWindowException());
    EXPECT_EQ(RunMessageLoop(), 3) << "the quit message is still queued after the exception";
}

// The kept exception belongs to its thread: another thread sees none, and one
// that a window thread kept and never took is released when the thread ends.
LONG gKeptAlive = 0;

struct KeptCounted {
    KeptCounted() { InterlockedIncrement(&gKeptAlive); }
    KeptCounted(const KeptCounted&) { InterlockedIncrement(&gKeptAlive); }
    ~KeptCounted() { InterlockedDecrement(&gKeptAlive); }
};

struct KeepingThread {
    HANDLE kept = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool held = false;

    static DWORD WINAPI Body(void* param)
    {
        KeepingThread* self = static_cast<KeepingThread*>(param);
        try {
            throw KeptCounted();
        } catch (...) {
            KeepWindowException();
        }
        self->held = HasWindowException();
        SetEvent(self->kept);
        WaitForSingleObject(self->end, INFINITE);
        return 0;
    }
};

TEST(KeptException, BelongsToItsThreadAndGoesWithIt)
{
    KeepingThread run;
    HANDLE thread = CreateThread(nullptr, 0, KeepingThread::Body, &run, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(run.kept, 10000));
    EXPECT_TRUE(run.held);
    EXPECT_FALSE(HasWindowException()) << "another thread's exception";
    EXPECT_EQ(1, gKeptAlive);
    SetEvent(run.end);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    EXPECT_EQ(0, gKeptAlive) << "the ended thread's exception is still held";
    CloseHandle(thread);
    CloseHandle(run.kept);
    CloseHandle(run.end);
}

TEST_F(MessageMap, UnsortedMapIsScannedLinearly)
{
    static DMessageMapEntry entries[] = {
        DMapEntry<MsgCrack::kLParamResult>(WM_SETTEXT, &MapWindow::OnSetText),
        DMapEntry<MsgCrack::kWParam>(kPrivate, &MapWindow::OnPrivate),
        DMapEntry<MsgCrack::kNone>(WM_GETTEXTLENGTH, &MapWindow::OnGetTextLength),
        DMapEnd(),
    };
    DMessageMap saved = MapWindow::map;
    MapWindow::map = {-1, 0, entries};
    EXPECT_EQ(w.WindowProc(WM_SETTEXT, 0, 0), 77);
    w.WindowProc(kPrivate, 4, 0);
    w.WindowProc(WM_GETTEXTLENGTH, 0, 0);
    MapWindow::map = saved;
    EXPECT_TRUE(LogMatches(w.log, {"private 4", "gettextlength"}));
}

TEST_F(MessageMap, OneEntryMapDispatchesOnlyThatMessage)
{
    static DMessageMapEntry entries[] = {
        DMapEntry<MsgCrack::kLParamResult>(WM_SETTEXT, &MapWindow::OnSetText),
        DMapEnd(),
    };
    DMessageMap saved = MapWindow::map;
    MapWindow::map = {-1, 0, entries};
    DWindow::SortMessageMap(&MapWindow::map);
    EXPECT_EQ(MapWindow::map.count, 1);
    EXPECT_EQ(w.WindowProc(WM_SETTEXT, 0, 0), 77);
    EXPECT_EQ(w.WindowProc(WM_GETTEXTLENGTH, 0, 0), DefWindowProcW(w.GetHwnd(), WM_GETTEXTLENGTH, 0, 0));
    MapWindow::map = saved;
    EXPECT_EQ(w.log.Lines().size(), 0u);
}

TEST(MessageMapSort, EntriesAreOrderedByMessageNumber)
{
    static DMessageMapEntry entries[] = {
        DMapEntry<MsgCrack::kWParam>(0x8001, &MapWindow::OnPrivate),
        DMapEntry<MsgCrack::kNone>(WM_GETTEXTLENGTH, &MapWindow::OnGetTextLength),
        DMapEntry<MsgCrack::kLParamResult>(WM_SETTEXT, &MapWindow::OnSetText),
        DMapEnd(),
    };
    DMessageMap map = {-1, 0, entries};
    DWindow::SortMessageMap(&map);
    ASSERT_EQ(map.count, 3);
    EXPECT_EQ(entries[0].message, static_cast<UINT>(WM_SETTEXT));
    EXPECT_EQ(entries[1].message, static_cast<UINT>(WM_GETTEXTLENGTH));
    EXPECT_EQ(entries[2].message, 0x8001u);
    DMessageMap none = {-1, 0, nullptr};
    DWindow::SortMessageMap(&none);
    EXPECT_EQ(none.count, 0);
}

// ---- handler tables -------------------------------------------------------

struct TableObject {
    HWND hwnd = nullptr;
    CallLog log;
    void OnMouseMove(int x, int y, WPARAM keys) { log.Addf("move %d %d %u", x, y, keys); }
    LRESULT OnCreate(HWND h, LPARAM) { log.Add(h == hwnd ? "create bound" : "create unbound"); return 0; }
    LRESULT OnEraseBkgnd(WPARAM) { return 9; }
    void OnTimer(WPARAM id, LPARAM) { log.Addf("timer %u", id); }
    LRESULT OnMouseActivate(WPARAM, int hit, int msg) { log.Addf("activate %d %d", hit, msg); return MA_NOACTIVATE; }
};

HandlerTable gTable;
const wchar_t kTableClass[] = L"Dispatch table window";

class HandlerTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const HandlerEntry handlers[] = {
            OnMessage<WM_MOUSEMOVE, &TableObject::OnMouseMove>(),
            OnMessage<WM_CREATE, &TableObject::OnCreate>(),
            OnMessage<WM_ERASEBKGND, &TableObject::OnEraseBkgnd>(),
            OnMessage<WM_TIMER, &TableObject::OnTimer>(),
            OnMessage<WM_MOUSEACTIVATE, &TableObject::OnMouseActivate>(),
        };
        gTable.Fill(handlers, sizeof(handlers) / sizeof(handlers[0]));
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.cbWndExtra = 4;
        wc.hInstance = Instance();
        wc.lpszClassName = kTableClass;
        ASSERT_NE(RegisterWindowClass(&wc), 0);
        DWindowDesc d = {&o, &o.hwnd, TableWindowProc<TableObject, gTable>, 0, kTableClass, nullptr, WS_POPUP,
                         0,  0,       10,                                  10, nullptr,     nullptr, Instance(), nullptr};
        ASSERT_NE(CreateWindowFromDesc(&d), nullptr);
    }
    void TearDown() override
    {
        if (o.hwnd)
            DestroyWindow(o.hwnd);
        UnregisterClassW(kTableClass, Instance());
    }
    TableObject o;
};

TEST_F(HandlerTables, ShapesUnpackArgumentsAndResults)
{
    SendMessageW(o.hwnd, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(-3, 65535));
    EXPECT_EQ(SendMessageW(o.hwnd, WM_ERASEBKGND, 0, 0), 9);
    SendMessageW(o.hwnd, WM_TIMER, 12, 0);   // shape C: the window procedure returns 0
    EXPECT_EQ(SendMessageW(o.hwnd, WM_MOUSEACTIVATE, 0, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)), MA_NOACTIVATE);
    EXPECT_TRUE(LogMatches(o.log, {"create bound", "move -3 -1 2", "timer 12", "activate 1 513"}));
}

TEST_F(HandlerTables, WindowIsForgottenAtNcDestroy)
{
    HWND h = o.hwnd;
    DestroyWindow(h);
    EXPECT_EQ(o.hwnd, nullptr);
    EXPECT_EQ(WindowObject<TableObject>(h), nullptr);
}

TEST_F(HandlerTables, MessagesFrom1024OnNeverTouchTheTable)
{
    // Whatever sits past the table, a private message goes to DefWindowProcW.
    EXPECT_EQ(DispatchMemberTable(gTable, o.hwnd, 0x8001, 1, 2), DefWindowProcW(o.hwnd, 0x8001, 1, 2));
    EXPECT_EQ(DispatchMemberTable(gTable, o.hwnd, 1024, 1, 2), DefWindowProcW(o.hwnd, 1024, 1, 2));
}

TEST(MessageShapes, EveryListedMessageHasBothUnpackers)
{
    EXPECT_EQ(MsgCrack::kListedMessages, 156);
    int member = 0, stat = 0;
    for (UINT m = 0; m < 1024; ++m) {
        member += MsgCrack::Member[m] != nullptr;
        stat += MsgCrack::Static[m] != nullptr;
        EXPECT_EQ(MsgCrack::Member[m] != nullptr, MsgCrack::ShapeOf(m) != MsgCrack::kNoShape) << m;
    }
    const int range = MSG_SHAPE_RANGE_LAST - MSG_SHAPE_RANGE_FIRST + 1;
    EXPECT_EQ(member, 156 + range);
    EXPECT_EQ(stat, member);
    EXPECT_EQ(MsgCrack::ShapeOf(WM_MOUSEMOVE), MsgCrack::I);
    EXPECT_EQ(MsgCrack::ShapeOf(WM_CREATE), MsgCrack::K);
    EXPECT_EQ(MsgCrack::ShapeOf(WM_USER - 1), MsgCrack::kNoShape);
}

int gStaticX, gStaticY;
void StaticMove(int x, int y, WPARAM) { gStaticX = x; gStaticY = y; }
LRESULT StaticHitTest(int, int) { return HTBOTTOM; }

TEST(StaticTables, HandlersRunWithoutAnObject)
{
    static HandlerTable table;
    static const HandlerEntry handlers[] = {
        OnStatic<WM_MOUSEMOVE, &StaticMove>(),
        OnStatic<WM_NCHITTEST, &StaticHitTest>(),
    };
    table.Fill(handlers, 2);
    HWND h = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, Instance(), nullptr);
    ASSERT_NE(h, nullptr);
    DispatchStaticTable(table, h, WM_MOUSEMOVE, 0, MAKELPARAM(-8, 9));
    EXPECT_EQ(gStaticX, -8);
    EXPECT_EQ(gStaticY, 9);
    EXPECT_EQ(DispatchStaticTable(table, h, WM_NCHITTEST, 0, 0), HTBOTTOM);
    DestroyWindow(h);
}

}  // namespace

// ---- one handler shape per message ----------------------------------------

const UINT kShapedPrivate = WM_APP + 9;


template <>
struct MsgCrack::PrivateShape<kShapedPrivate> : MsgCrack::ShapeIs<MsgCrack::D> {};

namespace {

// The same handlers serve a message map and a handler table.
struct ShapedHandlers {
    CallLog log;
    HWND handle = nullptr;
    LRESULT OnCreate(HWND h, LPARAM) { log.Add(h == handle ? "create bound" : "create unbound"); return 0; }
    void OnSize(int w, int h, WPARAM type) { log.Addf("size %d %d %u", w, h, type); }
    void OnMouseMove(int x, int y, WPARAM keys) { log.Addf("move %d %d %u", x, y, keys); }
    LRESULT OnCommand(UINT id, UINT code, LPARAM) { log.Addf("command %u %u", id, code); return 3; }
    LRESULT OnPrivate(WPARAM w, LPARAM l) { log.Addf("private %u %ld", w, l); return 11; }
};

class ShapedMapWindow : public DWindow, public ShapedHandlers {
public:
    DMessageMap* GetMessageMap() override { return &map; }
    LRESULT OnCreate(HWND h, LPARAM l) { handle = hwnd; return ShapedHandlers::OnCreate(h, l); }
    void OnSize(int w, int h, WPARAM type) { ShapedHandlers::OnSize(w, h, type); }
    void OnMouseMove(int x, int y, WPARAM keys) { ShapedHandlers::OnMouseMove(x, y, keys); }
    LRESULT OnCommand(UINT id, UINT code, LPARAM l) { return ShapedHandlers::OnCommand(id, code, l); }
    LRESULT OnPrivate(WPARAM w, LPARAM l) { return ShapedHandlers::OnPrivate(w, l); }
    static DMessageMapEntry entries[];
    static DMessageMap map;
};
DMessageMapEntry ShapedMapWindow::entries[] = {
    MapMessage<WM_CREATE, &ShapedMapWindow::OnCreate>(),
    MapMessage<WM_SIZE, &ShapedMapWindow::OnSize>(),
    MapMessage<WM_MOUSEMOVE, &ShapedMapWindow::OnMouseMove>(),
    MapMessage<WM_COMMAND, &ShapedMapWindow::OnCommand>(),
    MapMessage<kShapedPrivate, &ShapedMapWindow::OnPrivate>(),
    DMapEnd(),
};
DMessageMap ShapedMapWindow::map = {-1, 0, ShapedMapWindow::entries};

struct ShapedTableObject : ShapedHandlers {
    HWND hwnd = nullptr;
    LRESULT OnCreate(HWND h, LPARAM l) { handle = hwnd; return ShapedHandlers::OnCreate(h, l); }
};
HandlerTable gShapedTable;

void SendTheShapedMessages(HWND h)
{
    SendMessageW(h, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(300, 200));
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-4, 6));
    EXPECT_EQ(SendMessageW(h, WM_COMMAND, MAKEWPARAM(7, 1), 0), 3);
    EXPECT_EQ(SendMessageW(h, kShapedPrivate, 5, 6), 11);
}

const std::vector<std::string> kShapedLog = {"size 300 200 2", "move -4 6 1", "command 7 1",
                                             "private 5 6"};

TEST(OneShapePerMessage, AMapCallsTheHandlersATableCalls)
{
    const wchar_t kClass[] = L"Shaped map window";
    ASSERT_TRUE(DWindow::RegisterMapClass({kClass}));
    {
        ShapedMapWindow w;
        ASSERT_TRUE(w.Create(0, kClass, nullptr, WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, Instance(), nullptr));
        // WM_CREATE reaches the object already bound to its window.
        ASSERT_FALSE(w.log.Lines().empty());
        EXPECT_EQ("create bound", w.log.Lines().front());
        w.log.Clear();
        SendTheShapedMessages(w.GetHwnd());
        EXPECT_TRUE(LogMatches(w.log, kShapedLog));
        w.Destroy();
    }
    UnregisterClassW(kClass, Instance());
}

TEST(OneShapePerMessage, ATableDispatchesPrivateMessagesLikeTheOthers)
{
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &ShapedTableObject::OnCreate>(),
        OnMessage<WM_SIZE, &ShapedTableObject::OnSize>(),
        OnMessage<WM_MOUSEMOVE, &ShapedTableObject::OnMouseMove>(),
        OnMessage<WM_COMMAND, &ShapedTableObject::OnCommand>(),
        OnMessage<kShapedPrivate, &ShapedTableObject::OnPrivate>(),
    };
    const wchar_t kClass[] = L"Shaped table window";
    ASSERT_NE(RegisterTableClass({kClass}, gShapedTable, handlers), 0);
    ShapedTableObject o;
    DWindowDesc d = {&o, &o.hwnd, TableWindowProc<ShapedTableObject, gShapedTable>, 0, kClass, nullptr, WS_POPUP,
                     0,  0,       10,                                               10, nullptr, nullptr, Instance(),
                     nullptr};
    ASSERT_NE(CreateWindowFromDesc(&d), nullptr);
    ASSERT_FALSE(o.log.Lines().empty());
    EXPECT_EQ("create bound", o.log.Lines().front());
    o.log.Clear();
    SendTheShapedMessages(o.hwnd);
    EXPECT_TRUE(LogMatches(o.log, kShapedLog));
    // A private message the class does not list still goes to DefWindowProcW.
    EXPECT_EQ(SendMessageW(o.hwnd, kShapedPrivate + 1, 1, 2), DefWindowProcW(o.hwnd, kShapedPrivate + 1, 1, 2));
    DestroyWindow(o.hwnd);
    UnregisterClassW(kClass, Instance());
}

LRESULT StaticPrivateResult(WPARAM w, LPARAM l) { return static_cast<LRESULT>(w + l); }

TEST(OneShapePerMessage, AStaticTableDispatchesPrivateMessages)
{
    static HandlerTable table;
    static const HandlerEntry handlers[] = {OnStatic<kShapedPrivate, &StaticPrivateResult>()};
    table.Fill(handlers, 1);
    HWND h = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, Instance(), nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DispatchStaticTable(table, h, kShapedPrivate, 4, 5), 9);
    EXPECT_EQ(DispatchStaticTable(table, h, 0x8001, 4, 5), DefWindowProcW(h, 0x8001, 4, 5));
    DestroyWindow(h);
}

}  // namespace
