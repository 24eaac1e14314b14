#include "form_window_fixture.h"

#include "forms/kartwnd.h"
#include "ui/init_rows.h"

std::vector<std::function<void()>>* FormWindowTest::steps_ = nullptr;
size_t FormWindowTest::next_ = 0;

void FormWindowTest::SetUp()
{
    lock_ = new harness::ScreenLock;
    KartDbTest::SetUp();
    if (HasFatalFailure())
        return;
    size_t failed = 0;
    ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, &failed)) << failed;
    ASSERT_TRUE(DbKartWindow::RegisterClasses());
}

void FormWindowTest::TearDown()
{
    if (timer_ != 0)
        KillTimer(nullptr, timer_);
    harness::Pump(20);
    DbKartWindow::UnregisterClasses();
    UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    delete steps_;
    steps_ = nullptr;
    KartDbTest::TearDown();
    delete lock_;
}

void FormWindowTest::Schedule(std::vector<std::function<void()>> steps)
{
    delete steps_;
    steps_ = new std::vector<std::function<void()>>(std::move(steps));
    next_ = 0;
    timer_ = SetTimer(nullptr, 0, 30, Tick);
}

void CALLBACK FormWindowTest::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    if (steps_ == nullptr || next_ >= steps_->size()) {
        KillTimer(nullptr, id);
        return;
    }
    // A step may run a nested loop of its own: take it before running it.
    std::function<void()> step = (*steps_)[next_++];
    step();
}

std::wstring FormWindowTest::TextOf(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

namespace {

struct Search {
    const wchar_t* name;
    HWND found;
};

BOOL CALLBACK FindProc(HWND w, LPARAM p)
{
    Search* s = reinterpret_cast<Search*>(p);
    wchar_t name[128] = {};
    GetClassNameW(w, name, 128);
    if (wcscmp(name, s->name) == 0 && IsWindowVisible(w)) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FormWindowTest::FindOwn(const wchar_t* className)
{
    Search search = {className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void FormWindowTest::Press(HWND window, WPARAM key)
{
    SendMessageW(window, WM_KEYDOWN, key, 1);
}

void FormWindowTest::Type(HWND window, wchar_t ch)
{
    SendMessageW(window, WM_CHAR, ch, 1);
}
