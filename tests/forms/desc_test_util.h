// Shared helpers of the description tests: a private folder of description
// files per test, a journal in it, and reading the journal back.
#pragma once

#include "forms/descenv.h"
#include "foundation/files.h"
#include "foundation/journal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

struct JournalLine {
    DWORD category;
    DWORD code;
    std::wstring text;
};

// Each test gets a fresh folder that is the description folder, and a
// journal there, so the records of its faults can be read back.
class DescTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a description file (UTF-16LE with a byte-order mark) into the folder.
    void WriteCfg(const std::wstring& name, const std::wstring& text);
    // Records written since SetUp, category 1 only.
    std::vector<JournalLine> Records() const;
    // The only record (fails when there is not exactly one).
    JournalLine OnlyRecord() const;

    // A name unique to this run, for registry keys shared by all processes.
    std::wstring UniqueName(const wchar_t* stem) const;

    std::wstring folder_;
};

// A cursor over a text held by the test.
struct TextCursor {
    std::wstring text;
    DTextScan scan;

    explicit TextCursor(const std::wstring& t) : text(t) { scan.Init(text.c_str(), static_cast<LONG>(text.size())); }
};

// Runs `body` and returns the int it throws; -1000 when it throws nothing.
template <class F>
int ThrownCode(F&& body)
{
    try {
        body();
    } catch (int code) {
        return code;
    }
    return -1000;
}
