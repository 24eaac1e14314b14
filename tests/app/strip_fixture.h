// Fixtures of the image strip, note and template tests: a data folder with
// "Image\" and "Icon\" set as the program's folders, a database made from the
// site schema through the provider (opened as the program's session), the
// control library and the strip's window classes, a host window, a private
// settings root, popup menus answered from a script, and helpers that put
// rows and thumbnail files in place.
#pragma once

#include "app/iconsnimok.h"
#include "app/iconstrip.h"
#include "app_fixture.h"
#include "common/prompt_script.h"
#include "common/window_harness.h"
#include "ui/placement.h"

#include "common/menu_script.h"

#include <memory>
#include <string>
#include <vector>

namespace striptest {

// Records what the strip tells its owner.
struct RecordingOwner : IconStripOwner {
    std::vector<std::string> calls;
    int OpenImage(DWORD imageKey, const wchar_t* fileName) override;
    void ShowNote(DWORD imageKey, DWORD patientKey) override;
    int OnKey(WPARAM key) override;
    void ImagesCounted(int count) override;
};

class StripTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a statement on the program's session (an INSERT naming the
    // table's own key column runs with IDENTITY_INSERT on).
    void Exec(const std::wstring& sql);
    std::wstring Scalar(const std::wstring& sql);
    // A patient with a known key.
    void AddPatient(long key, const wchar_t* name);
    // An image row: date as "YYYYMMDD hh:mm", file name (empty: NULL), disk,
    // negative, description (null: NULL).
    void AddImage(long key, long patient, const wchar_t* date, const wchar_t* fileName, int disk = 1,
                  int negative = 0, const wchar_t* note = nullptr);
    // A thumbnail file of one grey value.
    void WriteThumbnail(const std::wstring& fileName, BYTE value);
    std::wstring IconPath(const std::wstring& fileName) const;

    std::unique_ptr<apptest::TempFolder> folder;
    std::unique_ptr<apptest::TestKey> settings;
    std::unique_ptr<harness::HostWindow> host;
    SettingsRoot oldRoot = {};
};

}  // namespace striptest
