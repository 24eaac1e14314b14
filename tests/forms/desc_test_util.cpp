#include "desc_test_util.h"

#include "common/prompt_script.h"

#include <string.h>

void DescTest::SetUp()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    folder_ = std::wstring(temp) + L"desc_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
              std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++serial) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
    ASSERT_LT(folder_.size(), 200u);
    wcscpy(CfgFolder, folder_.c_str());
    PromptScript script({IDYES});   // the question whether to create the journal
    ASSERT_TRUE(JournalInit(folder_.c_str()));
}

void DescTest::TearDown()
{
    JournalDone();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder_ + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder_ + data.cFileName).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder_.c_str());
}

void DescTest::WriteCfg(const std::wstring& name, const std::wstring& text)
{
    std::vector<BYTE> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    HANDLE f = CreateFileW((folder_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD written = 0;
    WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    ASSERT_EQ(bytes.size(), written);
}

std::vector<JournalLine> DescTest::Records() const
{
    std::vector<JournalLine> out;
    if (!JournalEnter())
        return out;
    JournalHeader header{};
    if (JournalReadHeader(&header)) {
        for (DWORD i = 0; i < header.count; ++i) {
            JournalRecord r;
            if (JournalReadRecord(i, &r) && r.category == kJournalCatApplication)
                out.push_back({r.category, r.code, std::wstring(r.text, r.length)});
        }
    }
    JournalLeave();
    return out;
}

JournalLine DescTest::OnlyRecord() const
{
    std::vector<JournalLine> all = Records();
    if (all.size() != 1) {
        ADD_FAILURE() << all.size() << " records instead of one";
        for (const JournalLine& r : all)
            ADD_FAILURE() << "record " << r.code << ": " << testing::PrintToString(r.text);
    }
    return all.empty() ? JournalLine{0, 0xFFFFFFFF, L""} : all.front();
}

std::wstring DescTest::UniqueName(const wchar_t* stem) const
{
    return std::wstring(stem) + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount()) + L".cfg";
}
