// A demo site for the main patient window's tests: a database made from
// site/schema.sql with the demo patients, the site's description files in a
// "Cfg\" folder of its own, image and icon folders, an archive folder, a
// settings key of its own; the control library and the window classes
// registered; menus answered by a recording tracker.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/menu_script.h"
#include "common/settings_root.h"

class IconStrip;

namespace harness {
class ScreenLock;
}

namespace mainwndtest {

class MainWndSite : public ::testing::Test {
public:
    // Filter forms closed by the fixture since SetUp.
    static int filterFormsClosed;

protected:
    void SetUp() override;
    void TearDown() override;

    // Makes `count` small images for the patient (saved as new images).
    std::vector<DWORD> MakeImages(DWORD patientKey, int count);
    // Creates the window (its first load runs); asserts that it exists.
    void OpenWindow();
    // Opens the window with the patient chosen and `images` new images of his.
    IconStrip& ChoosePatientWithImages(DWORD patient, int images);
    // Pumps this thread's messages for up to `ms`.
    static void Pump(DWORD ms = 50);
    std::wstring StatusText(int part);
    std::wstring CaptionText();
    // The keys of the list's rows, in order.
    std::vector<DWORD> ListKeys();
    int ListRow(DWORD key);
    // Runs one SQL statement; false on failure.
    bool Exec(const std::wstring& sql);
    // One integer of a query (the first column of the first row), -1 when no row.
    long QueryInt(const std::wstring& sql);
    long Count(const std::wstring& table, const std::wstring& where = L"");
    // Sends a key to the focused control of the window, as if pressed.
    void PressKey(WPARAM key, bool shift = false, bool control = false);
    static bool FileExists(const std::wstring& path);

    std::wstring folder_;              // the site, ending with "\"
    std::vector<long> patients_;       // the demo patients' keys
    UINT_PTR filterCloser_ = 0;        // the timer that closes filter forms
    bool russianSite_ = true;          // the language of the site's templates (set before SetUp)

private:
    // The window fills the screen: no other test's window or mouse meanwhile.
    std::shared_ptr<harness::ScreenLock> screenLock_;
    // What the forms store at the end (the lists' column widths, their
    // fonts) stays with the test: an English site's widths would otherwise
    // be the next Russian site's, whose longer captions they cut. Released
    // with the fixture, after the settings scope of a fixture built on this
    // one has given the root back to it.
    std::unique_ptr<PrivateSettingsKey> settingsKey_;
};

}  // namespace mainwndtest
