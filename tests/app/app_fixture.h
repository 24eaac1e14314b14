// Shared pieces of the shell's tests: a private registry key, a temp folder,
// the journal in that folder, the control library's rows, child processes.
#pragma once

#include "common/fixture_helpers.h"

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace apptest {

// A fresh key HKCU\Software\TobalFluoroTests\<process>-<n>, deleted with all
// below it at the end. Tests point the shell's readers at it instead of the
// program's own key, so parallel tests never meet.
class TestKey {
public:
    TestKey();
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    HKEY Root() const { return HKEY_CURRENT_USER; }
    const wchar_t* Path() const { return path_.c_str(); }
    HKEY Key() const { return key_; }

    void SetString(const wchar_t* name, const std::wstring& value, const wchar_t* subKey = nullptr);
    void SetDword(const wchar_t* name, DWORD value, const wchar_t* subKey = nullptr);
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size, const wchar_t* subKey = nullptr);
    void Delete(const wchar_t* name, const wchar_t* subKey = nullptr);
    HKEY Sub(const wchar_t* subKey);   // created on demand, closed by the destructor

private:
    std::wstring path_;
    HKEY key_ = nullptr;
    std::vector<HKEY> subs_;
};

// A fresh folder under the temp folder, removed with its contents at the end.
class TempFolder {
public:
    explicit TempFolder(const wchar_t* prefix = L"tfapp");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // The folder with a trailing backslash.
    const std::wstring& Path() const { return path_; }
    std::wstring File(const wchar_t* name) const { return path_ + name; }

private:
    std::wstring path_;
};

using testfix::RemoveTree;

// Records of a journal file, read from the file itself.
struct JournalEntry {
    DWORD category;
    DWORD code;
    std::wstring text;
};
std::vector<JournalEntry> ReadJournalFile(const std::wstring& path);
bool HasEntry(const std::vector<JournalEntry>& entries, DWORD code, const wchar_t* text);

// Opens this process's journal in the folder (creating it) for the test's
// life; closes it at the end.
class OpenJournal {
public:
    explicit OpenJournal(const std::wstring& folder);
    ~OpenJournal();
    std::vector<JournalEntry> Entries() const;

private:
    std::wstring folder_;
};

// Creates an empty journal file in the folder, as an installed site has one.
void CreateJournalFile(const std::wstring& folder);

// The control library's rows and the shell's window classes, registered for
// a test and undone after it.
class ShellClasses {
public:
    ShellClasses();
    ~ShellClasses();
};

// Runs a program; the process handle (closed by the holder).
class ChildProcess {
public:
    ChildProcess(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder = L"");
    ~ChildProcess();
    bool Started() const { return process_ != nullptr; }
    HANDLE Handle() const { return process_; }
    DWORD Id() const { return id_; }
    // Waits up to ms; true when it ended, with its exit code.
    bool Wait(DWORD ms, DWORD* exitCode = nullptr);
    void Kill();

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A unique text for names of pipes, keys and folders.
std::wstring UniqueName(const wchar_t* prefix);

// The process's CPU time (kernel + user) in milliseconds.
double ProcessCpuMs();

}  // namespace apptest
