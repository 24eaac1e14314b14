// What the printing tests share: the CUPS printers of the run, PDF files they
// print, Unix tools to read those files, a private settings root, and a
// driver for modal dialogs.
//
// ./test.sh starts a private cupsd with two cups-pdf queues before the tests
// (cmake/setup.sh, tf_start_cups): "PDF" (A4, printable to the edges) and
// "PDFMargins" (A4 whose printable region starts 18 x 36 points in), and
// exports TF_PDF_DIR, the folder the PDF files of this run appear in. A test
// that needs them fails with a clear message when they are not there.
#pragma once

#include "foundation/settingskey.h"
#include "ui/std_controls.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/dialog_look.h"
#include "common/input_text.h"
#include "common/modal_driver.h"
#include "common/window_harness.h"

namespace printtest {

extern const wchar_t kPdfPrinter[];       // "PDF"
extern const wchar_t kMarginsPrinter[];   // "PDFMargins"

// A text for a test's message: ASCII as it stands, every other letter '?'.
std::string Narrow(const std::wstring& text);

// Whether the run's CUPS printers are there; otherwise the failure message.
::testing::AssertionResult CupsPrinters();
// ASSERT-style guard for tests that print.
#define REQUIRE_CUPS() ASSERT_TRUE(::printtest::CupsPrinters())

// Returns once CUPS has printed the jobs of the cases before, which ran one
// at a time with this one (tests.cmake): a PDF that appears from now on is
// this case's own. Called before a case's first document.
void AwaitIdlePrinters();

// The printer's DEVMODE (from its driver), portrait or landscape, A4.
std::vector<BYTE> PrinterDevMode(const wchar_t* printer, bool landscape);

// A document name no other test of the run uses.
std::wstring UniqueDocName(const wchar_t* stem);
// Waits (bounded) for the PDF file of the document to be written in full;
// its Unix path, or empty.
std::string WaitForPdf(const std::wstring& docName);

// Runs a Unix shell command line and returns what it printed (standard
// output and error); *status receives its exit status (-1 when it did not
// end within the time).
std::string RunUnix(const std::string& command, int* status = nullptr, DWORD timeoutMs = 60000);

// A grey image read from a PGM (P5) file: 0 black, 255 white.
struct GreyImage {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    unsigned char At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
// Renders the PDF's first page at the resolution (pdftoppm -gray).
bool RenderFirstPage(const std::string& pdf, int dpi, GreyImage* image);

// Points the printing settings at a fresh key of its own for the test's life.
class PrivateSettings {
public:
    PrivateSettings();
    ~PrivateSettings();
    const std::wstring& Path() const { return path_; }
    HKEY Open(const wchar_t* sub, bool create = true) const;   // the caller closes it

private:
    std::wstring path_;
    SettingsRoot previous_;
};

// Registers the classes of the text input window (and its button) for the
// test's life.
class InputClasses {
public:
    InputClasses();
    ~InputClasses();
};

// Runs steps against the thread's modal windows from a timer while a modal
// call runs (common/modal_driver.h): each step gets the top-level window of
// this thread whose class is `className` (or any dialog for "#32770") and
// returns true when it has done its work. A step whose window does not come
// within 15 s fails the test and the window (a text input window too) is
// closed. The dialogs it drives show on the shared display: it holds the
// screen lock, so that they never come over the window of a test that sends
// real input.
class ModalDriver : public harness::ModalDriver {
public:
    ModalDriver();

private:
    harness::ScreenLock screen_;
};

// The visible, enabled top-level window of this thread with the class name,
// or null.
inline HWND FindThreadWindow(const wchar_t* className, HWND exclude = nullptr)
{
    return harness::FindThreadWindow(className, nullptr, exclude);
}
// Clicks a dialog's button (BM_CLICK).
void ClickButton(HWND dialog, int id);
// Types into the text input window and accepts it.
using harness::AnswerInputText;

// Runs a step on a thread of its own, for what the user does while the
// printing thread waits.
class Helper {
public:
    explicit Helper(std::function<void()> step) : step_(std::move(step))
    {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Helper() { Join(); }
    void Join()
    {
        if (thread_) {
            WaitForSingleObject(thread_, 30000);
            CloseHandle(thread_);
            thread_ = nullptr;
        }
    }

private:
    static DWORD WINAPI Run(void* param)
    {
        static_cast<Helper*>(param)->step_();
        return 0;
    }
    std::function<void()> step_;
    HANDLE thread_ = nullptr;
};

// Pictures of windows (for looking at them): tests/common/dialog_look.h.
using harness::PictureFolder;
using harness::SaveWindowBmp;

}  // namespace printtest
