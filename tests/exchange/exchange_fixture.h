// Fixtures of the data-exchange tests: a driver of the modal dialogs that the
// import and export open (steps run from a timer inside their loops), files
// in a folder of the test's own, the DICOM export server stand-in (its
// registration, its settings, starting and stopping it) and the host's DICOM
// checkers (dcmtk, dicom3tools), which Wine starts as Unix programs.
#pragma once

#include "common/dialog_look.h"
#include "common/prompt_script.h"
#include "common/test_files.h"
#include "common/window_harness.h"
#include "images/pixels/picture.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace exchtest {

// ---- modal dialogs ----------------------------------------------------------------

// A visible top-level dialog ("#32770") of this process whose caption is
// `title` (and that has the control `control`, when not 0), or null.
HWND FindOwnDialog(const std::wstring& title, int control = 0);
// The files of a folder matching a pattern ("*.bmp").
std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern);

// Types the name into the open or save dialog's name field and presses OK.
void TypeFileName(HWND dialog, const std::wstring& name);

// Steps run, in order, from a timer while the code under test sits in a
// modal loop: each step waits until its window is there (its finder returns
// one), then acts on it. A step list that is not done within 20 seconds, or
// a dialog still open 40 seconds after the first step, fails the test and
// cancels the dialogs it finds.
class DialogDriver
{
public:
    typedef std::function<HWND()> Finder;
    typedef std::function<void(HWND)> Action;

    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    void Then(Finder find, Action act);
    // The dialog titled `title`: press the button `id`.
    void Press(const std::wstring& title, int id);
    // The file dialog titled `title`: type `path` as the file name, press OK.
    void ChooseFile(const std::wstring& title, const std::wstring& path);
    bool Done() const { return next_ >= steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    void Step();

    struct StepEntry
    {
        Finder find;
        Action act;
    };
    std::vector<StepEntry> steps_;
    size_t next_ = 0;
    UINT_PTR timer_ = 0;
    DWORD started_ = 0;
    bool failed_ = false;
};

// ---- files ---------------------------------------------------------------------

// A folder of its own below the temporary folder, deleted with its files.
class TempFolder : public testfix::TempDir
{
public:
    explicit TempFolder(const wchar_t* tag) : TempDir((L"exch_" + std::wstring(tag) + L"_").c_str()) {}
    std::wstring File(const std::wstring& name) const { return Path() + name; }
};

std::vector<uint8_t> ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool FileThere(const std::wstring& path);
// The Unix path of a Windows path (Wine's own conversion).
std::string UnixPath(const std::wstring& path);
// Runs a host program (a Unix path) with arguments; its standard output and
// error together. Wine gives no exit status of a Unix program: callers read
// the output.
std::string RunHostTool(const std::string& program, const std::string& arguments);

// ---- how a window looks --------------------------------------------------------------

// What a user would find wrong with the window in the running language, one
// fault a line ("" when none): a caption other than `caption`; a control whose
// text is not its string (`texts`: control id, string id); a text not in the
// language (`russian`: the windows that quote Russian texts of their own are
// Russian in both; `neutral` texts, the same in both, stand in either); a
// control outside the window, overlapping another or with its text clipped;
// a list column narrower than its title. The window's picture goes to
// exchange-<name>-<en|ru>.bmp in $TF_SHOT_DIR or the build folder, for
// people to look at.
std::wstring LookFaults(HWND window, const std::wstring& caption, const std::vector<std::pair<int, unsigned>>& texts,
                        bool russian, const wchar_t* name, const std::vector<std::wstring>& neutral = {});

// ---- settings ----------------------------------------------------------------------

// The workstation's settings below a key of the test's own in
// HKEY_CURRENT_USER (foundation/settingskey.h) while it lives.
class TestSettings
{
public:
    TestSettings();
    ~TestSettings();
    TestSettings(const TestSettings&) = delete;
    TestSettings& operator=(const TestSettings&) = delete;
    void SetString(const wchar_t* subKey, const wchar_t* name, const std::wstring& value);
    std::wstring GetString(const wchar_t* subKey, const wchar_t* name) const;

private:
    std::wstring path_;
    HKEY oldRoot_;
    const wchar_t* oldPath_;
};

// ---- the DICOM export server stand-in --------------------------------------------

// Registers the stand-in (dicomsrv /regserver) once per process.
void RegisterDicomServer();
// Every stand-in process of this prefix told to stop, and waited for.
void StopDicomServers();
// True when a server's application object is registered as running.
bool DicomServerRunning();
// Starts the stand-in by hand (it then serves until stopped) and waits until
// it runs; its process handle, or null.
HANDLE StartDicomServerByHand();

// Every stand-in process of this prefix stopped (all its threads suspended,
// as a server hung or stopped by hand is) while it lives, or until Resume.
// Resume lets go of every suspension: the fixture frees any a case left.
class StoppedDicomServers
{
public:
    StoppedDicomServers();
    ~StoppedDicomServers() { Resume(); }
    StoppedDicomServers(const StoppedDicomServers&) = delete;
    StoppedDicomServers& operator=(const StoppedDicomServers&) = delete;
    // Threads stopped (0: no server ran).
    size_t Count() const { return threads_.size(); }
    void Resume();

private:
    std::vector<HANDLE> threads_;
};

// The stand-in's settings (HKLM\SOFTWARE\DicomExportServer) for one test:
// its spool folder, its targets and its failure injection; all gone at the
// end.
class DicomServerSettings
{
public:
    DicomServerSettings();
    ~DicomServerSettings();
    DicomServerSettings(const DicomServerSettings&) = delete;
    DicomServerSettings& operator=(const DicomServerSettings&) = delete;

    const std::wstring& Spool() const { return spool_.Path(); }
    // A target whose files go to `folder` (empty: it cannot be reached).
    void AddTarget(const std::wstring& name, const std::wstring& folder);
    void FailWithText(const wchar_t* member, const std::wstring& text);
    void FailWithHresult(const wchar_t* member, HRESULT hr);
    void AnswerWithType(const wchar_t* member, const wchar_t* kind);   // "empty" or "number"
    void ClearFaults();

private:
    TempFolder spool_;
};

// A test case with the stand-in registered, no server running at its start
// and its end, its own server settings, and a host window. Its suites' names
// start with "Dicom": ctest runs them one at a time (tests.cmake).
class DicomServerCase : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<DicomServerSettings> settings;
    harness::HostWindow host{300, 200, 60, 60};
};

// ---- pictures ------------------------------------------------------------------------

// A picture of width x height, `bits` deep, with a known pattern in both
// rasters and a patient.
DPicturePtr TestPicture(int width, int height, int bits);

}  // namespace exchtest
