// The modal driver the window tests of every folder use: a step's time and
// what a failed step leaves behind decide whether a slow run fails cleanly
// or hangs every test after it.
#include "common/modal_driver.h"
#include "common/window_harness.h"

#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

namespace {

// Cancels the message box the step finds.
bool Cancel(HWND box)
{
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    return true;
}

TEST(ModalDriverTest, AStepsTimeRunsFromWhenItIsWaitedForNotFromTheDriversMaking)
{
    harness::ScreenLock screen;
    // A wait before the step longer than its time: a time run from the making is over.
    harness::ModalDriver driver(3000);
    Sleep(3500);   // as a driver that first waits for the screen
    driver.Then(L"#32770", Cancel);
    harness::PumpUntil([] { return false; }, 100);   // the box comes a little later
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, L"A box the step cancels", L"Modal driver", MB_OKCANCEL));
    EXPECT_TRUE(driver.Done());
}

TEST(ModalDriverTest, ADialogThatComesAfterAFailedStepIsClosedToo)
{
    harness::ScreenLock screen;
    harness::ModalDriver driver(200);
    driver.Then(L"NoSuchWindowClass", Cancel);
    EXPECT_NONFATAL_FAILURE(harness::PumpUntil([] { return false; }, 2000), "found no window of class");
    // Without the driver's care this box would wait for an answer for ever.
    EXPECT_EQ(IDCANCEL, MessageBoxW(nullptr, L"A box after the failure", L"Modal driver", MB_OKCANCEL));
}

}  // namespace
